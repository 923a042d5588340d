// HttpRequest against a scripted server on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "lib/http/HttpRequest.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/TlsSession.h"
#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"
#include "tests/support/net/ProxyTlsFixtures.h"

using namespace http;
using clienttest::Gate;
using clienttest::runMainUntil;
using testnet::LoopbackHttpServer;

namespace {

// Records the callbacks and the thread each came on.
struct Recorder : HttpRequestDelegate {
    int started = 0, headers = 0, finished = 0, failed = 0;
    bool allOnMain = true;
    void note() { allOnMain = allOnMain && foundation::RunLoop::isMainThread(); }
    void requestStarted(HttpRequest&) override { ++started, note(); }
    void request(HttpRequest&, const ResponseHeaders&) override { ++headers, note(); }
    void requestFinished(HttpRequest&) override { ++finished, note(); }
    void requestFailed(HttpRequest&) override { ++failed, note(); }
    bool ended() const { return finished + failed > 0; }
};

// Runs one asynchronous request to its end.
void runAsync(const HttpRequestRef& r, Recorder& rec) {
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
}

std::vector<testnet::Action> ok(const std::string& body,
                                std::vector<std::pair<std::string, std::string>> headers = {}) {
    return {testnet::send(testnet::response(200, headers, body))};
}

}  // namespace

TEST(HttpRequest, AsynchronousGzipGetReportsTheInflatedTextOnTheMainThread) {
    LoopbackHttpServer server;
    const std::string text = "{\"result\":\"0\",\"text\":\"" + std::string(5000, 'x') + "\"}";
    server.on("/safeCenter.do", [&](auto&) { return ok(testnet::gzip(text), {{"Content-Encoding", "gzip"}}); });
    for (bool waitToInflate : {true, false}) {
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url("/safeCenter.do?c=00ff"));
        r->setTag(42);
        r->setShouldWaitToInflateCompressedResponses(waitToInflate);
        runAsync(r, rec);
        EXPECT_EQ(rec.finished, 1);
        EXPECT_EQ(rec.failed, 0);
        EXPECT_EQ(rec.started, 1);
        EXPECT_EQ(rec.headers, 1);
        EXPECT_TRUE(rec.allOnMain);
        EXPECT_EQ(r->error(), nullptr);
        EXPECT_EQ(r->responseStatusCode(), 200);
        EXPECT_EQ(r->tag(), 42);
        EXPECT_TRUE(r->isResponseCompressed());
        EXPECT_EQ(r->responseString(), text) << "waitToInflate " << waitToInflate;
        EXPECT_EQ(r->totalBytesRead(), testnet::gzip(text).size());
        EXPECT_TRUE(r->isFinished());
        EXPECT_FALSE(r->isExecuting());
    }
    auto req = server.requests().front();
    EXPECT_EQ(req.method, "GET");
    EXPECT_EQ(req.target, "/safeCenter.do?c=00ff");
    EXPECT_EQ(*req.headers.get("Host"), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(*req.headers.get("Accept-Encoding"), "gzip");
    ASSERT_TRUE(req.headers.get("User-Agent"));
    EXPECT_EQ(*req.headers.get("User-Agent"), *HttpRequest::defaultUserAgentString());
    EXPECT_EQ(req.headers.get("Content-Length"), nullptr);
}

TEST(HttpRequest, SynchronousRequestOnAWorkerThreadReturnsTheBody) {
    LoopbackHttpServer server;
    server.on("/sid", [](auto&) { return ok("answer", {{"Content-Type", "text/plain; charset=utf-8"}}); });
    Recorder rec;
    auto r = HttpRequest::requestWithURL(server.url("/sid"));
    r->setDelegate(&rec);
    std::optional<std::string> body;
    HttpErrorRef error = makeHttpError(0, "not run");
    bool wasInProgressAfter = true;
    std::thread worker([&] {
        r->startSynchronous();
        body = r->responseString();
        error = r->error();
        wasInProgressAfter = r->inProgress();
    });
    worker.join();
    EXPECT_EQ(body, "answer");
    EXPECT_EQ(error, nullptr);
    EXPECT_FALSE(wasInProgressAfter);
    EXPECT_EQ(r->runLoopMode(), kHttpRequestRunLoopMode);
    EXPECT_EQ(r->responseEncoding(), kUTF8StringEncoding);
    // The delegate still hears of it, on the main thread.
    ASSERT_TRUE(runMainUntil([&] { return rec.finished == 1; }));
    EXPECT_TRUE(rec.allOnMain);
}

