// Authentication: Basic and Digest challenges answered from the request, the
// session store, the delegate; failures with their codes.
#include <gtest/gtest.h>

#include "platform/crypto/Digest.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Text.h"
#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;
using clienttest::Recorder;
using clienttest::runMainUntil;
using testnet::LoopbackHttpServer;

namespace {

std::vector<testnet::Action> challenge(const std::string& value) {
    return {testnet::send(testnet::response(401, {{"WWW-Authenticate", value}}, "who are you"))};
}

std::vector<testnet::Action> ok(const std::string& body) { return {testnet::send(testnet::response(200, {}, body))}; }

// A Basic server that knows one user.
void serveBasic(LoopbackHttpServer& server, const std::string& path, const std::string& user, const std::string& pass) {
    std::string expected = "Basic " + foundation::base64Encode(user + ":" + pass);
    server.on(path, [expected](const testnet::ServerRequest& q) {
        const std::string* a = q.headers.get("Authorization");
        if (a && *a == expected) return ok("welcome");
        return challenge("Basic realm=\"quenta\"");
    });
}

std::optional<std::string> authorizationOf(const testnet::ServerRequest& q) {
    if (const std::string* a = q.headers.get("Authorization")) return *a;
    return std::nullopt;
}

struct AsksForCredentials : Recorder {
    int asked = 0;
    bool askedOnMain = true;
    std::function<void(HttpRequest&)> answer;
    bool respondsToAuthenticationNeeded() const override { return true; }
    void authenticationNeededForRequest(HttpRequest& r) override {
        ++asked;
        askedOnMain = askedOnMain && foundation::RunLoop::isMainThread();
        if (answer) answer(r);
    }
};

class HttpAuth : public ::testing::Test {};

}  // namespace

TEST_F(HttpAuth, BasicChallengeIsAnsweredAndTheNextRequestSendsCredentialsUpFront) {
    LoopbackHttpServer server;
    serveBasic(server, "/private", "user", "pass");
    Recorder rec;
    auto first = HttpRequest::requestWithURL(server.url("/private"));
    first->setUsername("user");
    first->setPassword("pass");
    first->setDelegate(&rec);
    first->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    EXPECT_EQ(rec.finished, 1);
    EXPECT_EQ(first->responseStatusCode(), 200);
    EXPECT_EQ(first->responseString(), "welcome");
    EXPECT_EQ(first->authenticationScheme(), "Basic");
    EXPECT_EQ(first->authenticationRealm(), "quenta");
    EXPECT_EQ(first->authenticationRetryCount(), 1);
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_FALSE(authorizationOf(seen[0]));
    EXPECT_EQ(authorizationOf(seen[1]), "Basic dXNlcjpwYXNz");
    ASSERT_EQ(HttpRequest::sessionCredentialsStore().size(), 1u);
    EXPECT_EQ(HttpRequest::sessionCredentialsStore()[0]->credentials->username, "user");

    // A later request with no credentials of its own sends them at once.
    auto second = HttpRequest::requestWithURL(server.url("/private"));
    second->startSynchronous();
    EXPECT_EQ(second->error(), nullptr);
    EXPECT_EQ(second->responseString(), "welcome");
    seen = server.requests();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(authorizationOf(seen[2]), "Basic dXNlcjpwYXNz");

    // Forgetting the session forgets them.
    HttpRequest::clearSession();
    auto third = HttpRequest::requestWithURL(server.url("/private"));
    third->startSynchronous();
    ASSERT_NE(third->error(), nullptr);
    EXPECT_EQ(third->error()->code, kAuthenticationErrorType);
}

TEST_F(HttpAuth, BasicSentBeforeAnyChallengeIsRememberedOnceAccepted) {
    LoopbackHttpServer server;
    serveBasic(server, "/private", "user", "pass");
    for (int i = 0; i < 2; ++i) {
        auto r = HttpRequest::requestWithURL(server.url("/private"));
        r->setUsername("user");
        r->setPassword("pass");
        r->setAuthenticationScheme("Basic");
        r->startSynchronous();
        EXPECT_EQ(r->responseString(), "welcome");
    }
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);  // no challenge was needed
    EXPECT_EQ(authorizationOf(seen[0]), "Basic dXNlcjpwYXNz");
    auto store = HttpRequest::sessionCredentialsStore();
    ASSERT_EQ(store.size(), 1u);  // kept once, not once per request
    EXPECT_EQ(store[0]->authentication, nullptr);
    EXPECT_EQ(store[0]->authenticationScheme, "Basic");
}

