// The dispatcher against a collector on 127.0.0.1: the wire text, batches,
// the fall-back to one request per connection, back-off, closed and silent
// collectors, long writes, dry runs and the synchronous variant.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/analytics/TrkDataDispatcher.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/TestSupport.h"
#include "tests/support/analytics/Collector.h"

using testcollector::Collector;
using testcollector::Reply;
using testcollector::Request;

namespace {

struct Recorder : TrkDataDispatcherDelegate {
    std::vector<uint64_t> confirmed;
    std::vector<std::string> texts;
    int completions = 0;
    void dataDispatcherDispatched(TrkDataDispatcher&, const TrkHit& hit) override {
        confirmed.push_back(hit.hitId());
        texts.push_back(hit.hitString());
    }
    void dataDispatcherDidComplete(TrkDataDispatcher&) override { ++completions; }
};

std::vector<TrkHit> makeHits(int n, size_t length = 0, uint64_t firstId = 1) {
    std::vector<TrkHit> hits;
    for (int i = 0; i < n; ++i) {
        std::string text = "/__utm.gif?utmwv=4.9.1mi&utmn=" + std::to_string(i) + "&utmac=UA-1";
        if (text.size() + 20 < length) text += "&x=" + std::string(length - text.size() - 20, 'a');
        text += "&utmht=1700000000000";
        hits.emplace_back(text, firstId + static_cast<uint64_t>(i));
    }
    return hits;
}

class DispatcherTest : public testing::Test {
protected:
    void SetUp() override {
        foundation::DeviceInfo info;
        info.model = "PC";
        info.systemName = "Linux";
        info.systemVersion = "6.1";
        info.language = "zh-Hans";
        info.locale = "zh_CN";
        foundation::setDevice(info);
    }
    std::shared_ptr<TrkDataDispatcher> make(Collector& collector) {
        auto d = TrkDataDispatcher::create(&recorder, "AnalyticsKit", "1.5.1");
        d->setDestinationHost("127.0.0.1");
        d->setDestinationPort(collector.port());
        return d;
    }
    // Runs the main loop until the dispatch ended.
    bool waitForCompletion(int completions = 1) {
        return foundation::RunLoop::main().runUntil([&] { return recorder.completions >= completions; }, 20);
    }
    Recorder recorder;
};

TEST_F(DispatcherTest, GetRequestOnTheWire) {
    foundation::ManualClockScope clock(1700000000.5);
    Collector collector;
    auto d = make(collector);
    d->setDestinationPathPrefix("/collect");
    d->dispatchHits(makeHits(1));
    ASSERT_TRUE(waitForCompletion());
    auto requests = collector.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw,
              "GET /collect/__utm.gif?utmwv=4.9.1mi&utmn=0&utmac=UA-1&utmht=1700000000000&utmqt=500 HTTP/1.1\r\n"
              "Host: 127.0.0.1\r\n"
              "User-Agent: AnalyticsKit/1.5.1 (PC; U; CPU Linux 6.1 like Mac OS X; zh-hans-cn)\r\n\r\n");
    EXPECT_EQ(recorder.confirmed, std::vector<uint64_t>{1});
    EXPECT_EQ(recorder.texts[0], "/__utm.gif?utmwv=4.9.1mi&utmn=0&utmac=UA-1&utmht=1700000000000&utmqt=500");
    EXPECT_EQ(d->lastStatusCode(), 200);
    EXPECT_EQ(d->socket(), nullptr);
}

