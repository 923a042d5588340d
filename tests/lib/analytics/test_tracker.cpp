// The tracker as the app uses it: start and stop, recording, errors, the
// event limit, opt-out, the dispatch timer and dispatching to a collector on
// 127.0.0.1 with the real hit store underneath.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "lib/analytics/TrkTracker.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/TestSupport.h"
#include "tests/support/analytics/Collector.h"

using testcollector::Collector;
using testcollector::Request;

namespace {

const TrkError kNotStarted{"org.trkanalytics.TrkTrackerError", 0xBADA55};
const TrkError kBadArgument{"org.trkanalytics.TrkTrackerError", 0xBADE7A9};
const TrkError kTooManyEvents{"org.trkanalytics.TrkTrackerError", int32_t(0xBAD5704E)};

struct Delegate : TrkTrackerDelegate {
    std::vector<std::string> hits;
    std::vector<std::pair<unsigned, unsigned>> completions;
    std::function<void()> onComplete;
    void hitDispatched(const std::string& hit) override { hits.push_back(hit); }
    void trackerDispatchDidComplete(TrkTracker&, unsigned dispatched, unsigned failed) override {
        completions.emplace_back(dispatched, failed);
        if (onComplete) onComplete();
    }
};

class TrackerTest : public testing::Test {
protected:
    void SetUp() override {
        foundation::DeviceInfo info;
        info.language = "zh-Hans";
        info.locale = "zh_CN";
        foundation::setDevice(info);
        tracker.stopTracker();
        tracker.setDebug(false);
        tracker.setDryRun(false);
        tracker.setAnonymizeIp(false);
        tracker.setSampleRate(100);
        TrkOptOut::injectOptOutClass([] { return false; });
    }
    void TearDown() override { tracker.stopTracker(); }
    void start(const std::string& accounts = "UA-1", int period = 0) {
        tracker.startTrackerWithAccountID(accounts, period, &delegate);
        tracker.setDestinationHost(std::string("127.0.0.1"));
        tracker.setDestinationPort(collector.port());
    }
    std::vector<std::string> storedHits() {
        std::vector<std::string> out;
        for (const auto& h : tracker.persistentHitStore()->peekHits(-1)) out.push_back(h.hitString());
        return out;
    }
    bool waitForCompletions(size_t n) {
        return foundation::RunLoop::main().runUntil([&] { return delegate.completions.size() >= n; }, 20);
    }

