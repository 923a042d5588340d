// Proxies: system settings, the list for a URL, requests through an HTTP
// proxy (absolute form, CONNECT) and SOCKS5, and PAC scripts fetched over
// HTTP or read from a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "lib/http/HttpRequest.h"
#include "lib/http/PacScript.h"
#include "lib/http/ProxySettings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/TlsSession.h"
#include "tests/support/TestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"
#include "tests/support/net/ProxyTlsFixtures.h"

using namespace http;

namespace {

struct Recorder : HttpRequestDelegate {
    int finished = 0, failed = 0;
    void requestFinished(HttpRequest&) override { ++finished; }
    void requestFailed(HttpRequest&) override { ++failed; }
};

// Each test states the system settings it runs with.
class ProxyTest : public ::testing::Test {
protected:
    void TearDown() override {
        setSystemProxySettingsProvider(nullptr);
        setProxyLister(nullptr);
    }
    void useSettings(SystemProxySettings s) {
        setSystemProxySettingsProvider([s, this]() -> std::optional<SystemProxySettings> {
            ++settingsAsked;
            return s;
        });
    }
    std::atomic<int> settingsAsked{0};
};

ProxyEntry entry(std::string type, std::string host, int port) {
    ProxyEntry e;
    e.type = std::move(type);
    e.host = std::move(host);
    e.port = port;
    return e;
}

}  // namespace

TEST_F(ProxyTest, ListForAUrlFollowsTheSettings) {
    SystemProxySettings s;
    s.httpProxy = "http://user:pw@proxy.example:3128/";
    s.httpsProxy = "secure.example";
    s.allProxy = "socks5://socks.example:1081";
    s.noProxy = "internal.example, .corp.example,10.1.2.3";
    struct Case {
        const char* url;
        ProxyEntry expected;
    } cases[] = {
        {"http://www.example.com/", entry(kProxyTypeHTTP, "proxy.example", 3128)},
        {"https://www.example.com/", entry(kProxyTypeHTTPS, "secure.example", 80)},
        {"http://internal.example/", ProxyEntry{}},
        {"http://a.b.corp.example/", ProxyEntry{}},
        {"http://xcorp.example/", entry(kProxyTypeHTTP, "proxy.example", 3128)},
        {"http://10.1.2.3/", ProxyEntry{}},
        {"http://localhost:8080/", ProxyEntry{}},
        {"http://127.4.5.6/", ProxyEntry{}},
        {"http://[::1]:81/", ProxyEntry{}},
    };
    for (const auto& c : cases) {
        auto list = copyProxiesForURL(*net::Url::parse(c.url), s);
        ASSERT_TRUE(list) << c.url;
        ASSERT_EQ(list->size(), 1u) << c.url;
        EXPECT_EQ(list->front(), c.expected) << c.url;
    }
    SystemProxySettings socksOnly;
    socksOnly.allProxy = "socks5://socks.example:1081";
    EXPECT_EQ(copyProxiesForURL(*net::Url::parse("https://x.example/"), socksOnly)->front(),
              entry(kProxyTypeSOCKS, "socks.example", 1081));
    SystemProxySettings everything;
    everything.httpProxy = "proxy.example:1";
    everything.noProxy = "*";
    EXPECT_EQ(copyProxiesForURL(*net::Url::parse("http://x.example/"), everything)->front(), ProxyEntry{});
    SystemProxySettings pac;
    pac.pacURL = "http://config.example/proxy.pac";
    auto pacList = copyProxiesForURL(*net::Url::parse("http://x.example/"), pac);
    EXPECT_EQ(pacList->front().type, kProxyTypeAutoConfigurationURL);
    EXPECT_EQ(pacList->front().autoConfigurationURL->absoluteString(), "http://config.example/proxy.pac");
}

TEST_F(ProxyTest, SettingsComeFromTheEnvironmentInEitherCase) {
    ::setenv("http_proxy", "lower.example:1", 1);
    ::setenv("HTTPS_PROXY", "upper.example:2", 1);
    ::setenv("no_proxy", "skip.example", 1);
    SystemProxySettings s = SystemProxySettings::fromEnvironment();
    ::unsetenv("http_proxy");
    ::unsetenv("HTTPS_PROXY");
    ::unsetenv("no_proxy");
    EXPECT_EQ(s.httpProxy, "lower.example:1");
    EXPECT_EQ(s.httpsProxy, "upper.example:2");
    EXPECT_EQ(s.noProxy, "skip.example");
}