TEST_F(DispatcherTest, LongHitsGoAsPost) {
    Collector collector;
    auto d = make(collector);
    // Lengths after "&utmqt=<n>" is added: the queue time here is a few digits,
    // so build the texts to land exactly on the limit afterwards.
    foundation::ManualClockScope clock(1700000000.0);  // queue time 0: "&utmqt=0" (8 characters)
    auto at = [](size_t total, uint64_t id) {
        std::string head = "/__utm.gif?utmwv=4.9.1mi&x=";
        std::string tail = "&utmht=1700000000000";
        size_t fill = total - 8 - head.size() - tail.size();
        return TrkHit(head + std::string(fill, 'a') + tail, id);
    };
    d->dispatchHits({at(2036, 1), at(2037, 2)});
    ASSERT_TRUE(waitForCompletion());
    auto requests = collector.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target.size(), 2036u);
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].target, "/p/__utm.gif");
    EXPECT_EQ(requests[1].body.size(), 2037u - std::string("/__utm.gif?").size());
    EXPECT_EQ(requests[1].body.substr(0, 15), "utmwv=4.9.1mi&x");
    EXPECT_NE(requests[1].raw.find("\r\nContent-Type: text/plain\r\nContent-Length: " +
                                   std::to_string(requests[1].body.size()) + "\r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(recorder.confirmed, (std::vector<uint64_t>{1, 2}));
}

TEST_F(DispatcherTest, PipelinesBatchesOfThirtyOnOneConnection) {
    Collector collector;
    auto d = make(collector);
    d->dispatchHits(makeHits(70));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder.confirmed.size(), 70u);
    EXPECT_EQ(recorder.confirmed.front(), 1u);
    EXPECT_EQ(recorder.confirmed.back(), 70u);
    EXPECT_EQ(collector.connections(), 1);
    EXPECT_EQ(d->sequentialRequests(), 3u);
    // All seventy requests came on that one connection.
    auto bytes = collector.connectionBytes();
    ASSERT_EQ(bytes.size(), 1u);
    size_t gets = 0;
    for (size_t pos = 0; (pos = bytes[0].find("GET ", pos)) != std::string::npos; ++pos) ++gets;
    EXPECT_EQ(gets, 70u);
    EXPECT_TRUE(d->pipelineMode());
}

TEST_F(DispatcherTest, OneDispatchConfirmsAtMostFiveBatches) {
    Collector collector;
    auto d = make(collector);
    d->dispatchHits(makeHits(200));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder.confirmed.size(), 150u);
    EXPECT_EQ(collector.requestCount(), 150u);
    EXPECT_TRUE(d->pendingHits().empty());
}

