// The handshake, the device identity and the serial bind synchroniser:
// computed vectors, and end to end against the test security server.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/core/CoreConstants.h"
#include "app/core/DBController.h"
#include "app/core/DeviceIdentity.h"
#include "app/core/Envelope.h"
#include "app/core/GetSid.h"
#include "app/core/StoreKeys.h"
#include "app/core/initUtil.h"
#include "lib/http/HttpRequest.h"
#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Paths.h"
#include "tests/server/TestServer.h"

namespace {

const foundation::InterfaceAddress kEth0{"eth0", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
const char* kDeviceId = "4a7074688ea4a32cd257f7c672d56365";  // MD5("00:11:22:33:44:55")

TEST(DeviceIdentity, IdentifierAndDigestVectors) {
    foundation::setInterfaceMacAddresses(std::vector<foundation::InterfaceAddress>{kEth0});
    EXPECT_EQ(IdentifierAddition::macaddress(), std::optional<std::string>("00:11:22:33:44:55"));
    EXPECT_EQ(IdentifierAddition::uniqueGlobalDeviceIdentifier(), std::optional<std::string>(kDeviceId));
    EXPECT_EQ(IdentifierAddition::firstBindIdentifier(), kDeviceId);
    EXPECT_EQ(IdentifierAddition::uniqueDeviceIdentifier()->size(), 32u);

    EXPECT_EQ(MD5Addition::stringFromMD5(""), std::nullopt);
    EXPECT_EQ(MD5Addition::stringFromSha1("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(MD5Addition::createSha1Hash("abc").size(), 20u);
    EXPECT_EQ(HachMac::hachMac("Jefe", "what do ya want for nothing?"), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    std::string uuid = CreateUUID::createUUID();
    EXPECT_EQ(uuid.size(), 36u);
    EXPECT_NE(uuid, CreateUUID::createUUID());
}

TEST(DeviceIdentity, WithoutAHardwareAddressTheFallbackIsKeptAcrossRuns) {
    foundation::setInterfaceMacAddresses(std::vector<foundation::InterfaceAddress>{});
    EXPECT_EQ(IdentifierAddition::macaddress(), std::nullopt);
    EXPECT_EQ(IdentifierAddition::uniqueGlobalDeviceIdentifier(), std::nullopt);
    const std::string first = IdentifierAddition::firstBindIdentifier();
    ASSERT_EQ(first.size(), 12u);
    EXPECT_EQ(first.find_first_not_of("012345678"), std::string::npos);
    EXPECT_EQ(IdentifierAddition::firstBindIdentifier(), first);
    // A damaged record is replaced by a new, well-formed one.
    ASSERT_TRUE(foundation::writeFileAtomically(
        foundation::joinPath(foundation::homeDir(), "Library/device-identifier"), "99"));
    EXPECT_EQ(IdentifierAddition::firstBindIdentifier().find_first_not_of("012345678"), std::string::npos);
}

TEST(Handshake, ProofPayloadsAndReplies) {
    const std::string h = HachMac::hachMac(kDeviceId, "abc123");
    ASSERT_EQ(h.size(), 40u);
    EXPECT_EQ(GetSid::proof("3,0,39", h), std::optional<std::string>("40e"));
    EXPECT_EQ(GetSid::proof("", h), std::optional<std::string>(h.substr(0, 1)));  // one empty piece reads as 0
    EXPECT_EQ(GetSid::proof("40", h), std::nullopt);
    EXPECT_EQ(GetSid::proof("-1", h), std::nullopt);

    Answer a;
    a.mac = kDeviceId;
    a.uuid = "6F9619FF-8B86-4011-B42D-00C04FC964FF";
    EXPECT_EQ(GetSid::payloadText(a, "0"), std::string("0;") + kDeviceId + ",0");
    EXPECT_EQ(GetSid::payloadText(a, "1"), "0;6F9619FF-8B86-4011-B42D-00C04FC964FF,1");
    EXPECT_EQ(GetSid::payloadText(Answer(), "1"), "0;(null),1");

    struct Case {
        std::string plain;
        std::string answer;
    };
    const Case cases[] = {
        {R"({"result":200,"sid":"abc123","question":"3,0,39"})", "40e"},
        {R"({"result":201,"sid":"abc123","question":"1"})", AnswerRemoteLogout},
        {R"({"result":200,"sid":"null","question":"1"})", AnswerRemoteLogout},
        {R"({"result":200,"question":"1"})", AnswerNetworkError},
        {R"({"result":200,"sid":"abc123"})", AnswerNetworkError},
        {R"({"result":200,"sid":"abc123","question":"3,40"})", AnswerNetworkError},
        {"not json", AnswerNetworkError},
        {"[1,2]", AnswerNetworkError},
    };
    for (const auto& c : cases) {
        Answer answer;
        answer.mac = kDeviceId;
        GetSid::readReply(c.plain, answer);
        EXPECT_EQ(answer.answer, std::optional<std::string>(c.answer)) << c.plain;
    }
}

class HandshakeServer : public testing::Test {
protected:
    void SetUp() override {
        server_.useAsDeploymentServer();
        foundation::setInterfaceMacAddresses(std::vector<foundation::InterfaceAddress>{kEth0});
    }

    void script(const foundation::Dictionary& entry) {
        server_.control("script", *JsonWriter().stringWithObject(foundation::Value(entry)));
    }

    foundation::Array log() {
        auto parsed = JsonParser().objectWithString(server_.controlGet("log"));
        const foundation::Value* requests = parsed ? parsed->get("requests") : nullptr;
        return requests && requests->asArray() ? *requests->asArray() : foundation::Array{};
    }

    // Runs the handshake on a worker thread, as the screens do.
    Answer handshake(const std::string& mode) {
        Answer out;
        std::thread([&] { out = GetSid().getSid(mode); }).join();
        return out;
    }

    // Sends a command synchronously and returns its parsed plain reply.
    std::optional<foundation::Value> command(const std::string& payload) {
        auto address = requestAddressForPayload(payload);
        if (!address) return std::nullopt;
        std::optional<foundation::Value> out;
        std::thread([&] {
            auto request = http::HttpRequest::requestWithURL(*address);
            request->startSynchronous();
            auto body = request->responseString();
            auto plain = body ? ReplyEnvelope::open(*body) : std::nullopt;
            if (plain) out = ReplyEnvelope::json(*plain);
        }).join();
        return out;
    }

    testserver::SecurityServer server_;
};

TEST_F(HandshakeServer, TheServerAcceptsTheProofOfAFirstBind) {
    Answer answer = handshake("0");
    ASSERT_TRUE(answer.answer);
    ASSERT_EQ(answer.answer->size(), 6u) << *answer.answer;
    EXPECT_EQ(answer.mac, std::optional<std::string>(kDeviceId));
    ASSERT_TRUE(answer.sid);

    auto reply = command(initUtil::payloadText(answer, "Q3T7K9"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->get("result")->intValue(), 202);

    // A wrong proof is refused: the session is used up, and a changed
    // character never matches.
    Answer again = handshake("0");
    std::string wrong = *again.answer;
    wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
    again.answer = wrong;
    auto refused = command(initUtil::payloadText(again, "Q3T7K9"));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->get("result")->intValue(), 413);

    foundation::Array requests = log();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(*requests[0].get("text")->asString(), std::string("0;") + kDeviceId + ",0");
}

TEST_F(HandshakeServer, LaterHandshakesSendTheStoredUuid) {
    // Bind for real so the server knows the uuid, then keep the rows.
    Answer first = handshake("0");
    ASSERT_EQ(command(initUtil::payloadText(first, "Q3T7K9"))->get("result")->intValue(), 202);
    DkBase dk;
    dk.bid = "3132333435363738393031323334353637383930";
    dk.difftime = "0";
    ASSERT_TRUE(initUtil().saveDkbase(dk, first));

    Answer later = handshake("1");
    EXPECT_EQ(later.uuid, first.uuid);
    EXPECT_EQ(later.mac, std::optional<std::string>(kDeviceId));
    ASSERT_TRUE(later.answer);
    EXPECT_EQ(later.answer->size(), 6u);
    EXPECT_EQ(*log().back().get("text")->asString(), "0;" + *first.uuid + ",1");

    // A uuid the server does not know means the binding was removed remotely.
    ASSERT_TRUE(CoreConstants::upDateDBSetValue("00000000-0000-4000-8000-000000000000", StoreKeys::uuid));
    EXPECT_EQ(handshake("1").answer, std::optional<std::string>(AnswerRemoteLogout));
}

TEST_F(HandshakeServer, FailuresGiveTheOutcomeCodes) {
    struct Case {
        foundation::Dictionary script;
        const char* answer;
    };
    const Case cases[] = {
        {{{"command", 0}, {"result", 201}}, AnswerRemoteLogout},
        {{{"command", 0}, {"reply", foundation::Dictionary{{"sid", "null"}, {"question", "1"}}}}, AnswerRemoteLogout},
        {{{"command", 0}, {"fault", "no-content"}}, AnswerNetworkError},
        {{{"command", 0}, {"fault", "empty"}}, AnswerNetworkError},
        {{{"command", 0}, {"fault", "garbled"}}, AnswerNetworkError},
        {{{"command", 0}, {"fault", "http500"}}, AnswerNetworkError},
        {{{"command", 0}, {"reply", "plain text"}}, AnswerNetworkError},
        {{{"command", 0}, {"reply", foundation::Dictionary{{"sid", "s"}, {"question", "7,99"}}}}, AnswerNetworkError},
    };
    for (const auto& c : cases) {
        server_.control("reset");
        script(c.script);
        EXPECT_EQ(handshake("0").answer, std::optional<std::string>(c.answer))
            << JsonWriter().stringWithObject(foundation::Value(c.script)).value_or("");
    }
    // A server that drops the connection every time (the client retries a
    // lost kept-alive connection once).
    server_.control("reset");
    for (int i = 0; i < 3; ++i) script({{"command", 0}, {"fault", "drop"}});
    EXPECT_EQ(handshake("0").answer, std::optional<std::string>(AnswerNetworkError));
}

TEST_F(HandshakeServer, NoReplyWithinSixSecondsGivesTen) {
    script({{"command", 0}, {"delay", 7}});
    foundation::ManualClockScope clock;
    std::atomic<bool> done{false};
    Answer out;
    std::thread worker([&] {
        out = GetSid().getSid("0");
        done = true;
    });
    // Once the server holds the request, only the client's time-out can end it.
    for (int i = 0; i < 500 && log().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(log().empty());
    clock->advance(5.5);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done.load());
    for (int i = 0; i < 500 && !done; ++i) {
        clock->advance(0.25);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    EXPECT_EQ(out.answer, std::optional<std::string>(AnswerNetworkError));
}

TEST_F(HandshakeServer, TheSynchroniserLeavesACompleteBinding) {
    const long long checktime = 1700000123999;
    script({{"command", 16},
            {"reply", foundation::Dictionary{{"result", "true"}, {"checktime", checktime}, {"bid", "3132"}}}});
    initUtil sync;
    std::thread([&] { sync.syncThreadUtil("Q3T7K9"); }).join();
    EXPECT_TRUE(sync.IsFinish);
    EXPECT_TRUE(sync.IsSyncSuccess);
    EXPECT_FALSE(sync.isConnetError);

    // What the launch routing reads to go to the main screen.
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::read_index), std::optional<std::string>("3.0.0"));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::passward), std::optional<std::string>("null"));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::bid), std::optional<std::string>("3132"));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::mac), std::optional<std::string>(kDeviceId));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::uuid), sync.answer().uuid);
    auto rows = DBController::openExisting()->querryTable();
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->size(), 29u);

    foundation::Array requests = log();
    ASSERT_EQ(requests.size(), 2u);
    auto fields = *requests[1].get("fields")->asArray();
    ASSERT_EQ(fields.size(), 8u);
    EXPECT_EQ(*fields[0].asString(), kDeviceId);
    EXPECT_EQ(*fields[2].asString(), "Q3T7K9");
    EXPECT_EQ(*fields[3].asString(), "iphone");
}

