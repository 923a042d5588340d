// The bind screen's decisions without a view: serial rules, payloads, reply
// readings, the time difference, the poll's steps and the payment hand-off.
#include <gtest/gtest.h>

#include "app/core/Envelope.h"
#include "app/core/Replies.h"
#include "app/core/rsaUtil.h"
#include "app/screens/bind/BindModel.h"
#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace BindModel;

TEST(BindModelSerial, OnlySixAsciiLettersOrDigitsAreASerial) {
    struct Case {
        const char* text;
        bool serial;
        bool submits;
    };
    const Case cases[] = {
        {"Q3T7K9", true, true},
        {"q3t7k9", true, true},
        {"Q3T7K", false, false},
        {"Q3T7K9X", false, true},  // a paste of seven: submitted, then refused
        {"Q3,7K9", false, true},   // would shift the payload's fields
        {"Q3;7K9", false, true},
        {"Q3 7K9", false, true},
        {"请输入序列号", false, true},  // the prompt is never a serial
        {"Q3T7K９", false, true},       // a full-width digit
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isSerial(c.text), c.serial) << c.text;
        EXPECT_EQ(serialWantsSubmit(c.text), c.submits) << c.text;
    }
    EXPECT_TRUE(serialEditAllowed(5));
    EXPECT_FALSE(serialEditAllowed(6));
}

TEST(BindModelSerial, TheCommandSixteenPayloadWithAndWithoutAPushToken) {
    Answer answer;
    answer.mac = "0e3c0b1f9a4d4a55b0c1d2e3f4a5b6c7";
    answer.answer = "a1b2c3";
    answer.uuid = "6F9619FF-8B86-4011-B42D-00C04FC964FF";
    const DeviceFields device{"iPhone", "6.1.3", "960", "640"};
    EXPECT_EQ(serialPayload(answer, "Q3T7K9", device, ""),
              "16;0e3c0b1f9a4d4a55b0c1d2e3f4a5b6c7,a1b2c3,Q3T7K9,iPhone,6.1.3,960,640,"
              "6F9619FF-8B86-4011-B42D-00C04FC964FF,@3002");
    EXPECT_EQ(serialPayload(answer, "Q3T7K9", device, "f00dcafe"),
              "16;0e3c0b1f9a4d4a55b0c1d2e3f4a5b6c7,a1b2c3,Q3T7K9,iPhone,6.1.3,960,640,"
              "6F9619FF-8B86-4011-B42D-00C04FC964FF,f00dcafe@3002");

    // The push token as the user defaults hold it; none reads as empty.
    EXPECT_EQ(pushToken(), "");
    foundation::UserDefaults::standard().setString(kPushTokenKey, "f00dcafe");
    EXPECT_EQ(pushToken(), "f00dcafe");
}

TEST(BindModelSerial, DeviceFieldsArePixelsWithAFallback) {
    foundation::DeviceInfo d;
    d.model = "iPhone";
    d.systemVersion = "6.1";
    d.screenWidth = 320;
    d.screenHeight = 480;
    d.scale = 2;
    const DeviceFields retina = DeviceFields::of(d);
    EXPECT_EQ(retina.height, "960");
    EXPECT_EQ(retina.width, "640");
    EXPECT_EQ(DeviceFields::of(foundation::tallScreenDevice()).height, "1136");
    d.systemVersion.clear();
    const DeviceFields unknown = DeviceFields::of(d);
    EXPECT_EQ(unknown.model, "iPhone");
    EXPECT_EQ(unknown.osVersion, "5.0.0");
    EXPECT_EQ(unknown.height, "480");
    EXPECT_EQ(unknown.width, "320");
}

TEST(BindModelResult, TheTimeDifferenceTruncatesBothTimes) {
    const long long s = 1700000000;
    EXPECT_EQ(diffTime(s * 1000 + 999, double(s) - 9.3), "10");
    EXPECT_EQ(diffTime(s * 1000, double(s) + 42.9), "-42");
    EXPECT_EQ(diffTime(s * 1000 + 500, double(s) + 0.7), "0");
}

TEST(BindModelResult, EveryRefusalHasItsNotice) {
    EXPECT_EQ(refusalNotice(405, std::nullopt), "绑定失败，账号不能重复绑定");
    EXPECT_EQ(refusalNotice(406, std::string("demo_user")), "本设备已绑定账号：demo_user，请解绑后重试");
    EXPECT_EQ(refusalNotice(407, std::nullopt), "绑定失败，序列号错误或过期");
    EXPECT_EQ(refusalNotice(413, std::nullopt), "操作超时，请重试");
    EXPECT_EQ(refusalNotice(500, std::nullopt), "绑定操作失败，请重试");
    EXPECT_EQ(refusalNotice(0, std::nullopt), "绑定操作失败，请重试");
}

