// Secure connections and proxies of the read stream, against loopback
// servers: TLS with test certificates, an HTTP proxy and a SOCKS5 proxy.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/RunLoop.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/TlsSession.h"
#include "tests/support/net/ProxyTlsFixtures.h"

using namespace net;
using testnet::testCertificates;

namespace {

struct Result {
    std::optional<HttpResponseHead> head;
    std::string body;
    StreamError error;
    bool ended = false;
    bool failed = false;
    bool reused = false;
    uint64_t bytesWritten = 0;
};

// A file-less body source that hands out a string in small pieces.
class PieceSource : public InputStream {
public:
    explicit PieceSource(std::string data) : data_(std::move(data)) {}
    long read(uint8_t* buffer, size_t maxLength) override {
        size_t n = std::min({maxLength, size_t(1000), data_.size() - pos_});
        std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return long(n);
    }

private:
    std::string data_;
    size_t pos_ = 0;
};

Result run(const std::shared_ptr<HttpReadStream>& s, bool closeAfter = true) {
    Result o;
    auto& loop = foundation::RunLoop::main();
    s->setClient(HttpReadStream::kEventHasBytesAvailable | HttpReadStream::kEventErrorOccurred |
                     HttpReadStream::kEventEndEncountered,
                 [&](unsigned ev) {
                     if (ev == HttpReadStream::kEventHasBytesAvailable) {
                         if (!o.head && s->responseHead()) o.head = *s->responseHead();
                         uint8_t buf[4096];
                         long n;
                         while ((n = s->read(buf, sizeof buf)) > 0)
                             o.body.append(reinterpret_cast<char*>(buf), size_t(n));
                     } else if (ev == HttpReadStream::kEventEndEncountered) {
                         o.ended = true;
                     } else {
                         o.failed = true;
                         o.error = s->error();
                     }
                 });
    s->scheduleWithRunLoop(loop, foundation::kDefaultMode);
    EXPECT_TRUE(s->open());
    EXPECT_TRUE(loop.runUntil([&] { return o.ended || o.failed; }, 10));
    o.bytesWritten = s->requestBytesWrittenCount();
    o.reused = s->usedParkedConnection();
    s->unscheduleFromRunLoop(loop, foundation::kDefaultMode);
    if (closeAfter) s->close();
    return o;
}

std::shared_ptr<HttpReadStream> stream(const std::string& url, const std::string& method = "GET",
                                       const std::string& body = "") {
    auto msg = HttpMessage::createRequest(method, *Url::parse(url));
    EXPECT_TRUE(msg);
    return HttpReadStream::create(*msg, body);
}

// GETs on streams that may park their connection under a key (or take one
// parked there). The streams stay open, as a pool record keeps them: closing
// a finished stream would close the connection it parked.
struct KeptStreams {
    std::vector<std::shared_ptr<HttpReadStream>> streams;
    Result run(const std::string& url, int key, const std::function<void(HttpReadStream&)>& setup = {}) {
        auto s = stream(url);
        s->setAttemptPersistentConnection(true);
        s->setConnectionKey(key);
        if (setup) setup(*s);
        streams.push_back(s);
        return ::run(s, false);
    }
    ~KeptStreams() {
        for (auto& s : streams) s->close();
    }
};

std::string keptReply(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string okReply(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

class TlsStreamTest : public ::testing::Test {
protected:
    void SetUp() override { TlsSession::addTrustedRootsFile(testCertificates().ca); }
};

}  // namespace

TEST_F(TlsStreamTest, ValidCertificateForTheHostGivesTheReplyAndSendsTheServerName) {
    testnet::TlsHttpServer server(
        testCertificates().serverCert, testCertificates().serverKey,
        [](const testnet::TlsRequest& r) { return okReply("secure " + std::to_string(r.body.size())); });
    Result r = run(stream(server.url("localhost", "/a"), "POST", "12345"));
    ASSERT_TRUE(r.ended) << r.error.message;
    EXPECT_EQ(r.head->statusCode, 200);
    EXPECT_EQ(r.body, "secure 5");
    EXPECT_EQ(r.bytesWritten, 5u);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].serverName, "localhost");
    EXPECT_NE(server.requests()[0].head.find("POST /a HTTP/1.1"), std::string::npos);

    // A numeric host is checked against the certificate's address and sends no name.
    Result byAddress = run(stream(server.url("127.0.0.1", "/b")));
    ASSERT_TRUE(byAddress.ended) << byAddress.error.message;
    EXPECT_EQ(server.requests().back().serverName, "");
}

