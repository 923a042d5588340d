// URL-connection operations: HTTP acceptance rules, cancelling before the
// start, output streams that must take every byte, the buffer size, URL
// credentials, the activity indicator and the one-call loader.
#include <gtest/gtest.h>

#include <atomic>

#include "lib/urlconnection/UcURLConnectionOperation.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/TestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;

namespace {

bool runMainUntil(const std::function<bool()>& pred, double seconds = 10) {
    return foundation::RunLoop::main().runUntil(pred, seconds);
}

UcURLRequest requestFor(const std::string& url) { return UcURLRequest(*net::Url::parse(url)); }

// Counts what it is given; refuses everything after `capacity` bytes.
class LimitedStream : public UcOutputStream {
public:
    explicit LimitedStream(size_t capacity) : capacity_(capacity) {}
    bool open() override { return opened = true; }
    void close() override { closed = true; }
    bool hasSpaceAvailable() override { return data.size() < capacity_; }
    long write(const uint8_t* bytes, size_t length) override {
        size_t n = std::min({length, capacity_ - data.size(), size_t(1000)});  // takes at most 1000 at a time
        data.append(reinterpret_cast<const char*>(bytes), n);
        return long(n);
    }
    std::string streamError() const override { return "the disk is full"; }
    std::string data;
    bool opened = false, closed = false;

private:
    size_t capacity_;
};

class UrlConnectionTest : public ::testing::Test {
protected:
    void serve(const std::string& path, int status, std::vector<std::pair<std::string, std::string>> headers,
               std::string body) {
        server.on(path, [=](const testnet::ServerRequest&) {
            return std::vector<testnet::Action>{testnet::send(testnet::response(status, headers, body))};
        });
    }
    struct Outcome {
        std::atomic<int> successes{0}, failures{0};
        HttpErrorRef error;
        Bytes data;
    };
    void runHttp(const std::shared_ptr<UcHTTPRequestOperation>& op, Outcome& out) {
        op->setCompletionBlockWithSuccess(
            [&out](UcHTTPRequestOperation&, const Bytes& d) {
                out.data = d;
                ++out.successes;
            },
            [&out](UcHTTPRequestOperation&, HttpErrorRef e) {
                out.error = e;
                ++out.failures;
            });
        op->start();
        ASSERT_TRUE(runMainUntil([&] { return out.successes + out.failures > 0; }));
    }
    testnet::LoopbackHttpServer server;
};

}  // namespace

TEST_F(UrlConnectionTest, StatusAndContentTypeRules) {
    serve("/missing", 404, {{"Content-Type", "text/html"}}, "gone");
    serve("/empty", 200, {{"Content-Type", "image/png"}}, "");
    serve("/png", 200, {{"Content-Type", "image/png"}}, "PNG");
    serve("/json", 200, {{"Content-Type", "application/json; charset=utf-8"}}, "{\"a\":\xE7\xA6\xBE}");

    Outcome notFound;
    runHttp(UcHTTPRequestOperation::operationWithRequest(requestFor(server.url("/missing"))), notFound);
    ASSERT_EQ(notFound.failures, 1);
    EXPECT_EQ(notFound.error->domain, kUcNetworkingErrorDomain);
    EXPECT_EQ(notFound.error->code, kUcErrorBadStatusCode);
    EXPECT_EQ(notFound.error->localizedDescription, "Expected status code (200-299), got 404");

    std::set<std::string> json = {"application/json", "text/json"};
    auto empty = UcHTTPRequestOperation::operationWithRequest(requestFor(server.url("/empty")));
    empty->setAcceptableContentTypes(json);
    Outcome emptyOk;
    runHttp(empty, emptyOk);
    EXPECT_EQ(emptyOk.successes, 1);  // no content, so any type

    auto png = UcHTTPRequestOperation::operationWithRequest(requestFor(server.url("/png")));
    png->setAcceptableContentTypes(json);
    Outcome wrongType;
    runHttp(png, wrongType);
    ASSERT_EQ(wrongType.failures, 1);
    EXPECT_EQ(wrongType.error->code, kUcErrorBadContentType);
    EXPECT_EQ(wrongType.error->localizedDescription,
              "Expected content type (application/json, text/json), got image/png");

    auto ok = UcHTTPRequestOperation::operationWithRequest(requestFor(server.url("/json")));
    ok->setAcceptableContentTypes(json);
    Outcome good;
    runHttp(ok, good);
    EXPECT_EQ(good.successes, 1);
    EXPECT_EQ(ok->responseString(), "{\"a\":\xE7\xA6\xBE}");
    EXPECT_EQ(ok->response()->textEncodingName, "utf-8");
    EXPECT_TRUE(ok->isFinished());
}