TEST(HttpRequest, BodiesOfEveryFramingAndEncoding) {
    LoopbackHttpServer server;
    const std::string latin1 = "caf\xe9";
    server.on("/chunked", [](auto&) {
        return std::vector{testnet::send(testnet::response(200, {{"Transfer-Encoding", "chunked"}}, "")),
                           testnet::send(testnet::chunked(std::string(70000, 'c'), 999))};
    });
    server.on("/close", [](auto&) {
        return std::vector{testnet::send("HTTP/1.0 200 OK\r\n\r\nclose-delimited"), testnet::closeConnection()};
    });
    server.on("/latin1", [&](auto&) { return ok(latin1); });
    server.on("/bad-utf8", [&](auto&) { return ok(latin1, {{"Content-Type", "text/plain; charset=utf-8"}}); });
    server.on("/gbk", [](auto&) { return ok("\xc4\xe3\xba\xc3", {{"Content-Type", "text/html; charset=GBK"}}); });
    server.on("/decimal", [](auto&) {
        return std::vector{testnet::send("HTTP/1.1 200 OK\r\nContent-Length: 010\r\n\r\n0123456789")};
    });
    struct Case {
        const char* path;
        std::optional<std::string> text;
        uint64_t contentLength;
    };
    const Case cases[] = {
        {"/chunked", std::string(70000, 'c'), 70000},  // no Content-Length: the bytes read
        {"/close", "close-delimited", 15},
        {"/latin1", "caf\xc3\xa9", 4},   // no charset: ISO Latin 1
        {"/bad-utf8", std::nullopt, 4},  // not valid UTF-8: no text
        {"/gbk", "\xe4\xbd\xa0\xe5\xa5\xbd", 4},
        {"/decimal", "0123456789", 10},  // "010" is ten
    };
    for (const auto& c : cases) {
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url(c.path));
        runAsync(r, rec);
        EXPECT_EQ(rec.finished, 1) << c.path;
        EXPECT_EQ(r->responseString(), c.text) << c.path;
        EXPECT_EQ(r->contentLength(), c.contentLength) << c.path;
        ASSERT_TRUE(r->responseData()) << c.path;
    }
}

TEST(HttpRequest, MethodAndBodyGoOutAsTheRulesSay) {
    LoopbackHttpServer server;
    server.on("/m", [](const testnet::ServerRequest& q) { return ok(q.method + ":" + q.body); });
    struct Case {
        const char* method;
        std::string body;
        const char* sent;
    };
    const Case cases[] = {{"GET", "", "GET"},      {"GET", "a=1", "POST"}, {"HEAD", "a=1", "POST"},
                          {"DELETE", "x", "POST"}, {"PUT", "put", "PUT"},  {"DELETE", "", "DELETE"}};
    for (const auto& c : cases) {
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url("/m"));
        r->setRequestMethod(c.method);
        if (!c.body.empty()) r->appendPostData(c.body);
        runAsync(r, rec);
        auto seen = server.requests().back();
        EXPECT_EQ(seen.method, c.sent) << c.method << " " << c.body;
        EXPECT_EQ(seen.body, c.body);
        if (c.body.empty())
            EXPECT_EQ(seen.headers.get("Content-Length"), nullptr) << c.method;
        else
            EXPECT_EQ(*seen.headers.get("Content-Length"), std::to_string(c.body.size()));
        EXPECT_EQ(r->totalBytesSent(), c.body.size());
        EXPECT_EQ(r->postLength(), c.body.size());
    }
}