TEST_F(TlsStreamTest, CertificateChecksFailWithTheirCodes) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer self(c.selfCert, c.selfKey, [](const testnet::TlsRequest&) { return okReply("x"); });
    Result r = run(stream(self.url("localhost", "/")));
    ASSERT_TRUE(r.failed);
    EXPECT_TRUE(r.error.isTls());
    EXPECT_EQ(r.error.code, kTlsNoRootCert);

    // A name the certificate does not carry.
    testnet::TlsHttpServer good(c.serverCert, c.serverKey, [](const testnet::TlsRequest&) { return okReply("x"); });
    auto s = stream(good.url("localhost", "/"));
    SslSettings other;
    other.peerName = std::optional<std::string>("elsewhere.test");
    s->setSslSettings(other);
    Result mismatch = run(s);
    ASSERT_TRUE(mismatch.failed);
    EXPECT_EQ(mismatch.error.code, kTlsCertificateInvalid);
    EXPECT_TRUE(good.requests().empty());
}

TEST_F(TlsStreamTest, SettingsWithoutValidationAcceptAnySelfSignedCertificate) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer self(c.selfCert, c.selfKey, [](const testnet::TlsRequest&) { return okReply("trusting"); });
    auto s = stream(self.url("127.0.0.1", "/"));
    SslSettings loose;
    loose.allowsExpiredCertificates = true;
    loose.allowsAnyRoot = true;
    loose.validatesCertificateChain = false;
    loose.peerName = std::optional<std::string>();
    s->setSslSettings(loose);
    Result r = run(s);
    ASSERT_TRUE(r.ended) << r.error.message;
    EXPECT_EQ(r.body, "trusting");

    // Allowing any root still checks the name.
    auto named = stream(self.url("127.0.0.1", "/"));
    SslSettings anyRoot;
    anyRoot.allowsAnyRoot = true;
    anyRoot.peerName = std::optional<std::string>("elsewhere.test");
    named->setSslSettings(anyRoot);
    Result r2 = run(named);
    ASSERT_TRUE(r2.failed);
    EXPECT_EQ(r2.error.code, kTlsCertificateInvalid);
}

TEST_F(TlsStreamTest, ExpiredCertificateFailsUnlessExpiryIsAllowed) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer server(testnet::expiredServerCertificate(), c.serverKey,
                                  [](const testnet::TlsRequest&) { return okReply("old but fine"); });
    Result strict = run(stream(server.url("localhost", "/")));
    ASSERT_TRUE(strict.failed);
    EXPECT_EQ(strict.error.code, kTlsCertificateExpired);

    auto s = stream(server.url("localhost", "/"));
    SslSettings expiredOk;
    expiredOk.allowsExpiredCertificates = true;
    s->setSslSettings(expiredOk);
    Result r = run(s);
    ASSERT_TRUE(r.ended) << r.error.message;
    EXPECT_EQ(r.body, "old but fine");
}

TEST_F(TlsStreamTest, ClientIdentityFromPkcs12OrPemReachesTheServer) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer server(
        c.serverCert, c.serverKey, [](const testnet::TlsRequest& r) { return okReply(r.clientSubject); }, c.ca, true);
    // Without an identity the server refuses the connection (with TLS 1.3
    // the refusal may come as an alert or as a reset after the handshake).
    Result none = run(stream(server.url("localhost", "/")));
    EXPECT_TRUE(none.failed);
    EXPECT_TRUE(server.requests().empty());

    foundation::ErrorRef why;
    EXPECT_EQ(TlsIdentity::fromPKCS12(c.clientP12, "wrong", &why), nullptr);
    ASSERT_TRUE(why);
    EXPECT_TRUE(why->is(kTlsDomain, kTlsBadCertificate)) << why->description();
    EXPECT_EQ(TlsIdentity::fromPEM(c.clientCert, c.serverKey), nullptr);  // key of another certificate

    for (auto identity :
         {TlsIdentity::fromPKCS12(c.clientP12, "test"), TlsIdentity::fromPEM(c.clientCert, c.clientKey)}) {
        ASSERT_TRUE(identity);
        auto s = stream(server.url("localhost", "/"));
        SslSettings settings;
        settings.identity = identity;
        s->setSslSettings(settings);
        Result r = run(s);
        ASSERT_TRUE(r.ended) << r.error.message;
        EXPECT_NE(r.body.find("Quenta Test Client"), std::string::npos);
    }
}

