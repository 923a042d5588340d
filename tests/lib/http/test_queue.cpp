// HttpNetworkQueue: batches, cancelling on failure, the end of a batch,
// HEAD requests first with accurate progress, reset and copy, and the
// operation queue's suspension, priorities and dependencies underneath.
#include <gtest/gtest.h>

#include "lib/http/HttpNetworkQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/TestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;

namespace {

struct Screen : HttpRequestDelegate {
    std::vector<HttpRequest*> started, finished, failed;
    int queueFinished = 0;
};

void useSelectors(HttpNetworkQueue& q, Screen& s) {
    q.setDelegate(&s);
    q.setRequestDidStartSelector(
        [](HttpRequestDelegate& d, HttpRequest& r) { static_cast<Screen&>(d).started.push_back(&r); });
    q.setRequestDidFinishSelector(
        [](HttpRequestDelegate& d, HttpRequest& r) { static_cast<Screen&>(d).finished.push_back(&r); });
    q.setRequestDidFailSelector(
        [](HttpRequestDelegate& d, HttpRequest& r) { static_cast<Screen&>(d).failed.push_back(&r); });
    q.setQueueDidFinishSelector(
        [](HttpRequestDelegate& d, HttpNetworkQueue&) { ++static_cast<Screen&>(d).queueFinished; });
}

bool runMainUntil(const std::function<bool()>& pred, double seconds = 10) {
    return foundation::RunLoop::main().runUntil(pred, seconds);
}

void settle() {
    foundation::RunLoop::main().runUntil([] { return false; }, 0.2);
}

class QueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.on("/ok", [](const testnet::ServerRequest&) {
            return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "ok"))};
        });
        server.on("/stall",
                  [](const testnet::ServerRequest&) { return std::vector<testnet::Action>{testnet::silence()}; });
    }
    testnet::LoopbackHttpServer server;
    std::string refused = "http://127.0.0.1:" + std::to_string(testsupport::freePort()) + "/refused";
};

}  // namespace

TEST_F(QueueTest, FailureCancelsTheRestAndZeroesTheCounters) {
    auto q = HttpNetworkQueue::queue();
    Screen s;
    useSelectors(*q, s);
    auto first = HttpRequest::requestWithURL(server.url("/stall"));
    auto second = HttpRequest::requestWithURL(refused);
    auto third = HttpRequest::requestWithURL(server.url("/stall"));
    for (auto& r : {first, second, third}) q->addOperation(r);
    EXPECT_EQ(q->requestsCount(), 3);
    EXPECT_EQ(q->totalBytesToDownload(), 3u);
    settle();
    EXPECT_EQ(server.requestCount(), 0);  // nothing runs before go
    q->go();
    ASSERT_TRUE(runMainUntil([&] { return first->isFinished() && second->isFinished() && third->isFinished(); }));
    settle();
    EXPECT_EQ(s.failed, std::vector<HttpRequest*>{second.get()});
    EXPECT_EQ(second->error()->code, kConnectionFailureErrorType);
    EXPECT_EQ(first->error()->code, kRequestCancelledErrorType);
    EXPECT_EQ(third->error()->code, kRequestCancelledErrorType);
    EXPECT_TRUE(s.finished.empty());
    EXPECT_EQ(s.queueFinished, 0);
    EXPECT_EQ(q->requestsCount(), 0);
    EXPECT_EQ(q->bytesUploadedSoFar() + q->totalBytesToUpload() + q->bytesDownloadedSoFar() + q->totalBytesToDownload(),
              0u);
}