TEST(PacAnswer, EntriesOfAnAnswer) {
    auto list = proxiesFromPACAnswer(
        "PROXY a.example:8080; DIRECT;SOCKS5 b.example:9; HTTPS c.example; "
        "SOCKS d.example; BOGUS x:1; PROXY ; HTTP e.example:70");
    std::vector<ProxyEntry> expected = {
        entry(kProxyTypeHTTP, "a.example", 8080),  ProxyEntry{},
        entry(kProxyTypeSOCKS, "b.example", 9),    entry(kProxyTypeHTTPS, "c.example", 443),
        entry(kProxyTypeSOCKS, "d.example", 1080), entry(kProxyTypeHTTP, "e.example", 70)};
    EXPECT_EQ(list, expected);
    EXPECT_TRUE(proxiesFromPACAnswer("").empty());
}

TEST_F(ProxyTest, RequestGoesThroughTheSystemsHttpProxyWithTheAbsoluteUrl) {
    testnet::HttpProxyFixture proxy;
    SystemProxySettings s;
    s.httpProxy = "127.0.0.1:" + std::to_string(proxy.port());
    useSettings(s);
    auto r = HttpRequest::requestWithURL("http://service.test/path?q=1");
    r->startSynchronous();
    ASSERT_FALSE(r->error()) << r->error()->message;
    EXPECT_EQ(r->responseString(), "proxied http://service.test/path?q=1");
    EXPECT_EQ(r->proxyHost(), "127.0.0.1");
    EXPECT_EQ(r->proxyPort(), proxy.port());
    EXPECT_EQ(r->proxyType(), kProxyTypeHTTP);
    ASSERT_EQ(proxy.requestHeads().size(), 1u);
    EXPECT_EQ(proxy.requestHeads()[0].rfind("GET http://service.test/path?q=1 HTTP/1.1\r\n", 0), 0u);
}

TEST_F(ProxyTest, CallerSetProxySkipsTheSystemSettings) {
    testnet::Socks5Fixture socks;
    testnet::LoopbackHttpServer server;
    server.on("/s", [](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "through socks"))};
    });
    SystemProxySettings s;
    s.httpProxy = "127.0.0.1:1";  // would fail if used
    useSettings(s);
    auto r = HttpRequest::requestWithURL("http://socks-target.test:" + std::to_string(server.port()) + "/s");
    r->setProxyHost("127.0.0.1");
    r->setProxyPort(socks.port());
    r->setProxyType(kProxyTypeSOCKS);
    r->startSynchronous();
    ASSERT_FALSE(r->error()) << r->error()->message;
    EXPECT_EQ(r->responseString(), "through socks");
    EXPECT_EQ(settingsAsked.load(), 0);
    EXPECT_EQ(socks.targets(), std::vector<std::string>{"socks-target.test:" + std::to_string(server.port())});
}

TEST_F(ProxyTest, NoProxyInformationFailsWithCodeSix) {
    setProxyLister([](const net::Url&, const SystemProxySettings&) { return std::nullopt; });
    auto r = HttpRequest::requestWithURL("http://127.0.0.1:1/");
    r->startSynchronous();
    ASSERT_TRUE(r->error());
    EXPECT_EQ(r->error()->code, 6);
    EXPECT_EQ(r->error()->message, "Unable to obtain information on proxy servers needed for request");
}

TEST_F(ProxyTest, RefusedTunnelAsksForProxyCredentialsWhichOpenIt) {
    testnet::HttpProxyFixture proxy;
    proxy.requireProxyAuthorization("Basic cHU6cHA=");  // pu:pp
    auto r = HttpRequest::requestWithURL("https://secure.test/");
    r->setProxyHost("127.0.0.1");
    r->setProxyPort(proxy.port());
    r->startSynchronous();
    ASSERT_TRUE(r->error());
    EXPECT_EQ(r->error()->code, kAuthenticationErrorType);  // the proxy's 407, with no credentials to give
    EXPECT_EQ(r->responseStatusCode(), 407);
    ASSERT_EQ(proxy.requestHeads().size(), 1u);
    EXPECT_EQ(proxy.requestHeads()[0].rfind("CONNECT secure.test:443 HTTP/1.1\r\n", 0), 0u);

    // With proxy credentials the second CONNECT carries them and the tunnel
    // opens to the TLS server behind it.
    net::TlsSession::addTrustedRootsFile(testnet::testCertificates().ca);
    testnet::TlsHttpServer server(
        testnet::testCertificates().serverCert, testnet::testCertificates().serverKey, [](const testnet::TlsRequest&) {
            return std::string("HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nsecret");
        });
    auto authed = HttpRequest::requestWithURL(server.url("localhost", "/"));
    authed->setProxyHost("127.0.0.1");
    authed->setProxyPort(proxy.port());
    authed->setProxyUsername("pu");
    authed->setProxyPassword("pp");
    authed->startSynchronous();
    ASSERT_FALSE(authed->error()) << authed->error()->message;
    EXPECT_EQ(authed->responseString(), "secret");
    EXPECT_NE(proxy.requestHeads().back().find("Proxy-Authorization: Basic cHU6cHA=\r\n"), std::string::npos);
}

