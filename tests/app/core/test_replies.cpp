// Typed replies: each fromValue() takes a well-formed reply and names the
// member that is missing or of the wrong type.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/core/Replies.h"
#include "lib/json/JsonParser.h"

namespace {

foundation::Value parse(const char* text) {
    auto v = JsonParser().objectWithString(text);
    EXPECT_TRUE(v) << text;
    return v ? *v : foundation::Value();
}

TEST(Replies, HandshakeReplyMembers) {
    struct Case {
        const char* json;
        std::optional<std::string> sid;  // nullopt: fromValue fails
        std::optional<std::string> question;
        const char* error;
    };
    const Case cases[] = {
        {R"({"sid":"S1","question":"3,0,39"})", "S1", "3,0,39", ""},
        {R"({"sid":12345,"question":7})", "12345", "7", ""},
        // The server's word for a binding that is gone, and a JSON null.
        {R"({"sid":"null"})", "null", std::nullopt, ""},
        {R"({"sid":null})", "(null)", std::nullopt, ""},
        {R"({"question":"1"})", std::nullopt, std::nullopt, R"(member "sid" is missing)"},
        {R"({"sid":["a"],"question":"1"})", std::nullopt, std::nullopt, R"(member "sid" is not a text)"},
        {R"({"sid":"S","question":{"a":1}})", std::nullopt, std::nullopt, R"(member "question" is not a text)"},
        {R"(["sid"])", std::nullopt, std::nullopt, "the reply is not an object"},
    };
    for (const Case& c : cases) {
        foundation::ErrorRef error;
        auto reply = HandshakeReply::fromValue(parse(c.json), &error);
        ASSERT_EQ(reply.has_value(), c.sid.has_value()) << c.json;
        EXPECT_EQ(error ? error->message : std::string(), c.error) << c.json;
        if (error) EXPECT_TRUE(error->is(kReplyErrorDomain, kReplyMalformed)) << c.json;
        if (!reply) continue;
        EXPECT_EQ(reply->sid, *c.sid) << c.json;
        EXPECT_EQ(reply->question, c.question) << c.json;
    }
}

TEST(Replies, BindReplyAcceptsOnlyTrueAndReadsTheServerTime) {
    auto ok = BindReply::fromValue(parse(R"({"result":"true","checktime":1700000123999,"bid":"3132"})"));
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->accepted());
    EXPECT_EQ(ok->serverSeconds(), 1700000123);
    EXPECT_EQ(ok->bid, std::optional<std::string>("3132"));

    // A refusal is a reply all the same; only its result says no.
    for (const char* json : {R"({"result":"false"})", R"({"result":true})", R"({})"}) {
        auto r = BindReply::fromValue(parse(json));
        ASSERT_TRUE(r) << json;
        EXPECT_FALSE(r->accepted()) << json;
        EXPECT_EQ(r->serverSeconds(), 0) << json;
    }
    foundation::ErrorRef error;
    EXPECT_FALSE(BindReply::fromValue(parse(R"({"result":"true","checktime":[1]})"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, R"(member "checktime" is not a text)");
}

TEST(Replies, ReaderIntegersAndBooleans) {
    foundation::Value v = parse(R"({"n":201,"t":"201","x":"201x","f":1.5,"b":true,"one":1,"two":2,"a":[1,2]})");
    struct Case {
        const char* member;
        std::optional<long long> integer;
        std::optional<bool> boolean;
    };
    const Case cases[] = {
        {"n", 201, std::nullopt},          {"t", 201, std::nullopt},          {"x", std::nullopt, std::nullopt},
        {"f", std::nullopt, std::nullopt}, {"b", std::nullopt, true},         {"one", 1, true},
        {"two", 2, std::nullopt},          {"a", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        ReplyReader ints(v);
        EXPECT_EQ(ints.integer(c.member), c.integer) << c.member;
        EXPECT_EQ(ints.ok(), c.integer.has_value()) << c.member;
        ReplyReader bools(v);
        auto b = bools.boolean(c.member);
        EXPECT_EQ(b, c.boolean) << c.member;
        EXPECT_EQ(bools.ok(), c.boolean.has_value()) << c.member;
    }
    // Optional members may be absent; the first problem is the one kept.
    ReplyReader r(v);
    EXPECT_EQ(r.optionalInteger("missing"), std::nullopt);
    EXPECT_EQ(r.optionalBoolean("missing"), std::nullopt);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.array("a")->size(), 2u);
    EXPECT_FALSE(r.array("n"));
    EXPECT_FALSE(r.text("missing"));
    EXPECT_EQ(r.error(), R"(member "n" is not an array)");
}

}  // namespace
