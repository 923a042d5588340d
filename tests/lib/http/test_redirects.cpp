// Redirects: method and header rules, relative locations, the limit, the
// delegate's confirmation, and credentials across origins.
#include <gtest/gtest.h>

#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;
using clienttest::Recorder;
using clienttest::runMainUntil;
using testnet::LoopbackHttpServer;

namespace {

std::vector<testnet::Action> redirectTo(int status, const std::string& location) {
    return {testnet::send(testnet::response(status, {{"Location", location}}, "moved"))};
}

std::vector<testnet::Action> ok(const std::string& body) { return {testnet::send(testnet::response(200, {}, body))}; }

void runAsync(const HttpRequestRef& r, Recorder& rec) {
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
}

std::optional<testnet::ServerRequest> lastRequestTo(const std::vector<testnet::ServerRequest>& all,
                                                    const std::string& path) {
    std::optional<testnet::ServerRequest> found;
    for (const auto& r : all)
        if (r.path == path) found = r;
    return found;
}

}  // namespace

TEST(HttpRedirects, MethodBodyAndHeadersFollowTheStatus) {
    struct Row {
        int status;
        bool rfc2616;
        const char* method;
        bool keepsBodyAndHeaders;
    };
    const Row rows[] = {
        {302, false, "GET", false}, {301, false, "GET", false}, {303, false, "GET", false}, {303, true, "GET", false},
        {307, false, "POST", true}, {302, true, "POST", true},  {301, true, "POST", true},
    };
    for (const Row& row : rows) {
        LoopbackHttpServer server;
        server.on("/a/start", [&](auto&) { return redirectTo(row.status, "../b/target?x=1"); });
        server.on("/b/target", [](auto&) { return ok("done"); });
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url("/a/start"));
        r->setRequestMethod("POST");
        r->appendPostData(std::string("payload=1"));
        r->addRequestHeader("X-Custom", "kept?");
        r->addRequestHeader("Accept", "text/plain");
        r->setShouldUseRFC2616RedirectBehaviour(row.rfc2616);
        runAsync(r, rec);
        std::string label = std::to_string(row.status) + (row.rfc2616 ? " rfc2616" : "");
        EXPECT_EQ(rec.finished, 1) << label;
        EXPECT_EQ(rec.redirected, 1) << label;
        EXPECT_EQ(r->responseString(), "done") << label;
        EXPECT_EQ(r->redirectCount(), 1) << label;
        EXPECT_EQ(r->url()->absoluteString(), server.url("/b/target?x=1")) << label;
        EXPECT_EQ(r->originalURL()->absoluteString(), server.url("/a/start")) << label;
        auto target = lastRequestTo(server.requests(), "/b/target");
        ASSERT_TRUE(target) << label;
        EXPECT_EQ(target->method, row.method) << label;
        EXPECT_EQ(target->target, "/b/target?x=1") << label;
        EXPECT_EQ(target->body, row.keepsBodyAndHeaders ? "payload=1" : "") << label;
        EXPECT_EQ(target->headers.get("Content-Length") != nullptr, row.keepsBodyAndHeaders) << label;
        EXPECT_EQ(target->headers.get("X-Custom") != nullptr, row.keepsBodyAndHeaders) << label;
        ASSERT_NE(target->headers.get("Accept"), nullptr) << label;
        EXPECT_EQ(*target->headers.get("Accept"), "text/plain") << label;
        EXPECT_NE(target->headers.get("User-Agent"), nullptr) << label;
    }
}

TEST(HttpRedirects, FiveAreFollowedAndTheSixthFails) {
    LoopbackHttpServer server;
    // "/hop/N" redirects N more times (relative Location), then answers.
    server.on("/hop", [](const testnet::ServerRequest& q) {
        int left = std::stoi(q.target.substr(q.target.find('=') + 1));
        if (left == 0) return ok("arrived");
        return redirectTo(302, "hop?left=" + std::to_string(left - 1));
    });
    {
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url("/hop?left=5"));
        runAsync(r, rec);
        EXPECT_EQ(rec.finished, 1);
        EXPECT_EQ(r->responseString(), "arrived");
        EXPECT_EQ(r->redirectCount(), 5);
        EXPECT_EQ(server.requestCount(), 6);
    }
    {
        int before = server.requestCount();
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url("/hop?left=6"));
        runAsync(r, rec);
        EXPECT_EQ(rec.failed, 1);
        ASSERT_NE(r->error(), nullptr);
        EXPECT_EQ(r->error()->code, kTooMuchRedirectionErrorType);
        EXPECT_EQ(r->error()->localizedDescription, "The request failed because it redirected too many times");
        EXPECT_EQ(r->error(), tooMuchRedirectionError());
        EXPECT_EQ(server.requestCount() - before, 6);  // the reply after the sixth redirect is never asked for
    }
}

