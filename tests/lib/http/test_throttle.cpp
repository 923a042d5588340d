// Bandwidth throttling, the mobile-network limit and the activity indicator,
// on the manual clock.
#include <gtest/gtest.h>

#include "platform/foundation/Clock.h"
#include "platform/foundation/NetworkActivityIndicator.h"
#include "platform/net/Reachability.h"
#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;
using clienttest::Recorder;
using clienttest::runMainUntil;
using testnet::LoopbackHttpServer;

namespace {

// A manual clock that starts after any measurement period an earlier test
// left behind on the system clock.
class Throttle : public ::testing::Test {
protected:
    void SetUp() override {
        // Each case starts far beyond the last one's periods.
        static double base = foundation::SystemClock().monotonic() + 100;
        base += 100000;
        clock = std::make_shared<foundation::ManualClock>(1700000000.0, base);
        foundation::setClock(clock);
        HttpRequest::setShouldThrottleBandwidthForWWAN(false);
        HttpRequest::setMaxBandwidthPerSecond(0);
        HttpRequest::measureBandwidthUsage();  // starts a fresh period now
        start = clock->monotonic();
    }
    void TearDown() override {
        HttpRequest::setShouldThrottleBandwidthForWWAN(false);
        HttpRequest::setMaxBandwidthPerSecond(0);
    }
    std::shared_ptr<foundation::ManualClock> clock;
    double start = 0;
};

}  // namespace

TEST_F(Throttle, OverdraftIsPaidBackWithSleep) {
    HttpRequest::setMaxBandwidthPerSecond(1000);
    EXPECT_TRUE(HttpRequest::isBandwidthThrottled());
    HttpRequest::incrementBandwidthUsedInLastSecond(1500);
    HttpRequest::measureBandwidthUsage();
    ASSERT_TRUE(HttpRequest::throttleWakeUpTime());
    EXPECT_DOUBLE_EQ(*HttpRequest::throttleWakeUpTime(), start + 1 + 0.5);
}

TEST_F(Throttle, HistoryAndAverage) {
    HttpRequest::incrementBandwidthUsedInLastSecond(3000);
    clock->advance(1.25);
    HttpRequest::measureBandwidthUsage();
    EXPECT_EQ(HttpRequest::bandwidthUsageHistory(), std::vector<unsigned long>{3000});
    EXPECT_EQ(HttpRequest::averageBandwidthUsedPerSecond(), 3000u);
    clock->advance(1.25);  // a period without traffic empties the history
    HttpRequest::measureBandwidthUsage();
    EXPECT_EQ(HttpRequest::bandwidthUsageHistory(), std::vector<unsigned long>{0});
    HttpRequest::incrementBandwidthUsedInLastSecond(700);
    clock->advance(1.25);
    HttpRequest::measureBandwidthUsage();
    EXPECT_EQ(HttpRequest::bandwidthUsageHistory(), std::vector<unsigned long>{700});
    EXPECT_EQ(HttpRequest::averageBandwidthUsedPerSecond(), 700u);
    // Periods measured back to back build a history of at most six.
    for (unsigned long i = 1; i <= 8; ++i) {
        HttpRequest::incrementBandwidthUsedInLastSecond(i * 100);
        clock->advance(1.0);
        HttpRequest::measureBandwidthUsage();
    }
    auto history = HttpRequest::bandwidthUsageHistory();
    ASSERT_EQ(history.size(), 6u);
    EXPECT_EQ(history.back(), 800u);
    EXPECT_EQ(HttpRequest::averageBandwidthUsedPerSecond(), (300u + 400 + 500 + 600 + 700 + 800) / 6);
}

TEST_F(Throttle, UploadAllowance) {
    struct Row {
        unsigned long max, used, allowance;
        bool wakesAtPeriodEnd;
    };
    const Row rows[] = {
        {1000, 0, 250, false}, {1000, 900, 100, false}, {1000, 1000, 0, true}, {1000, 1200, 0, true}, {3, 0, 0, true},
    };
    for (const Row& row : rows) {
        HttpRequest::setMaxBandwidthPerSecond(0);
        clock->advance(2);
        HttpRequest::measureBandwidthUsage();  // a fresh period
        start = clock->monotonic();
        HttpRequest::setMaxBandwidthPerSecond(row.max);
        HttpRequest::incrementBandwidthUsedInLastSecond(row.used);
        EXPECT_EQ(HttpRequest::maxUploadReadLength(), row.allowance) << row.max << "/" << row.used;
        auto wake = HttpRequest::throttleWakeUpTime();
        if (row.wakesAtPeriodEnd) {
            ASSERT_TRUE(wake);
            EXPECT_DOUBLE_EQ(*wake, start + 1);
        }
    }
}