TEST_F(DispatcherTest, AnHttp10CollectorGetsOneRequestPerConnection) {
    Collector collector([](const Request&, int, int k) {
        if (k > 0) return Reply{};  // only the first request of a connection is answered
        Reply r = testcollector::ok("HTTP/1.0");
        r.endAfter = true;
        return r;
    });
    auto d = make(collector);
    d->dispatchHits(makeHits(40));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_FALSE(d->pipelineMode());
    EXPECT_EQ(recorder.confirmed, (std::vector<uint64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(collector.connections(), 5);
    // The first connection got the pipelined batch, each later one one request.
    auto bytes = collector.connectionBytes();
    ASSERT_EQ(bytes.size(), 5u);
    auto count = [](const std::string& b) {
        size_t n = 0;
        for (size_t pos = 0; (pos = b.find("GET ", pos)) != std::string::npos; ++pos) ++n;
        return n;
    };
    EXPECT_EQ(count(bytes[0]), 30u);
    for (size_t i = 1; i < 5; ++i) EXPECT_EQ(count(bytes[i]), 1u) << i;
    // A hit sent a second time keeps the queue time it got the first time.
    EXPECT_EQ(bytes[1].find("&utmqt="), bytes[1].rfind("&utmqt="));
    EXPECT_NE(bytes[0].find(bytes[1].substr(0, bytes[1].find(" HTTP/1.1"))), std::string::npos);

    // The next dispatch stays with one request per connection.
    recorder.completions = 0;
    d->dispatchHits(makeHits(2, 0, 100));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(collector.connections(), 7);
    EXPECT_EQ(recorder.confirmed.size(), 7u);
}

TEST_F(DispatcherTest, ServerErrorsBackOffWithADoublingBound) {
    foundation::ManualClockScope clock;
    Collector collector([](const Request&, int, int) { return testcollector::status(503, "Service Unavailable"); });
    auto d = make(collector);
    d->dispatchHits(makeHits(3));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(d->lastStatusCode(), 503);
    EXPECT_TRUE(recorder.confirmed.empty());
    EXPECT_EQ(d->retryInterval(), 2.0);

    // Each following dispatch waits a random part of the bound, which doubles.
    double bounds[] = {2, 4, 8, 16};
    for (int round = 0; round < 4; ++round) {
        size_t before = collector.requestCount();
        d->dispatchHits(makeHits(3));
        EXPECT_EQ(d->retryInterval(), bounds[round] * 2);
        EXPECT_TRUE(d->isDispatching());
        foundation::RunLoop::main().drain();
        EXPECT_EQ(d->socket(), nullptr) << "nothing is sent before the delay";
        clock->advance(bounds[round]);
        ASSERT_TRUE(waitForCompletion(round + 2));
        EXPECT_GT(collector.requestCount(), before);
    }

    // A success brings the interval back to 2 s.
    collector.setRule(nullptr);
    d->dispatchHits(makeHits(1));
    clock->advance(32);
    ASSERT_TRUE(waitForCompletion(6));
    EXPECT_EQ(d->lastStatusCode(), 200);
    d->dispatchHits(makeHits(1, 0, 50));
    ASSERT_TRUE(waitForCompletion(7));
    EXPECT_EQ(d->retryInterval(), 2.0);
}

TEST_F(DispatcherTest, AnUnreachableCollectorIsRetriedWithBackOff) {
    foundation::ManualClockScope clock;
    int deadPort = testsupport::freePort();
    auto d = TrkDataDispatcher::create(&recorder, "AnalyticsKit", "1.5.1");
    d->setDestinationHost("127.0.0.1");
    d->setDestinationPort(deadPort);
    d->dispatchHits(makeHits(2));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_TRUE(recorder.confirmed.empty());
    d->dispatchHits(makeHits(2));
    EXPECT_EQ(d->socket(), nullptr);
    EXPECT_TRUE(d->isDispatching());
    clock->advance(2);
    ASSERT_TRUE(waitForCompletion(2));
    EXPECT_EQ(d->retryInterval(), 4.0);
}

TEST_F(DispatcherTest, ACollectorClosingMidBatchLosesNoHit) {
    Collector collector([](const Request&, int n, int) {
        Reply r = testcollector::ok();
        if (n == 9) r.endAfter = true;  // answers ten, then closes its side
        return r;
    });
    auto d = make(collector);
    auto hits = makeHits(30);
    d->dispatchHits(hits);
    ASSERT_TRUE(waitForCompletion());
    ASSERT_EQ(recorder.confirmed.size(), 10u);
    EXPECT_EQ(recorder.confirmed.back(), 10u);
    EXPECT_TRUE(d->pendingHits().empty());

    // The twenty unconfirmed go with the next dispatch.
    std::vector<TrkHit> rest(hits.begin() + 10, hits.end());
    d->dispatchHits(rest);
    ASSERT_TRUE(waitForCompletion(2));
    ASSERT_EQ(recorder.confirmed.size(), 30u);
    for (uint64_t i = 0; i < 30; ++i) EXPECT_EQ(recorder.confirmed[i], i + 1);
}

TEST_F(DispatcherTest, ASilentCollectorDoesNotKeepTheDispatchForever) {
    foundation::ManualClockScope clock;
    Collector collector([](const Request&, int, int) { return Reply{}; });
    auto d = make(collector);
    d->dispatchHits(makeHits(3));
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return collector.requestCount() == 3; }, 20));
    EXPECT_TRUE(d->isDispatching());
    EXPECT_EQ(recorder.completions, 0);
    clock->advance(kTrkDispatchTimeLimit);
    EXPECT_EQ(recorder.completions, 1);
    EXPECT_FALSE(d->isDispatching());
    EXPECT_TRUE(recorder.confirmed.empty());
}

TEST_F(DispatcherTest, LongBatchesAreWrittenCompletely) {
    // Three hits of 3 MB each are far more than one socket write takes.
    Collector collector;
    collector.setReading(false);
    auto d = make(collector);
    d->dispatchHits(makeHits(3, 3 * 1024 * 1024));
    foundation::RunLoop::main().runUntil([&] { return d->socket() != nullptr; }, 5);
    for (int i = 0; i < 20; ++i) foundation::RunLoop::main().runOnce(foundation::kDefaultMode, 0.01);
    collector.setReading(true);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder.confirmed, (std::vector<uint64_t>{1, 2, 3}));
    auto requests = collector.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& r : requests) {
        EXPECT_EQ(r.method, "POST");
        EXPECT_GT(r.body.size(), 3u * 1024 * 1024 - 100);
    }
}

