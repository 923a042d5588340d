// The payment client app's hand-back through our own URL scheme.
#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "tests/app/start/StartFixture.h"

using namespace starttest;

namespace {

const char* const kClient = KAVOAppDelegate::kPaymentClientBundleID;

std::string handBack(const std::string& json, const std::string& prefix = "kavocenter://nimbra/?") {
    return prefix + foundation::percentEscape(json);
}

std::optional<std::string> storedToken() { return foundation::UserDefaults::standard().stringForKey("korvextoken"); }

struct Case {
    const char* name;
    std::string url;
    std::optional<std::string> stored;  // nullopt: left untouched
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class HandBack : public StartTest, public ::testing::WithParamInterface<Case> {};

}  // namespace

TEST_P(HandBack, StoresTheOutcomeForTheScreens) {
    const Case& c = GetParam();
    launch();
    foundation::UserDefaults::standard().setString("korvextoken", "before");
    EXPECT_TRUE(ui::Application::shared().deliverIncomingURL(c.url, kClient));
    EXPECT_EQ(storedToken(), c.stored.value_or("before"));
}

INSTANTIATE_TEST_SUITE_P(
    Start, HandBack,
    ::testing::Values(
        Case{"Success", handBack(R"({"memo":{"ResultStatus":9000,"result":"token=\"abc\"","memo":""}})"), "abc"},
        Case{"SuccessStatusAsText", handBack(R"({"memo":{"ResultStatus":"9000","result":"token=\"T0k-3n\""}})"),
             "T0k-3n"},
        Case{"SuccessCountsCharacters", handBack(R"({"memo":{"ResultStatus":9000,"result":"token=\"密钥\""}})"),
             "密钥"},
        Case{"SuccessEmptyToken", handBack(R"({"memo":{"ResultStatus":9000,"result":"token=\"\""}})"), ""},
        Case{"AnotherPrefixOfTheSameLength",
             handBack(R"({"memo":{"ResultStatus":9000,"result":"token=\"abc\""}})", "xxxxxxxxxx://xxxxxx/?"), "abc"},
        Case{"Failure", handBack(R"({"memo":{"ResultStatus":6001,"result":"","memo":"用户中途取消"}})"),
             "kverror:用户中途取消"},
        Case{"FailureWithoutMessage", handBack(R"({"memo":{"ResultStatus":4000}})"), "kverror:(null)"},
        Case{"NotJson", handBack("not json"), "kverror:(null)"},
        Case{"NoMemo", handBack(R"({"other":1})"), "kverror:(null)"},
        Case{"MemoNotAnObject", handBack(R"({"memo":"9000"})"), "kverror:(null)"},
        Case{"NothingAfterThePrefix", "kavocenter://nimbra/?", "kverror:(null)"},
        Case{"BadEscapes", "kavocenter://nimbra/?%7B%zz", "kverror:(null)"},
        // Shorter than the fixed offsets: ignored.
        Case{"ShorterThanThePrefix", "kavocenter://", std::nullopt},
        Case{"TokenTextTooShort", handBack(R"({"memo":{"ResultStatus":9000,"result":"token=\""}})"), std::nullopt},
        Case{"SuccessWithoutToken", handBack(R"({"memo":{"ResultStatus":9000}})"), std::nullopt}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(StartTest, HandBackFromAnotherAppIsIgnored) {
    launch();
    foundation::UserDefaults::standard().setString("korvextoken", "before");
    const std::string url = handBack(R"({"memo":{"ResultStatus":9000,"result":"token=\"abc\""}})");
    for (const char* source : {"", "com.example.other", "com.korvex.client.evil"})
        EXPECT_TRUE(ui::Application::shared().deliverIncomingURL(url, source)) << source;
    EXPECT_EQ(storedToken(), std::string("before"));
}

TEST_F(StartTest, IgnoredHandBackSaysWhy) {
    launch();
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    ui::Application::shared().deliverIncomingURL("kavo", kClient);
    foundation::setLogSink(old);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("payment hand-back ignored"), std::string::npos);
    EXPECT_FALSE(storedToken().has_value());
}

TEST_F(StartTest, HandBackSurvivesInTheUserDefaultsFile) {
    launch();
    ui::Application::shared().deliverIncomingURL(
        handBack(R"({"memo":{"ResultStatus":9000,"result":"token=\"persisted\""}})"), kClient);
    foundation::UserDefaults::resetStandard();  // read again from the disk
    EXPECT_EQ(storedToken(), std::string("persisted"));
}
