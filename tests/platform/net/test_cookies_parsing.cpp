// Cookies made from Set-Cookie values, matched to URLs, and their store.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/foundation/Clock.h"
#include "platform/net/HttpCookie.h"

using net::HttpCookie;

namespace {
net::Url url(const char* text) { return *net::Url::parse(text); }
}  // namespace

TEST(Cookies, ParsedFromSetCookieValues) {
    foundation::ManualClockScope clock(1000000000.0);
    struct Row {
        const char* header;
        const char* from;
        bool made;
        const char* domain;
        bool hostOnly;
        const char* path;
        bool secure;
        std::optional<double> expires;
    };
    const Row rows[] = {
        {"sid=abc", "http://example.com/dir/page", true, "example.com", true, "/dir", false, std::nullopt},
        {"sid=abc", "http://example.com/page", true, "example.com", true, "/", false, std::nullopt},
        {"sid=abc", "http://example.com", true, "example.com", true, "/", false, std::nullopt},
        {"sid=abc; Domain=.Example.COM; Path=/x; Secure; HttpOnly", "https://www.example.com/", true, "example.com",
         false, "/x", true, std::nullopt},
        {"sid=abc; Path=relative", "http://example.com/a/b", true, "example.com", true, "/a", false, std::nullopt},
        {"sid=abc; Domain=other.com", "http://example.com/", false, "", false, "", false, std::nullopt},
        {"sid=abc; Domain=ample.com", "http://example.com/", false, "", false, "", false, std::nullopt},
        {"sid=abc; Domain=com", "http://www.example.com/", false, "", false, "", false, std::nullopt},
        {"sid=abc; Domain=localhost", "http://localhost/", true, "localhost", false, "/", false, std::nullopt},
        {"noequals", "http://example.com/", false, "", false, "", false, std::nullopt},
        {"=value", "http://example.com/", false, "", false, "", false, std::nullopt},
        {"sid=abc; Expires=Sun, 06 Nov 1994 08:49:37 GMT", "http://e.com/", true, "e.com", true, "/", false,
         784111777.0},
        {"sid=abc; Max-Age=60; Expires=Sun, 06 Nov 1994 08:49:37 GMT", "http://e.com/", true, "e.com", true, "/", false,
         1000000060.0},
        {"sid=abc; Max-Age=0", "http://e.com/", true, "e.com", true, "/", false, 0.0},
        {"sid=abc; Max-Age=soon", "http://e.com/", true, "e.com", true, "/", false, std::nullopt},
    };
    for (const Row& row : rows) {
        auto cookies = HttpCookie::cookiesWithResponseHeaderFields({row.header}, url(row.from));
        ASSERT_EQ(cookies.size(), row.made ? 1u : 0u) << row.header;
        if (!row.made) continue;
        const HttpCookie& c = cookies[0];
        EXPECT_EQ(c.name, "sid") << row.header;
        EXPECT_EQ(c.value, "abc") << row.header;
        EXPECT_EQ(c.domain, row.domain) << row.header;
        EXPECT_EQ(c.hostOnly, row.hostOnly) << row.header;
        EXPECT_EQ(c.path, row.path) << row.header;
        EXPECT_EQ(c.secure, row.secure) << row.header;
        EXPECT_EQ(c.expiresDate, row.expires) << row.header;
    }
}

TEST(Cookies, DatesOfTheUsualForms) {
    for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                             "Sun Nov  6 08:49:37 1994", "06 nov 1994 08:49:37"})
        EXPECT_EQ(net::parseCookieDate(text), 784111777.0) << text;
    for (const char* text : {"", "tomorrow", "Sun, 06 Nov 1994", "Sun, 32 Nov 1994 08:49:37 GMT",
                             "Sun, 06 Foo 1994 08:49:37 GMT", "Sun, 06 Nov 1994 25:49:37 GMT"})
        EXPECT_FALSE(net::parseCookieDate(text)) << text;
}