TEST(HttpRequest, SequentialRequestsReuseTheConnectionWhenTheServerAllows) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> headers;
        const char* version;
        int connections;
        double timeout;
    };
    const Case cases[] = {
        {"plain HTTP/1.1", {}, "HTTP/1.1", 1, 60},
        {"Keep-Alive max 6", {{"Keep-Alive", "timeout=15, max=6"}}, "HTTP/1.1", 1, 15},
        {"Keep-Alive max 5", {{"Keep-Alive", "timeout=15, max=5"}}, "HTTP/1.1", 2, 60},
        {"Connection: close", {{"Connection", "Close"}}, "HTTP/1.1", 2, 60},
        {"HTTP/1.0", {}, "HTTP/1.0", 2, 60},
        {"HTTP/1.0 keep-alive", {{"Connection", "keep-alive"}}, "HTTP/1.0", 1, 60},
    };
    for (const auto& c : cases) {
        LoopbackHttpServer server;
        server.on("/k", [&](auto&) {
            std::vector<testnet::Action> a{testnet::send(testnet::response(200, c.headers, "k", c.version))};
            bool closes = c.connections == 2;
            if (closes) a.push_back(testnet::closeConnection());
            return a;
        });
        Recorder one, two;
        auto first = HttpRequest::requestWithURL(server.url("/k"));
        runAsync(first, one);
        auto second = HttpRequest::requestWithURL(server.url("/k"));
        runAsync(second, two);
        EXPECT_EQ(one.finished + two.finished, 2) << c.name;
        EXPECT_EQ(server.connectionCount(), c.connections) << c.name;
        EXPECT_EQ(first->connectionCanBeReused(), c.connections == 1) << c.name;
        EXPECT_EQ(first->persistentConnectionTimeoutSeconds(), c.timeout) << c.name;
        EXPECT_EQ(first->connectionID(), second->connectionID()) << c.name;  // the record is reused either way
        EXPECT_EQ(second->retryCount(), 0) << c.name;
    }
}

TEST(HttpRequest, ConcurrentRequestsGetTheirOwnConnections) {
    LoopbackHttpServer server;
    Gate gate;
    server.on("/wait", [&](auto&) {
        gate.wait();
        return ok("w");
    });
    Recorder a, b;
    auto ra = HttpRequest::requestWithURL(server.url("/wait"));
    auto rb = HttpRequest::requestWithURL(server.url("/wait"));
    ra->setDelegate(&a);
    rb->setDelegate(&b);
    ra->startAsynchronous();
    rb->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 2; }));
    gate.release();
    ASSERT_TRUE(runMainUntil([&] { return a.ended() && b.ended(); }));
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_NE(ra->connectionID(), rb->connectionID());
}

TEST(HttpRequest, ParkedConnectionClosedWhileIdleIsReplacedWithoutRetry) {
    LoopbackHttpServer server;
    server.on("/idle", [](auto&) {
        return std::vector{testnet::send(testnet::response(200, {}, "i")), testnet::closeConnection()};
    });
    Recorder one, two;
    runAsync(HttpRequest::requestWithURL(server.url("/idle")), one);
    ASSERT_TRUE(server.waitForFinishedConnections(1));
    auto second = HttpRequest::requestWithURL(server.url("/idle"));
    runAsync(second, two);
    EXPECT_EQ(two.finished, 1);
    EXPECT_EQ(second->retryCount(), 0);
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.requestCount(), 2);
}

TEST(HttpRequest, ReusedConnectionDroppedAfterTheRequestIsRetriedOnceOnANewOne) {
    LoopbackHttpServer server;
    // The second request on the first connection is read and then dropped.
    server.on("/r", [](const testnet::ServerRequest& q) {
        if (q.connection == 1 && q.indexOnConnection == 2) return std::vector{testnet::closeConnection()};
        return ok("fine");
    });
    Recorder one, two;
    runAsync(HttpRequest::requestWithURL(server.url("/r")), one);
    auto second = HttpRequest::requestWithURL(server.url("/r"));
    runAsync(second, two);
    EXPECT_EQ(two.finished, 1);
    EXPECT_EQ(two.failed, 0);
    EXPECT_EQ(second->responseString(), "fine");
    EXPECT_EQ(second->retryCount(), 1);
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.requestCount(), 3);
    // The dropped connection's record left the pool.
    int records = 0;
    for (const auto& rec : HttpRequest::connectionPoolSnapshot())
        if (rec.port == server.port()) ++records;
    EXPECT_EQ(records, 1);

    // A reset instead of a close is retried the same way.
    LoopbackHttpServer resetting;
    resetting.on("/r", [](const testnet::ServerRequest& q) {
        if (q.connection == 1 && q.indexOnConnection == 2) return std::vector{testnet::resetConnection()};
        return ok("fine");
    });
    Recorder three, four;
    runAsync(HttpRequest::requestWithURL(resetting.url("/r")), three);
    auto fourth = HttpRequest::requestWithURL(resetting.url("/r"));
    runAsync(fourth, four);
    EXPECT_EQ(four.finished, 1);
    EXPECT_EQ(fourth->retryCount(), 1);
}