TEST_F(UrlConnectionTest, CancelledBeforeStartPostsStartAndFinishWithoutConnecting) {
    serve("/x", 200, {}, "x");
    auto op = UcURLConnectionOperation::operationWithRequest(requestFor(server.url("/x")));
    std::vector<std::string> seen;
    auto& center = foundation::NotificationCenter::defaultCenter();
    for (const auto& name : {kUcOperationStartNotification, kUcOperationFinishNotification})
        center.addObserver(
            &seen, name, [&seen](const foundation::Notification& n) { seen.push_back(n.name); }, op.get());
    bool completed = false;
    op->setCompletionBlock([&] { completed = true; });
    op->cancel();
    EXPECT_TRUE(op->isReady());
    EXPECT_TRUE(op->isCancelled());
    op->start();
    center.removeObserver(&seen);
    EXPECT_EQ(seen, (std::vector<std::string>{kUcOperationStartNotification, kUcOperationFinishNotification}));
    EXPECT_TRUE(op->isFinished());
    EXPECT_TRUE(completed);
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(UrlConnectionTest, OutputStreamGetsEveryByteOrTheOperationFails) {
    std::string body(1 << 20, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = char(i * 7 + i / 1000);
    serve("/big", 200, {}, body);
    auto op = UcURLConnectionOperation::operationWithRequest(requestFor(server.url("/big")));
    auto roomy = std::make_shared<LimitedStream>(body.size());
    op->setOutputStream(roomy);
    std::atomic<bool> done{false};
    op->setCompletionBlock([&] { done = true; });
    op->start();
    ASSERT_TRUE(runMainUntil([&] { return done.load(); }));
    EXPECT_FALSE(op->error());
    EXPECT_TRUE(roomy->data == body);
    EXPECT_TRUE(roomy->opened && roomy->closed);
    EXPECT_EQ(op->totalBytesRead(), int64_t(body.size()));

    auto full = UcURLConnectionOperation::operationWithRequest(requestFor(server.url("/big")));
    auto small = std::make_shared<LimitedStream>(5000);
    full->setOutputStream(small);
    std::atomic<bool> ended{false};
    full->setCompletionBlock([&] { ended = true; });
    full->start();
    ASSERT_TRUE(runMainUntil([&] { return ended.load(); }));
    ASSERT_TRUE(full->error());
    EXPECT_EQ(full->error()->localizedDescription, "The output stream did not take the data: the disk is full");
}

TEST_F(UrlConnectionTest, BufferStartsAtTheExpectedLengthWithinLimits) {
    struct Case {
        int64_t expected;
        size_t capacity;
    } cases[] = {{-1, 1024}, {0, 1024}, {5000, 5000}, {20000000, 8388608}, {-4096, 4096}};
    for (const auto& c : cases)
        EXPECT_EQ(UcURLConnectionOperation::accumulatorCapacityForExpectedLength(c.expected), c.capacity) << c.expected;
    server.on("/nolength", [](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{testnet::send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nabc"),
                                            testnet::closeConnection()};
    });
    auto op = UcURLConnectionOperation::operationWithRequest(requestFor(server.url("/nolength")));
    std::atomic<bool> done{false};
    op->setCompletionBlock([&] { done = true; });
    op->start();
    ASSERT_TRUE(runMainUntil([&] { return done.load(); }));
    EXPECT_EQ(op->response()->expectedContentLength, -1);
    EXPECT_EQ(op->accumulatorCapacity(), 1024u);
    EXPECT_EQ(op->responseString(), "abc");
}

TEST_F(UrlConnectionTest, CredentialsFromTheUrlOrTheBlockAnswerABasicChallenge) {
    server.on("/auth", [](const testnet::ServerRequest& q) {
        const std::string* a = q.headers.get("Authorization");
        if (a && *a == "Basic dXNlcjpwYXNz")  // user:pass
            return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "welcome"))};
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(401, {{"WWW-Authenticate", "Basic realm=\"vault\""}}, "no"))};
    });
    std::string url = server.url("/auth");
    auto withUser = UcHTTPRequestOperation::operationWithRequest(
        requestFor("http://user:pass@" + url.substr(std::string("http://").size())));
    Outcome a;
    runHttp(withUser, a);
    EXPECT_EQ(a.successes, 1);
    EXPECT_EQ(std::string(a.data.begin(), a.data.end()), "welcome");

    std::vector<UcAuthenticationChallenge> challenges;
    auto withBlock = UcHTTPRequestOperation::operationWithRequest(requestFor(url));
    withBlock->setAuthenticationChallengeBlock([&](const UcAuthenticationChallenge& c) -> std::optional<UcCredential> {
        challenges.push_back(c);
        if (c.previousFailureCount == 0) return UcCredential{"user", "wrong"};
        return std::nullopt;  // give up after one failure
    });
    Outcome b;
    runHttp(withBlock, b);
    ASSERT_EQ(challenges.size(), 2u);
    EXPECT_EQ(challenges[0].realm, "vault");
    EXPECT_EQ(challenges[1].previousFailureCount, 1);
    EXPECT_EQ(b.failures, 1);
    EXPECT_EQ(withBlock->response()->statusCode, 401);
}