TEST_F(TlsStreamTest, LargeStreamedBodyArrivesWhole) {
    const auto& c = testCertificates();
    std::string payload(300000, '\0');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = char('a' + i % 23);
    testnet::TlsHttpServer server(c.serverCert, c.serverKey, [&](const testnet::TlsRequest& r) {
        return okReply(r.body == payload ? "same" : "differs");
    });
    auto msg = HttpMessage::createRequest("PUT", *Url::parse(server.url("localhost", "/up")));
    auto s = HttpReadStream::createStreamed(*msg, std::make_shared<PieceSource>(payload), payload.size());
    Result r = run(s);
    ASSERT_TRUE(r.ended) << r.error.message;
    EXPECT_EQ(r.body, "same");
    EXPECT_EQ(r.bytesWritten, payload.size());
}

TEST(ProxyStreamTest, HttpProxyGetsTheAbsoluteUrl) {
    testnet::HttpProxyFixture proxy;
    auto s = stream("http://service.test:8080/path?q=1");
    s->setHttpProxy({"127.0.0.1", proxy.port(), "", 0});
    Result r = run(s);
    ASSERT_TRUE(r.ended) << r.error.message;
    EXPECT_EQ(r.body, "proxied http://service.test:8080/path?q=1");
    ASSERT_EQ(proxy.requestHeads().size(), 1u);
    EXPECT_EQ(proxy.requestHeads()[0].rfind("GET http://service.test:8080/path?q=1 HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(proxy.requestHeads()[0].find("\r\nHost: service.test:8080\r\n"), std::string::npos);
}

TEST_F(TlsStreamTest, HttpsThroughAProxyTunnelsWithConnect) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer server(c.serverCert, c.serverKey,
                                  [](const testnet::TlsRequest&) { return okReply("tunnelled"); });
    testnet::HttpProxyFixture proxy;
    auto msg = HttpMessage::createRequest("GET", *Url::parse(server.url("localhost", "/t")));
    msg->setHeaderField("Proxy-Authorization", "Basic dXNlcjpwdw==");
    auto s = HttpReadStream::create(*msg);
    s->setHttpProxy({"", 0, "127.0.0.1", proxy.port()});
    Result r = run(s);
    ASSERT_TRUE(r.ended) << r.error.message;
    EXPECT_EQ(r.body, "tunnelled");
    ASSERT_EQ(proxy.requestHeads().size(), 1u);
    std::string head = proxy.requestHeads()[0];
    EXPECT_EQ(head.rfind("CONNECT localhost:" + std::to_string(server.port()) + " HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(head.find("Proxy-Authorization: Basic dXNlcjpwdw==\r\n"), std::string::npos);

    // A refused tunnel: the proxy's 407 is the response.
    proxy.refuseConnect = true;
    auto refused = stream(server.url("localhost", "/t"));
    refused->setHttpProxy({"", 0, "127.0.0.1", proxy.port()});
    Result r407 = run(refused);
    ASSERT_TRUE(r407.ended) << r407.error.message;
    EXPECT_EQ(r407.head->statusCode, 407);
    EXPECT_EQ(*r407.head->headers.get("Proxy-Authenticate"), "Basic realm=\"proxy\"");
    EXPECT_EQ(r407.body, "proxy credentials needed");
}

TEST_F(TlsStreamTest, Socks5CarriesPlainAndSecureRequests) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer server(c.serverCert, c.serverKey,
                                  [](const testnet::TlsRequest&) { return okReply("via socks"); });
    testnet::Socks5Fixture socks;
    auto s = stream(server.url("localhost", "/s"));
    s->setSocksProxy({"127.0.0.1", socks.port()});
    Result r = run(s);
    ASSERT_TRUE(r.ended) << r.error.message;
    EXPECT_EQ(r.body, "via socks");

    // The proxy gets the name, not an address: the name need not resolve here.
    testnet::HttpProxyFixture plain;  // any plain HTTP server will do as the target
    auto named = stream("http://unresolvable-name.test:" + std::to_string(plain.port()) + "/n");
    named->setSocksProxy({"127.0.0.1", socks.port()});
    Result r2 = run(named);
    ASSERT_TRUE(r2.ended) << r2.error.message;
    EXPECT_EQ(r2.body, "proxied /n");
    EXPECT_EQ(socks.targets(), (std::vector<std::string>{"localhost:" + std::to_string(server.port()),
                                                         "unresolvable-name.test:" + std::to_string(plain.port())}));
}

TEST_F(TlsStreamTest, SessionsShareOneContextPerConfigurationUntilRootsAreAdded) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    StreamError error;
    SslSettings loose;
    loose.validatesCertificateChain = false;
    auto a = TlsSession::create(fds[0], "localhost", SslSettings{}, error);
    auto b = TlsSession::create(fds[1], "example.test", SslSettings{}, error);
    auto c = TlsSession::create(fds[0], "localhost", loose, error);
    ASSERT_TRUE(a && b && c) << error.message;
    EXPECT_EQ(a->context(), b->context());
    EXPECT_NE(a->context(), c->context());

    // New roots reach the sessions made afterwards; the loose context stays.
    TlsSession::addTrustedRootsFile(testCertificates().ca);
    auto d = TlsSession::create(fds[1], "localhost", SslSettings{}, error);
    auto e = TlsSession::create(fds[1], "localhost", loose, error);
    ASSERT_TRUE(d && e) << error.message;
    EXPECT_NE(d->context(), a->context());
    EXPECT_EQ(e->context(), c->context());
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(TlsStreamTest, KeptTlsConnectionServesTheSameOriginAndSettingsOnly) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer server(c.serverCert, c.serverKey, [](const testnet::TlsRequest& q) {
        return keptReply(std::to_string(q.connection) + "/" + std::to_string(q.indexOnConnection));
    });
    server.setKeepAlive(true);
    std::string url = server.url("localhost", "/k");
    SslSettings loose;
    loose.validatesCertificateChain = false;
    struct Step {
        const char* name;
        int key;
        std::function<void(HttpReadStream&)> setup;
        bool reused;
        const char* body;  // connection/request on it, as the server counts
    } steps[] = {
        {"first", 41, {}, false, "1/1"},
        {"same origin and settings", 41, {}, true, "1/2"},
        {"other SSL settings", 41, [&](HttpReadStream& s) { s.setSslSettings(loose); }, false, "2/1"},
        {"other key", 42, {}, false, "3/1"},
        {"back to the first", 41, {}, true, "1/3"},
    };
    KeptStreams kept;
    for (const auto& step : steps) {
        Result r = kept.run(url, step.key, step.setup);
        ASSERT_TRUE(r.ended) << step.name << ": " << r.error.message;
        EXPECT_EQ(r.reused, step.reused) << step.name;
        EXPECT_EQ(r.body, step.body) << step.name;
    }
    EXPECT_EQ(server.connectionCount(), 3);
    EXPECT_EQ(server.requests().front().serverName, "localhost");
}

TEST_F(TlsStreamTest, TunnelThroughAProxyIsKeptAndAnotherRouteDoesNotTakeIt) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer server(c.serverCert, c.serverKey, [](const testnet::TlsRequest& q) {
        return keptReply(std::to_string(q.connection) + "/" + std::to_string(q.indexOnConnection));
    });
    server.setKeepAlive(true);
    testnet::HttpProxyFixture proxy;
    testnet::Socks5Fixture socks;
    std::string url = server.url("localhost", "/p");
    auto viaProxy = [&](HttpReadStream& s) { s.setHttpProxy({"", 0, "127.0.0.1", proxy.port()}); };
    auto viaSocks = [&](HttpReadStream& s) { s.setSocksProxy({"127.0.0.1", socks.port()}); };

    KeptStreams kept;
    Result first = kept.run(url, 51, viaProxy);
    Result second = kept.run(url, 51, viaProxy);
    ASSERT_TRUE(first.ended && second.ended) << first.error.message << second.error.message;
    EXPECT_TRUE(second.reused);
    EXPECT_EQ(second.body, "1/2");
    EXPECT_EQ(proxy.requestHeads().size(), 1u);  // one CONNECT for both

    // The same origin and key through the SOCKS proxy, then directly: each a
    // connection of its own.
    Result bySocks = kept.run(url, 51, viaSocks);
    Result direct = kept.run(url, 51);
    ASSERT_TRUE(bySocks.ended && direct.ended);
    EXPECT_FALSE(bySocks.reused);
    EXPECT_FALSE(direct.reused);
    EXPECT_EQ(bySocks.body, "2/1");
    EXPECT_EQ(direct.body, "3/1");
    EXPECT_EQ(socks.targets().size(), 1u);

    // A refused tunnel leaves nothing to reuse: the next try asks again.
    testnet::HttpProxyFixture refusing;
    refusing.refuseConnect = true;
    auto viaRefusing = [&](HttpReadStream& s) { s.setHttpProxy({"", 0, "127.0.0.1", refusing.port()}); };
    Result refused = kept.run(url, 52, viaRefusing);
    ASSERT_TRUE(refused.ended);
    EXPECT_EQ(refused.head->statusCode, 407);
    refusing.refuseConnect = false;
    Result opened = kept.run(url, 52, viaRefusing);
    ASSERT_TRUE(opened.ended) << opened.error.message;
    EXPECT_FALSE(opened.reused);
    EXPECT_EQ(opened.body, "4/1");
    EXPECT_EQ(refusing.requestHeads().size(), 2u);
}
