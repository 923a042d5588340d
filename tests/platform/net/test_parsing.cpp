// URL, message and response parsing without sockets.
#include <gtest/gtest.h>

#include "platform/net/HttpMessage.h"
#include "platform/net/HttpResponseParser.h"
#include "platform/net/Url.h"

using namespace net;

TEST(Url, ParsesTheHttpPieces) {
    auto u = Url::parse("HTTP://User:pw@Example.COM:8080/a/b.do?c=1f&x#frag");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->scheme(), "http");
    EXPECT_EQ(u->host(), "example.com");
    EXPECT_EQ(u->port(), 8080);
    EXPECT_EQ(u->user(), "User");
    EXPECT_EQ(u->password(), "pw");
    EXPECT_EQ(u->path(), "/a/b.do");
    EXPECT_EQ(u->query(), "c=1f&x");
    EXPECT_EQ(u->fragment(), "frag");
    EXPECT_EQ(u->requestTarget(), "/a/b.do?c=1f&x");
    EXPECT_EQ(u->hostHeader(), "example.com:8080");
    EXPECT_EQ(u->absoluteString(), "HTTP://User:pw@Example.COM:8080/a/b.do?c=1f&x#frag");

    auto bare = Url::parse("http://[::1]");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->host(), "::1");
    EXPECT_EQ(bare->effectivePort(), 80);
    EXPECT_EQ(bare->requestTarget(), "/");
    EXPECT_EQ(bare->hostHeader(), "[::1]");
    EXPECT_EQ(Url::parse("https://h:443/")->hostHeader(), "h");
}

TEST(Url, RefusesWhatIsNotAnAbsoluteUrl) {
    for (const char* text : {"", "no scheme", "/relative/path", "http:/one-slash", "http://", "http://:80/",
                             "http://host:99999/", "http://host:8x/", "http://ho st/", "http://host/a b",
                             "http://host/\r\nX: y", "http://h<o>st/", "1http://host/", "http://[::1/"}) {
        EXPECT_FALSE(Url::parse(text)) << text;
    }
}

TEST(Url, ResolvesReferences) {
    auto base = Url::parse("http://a/b/c/d;p?q");
    ASSERT_TRUE(base);
    const std::pair<const char*, const char*> cases[] = {
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../../g", "http://a/g"},
        {"g/../h", "http://a/b/c/h"},
        {"https://x:1/y", "https://x:1/y"},
    };
    for (const auto& [ref, expected] : cases) {
        auto r = base->resolve(ref);
        ASSERT_TRUE(r) << ref;
        EXPECT_EQ(r->absoluteString(), expected) << ref;
    }
    EXPECT_FALSE(base->resolve("a b"));
}

TEST(HttpMessage, RefusesHeaderFieldsThatWouldSplitTheRequest) {
    auto m = HttpMessage::createRequest("GET", *Url::parse("http://127.0.0.1:81/p?q=1"));
    ASSERT_TRUE(m);
    const std::pair<const char*, std::string> bad[] = {
        {"X-A", "one\r\nX-Injected: 1"},
        {"X-A", "line\nfeed"},
        {"X-A", "carriage\rreturn"},
        {"X-A", std::string("nul\0byte", 8)},
        {"Bad Name", "v"},
        {"Bad:Name", "v"},
        {"", "v"},
    };
    for (const auto& [name, value] : bad) EXPECT_FALSE(m->setHeaderField(name, value)) << name;
    EXPECT_EQ(m->headerFields().size(), 0u);

    EXPECT_TRUE(m->setHeaderField("User-Agent", "ua 1"));
    EXPECT_TRUE(m->setHeaderField("user-agent", "ua 2"));  // same field, any case
    EXPECT_EQ(m->serializeHead(), "GET /p?q=1 HTTP/1.1\r\nHost: 127.0.0.1:81\r\nUser-Agent: ua 2\r\n\r\n");
    EXPECT_EQ(m->serializeHead(3),
              "GET /p?q=1 HTTP/1.1\r\nHost: 127.0.0.1:81\r\nUser-Agent: ua 2\r\nContent-Length: 3\r\n\r\n");

    EXPECT_FALSE(HttpMessage::createRequest("GE T", *Url::parse("http://h/")));
    EXPECT_FALSE(HttpMessage::createRequest("GET", *Url::parse("ftp://h/")));
    EXPECT_FALSE(HttpMessage::createRequest("GET", *Url::parse("http://h/"), "HTTP/2"));
}

