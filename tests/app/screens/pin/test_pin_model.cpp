// The lock's rules without a view: migration, the four-dot entry, the
// freeze's numbers and texts, the safe phone's fields.
#include <gtest/gtest.h>

#include "app/screens/pin/PinModel.h"
#include "lib/json/JsonParser.h"

namespace {

TEST(PinModel, MigrationOfOtherLengths) {
    struct Case {
        const char* stored;
        const char* pin;
        pin::Migration how;
    } cases[] = {
        {"1234", "1234", pin::Migration::None},    {"123456", "1234", pin::Migration::Longer},
        {"12345", "1234", pin::Migration::Longer}, {"123", "1230", pin::Migration::Shorter},
        {"12", "1200", pin::Migration::Shorter},   {"1", "1000", pin::Migration::Shorter},
        {"", "", pin::Migration::Shorter},  // an empty PIN stays empty: no entry matches it
    };
    for (const auto& c : cases) {
        std::string pin = c.stored;
        EXPECT_EQ(pin::migratePin(pin), c.how) << c.stored;
        EXPECT_EQ(pin, c.pin) << c.stored;
    }
    EXPECT_NE(std::string(pin::migrationNotice(pin::Migration::Longer)).find("大于4位"), std::string::npos);
    EXPECT_NE(std::string(pin::migrationNotice(pin::Migration::Shorter)).find("少于4位"), std::string::npos);
}

TEST(PinModel, FourDotTable) {
    struct Case {
        size_t length;
        const char* replacement;
        bool accept;
        int dots;
        bool complete;
    } cases[] = {
        {0, "1", true, 1, false},
        {1, "2", true, 2, false},
        {2, "3", true, 3, false},
        {3, "4", true, 4, true},
        {4, "5", false, 0, false},  // full
        {0, "", true, 0, false},
        {1, "", true, 0, false},
        {2, "", true, 1, false},
        {3, "", true, 2, false},
        {4, "", false, 0, false},
        // Pastes and anything but one ASCII digit are refused, so the field is never stuck.
        {0, "1234", false, 0, false},
        {1, "12", false, 0, false},
        {0, "a", false, 0, false},
        {0, " ", false, 0, false},
        {2, "\xef\xbc\x91", false, 0, false},  // a full-width one
    };
    for (const auto& c : cases) {
        pin::DotStep step = pin::fourDotStep(c.length, c.replacement);
        EXPECT_EQ(step.accept, c.accept) << c.length << " '" << c.replacement << "'";
        if (step.accept) {
            EXPECT_EQ(step.dotsShown, c.dots) << c.length << " '" << c.replacement << "'";
            EXPECT_EQ(step.complete, c.complete) << c.length << " '" << c.replacement << "'";
        }
    }
}

TEST(PinModel, ServerTimeOfTheUnfreezeReply) {
    struct Case {
        const char* reply;
        std::optional<int64_t> seconds;
    } cases[] = {
        {R"({"time":1700000000999})", 1700000000},
        {R"({"time":"4102444800000"})", 4102444800},  // 2100: past 32 bits
        {R"({"time":0})", std::nullopt},
        {R"({"time":-5000})", std::nullopt},
        {R"({})", std::nullopt},
        {R"({"time":"soon"})", std::nullopt},
        {R"({"time":[1]})", std::nullopt},
        {R"({"time":1.5})", std::nullopt},
    };
    for (const auto& c : cases) {
        auto value = JsonParser().objectWithString(c.reply);
        ASSERT_TRUE(value) << c.reply;
        EXPECT_EQ(pin::unfreezeServerSeconds(*value), c.seconds) << c.reply;
    }
}

TEST(PinModel, TimesAndTexts) {
    EXPECT_EQ(pin::beijingTime(1700000000), "11-15 06:13:20");
    EXPECT_EQ(pin::beijingTime(int64_t(4102444800)), "01-01 08:00:00");  // 2100, after 2038
    EXPECT_EQ(pin::frozenUntilLabel(1700000000, false), "您的解冻时间是(北京时间):11-15 06:13:20");
    EXPECT_EQ(pin::frozenUntilLabel(1700000000, true), "您的解冻时间是(北京时间): 11-15 06:13:20");
    EXPECT_EQ(pin::remainingMessage(125), "你距离软件解冻时间还有2分5秒，请你稍后再来检测！");
    EXPECT_EQ(pin::countLabel("3"), "连续错误次数 ( 防暴力猜解 ) : 3次");
    EXPECT_EQ(pin::parseWhole("4102444800"), int64_t(4102444800));
    EXPECT_EQ(pin::parseWhole("12x"), std::nullopt);
    EXPECT_EQ(pin::parseWhole("null"), std::nullopt);
    EXPECT_EQ(pin::leadingCount("(null)"), 0);
    EXPECT_EQ(pin::leadingCount("4"), 4);
}

TEST(PinModel, SafePhoneFields) {
    EXPECT_TRUE(pin::isPhoneNumber("13812345678"));
    for (const char* bad : {"1381234567", "138123456789", "1381234567a", "138,2345678", "", "１3812345678"})
        EXPECT_FALSE(pin::isPhoneNumber(bad)) << bad;
    EXPECT_TRUE(pin::isDeletePassword("1"));
    EXPECT_TRUE(pin::isDeletePassword("1234567890"));
    for (const char* bad : {"", "12345678901", "12;4", "12,4", "abc"}) EXPECT_FALSE(pin::isDeletePassword(bad)) << bad;
    EXPECT_EQ(pin::maskPhone("13812345678"), "138******78");
}

}  // namespace