TEST_F(ProxyTest, PacScriptFromLoopbackRoutesThroughTheProxyAndTheQueueLimitComesBack) {
    testnet::HttpProxyFixture proxy;
    testnet::LoopbackHttpServer pacServer;
    std::string script =
        "function FindProxyForURL(url, host) {\n"
        "  if (dnsDomainIs(host, '.test') && shExpMatch(url, 'http://*/via/*'))\n"
        "    return 'PROXY 127.0.0.1:" +
        std::to_string(proxy.port()) +
        "; DIRECT';\n"
        "  return 'DIRECT';\n}\n";
    std::atomic<bool> release{false};
    pacServer.on("/proxy.pac", [&](const testnet::ServerRequest&) {
        // Both downloads wait here until the test has seen the raised limit.
        for (int i = 0; i < 500 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, script))};
    });
    int limitBefore = HttpRequest::sharedQueue().maxConcurrentOperationCount();
    Recorder a, b;
    auto ra = HttpRequest::requestWithURL("http://one.test/via/a");
    auto rb = HttpRequest::requestWithURL("http://two.test/via/b");
    for (auto& [r, rec] : {std::pair{ra, &a}, std::pair{rb, &b}}) {
        r->setPACurl(net::Url::parse(pacServer.url("/proxy.pac")));
        r->setDelegate(rec);
        r->startAsynchronous();
    }
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return pacServer.requestCount() == 2; }));
    EXPECT_EQ(HttpRequest::sharedQueue().maxConcurrentOperationCount(), limitBefore + 2);
    release = true;
    ASSERT_TRUE(
        foundation::RunLoop::main().runUntil([&] { return a.finished + a.failed + b.finished + b.failed == 2; }));
    EXPECT_EQ(a.finished, 1);
    EXPECT_EQ(b.finished, 1);
    EXPECT_EQ(ra->responseString(), "proxied http://one.test/via/a");
    EXPECT_EQ(rb->responseString(), "proxied http://two.test/via/b");
    EXPECT_EQ(pacServer.requestCount(), 2);
    EXPECT_EQ(HttpRequest::sharedQueue().maxConcurrentOperationCount(), limitBefore);
}

TEST_F(ProxyTest, LatinOnePacFileRunsAndAPacFileThatNeverEndsIsGivenUp) {
    testnet::LoopbackHttpServer server;
    server.on("/d", [](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "direct"))};
    });
    std::string dir = testsupport::tempDir("pac");
    testnet::HttpProxyFixture proxy;
    {
        std::ofstream f(dir + "/latin.pac", std::ios::binary);
        f << "// caf\xe9 (not UTF-8)\nfunction FindProxyForURL(u, h) { return 'PROXY 127.0.0.1:" << proxy.port()
          << "'; }\n";
    }
    auto r = HttpRequest::requestWithURL("http://latin.test/x");
    r->setPACurl(net::Url::parse("file://" + dir + "/latin.pac"));
    r->startSynchronous();
    ASSERT_FALSE(r->error()) << r->error()->message;
    EXPECT_EQ(r->responseString(), "proxied http://latin.test/x");

    // A pipe whose writer stays open: the read is given up after the time-out
    // and the request goes direct.
    std::string fifo = dir + "/endless.pac";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // keeps the pipe open without a reader
    ASSERT_GE(writer, 0);
    ASSERT_GT(::write(writer, "function Find", 13), 0);
    auto slow = HttpRequest::requestWithURL(server.url("/d"));
    slow->setTimeOutSeconds(0.3);
    slow->setPACurl(net::Url::parse("file://" + fifo));
    slow->startSynchronous();
    ::close(writer);
    ASSERT_FALSE(slow->error()) << slow->error()->message;
    EXPECT_EQ(slow->responseString(), "direct");
    EXPECT_FALSE(slow->proxyHost());
}

