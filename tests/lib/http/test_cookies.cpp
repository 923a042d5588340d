// Cookies between requests: received, sent back, kept in the session list,
// forgotten by clearSession.
#include <gtest/gtest.h>

#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;
using testnet::LoopbackHttpServer;

namespace {

class HttpCookies : public ::testing::Test {};

std::optional<std::string> cookieHeaderOfLast(const LoopbackHttpServer& server) {
    auto all = server.requests();
    if (all.empty()) return std::nullopt;
    if (const std::string* c = all.back().headers.get("Cookie")) return *c;
    return std::nullopt;
}

HttpRequestRef get(const LoopbackHttpServer& server, const std::string& path) {
    auto r = HttpRequest::requestWithURL(server.url(path));
    r->startSynchronous();
    return r;
}

}  // namespace

TEST_F(HttpCookies, RoundTripBetweenRequestsAndClearSession) {
    LoopbackHttpServer server;
    server.on("/login", [](auto&) {
        return std::vector<testnet::Action>{
            testnet::send("HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; Path=/\r\nSet-Cookie: lang=zh; Path=/app\r\n"
                          "Set-Cookie: when=1; Expires=Wed, 09 Jun 2100 10:18:14 GMT\r\nContent-Length: 2\r\n\r\nok")};
    });
    for (const char* path : {"/app/page", "/other", "/apple"})
        server.on(path,
                  [](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "x"))}; });

    auto login = get(server, "/login");
    EXPECT_EQ(login->error(), nullptr);
    ASSERT_EQ(login->responseCookies().size(), 3u);
    EXPECT_EQ(HttpRequest::sessionCookies().size(), 3u);

    get(server, "/app/page");
    EXPECT_EQ(cookieHeaderOfLast(server), "lang=zh; sid=abc; when=1");
    get(server, "/other");
    EXPECT_EQ(cookieHeaderOfLast(server), "sid=abc; when=1");
    get(server, "/apple");
    EXPECT_EQ(cookieHeaderOfLast(server), "sid=abc; when=1");

    HttpRequest::clearSession();
    EXPECT_TRUE(HttpRequest::sessionCookies().empty());
    EXPECT_TRUE(net::HttpCookieStorage::shared().cookies().empty());
    get(server, "/app/page");
    EXPECT_FALSE(cookieHeaderOfLast(server));
}

TEST_F(HttpCookies, SessionListReplacesByNameDomainAndPath) {
    net::HttpCookie a{"k", "1", "h", "/", true, false, false, std::nullopt};
    net::HttpCookie b{"k", "2", "h", "/", true, false, false, std::nullopt};
    net::HttpCookie c{"k", "3", "h", "/x", true, false, false, std::nullopt};
    HttpRequest::addSessionCookie(a);
    HttpRequest::addSessionCookie(b);
    HttpRequest::addSessionCookie(c);
    auto list = HttpRequest::sessionCookies();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].value, "2");
    EXPECT_EQ(list[1].value, "3");
}

TEST_F(HttpCookies, WithoutCookiePersistenceNothingIsStoredOrSent) {
    LoopbackHttpServer server;
    server.on("/set", [](auto&) {
        return std::vector<testnet::Action>{
            testnet::send("HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc\r\nContent-Length: 0\r\n\r\n")};
    });
    auto r = HttpRequest::requestWithURL(server.url("/set"));
    r->setUseCookiePersistence(false);
    r->startSynchronous();
    EXPECT_EQ(r->responseCookies().size(), 1u);
    EXPECT_TRUE(net::HttpCookieStorage::shared().cookies().empty());
    EXPECT_TRUE(HttpRequest::sessionCookies().empty());
}

TEST_F(HttpCookies, CookieThatWouldBreakTheHeaderIsNotSent) {
    LoopbackHttpServer server;
    server.on("/p", [](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "x"))}; });
    net::HttpCookie good{"good", "1", "127.0.0.1", "/", true, false, false, std::nullopt};
    net::HttpCookie bad{"bad", "1\r\nX-Evil: 1", "127.0.0.1", "/", true, false, false, std::nullopt};
    net::HttpCookieStorage::shared().setCookie(bad);
    net::HttpCookieStorage::shared().setCookie(good);
    auto r = get(server, "/p");
    EXPECT_EQ(r->error(), nullptr);
    EXPECT_EQ(cookieHeaderOfLast(server), "good=1");
    EXPECT_EQ(server.requests().back().headers.get("X-Evil"), nullptr);
}

TEST_F(HttpCookies, HandSetCookiesAreNotSentToARedirectTarget) {
    LoopbackHttpServer server;
    server.on("/from", [](auto&) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(302, {{"Location", "/to"}}, ""))};
    });
    server.on("/to",
              [](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "x"))}; });
    auto r = HttpRequest::requestWithURL(server.url("/from"));
    r->setRequestCookies({net::HttpCookie{"hand", "1", "127.0.0.1", "/", true, false, false, std::nullopt}});
    r->startSynchronous();
    auto all = server.requests();
    ASSERT_EQ(all.size(), 2u);
    ASSERT_NE(all[0].headers.get("Cookie"), nullptr);
    EXPECT_EQ(*all[0].headers.get("Cookie"), "hand=1");
    EXPECT_EQ(all[1].headers.get("Cookie"), nullptr);
}

// A flood of new cookies (100 replies of 50 cookies of 100 bytes each): the
// store keeps the 50 a domain may hold, the most recent, and the next
// request's Cookie header stays within what servers take.
TEST_F(HttpCookies, AFloodOfCookiesKeepsTheDomainLimitAndABoundedHeader) {
    LoopbackHttpServer server;
    int reply = 0;
    server.on("/flood", [&](auto&) {
        std::string head = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 50; ++i) {
            std::string name = "r" + std::to_string(reply) + "c" + std::to_string(i);
            head += "Set-Cookie: " + name + "=" + std::string(100 - name.size(), 'v') + "; Path=/\r\n";
        }
        ++reply;
        return std::vector<testnet::Action>{testnet::send(head + "Content-Length: 2\r\n\r\nok")};
    });
    server.on("/next",
              [](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "x"))}; });
    for (int i = 0; i < 100; ++i) ASSERT_EQ(get(server, "/flood")->error(), nullptr);
    get(server, "/next");
    auto header = cookieHeaderOfLast(server);
    ASSERT_TRUE(header);
    EXPECT_LE(header->size(), net::kMaxCookieHeaderBytes);
    // The last reply's 50 cookies, and no older one.
    for (int i = 0; i < 50; ++i) EXPECT_NE(header->find("r99c" + std::to_string(i) + "="), std::string::npos) << i;
    EXPECT_EQ(header->find("r98c"), std::string::npos);
    EXPECT_EQ(net::HttpCookieStorage::shared().cookies().size(), net::kMaxCookiesPerDomain);
    EXPECT_LE(HttpRequest::sessionCookies().size(), net::kMaxCookies);
}