TEST(HttpRedirects, WhatIsNotARedirect) {
    LoopbackHttpServer server;
    server.on("/no-location",
              [](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(301, {}, "gone"))}; });
    server.on("/moved", [](auto&) { return redirectTo(302, "/elsewhere"); });
    server.on("/elsewhere", [](auto&) { return ok("there"); });
    {
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url("/no-location"));
        runAsync(r, rec);
        EXPECT_EQ(rec.finished, 1);
        EXPECT_EQ(r->responseStatusCode(), 301);
        EXPECT_EQ(r->responseString(), "gone");
        EXPECT_EQ(r->redirectCount(), 0);
    }
    {
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url("/moved"));
        r->setShouldRedirect(false);
        runAsync(r, rec);
        EXPECT_EQ(rec.finished, 1);
        EXPECT_EQ(r->responseStatusCode(), 302);
        EXPECT_FALSE(lastRequestTo(server.requests(), "/elsewhere"));
    }
}

namespace {
// Confirms every redirect by sending the request somewhere of its own choice.
struct Confirming : Recorder {
    std::vector<std::string> asked;
    std::string instead;
    bool respondsToWillRedirect() const override { return true; }
    void requestWillRedirectToURL(HttpRequest& r, const net::Url& url) override {
        note();
        asked.push_back(url.absoluteString());
        r.redirectToURL(*net::Url::parse(instead));
    }
};
}  // namespace

TEST(HttpRedirects, DelegateConfirmsAndMayChooseTheTarget) {
    LoopbackHttpServer server;
    server.on("/moved", [](auto&) { return redirectTo(302, "/proposed"); });
    server.on("/chosen", [](auto&) { return ok("chosen"); });
    Confirming rec;
    rec.instead = server.url("/chosen");
    auto r = HttpRequest::requestWithURL(server.url("/moved"));
    runAsync(r, rec);
    EXPECT_EQ(rec.finished, 1);
    EXPECT_TRUE(rec.allOnMain);
    ASSERT_EQ(rec.asked.size(), 1u);
    EXPECT_EQ(rec.asked[0], server.url("/proposed"));
    EXPECT_EQ(r->responseString(), "chosen");
    EXPECT_FALSE(lastRequestTo(server.requests(), "/proposed"));
}

TEST(HttpRedirects, AuthorizationStaysWithItsOrigin) {
    LoopbackHttpServer home, other;
    home.on("/same", [&](auto&) { return redirectTo(307, "/target"); });
    home.on("/cross", [&](auto&) { return redirectTo(307, other.url("/target")); });
    home.on("/target", [](auto&) { return ok("home"); });
    other.on("/target", [](auto&) { return ok("other"); });
    struct Row {
        const char* path;
        LoopbackHttpServer* target;
        bool keepsAuthorization;
    };
    for (const Row& row : {Row{"/same", &home, true}, Row{"/cross", &other, false}}) {
        Recorder rec;
        auto r = HttpRequest::requestWithURL(home.url(row.path));
        r->addRequestHeader("Authorization", "Bearer secret");
        r->addRequestHeader("X-Trace", "1");
        runAsync(r, rec);
        EXPECT_EQ(rec.finished, 1) << row.path;
        auto seen = lastRequestTo(row.target->requests(), "/target");
        ASSERT_TRUE(seen) << row.path;
        EXPECT_EQ(seen->headers.get("Authorization") != nullptr, row.keepsAuthorization) << row.path;
        EXPECT_NE(seen->headers.get("X-Trace"), nullptr) << row.path;
    }
}

namespace {
// Cancels instead of confirming.
struct Refusing : Recorder {
    int asked = 0;
    bool respondsToWillRedirect() const override { return true; }
    void requestWillRedirectToURL(HttpRequest& r, const net::Url&) override {
        ++asked;
        r.cancel();
    }
};
}  // namespace

TEST(HttpRedirects, RequestWaitingForConfirmationCanBeCancelled) {
    LoopbackHttpServer server;
    server.on("/moved", [](auto&) { return redirectTo(302, "/proposed"); });
    Refusing rec;
    auto r = HttpRequest::requestWithURL(server.url("/moved"));
    runAsync(r, rec);
    foundation::RunLoop::main().drain();
    EXPECT_EQ(rec.asked, 1);
    EXPECT_EQ(rec.failed, 1);
    EXPECT_EQ(rec.finished, 0);
    ASSERT_NE(r->error(), nullptr);
    EXPECT_EQ(r->error()->code, kRequestCancelledErrorType);
    EXPECT_TRUE(r->isFinished());
    EXPECT_EQ(server.requestCount(), 1);
}