TEST(ActivityIndicator, StaysOnUntilAQuarterSecondAfterTheLastOperation) {
    foundation::ManualClockScope clockScope;
    auto& clock = static_cast<foundation::ManualClock&>(foundation::clock());
    UcNetworkActivityIndicatorManager manager;
    std::vector<bool> changes;
    manager.setIndicatorHandler([&](bool v) { changes.push_back(v); });
    manager.setEnabled(true);
    auto& center = foundation::NotificationCenter::defaultCenter();
    int a = 0, b = 0;  // two operations, by identity
    center.post(kUcOperationStartNotification, &a);
    center.post(kUcOperationStartNotification, &b);
    EXPECT_TRUE(manager.indicatorShown());
    center.post(kUcOperationFinishNotification, &a);
    clock.advance(0.2);
    center.post(kUcOperationFinishNotification, &b);
    EXPECT_EQ(manager.activityCount(), 0);
    clock.advance(0.2);
    EXPECT_TRUE(manager.indicatorShown());
    clock.advance(0.06);
    EXPECT_FALSE(manager.indicatorShown());
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
    manager.decrementActivityCount();
    EXPECT_EQ(manager.activityCount(), 0);  // never below zero
}

TEST_F(UrlConnectionTest, LoaderCompletesAndItsCancelBlockSilencesIt) {
    serve("/data", 200, {}, "loaded");
    server.on("/stall", [](const testnet::ServerRequest&) { return std::vector<testnet::Action>{testnet::silence()}; });
    std::atomic<int> calls{0};
    std::string got;
    NetworkQueue::loadWithURLRequest(requestFor(server.url("/data")),
                                     [&](const UcURLRequest&, const std::optional<UcHTTPURLResponse>& r,
                                         const std::optional<Bytes>& d, HttpErrorRef e) {
                                         EXPECT_FALSE(e);
                                         EXPECT_EQ(r->statusCode, 200);
                                         got.assign(d->begin(), d->end());
                                         ++calls;
                                     });
    ASSERT_TRUE(runMainUntil([&] { return calls == 1; }));
    EXPECT_EQ(got, "loaded");

    std::atomic<int> stalledCalls{0};
    auto cancel = NetworkQueue::loadWithURLRequest(requestFor(server.url("/stall")),
                                                   [&](const UcURLRequest&, const std::optional<UcHTTPURLResponse>&,
                                                       const std::optional<Bytes>&, HttpErrorRef) { ++stalledCalls; });
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 2; }));
    cancel();
    foundation::RunLoop::main().runUntil([] { return false; }, 0.2);
    EXPECT_EQ(stalledCalls, 0);
    EXPECT_EQ(NetworkQueue::operationCount(), 0u);
}