TEST(HttpRequest, ServerThatDropsAFreshConnectionGetsTheRequestOnce) {
    // The server read the whole request before it dropped the connection:
    // sending it again could do the work twice.
    LoopbackHttpServer server;
    server.on("/drop", [](auto&) { return std::vector{testnet::closeConnection()}; });
    const auto& certs = testnet::testCertificates();
    net::TlsSession::addTrustedRootsFile(certs.ca);
    testnet::TlsHttpServer tls(certs.serverCert, certs.serverKey, [](const testnet::TlsRequest&) { return ""; });
    struct Case {
        const char* name;
        std::string url;
        const char* method;  // nullptr: left as it is
        std::string body;
        std::function<int()> requestsSeen;
    };
    const Case cases[] = {
        {"GET", server.url("/drop"), nullptr, "", [&] { return server.requestCount(); }},
        {"POST by method", server.url("/drop"), "POST", "a=1", [&] { return server.requestCount(); }},
        {"POST by body alone", server.url("/drop"), nullptr, "a=1", [&] { return server.requestCount(); }},
        {"POST over TLS", tls.url("localhost", "/drop"), nullptr, "a=1", [&] { return int(tls.requests().size()); }},
    };
    for (const auto& c : cases) {
        int before = c.requestsSeen();
        Recorder rec;
        auto r = HttpRequest::requestWithURL(c.url);
        if (c.method) r->setRequestMethod(c.method);
        if (!c.body.empty()) r->appendPostData(c.body);
        runAsync(r, rec);
        EXPECT_EQ(rec.failed, 1) << c.name;
        EXPECT_EQ(rec.finished, 0) << c.name;
        ASSERT_TRUE(r->error()) << c.name;
        EXPECT_EQ(r->error()->domain, kHttpRequestErrorDomain);
        EXPECT_EQ(r->error()->code, kConnectionFailureErrorType) << c.name;
        EXPECT_EQ(r->error()->message, "A connection failure occurred") << c.name;
        ASSERT_TRUE(r->error()->underlying) << c.name;
        EXPECT_EQ(r->error()->underlying->code, net::kNetworkConnectionLost) << c.name;
        EXPECT_EQ(c.requestsSeen() - before, 1) << c.name;
        EXPECT_EQ(r->retryCount(), 0) << c.name;
    }
    EXPECT_EQ(server.connectionCount(), 3);
    EXPECT_EQ(tls.connectionCount(), 1);
}

TEST(HttpRequest, ABodyMakesAPostThatNeverRidesAKeptConnection) {
    struct Case {
        const char* name;
        std::function<void(HttpRequest&)> addBody;
    };
    const Case cases[] = {
        {"appendPostData", [](HttpRequest& r) { r.appendPostData(std::string("a=1")); }},
        {"setPostBody",
         [](HttpRequest& r) {
             r.setPostBody(Bytes{'a', '=', '1'});
         }},
    };
    for (const auto& c : cases) {
        // The second request on a connection is read and then dropped.
        LoopbackHttpServer server;
        server.on("/p", [](const testnet::ServerRequest& q) {
            if (q.indexOnConnection == 2) return std::vector{testnet::closeConnection()};
            return ok(q.method + ":" + q.body);
        });
        Recorder first;
        runAsync(HttpRequest::requestWithURL(server.url("/p")), first);  // leaves a kept connection
        auto post = HttpRequest::requestWithURL(server.url("/p"));
        c.addBody(*post);
        EXPECT_EQ(post->requestMethod(), "POST") << c.name;
        EXPECT_FALSE(post->shouldAttemptPersistentConnection()) << c.name;
        Recorder rec;
        runAsync(post, rec);
        EXPECT_EQ(rec.finished, 1) << c.name;
        EXPECT_EQ(post->responseString(), "POST:a=1") << c.name;
        EXPECT_EQ(post->retryCount(), 0) << c.name;
        // Sent once, on a connection of its own.
        EXPECT_EQ(server.requestCount(), 2) << c.name;
        EXPECT_EQ(server.connectionCount(), 2) << c.name;
    }
}

