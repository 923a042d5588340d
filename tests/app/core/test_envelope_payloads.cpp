// Payload forms, request address and the reply wrapper.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/core/Deployment.h"
#include "app/core/Envelope.h"
#include "app/core/rsaUtil.h"
#include "lib/json/JsonParser.h"

namespace {

TEST(EnvelopePayloads, TextPayload) {
    EXPECT_EQ(TextPayload(0, {"4a7074688ea4a32cd257f7c672d56365", "0"}).text(), "0;4a7074688ea4a32cd257f7c672d56365,0");
    EXPECT_EQ(TextPayload(20, {"6F9619FF-8B86-D011-B42D-00C04FC964FF"}).text(),
              "20;6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(TextPayload(21, {}).text(), "21;");
    EXPECT_EQ(TextPayload(28, {"", "", "x"}).text(), "28;,,x");
}

TEST(EnvelopePayloads, JsonPayloadCarriesTheCommandAsText) {
    foundation::Dictionary fields;
    fields.set("uuid", "u-1");
    fields.set("service", "99");  // the command number wins
    fields.set("count", 3);
    fields.set("name", "\u5b89\u5168");
    std::optional<std::string> text = JsonPayload(32, fields).text();
    ASSERT_TRUE(text);
    std::optional<foundation::Value> back = JsonParser().objectWithString(*text);
    ASSERT_TRUE(back && back->isDictionary());
    EXPECT_EQ(*back->get("service"), foundation::Value("32"));
    EXPECT_EQ(*back->get("uuid"), foundation::Value("u-1"));
    EXPECT_EQ(back->get("count")->intValue(), 3);
    EXPECT_EQ(*back->get("name"), foundation::Value("\u5b89\u5168"));
    EXPECT_EQ(back->asDictionary()->size(), 4u);
}

TEST(EnvelopePayloads, JsonPayloadThatCannotBeWrittenGivesNil) {
    foundation::Dictionary fields;
    fields.set("bad", std::numeric_limits<double>::infinity());
    EXPECT_EQ(JsonPayload(10, fields).text(), std::nullopt);
}

TEST(EnvelopePayloads, RequestAddress) {
    setenv("QUENTA_SERVER_URL", "http://example.test:81/sc/safeCenter.do?", 1);
    EXPECT_EQ(requestAddress("00ff"), "http://example.test:81/sc/safeCenter.do?c=00ff");
    std::optional<std::string> address = requestAddressForPayload("20;u");
    ASSERT_TRUE(address);
    const std::string prefix = "http://example.test:81/sc/safeCenter.do?c=";
    ASSERT_EQ(address->substr(0, prefix.size()), prefix);
    EXPECT_EQ(rsaUtil::RSA_decrypt(address->substr(prefix.size())), "20;u");
    // A payload that cannot be enciphered gives no address at all.
    EXPECT_EQ(requestAddressForPayload("\u5b89"), std::nullopt);
    unsetenv("QUENTA_SERVER_URL");
}

TEST(EnvelopePayloads, ReplyContent) {
    struct Case {
        const char* body;
        std::optional<std::string> content;
    } cases[] = {
        {R"({"safecenter":"1","content":"abc"})", "abc"},
        {R"({"content":"abc","safecenter":1})", "abc"},
        {R"({"safecenter":null,"content":"abc"})", "abc"},
        {R"({"safecenter":"1","content":12})", "12"},
        {R"({"safecenter":"1"})", std::nullopt},
        {R"({"content":"abc"})", std::nullopt},
        {R"([{"safecenter":"1","content":"abc"}])", std::nullopt},
        {R"({"safecenter":"1","content":)", std::nullopt},
        {"", std::nullopt},
        {"<html>502</html>", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ReplyEnvelope::content(c.body), c.content) << c.body;
}

TEST(EnvelopePayloads, OpenDeciphersTheContent) {
    std::string cipher = *rsaUtil::RSA_encrypt(R"({"result":"true","name":"%E5%AE%89"})");
    std::string body = R"({"safecenter":"1","content":")" + cipher + "\"}";
    EXPECT_EQ(ReplyEnvelope::open(body), "{\"result\":\"true\",\"name\":\"\u5b89\"}");
    EXPECT_EQ(ReplyEnvelope::open(R"({"safecenter":"1","content":"0123"})"), std::nullopt);
    EXPECT_EQ(ReplyEnvelope::open("not json"), std::nullopt);
}

TEST(EnvelopePayloads, RemoteLogOut) {
    struct Case {
        const char* plain;
        bool logOut;
    } cases[] = {
        {R"({"result":201})", true},
        {R"({"result":"201"})", true},
        {R"({"result":201,"x":1})", true},
        {R"({"result":200})", false},
        {R"({"result":"true"})", false},
        {R"({"result":null})", false},
        {R"({"other":201})", false},
        {R"([201])", false},
        {"201", false},
        {"1700000000", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(ReplyEnvelope::isRemoteLogOut(c.plain), c.logOut) << c.plain;
    EXPECT_FALSE(ReplyEnvelope::json("1700000000"));
    EXPECT_TRUE(ReplyEnvelope::json(R"({"a":1})"));
}

}  // namespace