TEST(BindModelSms, TheChecksComeInOrderModelThenCarrier) {
    foundation::DeviceInfo d;
    d.model = "iPod touch";
    d.carrierName = "中国移动";
    EXPECT_EQ(smsRefusal(d), std::optional<std::string>("您的设备型号不支持短信绑定"));
    d.model = "iPhone";
    d.carrierName.reset();
    EXPECT_EQ(smsRefusal(d), std::optional<std::string>("请插入SIM卡"));
    d.carrierName = "";
    EXPECT_EQ(smsRefusal(d), std::optional<std::string>("请插入SIM卡"));
    d.carrierName = "中国移动";
    EXPECT_EQ(smsRefusal(d), std::nullopt);

    EXPECT_NE(smsGateway(std::string("中国联通")), smsGateway(std::string("中国移动")));
    EXPECT_EQ(smsGateway(std::string("中国移动")), smsGateway(std::string("中国电信")));
    EXPECT_EQ(smsBody("demo@quenta.test", "4711"), "SC#B#demo@quenta.test#4711");
}

TEST(BindModelSms, PayloadsOfTheThreeOps) {
    EXPECT_EQ(phoneLookupPayload("演示 a,b"), "31;0,%E6%BC%94%E7%A4%BA%20a%2Cb");
    EXPECT_EQ(pollPayload("4711"), "31;1,4711");
    Answer answer;
    answer.sid = "4711";
    answer.uuid = "U-1";
    answer.mac = "0e3c0b1f9a4d4a55b0c1d2e3f4a5b6c7";
    const DeviceFields device{"iPhone", "6.1", "960", "640"};
    EXPECT_EQ(smsBindPayload("4711", answer, device, ""),
              std::optional<std::string>("31;2,4711,U-1,0e3c0b1f9a4d4a55b0c1d2e3f4a5b6c7,iPhone,6.1,960,640,3002,"));
    // A binding the phone could never prove later is refused.
    for (const char* mac : {"", "(null)"}) {
        answer.mac = mac;
        EXPECT_EQ(smsBindPayload("4711", answer, device, ""), std::nullopt) << mac;
    }
    answer.mac.reset();
    EXPECT_EQ(smsBindPayload("4711", answer, device, ""), std::nullopt);
}

foundation::Value json(const std::string& text) { return *JsonParser().objectWithString(text); }

TEST(BindModelSms, ThePhoneLookupReplies) {
    const PhoneLookup confirm = PhoneLookup::of(json(R"({"result":202,"phone":"13800138000","sid":4711})"));
    EXPECT_EQ(confirm.sid, std::optional<std::string>("4711"));
    EXPECT_EQ(confirm.text,
              "请确认您当前使用的手机号为13800138000\n绑定短信只消耗基本通信费\n请不要修改绑定短信的内容\n\n"
              "是否发送绑定短信？");
    struct Case {
        const char* reply;
        const char* notice;
    };
    const Case cases[] = {
        {R"({"result":202,"phone":"1380013800","sid":4711})", "该账号尚未绑定手机，无法使用短信绑定"},
        {R"({"result":202,"sid":4711})", "该账号尚未绑定手机，无法使用短信绑定"},
        {R"({"result":201})", "申请绑定的账号不存在"},
        {R"({"result":500})", "获取用户信息失败，请稍后候再试"},
        {R"({})", "获取用户信息失败，请稍后候再试"},
    };
    for (const Case& c : cases) {
        const PhoneLookup lookup = PhoneLookup::of(json(c.reply));
        EXPECT_FALSE(lookup.sid) << c.reply;
        EXPECT_EQ(lookup.text, c.notice) << c.reply;
    }
    EXPECT_EQ(PhoneLookup::of(std::nullopt).text, "获取用户信息失败，请稍后候再试");
}

// A reply body as the server sends it: the wrapper around the enciphered text.
std::string wrapped(const std::string& plain) {
    return R"({"safecenter":"1","content":")" + *rsaUtil::RSA_encrypt(plain) + R"("})";
}