TEST(HttpRequest, ReusedConnectionThatBeganToAnswerIsNotRetried) {
    // Part of the reply came before the drop: the server has the request.
    struct Case {
        const char* name;
        std::string partial;
    };
    const Case cases[] = {
        {"part of the head", "HTTP/1.1 200 O"},
        {"head and part of the body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"},
    };
    for (const auto& c : cases) {
        LoopbackHttpServer server;
        server.on("/r", [&](const testnet::ServerRequest& q) {
            if (q.connection == 1 && q.indexOnConnection == 2)
                return std::vector{testnet::send(c.partial), testnet::closeConnection()};
            return ok("fine");
        });
        Recorder one, two;
        runAsync(HttpRequest::requestWithURL(server.url("/r")), one);
        auto second = HttpRequest::requestWithURL(server.url("/r"));
        runAsync(second, two);
        EXPECT_EQ(two.failed, 1) << c.name;
        ASSERT_TRUE(second->error()) << c.name;
        EXPECT_EQ(second->error()->code, kConnectionFailureErrorType) << c.name;
        EXPECT_EQ(second->retryCount(), 0) << c.name;
        EXPECT_EQ(server.requestCount(), 2) << c.name;
        EXPECT_EQ(server.connectionCount(), 1) << c.name;
    }
}

TEST(HttpRequest, BrokenRepliesFailClearly) {
    LoopbackHttpServer server;
    server.on("/garbage", [](auto&) {
        return std::vector{testnet::send("garbage\r\n\r\n"), testnet::closeConnection()};
    });
    server.on("/cut-chunks", [](auto&) {
        return std::vector{testnet::send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n20\r\nabc"),
                           testnet::closeConnection()};
    });
    server.on("/short", [](auto&) {
        return std::vector{testnet::send("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nabc"),
                           testnet::closeConnection()};
    });
    server.on("/bad-gzip", [](auto&) { return ok("not gzip at all", {{"Content-Encoding", "gzip"}}); });
    for (const char* path : {"/garbage", "/cut-chunks", "/short"}) {
        Recorder rec;
        auto r = HttpRequest::requestWithURL(server.url(path));
        runAsync(r, rec);
        EXPECT_EQ(rec.failed, 1) << path;
        ASSERT_TRUE(r->error()) << path;
        EXPECT_EQ(r->error()->code, kConnectionFailureErrorType) << path;
        EXPECT_FALSE(r->responseString()) << path;
    }
    // A body that claims gzip but is not: the request ends, the text is nil.
    Recorder rec;
    auto r = HttpRequest::requestWithURL(server.url("/bad-gzip"));
    runAsync(r, rec);
    EXPECT_EQ(rec.finished, 1);
    EXPECT_FALSE(r->responseData());
    EXPECT_FALSE(r->responseString());
    // Inflating on the fly fails the request with the decompressor's error.
    Recorder onTheFly;
    auto r2 = HttpRequest::requestWithURL(server.url("/bad-gzip"));
    r2->setShouldWaitToInflateCompressedResponses(false);
    runAsync(r2, onTheFly);
    EXPECT_EQ(onTheFly.failed, 1);
    ASSERT_TRUE(r2->error());
    EXPECT_EQ(r2->error()->code, kCompressionError);
    EXPECT_EQ(r2->error()->message, "Decompression of data failed with code -3");
}