TEST_F(DispatcherTest, DryRunConnectsButWritesNothing) {
    Collector collector;
    auto d = make(collector);
    d->setDryRun(true);
    d->dispatchHits(makeHits(40));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder.confirmed.size(), 40u);
    EXPECT_EQ(d->sequentialRequests(), 2u);
    foundation::RunLoop::main().runUntil([&] { return collector.connections() == 1; }, 5);
    EXPECT_EQ(collector.connections(), 1);
    EXPECT_EQ(collector.requestCount(), 0u);

    // Without a connection nothing is confirmed.
    Recorder other;
    auto dead = TrkDataDispatcher::create(&other, "AnalyticsKit", "1.5.1");
    dead->setDestinationHost("127.0.0.1");
    dead->setDestinationPort(testsupport::freePort());
    dead->setDryRun(true);
    dead->dispatchHits(makeHits(5));
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return other.completions == 1; }, 20));
    EXPECT_TRUE(other.confirmed.empty());
}

TEST_F(DispatcherTest, SynchronousDispatch) {
    Collector collector;
    auto d = make(collector);
    EXPECT_TRUE(d->dispatchHitsSynchronously(makeHits(5), 10));
    EXPECT_EQ(recorder.confirmed.size(), 5u);
    EXPECT_EQ(recorder.completions, 1);

    // Only the first batch goes: more than 30 hits end at the deadline.
    EXPECT_FALSE(d->dispatchHitsSynchronously(makeHits(35, 0, 100), 0.3));
    EXPECT_EQ(recorder.confirmed.size(), 35u);
    EXPECT_EQ(collector.requestCount(), 35u);

    // A failing status ends it at once.
    collector.setRule([](const Request&, int, int) { return testcollector::status(500, "Internal Server Error"); });
    EXPECT_FALSE(d->dispatchHitsSynchronously(makeHits(2, 0, 200), 30));
    EXPECT_EQ(d->lastStatusCode(), 500);

    // Nothing listening.
    d->setDestinationPort(testsupport::freePort());
    EXPECT_FALSE(d->dispatchHitsSynchronously(makeHits(1), 1));
}

TEST_F(DispatcherTest, AHostNameIsResolvedOffTheRunLoop) {
    Collector collector;
    auto d = make(collector);
    d->setDestinationHost("localhost");
    d->dispatchHits(makeHits(1));
    // The connect returned while the name is looked up on the resolver pool:
    // no socket is open before the loop turns.
    ASSERT_NE(d->socket(), nullptr);
    EXPECT_FALSE(d->socket()->isOpen());
    ASSERT_TRUE(waitForCompletion());
    ASSERT_EQ(collector.requestCount(), 1u);
    EXPECT_NE(collector.requests()[0].raw.find("Host: localhost\r\n"), std::string::npos);
    EXPECT_EQ(recorder.confirmed, std::vector<uint64_t>{1});

    // The blocking variant resolves through the same pool.
    EXPECT_TRUE(d->dispatchHitsSynchronously(makeHits(2, 0, 10), 10));
    EXPECT_EQ(recorder.confirmed, (std::vector<uint64_t>{1, 10, 11}));
}

TEST_F(DispatcherTest, SynchronousDispatchToAnHttp10Collector) {
    Collector collector([](const Request&, int, int k) {
        if (k > 0) return Reply{};
        Reply r = testcollector::ok("HTTP/1.0");
        r.endAfter = true;
        return r;
    });
    auto d = make(collector);
    EXPECT_TRUE(d->dispatchHitsSynchronously(makeHits(3), 10));
    EXPECT_EQ(recorder.confirmed, (std::vector<uint64_t>{1, 2, 3}));
    EXPECT_EQ(collector.connections(), 3);
}

TEST_F(DispatcherTest, ShutdownStopsEverything) {
    foundation::ManualClockScope clock;
    Collector collector([](const Request&, int, int) { return testcollector::status(503, "Busy"); });
    auto d = make(collector);
    d->dispatchHits(makeHits(1));
    ASSERT_TRUE(waitForCompletion());
    d->dispatchHits(makeHits(1));  // waits for its back-off
    ASSERT_TRUE(d->isDispatching());
    d->shutdown();
    clock->advance(300);
    foundation::RunLoop::main().runUntil([] { return false; }, 0.2);
    EXPECT_EQ(collector.requestCount(), 1u);
    EXPECT_EQ(recorder.completions, 1);
}

}  // namespace
