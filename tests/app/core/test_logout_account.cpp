// De-registration (command 24): the payload, the reply and the wipe after it.
#include <gtest/gtest.h>

#include "app/core/DBController.h"
#include "app/core/LogoutAccount.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/UserDefaults.h"

namespace {

foundation::Value json(const std::string& text) {
    auto value = JsonParser().objectWithString(text);
    EXPECT_TRUE(value.has_value()) << text;
    return value.value_or(foundation::Value());
}

TEST(LogoutAccount, PayloadCarriesUuidAndAnswerAndRefusesSeparators) {
    Answer answer;
    answer.uuid = "6F9619FF-8B86";
    answer.answer = "a1b2c3";
    EXPECT_EQ(LogoutAccount::payload(answer), "24;6F9619FF-8B86,a1b2c3");
    EXPECT_EQ(LogoutAccount::payload(Answer{}), "24;(null),(null)");
    answer.answer = "a1,b2";
    EXPECT_EQ(LogoutAccount::payload(answer), std::nullopt);
    answer.answer = "ok";
    answer.uuid = "x;y";
    EXPECT_EQ(LogoutAccount::payload(answer), std::nullopt);
}

TEST(LogoutAccount, ReplyReadsIsSuccess) {
    struct Case {
        const char* text;
        std::optional<bool> success;  // nullopt: not a reply
    } cases[] = {
        {R"({"isSuccess":true})", true},          {R"({"isSuccess":1})", true},
        {R"({"isSuccess":false})", false},        {R"({})", false},
        {R"({"isSuccess":"yes"})", std::nullopt}, {R"([true])", std::nullopt},
    };
    for (const auto& c : cases) {
        foundation::ErrorRef problem;
        auto reply = LogoutAccount::Reply::fromValue(json(c.text), &problem);
        ASSERT_EQ(reply.has_value(), c.success.has_value()) << c.text << " " << (problem ? problem->message : "");
        if (reply)
            EXPECT_EQ(reply->isSuccess, *c.success) << c.text;
        else
            EXPECT_TRUE(problem && !problem->message.empty()) << c.text;
    }
}

TEST(LogoutAccount, WipeRemovesStoreAndDefaultsAndMayMarkTheUser) {
    for (bool mark : {false, true}) {
        {
            DBController controller;
            ASSERT_TRUE(controller.initDatabase());
            ASSERT_TRUE(controller.InsertTable("uuid", "u-1"));
        }
        auto& defaults = foundation::UserDefaults::standard();
        defaults.setInteger("korvxboundstate", 3);
        defaults.synchronize();
        ASSERT_TRUE(DBController::databaseExit());

        EXPECT_TRUE(LogoutAccount::wipeAfterLogout(mark));
        EXPECT_FALSE(DBController::databaseExit());
        EXPECT_EQ(defaults.integerForKey("korvxboundstate"), 0);
        EXPECT_EQ(defaults.integerForKey("uniqueuser"), mark ? 1 : 0) << mark;
        defaults.removePersistentDomain();
    }
}

}  // namespace