TEST_F(HttpAuth, WrongPasswordFailsASynchronousRequest) {
    LoopbackHttpServer server;
    serveBasic(server, "/private", "user", "pass");
    auto r = HttpRequest::requestWithURL(server.url("/private"));
    r->setUsername("user");
    r->setPassword("wrong");
    std::thread worker([&] { r->startSynchronous(); });
    worker.join();
    ASSERT_NE(r->error(), nullptr);
    EXPECT_EQ(r->error()->code, kAuthenticationErrorType);
    EXPECT_EQ(r->error()->message, "Authentication needed");
    EXPECT_EQ(r->error(), authenticationError());
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_EQ(r->requestCredentials(), nullptr);
    EXPECT_TRUE(HttpRequest::sessionCredentialsStore().empty());
}

TEST_F(HttpAuth, WrongPasswordAsksTheDelegateOnTheMainThreadWhichMaySupplyBetterOnes) {
    LoopbackHttpServer server;
    serveBasic(server, "/private", "user", "pass");
    AsksForCredentials rec;
    rec.answer = [](HttpRequest& r) {
        r.setPassword("pass");
        r.retryUsingSuppliedCredentials();
    };
    auto r = HttpRequest::requestWithURL(server.url("/private"));
    r->setUsername("user");
    r->setPassword("wrong");
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    EXPECT_EQ(rec.asked, 1);
    EXPECT_TRUE(rec.askedOnMain);
    EXPECT_EQ(rec.finished, 1);
    EXPECT_EQ(r->responseString(), "welcome");
    EXPECT_EQ(server.requestCount(), 3);
}

TEST_F(HttpAuth, DelegateThatCancelsEndsTheRequestWithAuthenticationNeeded) {
    LoopbackHttpServer server;
    serveBasic(server, "/private", "user", "pass");
    AsksForCredentials rec;
    rec.answer = [](HttpRequest& r) { r.cancelAuthentication(); };
    auto r = HttpRequest::requestWithURL(server.url("/private"));  // no credentials at all
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    EXPECT_EQ(rec.asked, 1);
    EXPECT_EQ(rec.failed, 1);
    EXPECT_EQ(r->error()->code, kAuthenticationErrorType);
    EXPECT_EQ(server.requestCount(), 1);
}

namespace {

std::map<std::string, std::string> digestParams(const std::string& header) {
    std::map<std::string, std::string> out;
    std::string rest = header.substr(header.find(' ') + 1);
    for (const std::string& piece : foundation::split(rest, ", ")) {
        size_t eq = piece.find('=');
        if (eq == std::string::npos) continue;
        std::string v = piece.substr(eq + 1);
        if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
        out[piece.substr(0, eq)] = v;
    }
    return out;
}

std::string md5hex(const std::string& s) { return crypto::hex(crypto::md5(s)); }

}  // namespace

TEST(HttpAuthDigest, ResponseValueOfTheStandardExample) {
    EXPECT_EQ(net::HttpAuthentication::digestResponse("MD5", "Mufasa", "testrealm@host.com", "Circle Of Life", "GET",
                                                      "/dir/index.html", "dcd98b7102dd2f0e8b11d0f600bfb0c093",
                                                      "00000001", "0a4f113b", "auth"),
              "6629fae49393a05397450978507c4ef1");
}

TEST_F(HttpAuth, DigestAgainstAServerThatChecksTheHash) {
    LoopbackHttpServer server;
    std::mutex m;
    std::vector<std::string> ncs;
    server.on("/vault", [&](const testnet::ServerRequest& q) {
        const std::string* a = q.headers.get("Authorization");
        const std::string challengeText =
            "Digest realm=\"vault\", qop=\"auth,auth-int\", nonce=\"n0nce\", opaque=\"0paque\"";
        if (!a || !foundation::startsWith(*a, "Digest ")) return challenge(challengeText);
        auto p = digestParams(*a);
        // Computed here from the standard's formula, independently of the client.
        std::string ha1 = md5hex("alice:vault:s3cret");
        std::string ha2 = md5hex(q.method + ":" + q.target);
        std::string expected = md5hex(ha1 + ":n0nce:" + p["nc"] + ":" + p["cnonce"] + ":auth:" + ha2);
        bool good = p["username"] == "alice" && p["realm"] == "vault" && p["nonce"] == "n0nce" &&
                    p["uri"] == q.target && p["opaque"] == "0paque" && p["qop"] == "auth" && p["response"] == expected;
        if (!good) return challenge(challengeText);
        std::lock_guard<std::mutex> l(m);
        ncs.push_back(p["nc"]);
        return ok("opened");
    });
    auto r = HttpRequest::requestWithURL(server.url("/vault?item=1"));
    r->setUsername("alice");
    r->setPassword("s3cret");
    r->startSynchronous();
    EXPECT_EQ(r->error(), nullptr);
    EXPECT_EQ(r->responseString(), "opened");
    EXPECT_EQ(r->authenticationScheme(), "Digest");
    EXPECT_EQ(server.requestCount(), 2);

    // The session entry answers the next request at once, with the next count.
    auto again = HttpRequest::requestWithURL(server.url("/vault?item=1"));
    again->startSynchronous();
    EXPECT_EQ(again->responseString(), "opened");
    EXPECT_EQ(server.requestCount(), 3);
    EXPECT_EQ(ncs, (std::vector<std::string>{"00000001", "00000002"}));

    auto wrong = HttpRequest::requestWithURL(server.url("/vault"));
    wrong->setUsername("alice");
    wrong->setPassword("guess");
    wrong->startSynchronous();
    ASSERT_NE(wrong->error(), nullptr);
    EXPECT_EQ(wrong->error()->code, kAuthenticationErrorType);
}