TEST_F(QueueTest, WithoutCancellingAFailingLastRequestStillEndsTheBatch) {
    auto q = HttpNetworkQueue::queue();
    Screen s;
    useSelectors(*q, s);
    q->setShouldCancelAllRequestsOnFailure(false);
    q->setMaxConcurrentOperationCount(1);  // one after the other: the failing one is last
    auto a = HttpRequest::requestWithURL(server.url("/ok"));
    auto b = HttpRequest::requestWithURL(server.url("/ok"));
    auto c = HttpRequest::requestWithURL(refused);
    for (auto& r : {a, b, c}) q->addOperation(r);
    q->go();
    ASSERT_TRUE(runMainUntil([&] { return s.queueFinished == 1; }));
    EXPECT_EQ(s.finished, (std::vector<HttpRequest*>{a.get(), b.get()}));
    EXPECT_EQ(s.failed, std::vector<HttpRequest*>{c.get()});
    EXPECT_EQ(s.started.size(), 3u);
    EXPECT_EQ(q->requestsCount(), 0);
}

TEST_F(QueueTest, AccurateProgressRunsAHeadRequestBeforeEachGetAddedWhileSuspended) {
    auto q = HttpNetworkQueue::queue();
    Screen s;
    useSelectors(*q, s);
    q->setShowAccurateProgress(true);
    q->setMaxConcurrentOperationCount(1);
    auto get = HttpRequest::requestWithURL(server.url("/ok"));
    auto post = HttpRequest::requestWithURL(server.url("/ok"));
    post->appendPostData(std::string("body"));
    q->addOperation(post);
    q->addOperation(get);
    q->go();
    ASSERT_TRUE(runMainUntil([&] { return s.queueFinished == 1; }));
    std::vector<std::string> methods;
    for (const auto& r : server.requests()) methods.push_back(r.method);
    // The HEAD request outranks the others; the GET waits for it; the POST gets none.
    EXPECT_EQ(methods, (std::vector<std::string>{"HEAD", "POST", "GET"}));
    EXPECT_EQ(s.finished.size(), 2u);  // the HEAD request is not one of the batch
    EXPECT_EQ(q->totalBytesToUpload(), 4u);

    // After go, a GET gets no HEAD request.
    auto late = HttpRequest::requestWithURL(server.url("/ok"));
    q->addOperation(late);
    ASSERT_TRUE(runMainUntil([&] { return s.queueFinished == 2; }));
    EXPECT_EQ(server.requests().back().method, "GET");
    EXPECT_EQ(server.requestCount(), 4);
}

TEST_F(QueueTest, ResetKeepsOnlyTheRedirectSelectorAndCopyKeepsTheSettings) {
    auto q = HttpNetworkQueue::queue();
    Screen s;
    useSelectors(*q, s);
    q->setRequestWillRedirectSelector([](HttpRequestDelegate&, HttpRequest&, const net::Url&) {});
    q->setShouldCancelAllRequestsOnFailure(false);
    q->setUserInfo(foundation::Value("batch"));
    auto c = q->copy();
    EXPECT_TRUE(c->isSuspended());
    EXPECT_EQ(c->delegate(), &s);
    EXPECT_FALSE(c->shouldCancelAllRequestsOnFailure());
    EXPECT_TRUE(c->hasSelectorsOtherThanRedirect());
    EXPECT_EQ(c->userInfo().description(), "batch");

    q->go();
    q->reset();
    EXPECT_TRUE(q->isSuspended());
    EXPECT_EQ(q->delegate(), nullptr);
    EXPECT_FALSE(q->hasSelectorsOtherThanRedirect());
    EXPECT_TRUE(q->requestWillRedirectSelector());
}

TEST_F(QueueTest, OnlyRequestsMayBeAdded) {
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& line) { lines.push_back(line); });
    auto q = HttpNetworkQueue::queue();
    EXPECT_FALSE(q->addOperation(HttpRequestRef()));
    std::shared_ptr<HttpRequestDelegate> notARequest = std::make_shared<Screen>();
    EXPECT_FALSE(q->addOperation(notARequest));
    EXPECT_TRUE(q->addOperation(HttpRequest::requestWithURL(server.url("/ok"))));
    foundation::setLogSink(old);
    EXPECT_EQ(lines, std::vector<std::string>(2,
                                              "AttemptToAddInvalidRequest: Attempted to add an object that was not an "
                                              "HttpRequest to an HttpNetworkQueue"));
    EXPECT_EQ(q->requestsCount(), 1);
}