TEST_F(Throttle, MobileNetworkLimitFollowsReachability) {
    auto flags = std::make_shared<net::ManualReachabilityFlagProvider>();
    net::setReachabilityFlagProvider(flags);
    const net::ReachabilityFlags wwan = net::kReachabilityFlagsReachable | net::kReachabilityFlagsIsWWAN;
    flags->setFlags("0.0.0.0", wwan);
    HttpRequest::setShouldThrottleBandwidthForWWAN(true);
    EXPECT_EQ(HttpRequest::maxBandwidthPerSecond(), HttpRequest::kWWANBandwidthLimit);
    EXPECT_EQ(HttpRequest::maxBandwidthPerSecond(), 14800u);
    EXPECT_TRUE(HttpRequest::isNetworkReachableViaWWAN());
    EXPECT_TRUE(HttpRequest::isBandwidthThrottled());

    flags->setFlags("0.0.0.0", net::kReachabilityFlagsReachable);  // now on Wi-Fi
    foundation::RunLoop::main().drain();
    EXPECT_FALSE(HttpRequest::isBandwidthThrottled());
    flags->setFlags("0.0.0.0", wwan);
    foundation::RunLoop::main().drain();
    EXPECT_TRUE(HttpRequest::isBandwidthThrottled());

    HttpRequest::setShouldThrottleBandwidthForWWAN(false);
    EXPECT_EQ(HttpRequest::maxBandwidthPerSecond(), 0u);
    EXPECT_FALSE(HttpRequest::isBandwidthThrottled());
    flags->setFlags("0.0.0.0", net::kReachabilityFlagsReachable);
    flags->setFlags("0.0.0.0", wwan);
    foundation::RunLoop::main().drain();
    EXPECT_FALSE(HttpRequest::isBandwidthThrottled());
}

TEST_F(Throttle, DownloadAt20000BytesPerSecondTakesTwoSecondsOfClockAndCompletes) {
    LoopbackHttpServer server;
    const std::string body(60000, 'd');
    server.on("/big",
              [&](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, body))}; });
    HttpRequest::setMaxBandwidthPerSecond(20000);
    Recorder rec;
    auto r = HttpRequest::requestWithURL(server.url("/big"));
    r->setTimeOutSeconds(0);
    r->setDelegate(&rec);
    r->startAsynchronous();
    double endedAt = -1;
    uint64_t mostAfterFirstSecond = 0;
    for (int step = 0; step < 80 && endedAt < 0; ++step) {
        runMainUntil([&] { return rec.ended(); }, 0.05);
        if (rec.ended()) {
            endedAt = clock->monotonic() - start;
            break;
        }
        if (clock->monotonic() - start < 1.0)
            mostAfterFirstSecond = std::max(mostAfterFirstSecond, r->totalBytesRead());
        clock->advance(0.25);
    }
    ASSERT_GE(endedAt, 0) << "the download never completed";
    EXPECT_EQ(rec.finished, 1);
    EXPECT_EQ(r->responseData()->size(), 60000u);
    EXPECT_GE(endedAt, 2.0);
    // Within the first second no more than the limit (and one read past it) arrived.
    EXPECT_LE(mostAfterFirstSecond, 20000u + 16384u);
}

TEST_F(Throttle, ActivityIndicatorHidesHalfASecondAfterTheLastRequest) {
    foundation::setNetworkActivityIndicatorVisible(false);
    LoopbackHttpServer server;
    clienttest::Gate gates[2];
    std::atomic<int> index{0};
    server.on("/held", [&](auto&) {
        gates[index++].wait();
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "x"))};
    });
    auto run = [&](int i, Recorder& rec) {
        auto r = HttpRequest::requestWithURL(server.url("/held"));
        r->setDelegate(&rec);
        r->startAsynchronous();
        EXPECT_TRUE(runMainUntil([&] { return server.requestCount() == i + 1; }));
        EXPECT_TRUE(foundation::networkActivityIndicatorVisible());
        EXPECT_TRUE(HttpRequest::isNetworkInUse());
        return r;
    };
    Recorder first, second;
    auto a = run(0, first);
    gates[0].release();
    ASSERT_TRUE(runMainUntil([&] { return first.ended() && !HttpRequest::isNetworkInUse(); }));
    runMainUntil([] { return false; }, 0.05);  // let the delayed hide be scheduled
    EXPECT_TRUE(foundation::networkActivityIndicatorVisible());
    clock->advance(0.3);
    auto b = run(1, second);
    clock->advance(0.3);  // the first hide comes while the second request runs
    EXPECT_TRUE(foundation::networkActivityIndicatorVisible());
    gates[1].release();
    ASSERT_TRUE(runMainUntil([&] { return second.ended() && !HttpRequest::isNetworkInUse(); }));
    runMainUntil([] { return false; }, 0.05);
    clock->advance(0.4);
    EXPECT_TRUE(foundation::networkActivityIndicatorVisible());
    clock->advance(0.2);
    EXPECT_FALSE(foundation::networkActivityIndicatorVisible());
}