    TrkTracker& tracker = TrkTracker::sharedTracker();
    Collector collector;
    Delegate delegate;
};

TEST_F(TrackerTest, EveryCallBeforeStartFails) {
    std::vector<std::pair<std::string, std::function<bool(TrkError*)>>> calls = {
        {"trackPageview", [&](TrkError* e) { return tracker.trackPageview(std::string("/a"), e); }},
        {"trackEvent",
         [&](TrkError* e) { return tracker.trackEvent(std::string("c"), std::string("a"), std::nullopt, 0, e); }},
        {"setCustomVariable",
         [&](TrkError* e) { return tracker.setCustomVariableAtIndex(1, std::string("n"), std::string("v"), e); }},
        {"addTransaction",
         [&](TrkError* e) { return tracker.addTransaction(std::string("o"), 1, std::nullopt, 0, 0, e); }},
        {"addItem",
         [&](TrkError* e) {
             return tracker.addItem(std::string("o"), std::string("s"), 1, 1, std::nullopt, std::nullopt, e);
         }},
        {"trackTransactions", [&](TrkError* e) { return tracker.trackTransactions(e); }},
        {"clearTransactions", [&](TrkError* e) { return tracker.clearTransactions(e); }},
        {"setReferrer", [&](TrkError* e) { return tracker.setReferrer(std::string("gclid=1"), e); }},
    };
    for (auto& [name, call] : calls) {
        TrkError error;
        EXPECT_FALSE(call(&error)) << name;
        EXPECT_EQ(error, kNotStarted) << name;
        EXPECT_FALSE(call(nullptr)) << name;
    }
    EXPECT_FALSE(tracker.dispatch());
    EXPECT_FALSE(tracker.dispatchSynchronous(1));
    EXPECT_EQ(tracker.dispatchPeriod(), 0);
    EXPECT_EQ(tracker.persistentHitStore(), nullptr);
    std::vector<std::string> lines;
    foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    EXPECT_EQ(tracker.getVisitorCustomVarAtIndex(1), std::nullopt);
    foundation::setLogSink(nullptr);
    EXPECT_EQ(lines, std::vector<std::string>{"Error: getVisitorCustomVarAtIndex called when tracker is not started"});
}

TEST_F(TrackerTest, BadArgumentsAreRefused) {
    start();
    ASSERT_TRUE(tracker.trackPageview(std::string("/before"), nullptr));
    const std::string s64(64, 'x');
    const std::string s65(65, 'x');
    std::string cjk64;
    for (int i = 0; i < 64; ++i) cjk64 += "确";
    std::vector<std::pair<std::string, std::function<bool(TrkError*)>>> refused = {
        {"nil path", [&](TrkError* e) { return tracker.trackPageview(std::nullopt, e); }},
        {"nil category",
         [&](TrkError* e) { return tracker.trackEvent(std::nullopt, std::string("a"), std::nullopt, 0, e); }},
        {"nil action",
         [&](TrkError* e) { return tracker.trackEvent(std::string("c"), std::nullopt, std::nullopt, 0, e); }},
        {"index 0",
         [&](TrkError* e) { return tracker.setCustomVariableAtIndex(0, std::string("n"), std::string("v"), e); }},
        {"index 51",
         [&](TrkError* e) { return tracker.setCustomVariableAtIndex(51, std::string("n"), std::string("v"), e); }},
        {"nil name",
         [&](TrkError* e) { return tracker.setCustomVariableAtIndex(1, std::nullopt, std::string("v"), e); }},
        {"long name", [&](TrkError* e) { return tracker.setCustomVariableAtIndex(1, s65, std::string("v"), e); }},
        {"nil value",
         [&](TrkError* e) { return tracker.setCustomVariableAtIndex(1, std::string("n"), std::nullopt, e); }},
        {"long value", [&](TrkError* e) { return tracker.setCustomVariableAtIndex(1, std::string("n"), s65, e); }},
        {"scope 0",
         [&](TrkError* e) { return tracker.setCustomVariableAtIndex(1, std::string("n"), std::string("v"), 0, e); }},
        {"scope 4",
         [&](TrkError* e) { return tracker.setCustomVariableAtIndex(1, std::string("n"), std::string("v"), 4, e); }},
        {"empty order", [&](TrkError* e) { return tracker.addTransaction(std::string(""), 1, std::nullopt, 0, 0, e); }},
        {"nil order", [&](TrkError* e) { return tracker.addTransaction(std::nullopt, 1, std::nullopt, 0, 0, e); }},
        {"nil sku",
         [&](TrkError* e) {
             return tracker.addItem(std::string("o"), std::nullopt, 1, 1, std::nullopt, std::nullopt, e);
         }},
        {"empty sku",
         [&](TrkError* e) {
             return tracker.addItem(std::string("o"), std::string(""), 1, 1, std::nullopt, std::nullopt, e);
         }},
        {"no campaign", [&](TrkError* e) { return tracker.setReferrer(std::string("utm_source=a&utm_medium=b"), e); }},
    };
    for (auto& [name, call] : refused) {
        TrkError error;
        EXPECT_FALSE(call(&error)) << name;
        EXPECT_EQ(error, kBadArgument) << name;
    }
    EXPECT_EQ(tracker.lastPagePath(), "/before");
    EXPECT_EQ(storedHits().size(), 1u);
    // The limits themselves are fine; 64 Chinese characters are 64 characters.
    EXPECT_TRUE(tracker.setCustomVariableAtIndex(50, s64, cjk64, 1, nullptr));
    EXPECT_TRUE(tracker.setCustomVariableAtIndex(1, std::string(""), std::string(""), 3, nullptr));
}

TEST_F(TrackerTest, PagePathsGetALeadingSlash) {
    start();
    struct Case {
        std::string given, path, utmp;
    } cases[] = {{"", "/", "utmp=%2F&"},
                 {"x", "/x", "utmp=%2Fx&"},
                 {"/iOS/3.0/bindingView", "/iOS/3.0/bindingView", "utmp=%2FiOS%2F3.0%2FbindingView&"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(tracker.trackPageview(c.given, nullptr));
        EXPECT_EQ(tracker.lastPagePath(), c.path);
        EXPECT_NE(storedHits().back().find(c.utmp), std::string::npos) << c.given;
    }
    // Events are recorded against the last page.
    ASSERT_TRUE(tracker.trackEvent(std::string("c"), std::string("a"), std::nullopt, -1, nullptr));
    EXPECT_NE(storedHits().back().find("&utmp=%2FiOS%2F3.0%2FbindingView"), std::string::npos);
}

TEST_F(TrackerTest, TheFirstRunEventHasNoPage) {
    start();
    ASSERT_TRUE(tracker.trackEvent(std::string("/iOS/3.0/otherCategory"), std::string("VeryFirstCheck"), std::nullopt,
                                   0, nullptr));
    auto hits = storedHits();
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_NE(hits[0].find("&utmt=event&utme=5(%2FiOS%2F3.0%2FotherCategory*VeryFirstCheck)(0)&"), std::string::npos);
    EXPECT_EQ(hits[0].find("utmp="), std::string::npos);
    EXPECT_EQ(hits[0].find("utmhid"), std::string::npos);
}

TEST_F(TrackerTest, TwoAccountsGiveTwoHitsPerEvent) {
    start("UA-1,UA-2");
    ASSERT_TRUE(tracker.trackEvent(std::string("c"), std::string("a"), std::string("l"), 3, nullptr));
    auto hits = storedHits();
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_NE(hits[0].find("&utmac=UA-1"), std::string::npos);
    EXPECT_NE(hits[1].find("&utmac=UA-2"), std::string::npos);
    EXPECT_EQ(tracker.accountIDForAdNet(), "UA-1");
}

TEST_F(TrackerTest, FiveHundredEventsPerStart) {
    start();
    tracker.setSampleRate(0);  // counted, but not stored: keeps the test quick
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(tracker.trackEvent(std::string("c"), std::string("a"), std::nullopt, i, nullptr)) << i;
    }
    TrkError error;
    EXPECT_FALSE(tracker.trackEvent(std::string("c"), std::string("a"), std::nullopt, 0, &error));
    EXPECT_EQ(error, kTooManyEvents);
    EXPECT_FALSE(tracker.trackPageview(std::string("/p"), &error));
    EXPECT_EQ(error, kTooManyEvents);
    // A second start without a stop keeps the count; a stop resets it.
    start();
    EXPECT_FALSE(tracker.trackPageview(std::string("/p"), nullptr));
    tracker.stopTracker();
    start();
    EXPECT_TRUE(tracker.trackPageview(std::string("/p"), nullptr));
}

TEST_F(TrackerTest, OptedOutRecordsNothingButFollowsThePage) {
    start();
    TrkOptOut::injectOptOutClass([] { return true; });
    EXPECT_TRUE(tracker.trackPageview(std::string("/hidden"), nullptr));
    EXPECT_TRUE(tracker.trackEvent(std::string("c"), std::string("a"), std::nullopt, 0, nullptr));
    ASSERT_TRUE(tracker.addTransaction(std::string("o"), 1, std::nullopt, 0, 0, nullptr));
    EXPECT_TRUE(tracker.trackTransactions(nullptr));
    EXPECT_TRUE(storedHits().empty());
    EXPECT_EQ(tracker.lastPagePath(), "/hidden");
}

TEST_F(TrackerTest, SampleRateAboveHundredIsRefused) {
    std::vector<std::string> lines;
    foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    tracker.setSampleRate(40);
    tracker.setSampleRate(101);
    foundation::setLogSink(nullptr);
    EXPECT_EQ(tracker.sampleRate(), 40u);
    EXPECT_EQ(lines, std::vector<std::string>{"Invalid sample rate: 101 (should be between 0 and 100)"});
}

TEST_F(TrackerTest, CustomVariablesTravelWithTheNextHitOnly) {
    start();
    ASSERT_TRUE(tracker.setCustomVariableAtIndex(1, std::string("k"), std::string("v"), 2, nullptr));
    ASSERT_TRUE(tracker.trackPageview(std::string("/a"), nullptr));
    ASSERT_TRUE(tracker.trackPageview(std::string("/b"), nullptr));
    auto hits = storedHits();
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_NE(hits[0].find("&utme=8(1!k)9(1!v)11(1!2)"), std::string::npos);
    EXPECT_EQ(hits[1].find("utme"), std::string::npos);
    // Visitor-scope values are kept for later visits.
    ASSERT_TRUE(tracker.setCustomVariableAtIndex(7, std::string("tier"), std::string("gold"), 1, nullptr));
    ASSERT_TRUE(tracker.trackPageview(std::string("/c"), nullptr));
    EXPECT_EQ(tracker.getVisitorCustomVarAtIndex(7), "gold");
}

TEST_F(TrackerTest, TransactionsAndItems) {
    start();
    ASSERT_TRUE(
        tracker.addItem(std::string("o2"), std::string("s1"), 2.5, 2, std::string("Pen"), std::nullopt, nullptr));
    ASSERT_TRUE(tracker.addTransaction(std::string("o1"), 10, std::string("Shop"), 1, 0, nullptr));
    ASSERT_TRUE(tracker.addItem(std::string("o1"), std::string("s1"), 5, 1, std::nullopt, std::nullopt, nullptr));
    ASSERT_TRUE(tracker.addItem(std::string("o1"), std::string("s1"), 6, 1, std::nullopt, std::nullopt, nullptr));
    ASSERT_TRUE(tracker.trackTransactions(nullptr));
    auto hits = storedHits();
    ASSERT_EQ(hits.size(), 4u);
    std::string all;
    for (const auto& h : hits) all += h + "\n";
    EXPECT_NE(all.find("utmt=tran&utmtid=o1&utmtst=Shop&utmtto=10.000000&utmttx=1.000000&utmtsp=&"), std::string::npos);
    EXPECT_NE(all.find("utmt=tran&utmtid=o2&utmtst=&utmtto=&"), std::string::npos);
    EXPECT_NE(all.find("utmt=item&utmtid=o1&utmipc=s1&utmipn=&utmiva=&utmipr=6.000000&utmiqt=1&"), std::string::npos);
    EXPECT_NE(all.find("utmt=item&utmtid=o2&utmipc=s1&utmipn=Pen&utmiva=&utmipr=2.500000&utmiqt=2&"),
              std::string::npos);
    // The queues were emptied.
    ASSERT_TRUE(tracker.trackTransactions(nullptr));
    EXPECT_EQ(storedHits().size(), 4u);
    ASSERT_TRUE(tracker.addTransaction(std::string("o3"), 1, std::nullopt, 0, 0, nullptr));
    ASSERT_TRUE(tracker.clearTransactions(nullptr));
    ASSERT_TRUE(tracker.trackTransactions(nullptr));
    EXPECT_EQ(storedHits().size(), 4u);
}

TEST_F(TrackerTest, DispatchDeletesWhatTheCollectorConfirmed) {
    start();
    for (const char* p : {"/a", "/b", "/c"}) ASSERT_TRUE(tracker.trackPageview(std::string(p), nullptr));
    EXPECT_TRUE(tracker.dispatch());
    EXPECT_FALSE(tracker.dispatch()) << "busy";
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(delegate.completions[0], (std::pair<unsigned, unsigned>{3, 0}));
    ASSERT_EQ(delegate.hits.size(), 3u);
    EXPECT_NE(delegate.hits[0].find("utmp=%2Fa&"), std::string::npos);
    EXPECT_NE(delegate.hits[0].find("&utmqt="), std::string::npos);
    EXPECT_EQ(collector.requestCount(), 3u);
    EXPECT_TRUE(storedHits().empty());
    EXPECT_EQ(tracker.persistentHitStore()->storedHits(), 0u);
    EXPECT_FALSE(tracker.dispatch()) << "nothing to send";
}

TEST_F(TrackerTest, UnconfirmedHitsStayStored) {
    collector.setRule([](const Request&, int n, int) {
        return n == 0 ? testcollector::ok() : testcollector::status(503, "Service Unavailable");
    });
    start();
    for (const char* p : {"/a", "/b", "/c"}) ASSERT_TRUE(tracker.trackPageview(std::string(p), nullptr));
    ASSERT_TRUE(tracker.dispatch());
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(delegate.completions[0], (std::pair<unsigned, unsigned>{1, 2}));
    auto hits = storedHits();
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_NE(hits[0].find("utmp=%2Fb&"), std::string::npos);
    EXPECT_EQ(tracker.getDispatcher()->lastStatusCode(), 503);
}

TEST_F(TrackerTest, HitsSurviveARestart) {
    start();
    ASSERT_TRUE(tracker.trackPageview(std::string("/a"), nullptr));
    ASSERT_TRUE(tracker.trackEvent(std::string("c"), std::string("a"), std::nullopt, 0, nullptr));
    tracker.stopTracker();
    EXPECT_EQ(collector.requestCount(), 0u);
    start();
    EXPECT_EQ(tracker.persistentHitStore()->storedHits(), 2u);
    ASSERT_TRUE(tracker.dispatchSynchronous(10));
    EXPECT_EQ(collector.requestCount(), 2u);
    EXPECT_TRUE(storedHits().empty());
    ASSERT_EQ(delegate.completions.size(), 1u);
    EXPECT_EQ(delegate.completions[0], (std::pair<unsigned, unsigned>{2, 0}));
}

TEST_F(TrackerTest, TheTimerDispatchesAndSleepsWhileTheStoreIsEmpty) {
    foundation::ManualClockScope clock;
    start("UA-1", 5);
    EXPECT_EQ(tracker.dispatchPeriod(), 5);
    ASSERT_TRUE(tracker.trackPageview(std::string("/a"), nullptr));
    clock->advance(5);
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(collector.requestCount(), 1u);

    clock->advance(5);  // finds the store empty: the timer stops
    EXPECT_TRUE(tracker.powerSaveMode());
    EXPECT_FALSE(tracker.isDispatchTimerRunning());
    ASSERT_TRUE(tracker.persistentHitStore()->storeHit("/__utm.gif?utmwv=4.9.1mi&utmn=1", nullptr));
    clock->advance(30);
    foundation::RunLoop::main().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(collector.requestCount(), 1u);

    // The next page view wakes it, even when recorded on another thread.
    std::thread worker([&] { EXPECT_TRUE(tracker.trackPageview(std::string("/b"), nullptr)); });
    worker.join();
    EXPECT_TRUE(tracker.isDispatchTimerRunning());
    EXPECT_FALSE(tracker.powerSaveMode());
    clock->advance(5);
    ASSERT_TRUE(waitForCompletions(2));
    EXPECT_EQ(collector.requestCount(), 3u);

    tracker.setDispatchPeriod(0);
    EXPECT_FALSE(tracker.isDispatchTimerRunning());
}

TEST_F(TrackerTest, StopCancelsAPendingBackOff) {
    foundation::ManualClockScope clock;
    collector.setRule([](const Request&, int, int) { return testcollector::status(503, "Service Unavailable"); });
    start();
    ASSERT_TRUE(tracker.trackPageview(std::string("/a"), nullptr));
    ASSERT_TRUE(tracker.dispatch());
    ASSERT_TRUE(waitForCompletions(1));
    ASSERT_TRUE(tracker.dispatch());  // now waits for its back-off
    tracker.stopTracker();
    clock->advance(300);
    foundation::RunLoop::main().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(collector.requestCount(), 1u);
    EXPECT_EQ(delegate.completions.size(), 1u);
}

TEST_F(TrackerTest, StoppingFromADelegateCallbackIsSafe) {
    start();
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(tracker.trackPageview("/p" + std::to_string(i), nullptr));
    struct StopOnFirstHit : TrkTrackerDelegate {
        TrkTracker* tracker = nullptr;
        int hits = 0;
        void hitDispatched(const std::string&) override {
            if (++hits == 1) tracker->stopTracker();
        }
    } stopper;
    stopper.tracker = &tracker;
    tracker.stopTracker();
    tracker.startTrackerWithAccountID("UA-1", 0, &stopper);
    tracker.setDestinationPort(collector.port());
    ASSERT_TRUE(tracker.dispatch());
    foundation::RunLoop::main().runUntil([&] { return tracker.getDispatcher() == nullptr; }, 10);
    foundation::RunLoop::main().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(stopper.hits, 1);
    // The confirmed hit was deleted, the rest stayed.
    start();
    EXPECT_EQ(tracker.persistentHitStore()->storedHits(), 39u);
}

TEST_F(TrackerTest, DestinationIsHandedToTheDispatcherAtStart) {
    tracker.setDestinationHost(std::string("127.0.0.1"));
    tracker.setDestinationPort(collector.port());
    tracker.setDestinationPathPrefix(std::string("/pre"));
    tracker.setDryRun(true);
    tracker.startTrackerWithAccountID("UA-1", 0, &delegate);
    EXPECT_EQ(tracker.destinationPort(), collector.port());
    EXPECT_EQ(tracker.getDispatcher()->destinationPathPrefix(), "/pre");
    EXPECT_TRUE(tracker.getDispatcher()->dryRun());
    ASSERT_TRUE(tracker.trackPageview(std::string("/a"), nullptr));
    ASSERT_TRUE(tracker.dispatch());
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(delegate.completions[0], (std::pair<unsigned, unsigned>{1, 0}));
    EXPECT_EQ(collector.requestCount(), 0u);
    tracker.setDryRun(false);
}

TEST_F(TrackerTest, AdHitIdsJoinTheVisitWhenAnAdLibraryIsPresent) {
    start();
    EXPECT_EQ(tracker.visitorIDForAds(), std::nullopt);  // no visit yet
    tracker.setHitIdGenerator(std::make_shared<TrkAdHitIdGenerator>(true));
    ASSERT_TRUE(tracker.trackPageview(std::string("/a"), nullptr));
    int32_t id = TrkAdNetInfo::sharedTrkAdNetInfo().adHitId();
    ASSERT_NE(id, 0);
    EXPECT_NE(storedHits().back().find("&utmhid=" + std::to_string(id)), std::string::npos);
    auto store = tracker.persistentHitStore();
    std::string visitor = std::to_string(store->storeID()) + "." + std::to_string(store->timestampFirst());
    EXPECT_EQ(tracker.visitorIDForAds(), visitor);
    EXPECT_EQ(TrkAdNetInfo::sharedTrkAdNetInfo().joinId(),
              "A," + visitor + "," + std::to_string(store->timestampCurrent()) + "," + std::to_string(id));
    tracker.stopTracker();
    EXPECT_EQ(TrkAdNetInfo::sharedTrkAdNetInfo().adHitId(), 0);
    EXPECT_EQ(TrkAdNetInfo::sharedTrkAdNetInfo().joinId(), std::nullopt);
}

TEST(TrkCollectorAddress, ComesFromTheEnvironment) {
    struct Case {
        const char* url;
        std::string host;
        int port;
        std::string prefix;
    } cases[] = {
        {nullptr, "127.0.0.1", 80, ""},
        {"http://127.0.0.1:8089", "127.0.0.1", 8089, ""},
        {"http://localhost:9000/collect/", "localhost", 9000, "/collect"},
        {"http://[::1]:7000/x", "::1", 7000, "/x"},
        {"collector.test", "collector.test", 80, ""},
        {"http://:99", "127.0.0.1", 80, ""},
    };
    for (const auto& c : cases) {
        if (c.url) {
            setenv("QUENTA_ANALYTICS_URL", c.url, 1);
        } else {
            unsetenv("QUENTA_ANALYTICS_URL");
        }
        TrkCollectorAddress a = trkCollectorAddress();
        EXPECT_EQ(a.host, c.host) << (c.url ? c.url : "unset");
        EXPECT_EQ(a.port, c.port) << (c.url ? c.url : "unset");
        EXPECT_EQ(a.pathPrefix, c.prefix) << (c.url ? c.url : "unset");
    }
    unsetenv("QUENTA_ANALYTICS_URL");
}

}  // namespace