TEST_F(HttpAuth, ChallengesThatCannotBeAnswered) {
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string user;
        int code;
        const char* message;
    };
    const Row rows[] = {
        {"no challenge header",
         {},
         "user",
         kInternalErrorWhileApplyingCredentialsType,
         "Failed to get authentication object from response headers"},
        {"unknown scheme",
         {{"WWW-Authenticate", "Bearer realm=\"x\""}},
         "user",
         kInternalErrorWhileApplyingCredentialsType,
         "Failed to get authentication object from response headers"},
        {"NTLM only",
         {{"WWW-Authenticate", "NTLM"}},
         "DOMAIN\\user",
         kAuthenticationErrorType,
         "Authentication needed"},
        // A user name that would split the header is never written into it.
        {"Digest user with CR LF",
         {{"WWW-Authenticate", "Digest realm=\"r\", nonce=\"n\""}},
         "bad\r\nX-Evil: 1",
         kInternalErrorWhileApplyingCredentialsType,
         "Failed to apply credentials to request"},
    };
    for (const Row& row : rows) {
        LoopbackHttpServer server;
        server.on("/p", [&](auto&) {
            return std::vector<testnet::Action>{testnet::send(testnet::response(401, row.headers, "no"))};
        });
        auto r = HttpRequest::requestWithURL(server.url("/p"));
        r->setUsername(row.user);
        r->setPassword("pw");
        r->startSynchronous();
        ASSERT_NE(r->error(), nullptr) << row.name;
        EXPECT_EQ(r->error()->code, row.code) << row.name;
        EXPECT_EQ(r->error()->message, row.message) << row.name;
        EXPECT_EQ(server.requestCount(), 1) << row.name;
        for (const auto& q : server.requests()) EXPECT_EQ(q.headers.get("X-Evil"), nullptr) << row.name;
    }
}

TEST_F(HttpAuth, ProxyChallengeIsAnsweredWithTheProxyCredentialsAndRemembered) {
    LoopbackHttpServer server;
    const std::string expected = "Basic " + foundation::base64Encode("pu:pp");
    server.on("/via", [&](const testnet::ServerRequest& q) {
        const std::string* a = q.headers.get("Proxy-Authorization");
        if (a && *a == expected) return ok("through");
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(407, {{"Proxy-Authenticate", "Basic realm=\"gate\""}}, ""))};
    });
    auto r = HttpRequest::requestWithURL(server.url("/via"));
    r->setProxyHost("127.0.0.1");
    r->setProxyPort(server.port());
    r->setProxyUsername("pu");
    r->setProxyPassword("pp");
    r->startSynchronous();
    EXPECT_EQ(r->error(), nullptr);
    EXPECT_EQ(r->responseString(), "through");
    EXPECT_EQ(r->proxyAuthenticationScheme(), "Basic");
    EXPECT_EQ(r->proxyAuthenticationRealm(), "gate");
    EXPECT_EQ(r->proxyAuthenticationRetryCount(), 1);
    ASSERT_EQ(HttpRequest::sessionProxyCredentialsStore().size(), 1u);

    // The next request through the same proxy sends them at once.
    auto next = HttpRequest::requestWithURL(server.url("/via"));
    next->setProxyHost("127.0.0.1");
    next->setProxyPort(server.port());
    next->startSynchronous();
    EXPECT_EQ(next->responseString(), "through");
    EXPECT_EQ(server.requestCount(), 3);
    for (const auto& e : HttpRequest::sessionProxyCredentialsStore())
        HttpRequest::removeProxyAuthenticationCredentialsFromSessionStore(e->credentials);
}

TEST_F(HttpAuth, RequestWaitingForCredentialsCanBeCancelled) {
    LoopbackHttpServer server;
    serveBasic(server, "/private", "user", "pass");
    AsksForCredentials rec;
    rec.answer = [](HttpRequest& r) { r.cancel(); };
    auto r = HttpRequest::requestWithURL(server.url("/private"));
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    foundation::RunLoop::main().drain();
    EXPECT_EQ(rec.asked, 1);
    EXPECT_EQ(rec.failed, 1);
    EXPECT_EQ(r->error()->code, kRequestCancelledErrorType);
    EXPECT_TRUE(r->isFinished());
}