TEST(BindModelSms, EachPollReplyGoesOnOrStops) {
    struct Case {
        bool transportError;
        std::string body;
        bool stop;
        std::optional<std::string> outcome;
        std::optional<std::string> label;
    };
    const std::vector<Case> cases = {
        {true, "", false, std::nullopt, std::nullopt},
        {false, wrapped(R"({"result":100})"), false, std::nullopt, std::nullopt},
        {false, wrapped(R"({"result":204})"), true, std::nullopt, std::string("txtResultSuccess")},
        {false, wrapped(R"({"result":205})"), true, std::string("绑定失败，操作超时，请重试"),
         std::string("txtResultWrongSid")},
        {false, wrapped(R"({"result":412})"), true, std::string("绑定失败，本手机与禾川账号绑定手机不匹配"),
         std::string("txtResultWrongPhoneNumber")},
        {false, wrapped(R"({"state":1})"), true, std::string("绑定失败，请重试"), std::nullopt},
        {false, wrapped("not json"), true, std::string("绑定失败，请重试"), std::nullopt},
        {false, "<html>", true, std::string("您的网络不稳定，请稍后再试"), std::nullopt},
    };
    for (const Case& c : cases) {
        const PollStep step = PollStep::of(c.transportError, c.body);
        EXPECT_EQ(step.stop, c.stop) << c.body;
        EXPECT_EQ(step.outcome, c.outcome) << c.body;
        EXPECT_EQ(step.label, c.label) << c.body;
    }
}

TEST(BindModelKorvex, AnElevenDigitSidStaysElevenDigits) {
    foundation::ErrorRef problem;
    auto reply = KorvexAccountReply::fromValue(
        json(R"({"result":202,"username":"pay@korvex.test","sid":20261210001,"cert":true})"), &problem);
    ASSERT_TRUE(reply) << problem->message;
    EXPECT_EQ(std::to_string(*reply->sid), "20261210001");
    EXPECT_TRUE(reply->cert);
    EXPECT_FALSE(KorvexAccountReply::fromValue(json(R"({"result":202,"sid":1})"), &problem));
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->message.find("username"), std::string::npos);

    auto notice = [](const char* text) { return korvexRefusalNotice(*KorvexAccountReply::fromValue(json(text))); };
    EXPECT_EQ(notice(R"({"result":414,"message":"账户已冻结"})"), "账户已冻结");
    EXPECT_EQ(notice(R"({"result":415})"), "获取岚付通账号失败，请重试");
    EXPECT_EQ(notice(R"({"result":416})"), "您的禾川账号尚未绑定岚付通");
}

TEST(BindModelKorvex, TheHandOffQuestions) {
    EXPECT_EQ(handOffQuestion(false, "pa***@korvex.test"),
              "是否通过岚付通帐号\npa***@korvex.test\n绑定禾盾并开通付款验证?");
    EXPECT_EQ(handOffQuestion(true, "x"),
              "检测到您是数字证书用户，是否停用数字证书并通过岚付通帐号\nx\n绑定禾盾，开通付款验证？\n("
              "更加便捷，安全性不变)");
}

TEST(BindModelKorvex, WhatTheHandBackHolds) {
    struct Case {
        std::optional<std::string> stored;
        HandBack::Kind kind;
        const char* text;
    };
    const Case cases[] = {
        {std::string("kverror:余额不足"), HandBack::Error, "余额不足"},
        {std::string("kverror:"), HandBack::Token, "kverror:"},  // nothing after the prefix: a token
        {std::string("kvtoken-1"), HandBack::Token, "kvtoken-1"},
        {std::string(""), HandBack::Interrupted, ""},
        {std::string("(null)"), HandBack::Interrupted, ""},
        {std::nullopt, HandBack::Interrupted, ""},
    };
    for (const Case& c : cases) {
        const HandBack back = HandBack::of(c.stored);
        EXPECT_EQ(back.kind, c.kind) << c.stored.value_or("nil");
        EXPECT_EQ(back.text, c.text) << c.stored.value_or("nil");
    }
}

TEST(BindModelKorvex, CommandThirtyFourHasItsTwelveMembers) {
    Answer answer;
    answer.mac = "m";
    answer.uuid = "U";
    answer.sid = "handshake-sid";
    answer.answer = "a1b2c3";
    const DeviceFields device{"iPhone", "6.1", "960", "640"};
    auto members = [&](const std::optional<std::string>& stored) {
        return *JsonParser().objectWithString(
            *JsonPayload(34, korvexBindFields(answer, "tok", stored, device, "")).text());
    };
    const foundation::Value sent = members(std::string("20261210001"));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"service", "34"},      {"mac", "m"},         {"korvexTokenId", "tok"},
        {"osType", "iPhone"},   {"osVersion", "6.1"}, {"screenHeight", "960"},
        {"screenWidth", "640"}, {"uuid", "U"},        {"sid", "20261210001"},
        {"iphoneToken", ""},    {"source", "3002"},   {"answer", "a1b2c3"},
    };
    ASSERT_EQ(sent.asDictionary()->size(), expected.size());
    for (const auto& [key, value] : expected) {
        ASSERT_TRUE(sent.get(key)) << key;
        EXPECT_EQ(*sent.get(key)->asString(), value) << key;
    }
    // Without the sid kept across the app switch the handshake's goes.
    for (const auto& stored :
         {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("(null)")})
        EXPECT_EQ(*members(stored).get("sid")->asString(), "handshake-sid");
}

}  // namespace