TEST_F(ProxyTest, CancelDuringPacDownloadRestoresTheQueueLimitAndReportsOnce) {
    testnet::LoopbackHttpServer pacServer;
    pacServer.on("/slow.pac",
                 [](const testnet::ServerRequest&) { return std::vector<testnet::Action>{testnet::silence()}; });
    int limitBefore = HttpRequest::sharedQueue().maxConcurrentOperationCount();
    Recorder rec;
    auto r = HttpRequest::requestWithURL("http://never.test/");
    r->setPACurl(net::Url::parse(pacServer.url("/slow.pac")));
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return pacServer.requestCount() == 1; }));
    EXPECT_EQ(HttpRequest::sharedQueue().maxConcurrentOperationCount(), limitBefore + 1);
    r->cancel();
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return rec.failed == 1; }));
    foundation::RunLoop::main().runUntil([] { return false; }, 0.2);  // any late callback would arrive now
    EXPECT_EQ(rec.failed, 1);
    EXPECT_EQ(rec.finished, 0);
    EXPECT_EQ(r->error()->code, kRequestCancelledErrorType);
    EXPECT_EQ(HttpRequest::sharedQueue().maxConcurrentOperationCount(), limitBefore);
}

TEST_F(ProxyTest, SynchronousRequestFetchesItsPacScriptFirstAndDirectMeansNoProxy) {
    testnet::HttpProxyFixture proxy;
    testnet::LoopbackHttpServer server;
    server.on("/direct", [](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "came direct"))};
    });
    server.on("/proxy.pac", [&](const testnet::ServerRequest&) {
        std::string script =
            "function FindProxyForURL(url, host) {\n"
            "  return isPlainHostName(host) || host == '127.0.0.1' ? 'DIRECT' : 'PROXY 127.0.0.1:" +
            std::to_string(proxy.port()) + "';\n}\n";
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, script))};
    });
    auto viaProxy = HttpRequest::requestWithURL("http://sync.test/a");
    viaProxy->setPACurl(net::Url::parse(server.url("/proxy.pac")));
    viaProxy->startSynchronous();
    ASSERT_FALSE(viaProxy->error()) << viaProxy->error()->message;
    EXPECT_EQ(viaProxy->responseString(), "proxied http://sync.test/a");

    auto direct = HttpRequest::requestWithURL(server.url("/direct"));
    direct->setPACurl(net::Url::parse(server.url("/proxy.pac")));
    direct->startSynchronous();
    ASSERT_FALSE(direct->error()) << direct->error()->message;
    EXPECT_EQ(direct->responseString(), "came direct");
    EXPECT_FALSE(direct->proxyHost());
    EXPECT_EQ(proxy.requestHeads().size(), 1u);
}

TEST_F(ProxyTest, RequestsTakingTurnsThroughAProxyAndDirectlyEachKeepTheirConnection) {
    useSettings(SystemProxySettings{});
    const auto& certs = testnet::testCertificates();
    net::TlsSession::addTrustedRootsFile(certs.ca);
    testnet::LoopbackHttpServer plain;
    plain.on("/t", [](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "t"))};
    });
    testnet::TlsHttpServer secure(certs.serverCert, certs.serverKey, [](const testnet::TlsRequest&) {
        return std::string("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nt");
    });
    secure.setKeepAlive(true);
    testnet::Socks5Fixture socks;
    testnet::HttpProxyFixture tunnel;
    struct Case {
        const char* name;
        std::string url;
        std::string proxyType;
        int proxyPort;
        std::function<int()> originConnections, proxyConnections;
    };
    const Case cases[] = {
        {"SOCKS, http", plain.url("/t"), kProxyTypeSOCKS, socks.port(), [&] { return plain.connectionCount(); },
         [&] { return int(socks.targets().size()); }},
        {"HTTP proxy tunnel, https", secure.url("localhost", "/t"), kProxyTypeHTTPS, tunnel.port(),
         [&] { return secure.connectionCount(); }, [&] { return int(tunnel.requestHeads().size()); }},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 6; ++i) {
            auto r = HttpRequest::requestWithURL(c.url);
            if (i % 2 == 0) {
                r->setProxyHost("127.0.0.1");
                r->setProxyPort(c.proxyPort);
                r->setProxyType(c.proxyType);
            }
            r->startSynchronous();
            ASSERT_FALSE(r->error()) << c.name << " " << i << ": " << r->error()->message;
            EXPECT_EQ(r->responseString(), "t") << c.name;
        }
        // One connection through the proxy, one straight to the server.
        EXPECT_EQ(c.proxyConnections(), 1) << c.name;
        EXPECT_EQ(c.originConnections(), 2) << c.name;
    }
}
