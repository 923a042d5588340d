// Time-outs and their retries, checked by the status timer on the manual clock.
#include <gtest/gtest.h>

#include "platform/foundation/Clock.h"
#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;
using clienttest::Recorder;
using clienttest::runMainUntil;
using clienttest::syncRequestThread;
using testnet::LoopbackHttpServer;

TEST(HttpTimeouts, RuleTable) {
    struct Row {
        const char* name;
        HttpRequest::TimeOutCheck check;
        bool expected;
    };
    // idle, scheduled stream, activity known, time-out, post length, upload buffer, bytes sent
    const Row rows[] = {
        {"silent GET past the limit", {0.76, true, true, 0.5, 0, 0, 0}, true},
        {"silent GET exactly at the limit", {0.5, true, true, 0.5, 0, 0, 0}, false},
        {"time-out 0 never fires", {1e6, true, true, 0, 0, 0, 0}, false},
        {"unscheduled (throttled) stream", {20, false, true, 9, 0, 0, 0}, false},
        {"waiting for credentials", {20, true, false, 9, 0, 0, 0}, false},
        {"body inside the first buffer, 1.1 x", {10, true, true, 9, 100, 0, 100}, false},
        {"body inside the first buffer, 1.5 x exactly", {13.5, true, true, 9, 100, 0, 100}, false},
        {"body inside the first buffer, past 1.5 x", {13.6, true, true, 9, 100, 0, 100}, true},
        {"body past the first buffer", {9.1, true, true, 9, 1000000, 65536, 70000}, true},
        {"body sent up to the first buffer only", {10, true, true, 9, 1000000, 65536, 65536}, false},
    };
    for (const Row& row : rows) EXPECT_EQ(HttpRequest::shouldTimeOut(row.check), row.expected) << row.name;
}

namespace {

// Advances the manual clock in status-timer steps, letting the request
// thread handle each one.
void tick(foundation::ManualClock& clock, int steps = 1) {
    for (int i = 0; i < steps; ++i) {
        clock.advance(HttpRequest::kStatusTimerInterval);
        syncRequestThread();
    }
}

bool poolHasRecordFor(int port) {
    for (const auto& r : HttpRequest::connectionPoolSnapshot())
        if (r.port == port) return true;
    return false;
}

}  // namespace

TEST(HttpTimeouts, SilentServerFailsOnTheFirstCheckPastTheLimit) {
    foundation::ManualClockScope clock;
    LoopbackHttpServer server;
    server.on("/poll", [](auto&) { return std::vector<testnet::Action>{testnet::silence()}; });
    Recorder rec;
    auto r = HttpRequest::requestWithURL(server.url("/poll"));
    r->setTimeOutSeconds(0.5);
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 1; }));

    tick(*clock, 2);  // 0.5 s of silence: not more than the limit yet
    EXPECT_FALSE(rec.ended());
    EXPECT_FALSE(r->complete());
    tick(*clock);  // 0.75 s
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    EXPECT_EQ(rec.failed, 1);
    EXPECT_TRUE(rec.allOnMain);
    ASSERT_NE(r->error(), nullptr);
    EXPECT_EQ(r->error()->code, kRequestTimedOutErrorType);
    EXPECT_EQ(r->error()->localizedDescription, "The request timed out");
    EXPECT_EQ(r->error(), requestTimedOutError());
    EXPECT_EQ(r->retryCount(), 0);
    EXPECT_TRUE(server.waitForFinishedConnections(1));
    EXPECT_FALSE(poolHasRecordFor(server.port()));
}

TEST(HttpTimeouts, RetriesOnFreshConnectionsThenFailsAndLeaksNothing) {
    foundation::ManualClockScope clock;
    LoopbackHttpServer server;
    server.on("/poll", [](auto&) { return std::vector<testnet::Action>{testnet::silence()}; });
    Recorder rec;
    auto r = HttpRequest::requestWithURL(server.url("/poll"));
    r->setTimeOutSeconds(0.5);
    r->setNumberOfTimesToRetryOnTimeout(2);
    r->setDelegate(&rec);
    r->startAsynchronous();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == attempt; })) << attempt;
        tick(*clock, 2);
        EXPECT_FALSE(rec.ended()) << attempt;
        EXPECT_EQ(r->retryCount(), attempt - 1);
        tick(*clock);
        if (attempt < 3) {
            // The stalled connection was closed before the next attempt.
            EXPECT_TRUE(server.waitForFinishedConnections(attempt)) << attempt;
        }
    }
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    EXPECT_EQ(rec.failed, 1);
    EXPECT_EQ(r->error()->code, kRequestTimedOutErrorType);
    EXPECT_EQ(server.requestCount(), 3);
    EXPECT_EQ(server.connectionCount(), 3);
    EXPECT_TRUE(server.waitForFinishedConnections(3));
    EXPECT_EQ(r->retryCount(), 2);
    EXPECT_FALSE(poolHasRecordFor(server.port()));
}

TEST(HttpTimeouts, ZeroTimeOutWaitsAsLongAsTheServerTakes) {
    foundation::ManualClockScope clock;
    LoopbackHttpServer server;
    clienttest::Gate gate;
    server.on("/slow", [&](auto&) {
        gate.wait();
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "late"))};
    });
    Recorder rec;
    auto r = HttpRequest::requestWithURL(server.url("/slow"));
    r->setTimeOutSeconds(0);
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 1; }));
    tick(*clock, 4);
    clock->advance(3600);
    syncRequestThread();
    EXPECT_FALSE(rec.ended());
    gate.release();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    EXPECT_EQ(rec.finished, 1);
    EXPECT_EQ(r->responseString(), "late");
}

TEST(HttpTimeouts, SynchronousRequestTimesOutOnItsOwnThread) {
    foundation::ManualClockScope clock;
    LoopbackHttpServer server;
    server.on("/sid", [](auto&) { return std::vector<testnet::Action>{testnet::silence()}; });
    auto r = HttpRequest::requestWithURL(server.url("/sid"));
    r->setTimeOutSeconds(6);
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        r->startSynchronous();
        returned = true;
    });
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 1; }));
    // The worker's loop sees each step of the clock; 6.25 s of silence ends it.
    for (int i = 0; i < 40 && !returned; ++i) {
        clock->advance(0.25);
        runMainUntil([&] { return returned.load(); }, 0.05);
    }
    worker.join();
    ASSERT_NE(r->error(), nullptr);
    EXPECT_EQ(r->error()->code, kRequestTimedOutErrorType);
    EXPECT_FALSE(r->inProgress());
}