TEST(Cookies, MatchByDomainPathAndSecure) {
    HttpCookie hostOnly{"a", "1", "example.com", "/", true, false, false, std::nullopt};
    HttpCookie domain{"b", "2", "example.com", "/x", false, false, false, std::nullopt};
    HttpCookie secure{"c", "3", "example.com", "/", true, true, false, std::nullopt};
    struct Row {
        const HttpCookie* cookie;
        const char* to;
        bool matches;
    };
    const Row rows[] = {
        {&hostOnly, "http://example.com/any", true},   {&hostOnly, "http://www.example.com/", false},
        {&domain, "http://www.example.com/x/y", true}, {&domain, "http://example.com/x", true},
        {&domain, "http://example.com/xy", false},     {&domain, "http://badexample.com/x", false},
        {&secure, "http://example.com/", false},       {&secure, "https://example.com/", true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.cookie->matches(url(row.to)), row.matches) << row.cookie->name << " " << row.to;
}

TEST(CookieStorage, ReplacesByNameDomainAndPathAndDropsExpired) {
    foundation::ManualClockScope clock(1000000000.0);
    net::HttpCookieStorage storage;
    auto from = url("http://example.com/a/page");
    storage.setCookies(HttpCookie::cookiesWithResponseHeaderFields({"k=1", "k=2; Path=/", "other=x"}, from), from);
    storage.setCookies(HttpCookie::cookiesWithResponseHeaderFields({"k=3"}, from), from);
    auto sent = storage.cookiesForURL(url("http://example.com/a/b"));
    ASSERT_EQ(sent.size(), 3u);
    // Longer paths first; equal paths in storing order (k=3 replaced k=1,
    // so it now comes after "other").
    EXPECT_EQ(sent[0].name, "other");
    EXPECT_EQ(sent[1].value, "3");
    EXPECT_EQ(sent[2].value, "2");
    EXPECT_EQ(storage.cookiesForURL(url("http://example.com/elsewhere")).size(), 1u);

    storage.setCookies(HttpCookie::cookiesWithResponseHeaderFields({"k=gone; Max-Age=0"}, from), from);
    EXPECT_EQ(storage.cookiesForURL(url("http://example.com/a/b")).size(), 2u);

    storage.setCookies(HttpCookie::cookiesWithResponseHeaderFields({"short=1; Max-Age=10"}, from), from);
    EXPECT_EQ(storage.cookiesForURL(url("http://example.com/a/b")).size(), 3u);
    clock->advance(11);
    EXPECT_EQ(storage.cookiesForURL(url("http://example.com/a/b")).size(), 2u);
}

namespace {
HttpCookie cookie(const std::string& name, const std::string& domain, const std::string& path = "/",
                  std::optional<double> expires = std::nullopt) {
    HttpCookie c;
    c.name = name;
    c.value = "v";
    c.domain = domain;
    c.path = path;
    c.expiresDate = expires;
    return c;
}
bool holds(const net::HttpCookieStorage& storage, const std::string& name) {
    for (const auto& c : storage.cookies())
        if (c.name == name) return true;
    return false;
}
}  // namespace

// A full domain makes room by its expired cookies first, then by the one
// stored or sent longest ago; the store as a whole by the one used longest
// ago of any domain.
TEST(CookieStorage, KeepsItsLimitsByDroppingTheLeastRecentlyUsed) {
    foundation::ManualClockScope clock(1000000000.0);
    net::HttpCookieStorage storage;
    storage.setCookie(cookie("used", "a.test", "/used"));
    storage.setCookie(cookie("soon", "a.test", "/other", 1000000010.0));
    for (size_t i = 2; i < net::kMaxCookiesPerDomain; ++i)
        storage.setCookie(cookie("a" + std::to_string(i), "a.test", "/other"));
    ASSERT_EQ(storage.cookies().size(), net::kMaxCookiesPerDomain);
    EXPECT_EQ(storage.cookiesForURL(url("http://a.test/used")).size(), 1u);  // "used" is now the latest sent
    clock->advance(20);                                                      // "soon" expires
    storage.setCookie(cookie("new1", "a.test", "/other"));
    EXPECT_FALSE(holds(storage, "soon"));
    EXPECT_TRUE(holds(storage, "a2"));
    storage.setCookie(cookie("new2", "a.test", "/other"));
    EXPECT_FALSE(holds(storage, "a2"));  // the oldest unused one
    EXPECT_TRUE(holds(storage, "a3"));
    EXPECT_TRUE(holds(storage, "used"));
    EXPECT_TRUE(holds(storage, "new1"));
    EXPECT_EQ(storage.cookies().size(), net::kMaxCookiesPerDomain);

    // Other domains fill the store; a.test was used longest ago, so it goes first.
    const size_t domains = net::kMaxCookies / net::kMaxCookiesPerDomain;
    for (size_t d = 1; d < domains + 1; ++d)
        for (size_t i = 0; i < net::kMaxCookiesPerDomain; ++i)
            storage.setCookie(cookie("c" + std::to_string(i), "d" + std::to_string(d) + ".test"));
    EXPECT_EQ(storage.cookies().size(), net::kMaxCookies);
    EXPECT_TRUE(storage.cookiesForURL(url("http://a.test/used")).empty());
    EXPECT_EQ(storage.cookiesForURL(url("http://d1.test/")).size(), net::kMaxCookiesPerDomain);
}

TEST(CookieStorage, ACookieOverFourKilobytesIsNotStored) {
    net::HttpCookieStorage storage;
    auto from = url("http://example.com/");
    const std::string fits = "k=" + std::string(net::kMaxCookieBytes - 1, 'x');
    const std::string over = "k=" + std::string(net::kMaxCookieBytes, 'y');
    storage.setCookies(HttpCookie::cookiesWithResponseHeaderFields({fits}, from), from);
    storage.setCookies(HttpCookie::cookiesWithResponseHeaderFields({over}, from), from);
    auto sent = storage.cookiesForURL(from);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].value, std::string(net::kMaxCookieBytes - 1, 'x'));
}