TEST_F(HandshakeServer, EverySynchroniserFailureEndsTheWait) {
    struct Case {
        std::vector<foundation::Dictionary> scripts;
        bool connectionError;
    };
    const Case cases[] = {
        {{{{"command", 0}, {"fault", "drop"}}, {{"command", 0}, {"fault", "drop"}}}, true},
        {{{{"command", 0}, {"result", 201}}}, true},
        {{{{"command", 16}, {"fault", "http500"}}}, true},
        {{{{"command", 16}, {"fault", "garbled"}}}, true},
        {{{{"command", 16}, {"reply", foundation::Dictionary{{"result", "false"}}}}}, false},
    };
    for (const auto& c : cases) {
        server_.control("reset");
        for (const auto& s : c.scripts) script(s);
        initUtil sync;
        std::thread([&] { sync.syncThreadUtil("Q3T7K9"); }).join();
        EXPECT_TRUE(sync.IsFinish);
        EXPECT_FALSE(sync.IsSyncSuccess);
        EXPECT_EQ(sync.isConnetError.load(), c.connectionError);
        EXPECT_FALSE(DBController::databaseExit());
    }
}

}  // namespace

namespace {

// The server may have bound the phone with a request whose reply never came:
// the synchroniser does not send it again (a replayed challenge would be
// refused, leaving the server bound and the phone not).
TEST_F(HandshakeServer, ABindThatTimesOutIsNotSentAgain) {
    script({{"command", 16}, {"delay", 3}});
    foundation::ManualClockScope clock;
    std::atomic<bool> done{false};
    initUtil sync;
    std::thread worker([&] {
        sync.syncThreadUtil("Q3T7K9");
        done = true;
    });
    auto commands16 = [&] {
        int n = 0;
        for (const foundation::Value& entry : log())
            if (entry.get("command")->intValue() == 16) ++n;
        return n;
    };
    for (int i = 0; i < 500 && commands16() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(commands16(), 1);
    for (int i = 0; i < 500 && !done; ++i) {
        clock->advance(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    EXPECT_TRUE(sync.IsFinish);
    EXPECT_FALSE(sync.IsSyncSuccess);
    EXPECT_TRUE(sync.isConnetError);
    // Let a resent request (there must be none) reach the server.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(commands16(), 1);
}

}  // namespace