TEST(HttpResponseParser, ContentLengthIsDecimalOnly) {
    const std::pair<const char*, std::optional<uint64_t>> cases[] = {
        {"0", 0},
        {"010", 10},
        {" 42 ", 42},
        {"18446744073709551615", std::nullopt},
        {"9999999999999999999", 9999999999999999999ull},
        {"0x10", std::nullopt},
        {"-1", std::nullopt},
        {"", std::nullopt},
        {"1 2", std::nullopt},
        {"+5", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseContentLength(text), expected) << text;
}

namespace {

struct Parsed {
    HttpResponseParser::State state;
    std::string body;
    int status = 0;
    int errorCode = 0;
};

// Feeds the bytes one at a time (the hardest split), then the end if asked.
Parsed parseBytewise(const std::string& bytes, const char* method = "GET", bool end = false) {
    HttpResponseParser p(method);
    std::string body;
    for (size_t i = 0; i < bytes.size() && p.state() != HttpResponseParser::State::Done &&
                       p.state() != HttpResponseParser::State::Failed;) {
        i += p.feed(bytes.data() + i, 1, body);
    }
    if (end) p.feedEnd();
    return {p.state(), body, p.head().statusCode, p.error().code};
}

}  // namespace

TEST(HttpResponseParser, FramesBodiesEveryWay) {
    using S = HttpResponseParser::State;
    struct Case {
        const char* name;
        std::string bytes;
        const char* method;
        bool end;
        S state;
        std::string body;
        int status;
    };
    const Case cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", "GET", false, S::Done, "hello", 200},
        {"length 010 is ten", "HTTP/1.1 200 OK\r\nContent-Length: 010\r\n\r\n0123456789", "GET", false, S::Done,
         "0123456789", 200},
        {"chunked with extension and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=y\r\nhello\r\nA\r\n0123456789\r\n0\r\nT: v\r\n\r\n",
         "GET", false, S::Done, "hello0123456789", 200},
        {"close-delimited", "HTTP/1.0 200 OK\r\n\r\nuntil the end", "GET", true, S::Done, "until the end", 200},
        {"HEAD has no body", "HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\n", "HEAD", false, S::Done, "", 200},
        {"204", "HTTP/1.1 204 No Content\r\n\r\n", "GET", false, S::Done, "", 204},
        {"304", "HTTP/1.1 304 Not Modified\r\nContent-Length: 7\r\n\r\n", "GET", false, S::Done, "", 304},
        {"1xx skipped",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Hints\r\nLink: x\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: "
         "2\r\n\r\nok",
         "GET", false, S::Done, "ok", 200},
        {"bare LF lines", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", "GET", false, S::Done, "ok", 200},
    };
    for (const auto& c : cases) {
        Parsed p = parseBytewise(c.bytes, c.method, c.end);
        EXPECT_EQ(p.state, c.state) << c.name;
        EXPECT_EQ(p.body, c.body) << c.name;
        EXPECT_EQ(p.status, c.status) << c.name;
    }
}

TEST(HttpResponseParser, FailsClearlyOnBrokenResponses) {
    struct Case {
        const char* name;
        std::string bytes;
        bool end;
        int code;
    };
    const Case cases[] = {
        {"garbage status line", "SSH-2.0-OpenSSH\r\n\r\n", false, kNetworkBadServerResponse},
        {"status not three digits", "HTTP/1.1 20 OK\r\n\r\n", false, kNetworkBadServerResponse},
        {"HTTP/2 status line", "HTTP/2.0 200 OK\r\n\r\n", false, kNetworkBadServerResponse},
        {"header without colon", "HTTP/1.1 200 OK\r\nNoColon\r\n\r\n", false, kNetworkBadServerResponse},
        {"space before colon", "HTTP/1.1 200 OK\r\nName : v\r\n\r\n", false, kNetworkBadServerResponse},
        {"hex Content-Length", "HTTP/1.1 200 OK\r\nContent-Length: 0x10\r\n\r\n", false, kNetworkBadServerResponse},
        {"two Content-Lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", false,
         kNetworkBadServerResponse},
        {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false,
         kNetworkBadServerResponse},
        {"chunk longer than said", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n", false,
         kNetworkBadServerResponse},
        {"huge chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\n", false,
         kNetworkBadServerResponse},
        {"nothing at all", "", true, kNetworkConnectionLost},
        {"cut in the head", "HTTP/1.1 200 OK\r\nContent-Le", true, kNetworkConnectionLost},
        {"body shorter than Content-Length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true,
         kNetworkConnectionLost},
        {"truncated chunked body", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", true,
         kNetworkConnectionLost},
        {"missing last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", true,
         kNetworkConnectionLost},
    };
    for (const auto& c : cases) {
        Parsed p = parseBytewise(c.bytes, "GET", c.end);
        EXPECT_EQ(p.state, HttpResponseParser::State::Failed) << c.name;
        EXPECT_EQ(p.errorCode, c.code) << c.name;
    }
    // A head that never ends is refused once it passes the limit.
    std::string endless = "HTTP/1.1 200 OK\r\n";
    while (endless.size() <= kMaxResponseHeadBytes) endless += "X-Filler: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
    HttpResponseParser p;
    std::string body;
    p.feed(endless.data(), endless.size(), body);
    EXPECT_EQ(p.state(), HttpResponseParser::State::Failed);
}

TEST(HttpResponseHead, HeadersLookUpWithoutCaseAndDecideKeepAlive) {
    auto parse = [](const std::string& text) {
        auto r = parseResponseHead(text);
        EXPECT_EQ(r.status, HeadParseResult::Status::Complete) << text;
        return r.head;
    };
    auto h =
        parse("HTTP/1.1 200 OK\r\nETag: \"x\"\r\nSet-Cookie: a=1\r\nset-cookie: b=2\r\nX-Folded: one\r\n  two\r\n\r\n");
    auto d = h.headers.dictionary();
    EXPECT_EQ(d["Etag"], "\"x\"");
    EXPECT_EQ(d["SET-COOKIE"], "a=1, b=2");
    EXPECT_EQ(h.headers.values("Set-Cookie").size(), 2u);
    EXPECT_EQ(d["x-folded"], "one two");
    EXPECT_EQ(h.statusLine, "HTTP/1.1 200 OK");

    const std::pair<const char*, bool> keepAlive[] = {
        {"HTTP/1.1 200 OK\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nConnection: Close\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nConnection: upgrade, close\r\n\r\n", false},
        {"HTTP/1.0 200 OK\r\n\r\n", false},
        {"HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n\r\n", true},
    };
    for (const auto& [text, expected] : keepAlive) EXPECT_EQ(parse(text).allowsKeepAlive(), expected) << text;
}