TEST(HttpRequest, RequestsThatCannotBeMadeFailWithCode5) {
    LoopbackHttpServer server;
    server.on("/x", [](auto&) { return ok("x"); });
    auto badHeader = HttpRequest::requestWithURL(server.url("/x"));
    badHeader->addRequestHeader("X-Evil", "a\r\nInjected: yes");
    auto badMethod = HttpRequest::requestWithURL(server.url("/x"));
    badMethod->setRequestMethod("GE T");
    for (const auto& r : {HttpRequest::requestWithURL("not a url"), HttpRequest::requestWithURL(std::nullopt),
                          HttpRequest::requestWithURL("ftp://127.0.0.1/x"), badHeader, badMethod}) {
        Recorder rec;
        runAsync(r, rec);
        EXPECT_EQ(rec.failed, 1);
        EXPECT_TRUE(rec.allOnMain);
        ASSERT_TRUE(r->error());
        EXPECT_EQ(r->error(), unableToCreateRequestError());  // the shared error object
        EXPECT_EQ(r->error()->code, 5);
        EXPECT_EQ(r->error()->message, "Unable to create request (bad url?)");
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST(HttpRequest, CancelFailsOnceWithCode4) {
    LoopbackHttpServer server;
    server.on("/silent", [](auto&) { return std::vector{testnet::silence()}; });
    Recorder rec;
    auto r = HttpRequest::requestWithURL(server.url("/silent"));
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 1; }));
    r->cancel();
    r->cancel();
    ASSERT_TRUE(runMainUntil([&] { return rec.failed > 0 && r->isFinished(); }));
    foundation::RunLoop::main().runUntil([] { return false; }, 0.2);  // a second failure would show up here
    EXPECT_EQ(rec.failed, 1);
    EXPECT_EQ(rec.finished, 0);
    EXPECT_TRUE(r->isCancelled());
    EXPECT_EQ(r->error(), requestCancelledError());
    EXPECT_EQ(r->error()->message, "The request was cancelled");
    // The cancelled request's connection is closed and its record gone.
    EXPECT_TRUE(server.waitForFinishedConnections(1));
    for (const auto& record : HttpRequest::connectionPoolSnapshot()) EXPECT_NE(record.port, server.port());

    // Cancelling a request that already finished changes nothing.
    server.on("/x", [](auto&) { return ok("x"); });
    Recorder done;
    auto finished = HttpRequest::requestWithURL(server.url("/x"));
    runAsync(finished, done);
    finished->cancel();
    foundation::RunLoop::main().runUntil([] { return false; }, 0.2);
    EXPECT_EQ(done.failed, 0);
    EXPECT_EQ(finished->error(), nullptr);
    EXPECT_FALSE(finished->isCancelled());
}

TEST(HttpRequest, SynchronousRequestCancelledFromAnotherThreadEnds) {
    LoopbackHttpServer server;
    server.on("/silent", [](auto&) { return std::vector{testnet::silence()}; });
    auto r = HttpRequest::requestWithURL(server.url("/silent"));
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        r->startSynchronous();
        returned = true;
    });
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 1; }));
    r->cancel();  // runs on the worker's own run loop
    worker.join();
    EXPECT_TRUE(returned);
    ASSERT_TRUE(r->error());
    EXPECT_EQ(r->error()->code, kRequestCancelledErrorType);

    // Cancelled before it started: returns at once, not in progress.
    auto early = HttpRequest::requestWithURL(server.url("/silent"));
    early->cancel();
    ASSERT_TRUE(runMainUntil([&] { return early->isCancelled(); }));
    early->startSynchronous();
    EXPECT_FALSE(early->inProgress());
    EXPECT_EQ(server.requestCount(), 1);
}

TEST(HttpRequest, SharedQueueRunsAtMostFourAtOnce) {
    LoopbackHttpServer server;
    Gate gate;
    std::atomic<int> inServer{0}, most{0};
    server.on("/q", [&](auto&) {
        int now = ++inServer;
        for (int m = most.load(); now > m && !most.compare_exchange_weak(m, now);) {}
        gate.wait();
        --inServer;
        return ok("q");
    });
    std::vector<HttpRequestRef> requests;
    std::vector<Recorder> recs(6);
    for (int i = 0; i < 6; ++i) {
        requests.push_back(HttpRequest::requestWithURL(server.url("/q")));
        requests.back()->setDelegate(&recs[size_t(i)]);
        requests.back()->startAsynchronous();
    }
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 4; }));
    EXPECT_EQ(HttpRequest::sharedQueue().runningCount(), 4u);
    EXPECT_EQ(HttpRequest::sharedQueue().operationCount(), 6u);
    gate.release();
    ASSERT_TRUE(runMainUntil([&] {
        int n = 0;
        for (auto& r : recs) n += r.finished;
        return n == 6;
    }));
    EXPECT_LE(most.load(), 4);
    EXPECT_EQ(server.requestCount(), 6);
    ASSERT_TRUE(runMainUntil([] { return HttpRequest::sharedQueue().operationCount() == 0; }));
}

