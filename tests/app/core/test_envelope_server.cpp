// Both ends of the envelope against the independent test security server,
// over real sockets on 127.0.0.1.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/core/Envelope.h"
#include "app/core/GetOtp.h"
#include "app/core/rsaUtil.h"
#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"
#include "platform/foundation/Clock.h"
#include "tests/server/TestServer.h"

namespace {

class EnvelopeServer : public testing::Test {
protected:
    void SetUp() override { server_.useAsDeploymentServer(); }

    // Sends a payload the way the app does and returns the server's answer.
    testserver::HttpReply send(const std::string& payload) {
        std::optional<std::string> address = requestAddressForPayload(payload);
        EXPECT_TRUE(address) << payload;
        return address ? testserver::httpGet(*address) : testserver::HttpReply{};
    }

    foundation::Array log() {
        std::optional<foundation::Value> parsed = JsonParser().objectWithString(server_.controlGet("log"));
        const foundation::Value* requests = parsed ? parsed->get("requests") : nullptr;
        return requests && requests->asArray() ? *requests->asArray() : foundation::Array{};
    }

    void script(const foundation::Dictionary& entry) {
        server_.control("script", *JsonWriter().stringWithObject(foundation::Value(entry)));
    }

    testserver::SecurityServer server_;
};

TEST_F(EnvelopeServer, TimeCalibrationGivesTheClockDifference) {
    const long long serverTime = 1700001234;
    server_.control("clock", "{\"time\": " + std::to_string(serverTime) + ".75}");
    foundation::ManualClockScope device(1700000000.4);

    testserver::HttpReply reply = send(TextPayload(20, {"6F9619FF-8B86-D011-B42D-00C04FC964FF"}).text());
    ASSERT_EQ(reply.status, 200) << reply.body;
    std::optional<std::string> plain = ReplyEnvelope::open(reply.body);
    ASSERT_EQ(plain, std::to_string(serverTime));

    long long diff = foundation::textLongLongValue(*plain) - int64_t(std::trunc(foundation::clock().now()));
    EXPECT_EQ(diff, 1234);
    const char* key = "3132333435363738393031323334353637383930";
    std::string onDevice = GetOtp::otpCreate(key, std::to_string(diff));
    device->setWallTime(double(serverTime));
    EXPECT_EQ(onDevice, GetOtp::otpCreate(key, "0"));

    foundation::Array requests = log();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].get("command")->intValue(), 20);
    EXPECT_EQ(*requests[0].get("fields"),
              foundation::Value(foundation::Array{foundation::Value("6F9619FF-8B86-D011-B42D-00C04FC964FF")}));
}

TEST_F(EnvelopeServer, RequestsArriveIntact) {
    foundation::Dictionary jsonFields;
    jsonFields.set("uuid", "u-1");
    jsonFields.set("name", "\u5b89\u5168");
    std::string longField(300, 'x');
    struct Case {
        std::string payload;
        std::string expected;
    } cases[] = {
        {TextPayload(28, {"%E5%AE%89%E5%85%A8", "a b", "100%25"}).text(), "28;%E5%AE%89%E5%85%A8,a b,100%25"},
        {TextPayload(28, {longField, "end"}).text(), "28;" + longField + ",end"},  // three blocks
        {TextPayload(20, {std::string("u\0v", 3)}).text(), "20;uv"},               // zero bytes are dropped
        {"20;a\u5b89", "20;a\u5b89"},                                              // raw UTF-8
        {*JsonPayload(32, jsonFields).text(), *JsonPayload(32, jsonFields).text()},
    };
    for (const Case& c : cases) {
        server_.control("reset");
        send(c.payload);
        foundation::Array requests = log();
        ASSERT_EQ(requests.size(), 1u) << c.payload;
        const foundation::Value& entry = requests[0];
        EXPECT_TRUE(entry.get("error")->isNull()) << entry.get("error")->description();
        EXPECT_EQ(*entry.get("text"), foundation::Value(c.expected));
    }
    // The server read the JSON form's command from "service".
    foundation::Array requests = log();
    EXPECT_EQ(requests[0].get("command")->intValue(), 32);
    EXPECT_EQ(*requests[0].get("json")->get("name"), foundation::Value("\u5b89\u5168"));
}

TEST_F(EnvelopeServer, RepliesArriveIntact) {
    foundation::Dictionary object;
    object.set("result", "true");
    object.set("name", "\u5b89\u5168 100%");
    object.set("list", std::string(400, 'y'));
    struct Case {
        foundation::Value reply;
    } cases[] = {
        {foundation::Value(object)},
        {foundation::Value("\u65f6\u95f4 100% done")},
        {foundation::Value("")},
    };
    for (const Case& c : cases) {
        script({{"command", 20}, {"reply", c.reply}});
        testserver::HttpReply reply = send("20;u");
        ASSERT_EQ(reply.status, 200);
        std::optional<std::string> plain = ReplyEnvelope::open(reply.body);
        ASSERT_TRUE(plain) << reply.body;
        if (c.reply.isString()) {
            EXPECT_EQ(*plain, *c.reply.asString());
        } else {
            EXPECT_EQ(ReplyEnvelope::json(*plain), c.reply);
        }
    }
}

TEST_F(EnvelopeServer, RemoteLogOutReply) {
    script({{"command", 21}, {"result", 201}});
    script({{"command", 21}, {"result", 200}});
    script({{"command", 21}, {"reply", "201"}});
    bool expected[] = {true, false, false};
    for (bool logOut : expected) {
        std::optional<std::string> plain = ReplyEnvelope::open(send("21;u").body);
        ASSERT_TRUE(plain);
        EXPECT_EQ(ReplyEnvelope::isRemoteLogOut(*plain), logOut) << *plain;
    }
}

TEST_F(EnvelopeServer, FaultyRepliesGiveNil) {
    struct Case {
        const char* fault;
        int status;
    } cases[] = {
        {"empty", 200}, {"malformed", 200}, {"no-content", 200}, {"garbled", 200}, {"http500", 500}, {"drop", 0},
    };
    for (const Case& c : cases) {
        script({{"command", 20}, {"fault", c.fault}});
        testserver::HttpReply reply = send("20;u");
        EXPECT_EQ(reply.status, c.status) << c.fault;
        EXPECT_EQ(ReplyEnvelope::open(reply.body), std::nullopt) << c.fault;
    }
    // The queue is used up: the next request is answered normally.
    EXPECT_TRUE(ReplyEnvelope::open(send("20;u").body));
}

}  // namespace