TEST(HttpRequest, CopyCarriesTheSettingsButNotTheReply) {
    LoopbackHttpServer server;
    server.on("/c", [](const testnet::ServerRequest& q) { return ok(q.method + " " + q.body); });
    Recorder rec;
    auto r = HttpRequest::requestWithURL(server.url("/c"));
    r->setRequestMethod("PUT");
    r->appendPostData("body");
    r->addRequestHeader("X-Tag", "7");
    r->setTag(7);
    r->setTimeOutSeconds(4);
    r->setUserInfo(foundation::Value("info"));
    r->setDelegate(&rec);
    auto c = r->copy();
    runAsync(r, rec);
    EXPECT_EQ(c->requestMethod(), "PUT");
    EXPECT_EQ(c->tag(), 7);
    EXPECT_EQ(c->timeOutSeconds(), 4);
    EXPECT_EQ(c->userInfo(), foundation::Value("info"));
    EXPECT_EQ(c->delegate(), &rec);
    EXPECT_FALSE(c->responseData());
    EXPECT_EQ(c->responseStatusCode(), 0);
    Recorder again;
    c->setDelegate(&again);
    c->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return again.ended(); }));
    EXPECT_EQ(c->responseString(), "PUT body");
    EXPECT_EQ(*server.requests().back().headers.get("X-Tag"), "7");
}

TEST(HttpRequest, HeadRequestTakesTheConnectionSettingsAndACopyTakesThemAll) {
    auto r = HttpRequest::requestWithURL("http://127.0.0.1:9/x");
    r->setUsername("user");
    r->setProxyHost("proxy.test");
    r->setProxyPort(3128);
    r->setTimeOutSeconds(3);
    r->setValidatesSecureCertificate(false);
    r->setDownloadDestinationPath("/nonexistent/download");
    r->setTag(9);
    r->setUserAgentString("agent/1");
    r->setShouldWaitToInflateCompressedResponses(false);

    auto head = r->HEADRequest();
    EXPECT_EQ(head->requestMethod(), "HEAD");
    EXPECT_EQ(head->username(), "user");
    EXPECT_EQ(head->proxyHost(), "proxy.test");
    EXPECT_EQ(head->proxyPort(), 3128);
    EXPECT_EQ(head->timeOutSeconds(), 3);
    EXPECT_FALSE(head->validatesSecureCertificate());
    // What belongs to the body and its handling stays with the request.
    EXPECT_FALSE(head->downloadDestinationPath());
    EXPECT_EQ(head->tag(), 0);
    EXPECT_FALSE(head->userAgentString());

    auto copy = r->copy();
    EXPECT_EQ(copy->username(), "user");
    EXPECT_EQ(copy->proxyPort(), 3128);
    EXPECT_EQ(copy->downloadDestinationPath(), "/nonexistent/download");
    EXPECT_EQ(copy->tag(), 9);
    EXPECT_EQ(copy->userAgentString(), "agent/1");
    EXPECT_FALSE(copy->shouldWaitToInflateCompressedResponses());
}

TEST(HttpRequest, SettingsChangedDuringAPassApplyFromTheNextPass) {
    LoopbackHttpServer server;
    clienttest::Gate gate;
    server.on("/first", [&](const testnet::ServerRequest&) {
        gate.wait();
        return std::vector{testnet::send(testnet::response(302, {{"Location", "/second"}}, ""))};
    });
    server.on("/second", [](const testnet::ServerRequest&) {
        return std::vector{testnet::send(testnet::response(302, {{"Location", "/third"}}, ""))};
    });
    server.on("/third", [](const testnet::ServerRequest&) { return ok("third"); });
    auto r = HttpRequest::requestWithURL(server.url("/first"));
    HttpRequest* raw = r.get();
    // Once the first pass runs, redirects are switched off: that pass still
    // follows its redirect, the next one does not.
    r->setStartedBlock([raw, &gate] {
        raw->setShouldRedirect(false);
        gate.release();
    });
    Recorder rec;
    runAsync(r, rec);
    EXPECT_FALSE(r->error());
    EXPECT_EQ(r->responseStatusCode(), 302);
    EXPECT_EQ(r->url()->path(), "/second");
    EXPECT_EQ(server.requestCount(), 2);
}
