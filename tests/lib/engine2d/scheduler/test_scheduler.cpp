#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/scheduler/GxScheduler.h"

using namespace engine2d;

namespace {

struct Target {
    std::vector<std::string>* log;
    std::string name;
};

std::shared_ptr<Target> target(std::vector<std::string>& log, std::string name) {
    return std::make_shared<Target>(Target{&log, std::move(name)});
}

// One timer under a sequence of equal frames: on which ticks it fires and
// with what elapsed time, and whether it is still scheduled at the end.
struct TimerCase {
    const char* name;
    float interval;
    unsigned repeat;
    float delay;
    float dt;
    float timeScale;
    int ticks;
    std::vector<std::pair<int, float>> firings;  // (tick, argument)
    bool scheduledAtEnd;
};

class TimerTable : public testing::TestWithParam<TimerCase> {};

TEST_P(TimerTable, FiresOnTheExpectedTicks) {
    const TimerCase& c = GetParam();
    GxScheduler s;
    s.setTimeScale(c.timeScale);
    std::vector<std::string> log;
    auto t = target(log, "t");
    std::vector<std::pair<int, float>> fired;
    int tick = 0;
    s.scheduleSelector(
        "tick:", t,
        [&](float elapsed) {
            fired.push_back({tick, elapsed});
        },
        c.interval, false, c.repeat, c.delay);
    for (tick = 1; tick <= c.ticks; ++tick) s.update(c.dt);
    ASSERT_EQ(fired.size(), c.firings.size()) << c.name;
    for (size_t i = 0; i < fired.size(); ++i) {
        EXPECT_EQ(fired[i].first, c.firings[i].first) << c.name << " firing " << i;
        EXPECT_FLOAT_EQ(fired[i].second, c.firings[i].second) << c.name << " firing " << i;
    }
    EXPECT_EQ(s.timerCountFor(t.get()) == 1, c.scheduledAtEnd) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Scheduler, TimerTable,
    testing::Values(
        // The first tick only arms the timer; it fires once a whole interval has passed.
        TimerCase{"interval", 1.0f, kGxRepeatForever, 0, 0.5f, 1, 5, {{3, 1.0f}, {5, 1.0f}}, true},
        // However large dt is, a repeating timer fires once per tick and drops the excess.
        TimerCase{"excess dropped", 1.0f, kGxRepeatForever, 0, 5.0f, 1, 4, {{2, 5.0f}, {3, 5.0f}, {4, 5.0f}}, true},
        // Interval 0 fires every frame after arming.
        TimerCase{"every frame", 0, kGxRepeatForever, 0, 0.25f, 1, 3, {{2, 0.25f}, {3, 0.25f}}, true},
        // Delay 2 then repeat 3: four calls, the remainder above the delay carried on, then gone.
        TimerCase{"delay and repeat", 1.0f, 3, 2.0f, 1.5f, 1, 8, {{3, 3.0f}, {4, 2.5f}, {5, 1.5f}, {6, 1.5f}}, false},
        // Repeat 0 (scheduleOnce) fires exactly once.
        TimerCase{"once", 0, 0, 0.5f, 0.25f, 1, 6, {{3, 0.5f}}, false},
        // The time scale halves every dt.
        TimerCase{"time scale", 1.0f, kGxRepeatForever, 0, 1.0f, 0.5f, 5, {{3, 1.0f}, {5, 1.0f}}, true}),
    [](const testing::TestParamInfo<TimerCase>& i) {
        std::string n = i.param.name;
        for (auto& ch : n)
            if (ch == ' ') ch = '_';
        return n;
    });

TEST(Scheduler, UpdatesRunByPriorityThenRegistrationThenAllTimers) {
    GxScheduler s;
    std::vector<std::string> log;
    auto a = target(log, "a"), b = target(log, "b"), c = target(log, "c"), d = target(log, "d");
    s.scheduleSelector(
        "t:", a, [&](float) { log.push_back("timer a"); }, 0, false);
    s.scheduleUpdateForTarget(
        d, [&](float) { log.push_back("d3"); }, 3, false);
    s.scheduleUpdateForTarget(
        c, [&](float) { log.push_back("c0"); }, 0, false);
    s.scheduleUpdateForTarget(
        a, [&](float) { log.push_back("a-5"); }, -5, false);
    s.scheduleUpdateForTarget(
        b, [&](float) { log.push_back("b-5"); }, -5, false);
    s.update(0.1f);  // arms the timer
    log.clear();
    s.update(0.1f);
    EXPECT_EQ(log, (std::vector<std::string>{"a-5", "b-5", "c0", "d3", "timer a"}));
}

TEST(Scheduler, ATimerThatUnschedulesItselfSurvivesItsCallAndTheNextStillRuns) {
    GxScheduler s;
    std::vector<std::string> log;
    auto t = target(log, "t");
    std::weak_ptr<Target> weak = t;
    s.scheduleSelector(
        "first:", t,
        [&](float) {
            log.push_back("first");
            s.unscheduleSelector("first:", weak.lock().get());
        },
        0, false);
    s.scheduleSelector(
        "second:", t, [&](float) { log.push_back("second"); }, 0, false);
    s.update(0.1f);
    s.update(0.1f);
    s.update(0.1f);
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "second"}));
    EXPECT_EQ(s.timerCountFor(t.get()), 1u);
    // The last timer of a target unscheduling itself removes the target's entry after its tick.
    s.scheduleSelector(
        "third:", t, [&](float) { s.unscheduleAllSelectorsForTarget(weak.lock().get()); }, 0, false);
    s.update(0.1f);
    s.update(0.1f);
    EXPECT_EQ(s.timerCountFor(t.get()), 0u);
    t.reset();
    EXPECT_TRUE(weak.expired()) << "nothing keeps the target once unscheduled";
}

TEST(Scheduler, AnUpdateUnscheduledInItsTickIsRemovedAfterItAndRevivedWithItsOldPriority) {
    GxScheduler s;
    std::vector<std::string> log;
    auto a = target(log, "a"), b = target(log, "b");
    bool revive = false;
    s.scheduleUpdateForTarget(
        a,
        [&](float) {
            log.push_back("a");
            s.unscheduleUpdateForTarget(a.get());
            if (revive)
                s.scheduleUpdateForTarget(
                    a, [&](float) { log.push_back("new"); }, 10, false);
        },
        -1, false);
    s.scheduleUpdateForTarget(
        b, [&](float) { log.push_back("b"); }, 0, false);
    s.update(0.1f);
    s.update(0.1f);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "b"}));
    EXPECT_FALSE(s.hasUpdateFor(a.get()));
    log.clear();
    revive = true;
    s.scheduleUpdateForTarget(
        a,
        [&](float) {
            log.push_back("a");
            s.unscheduleUpdateForTarget(a.get());
            s.scheduleUpdateForTarget(
                a, [&](float) { log.push_back("new"); }, 10, false);
        },
        -1, false);
    s.update(0.1f);
    s.update(0.1f);
    // The old entry (priority -1, before b, old function) lives on.
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "a", "b"}));
}

TEST(Scheduler, PausingSchedulingTwiceAndTheRepeatForeverValue) {
    GxScheduler s;
    std::vector<std::string> log;
    auto u = target(log, "u"), t = target(log, "t");
    s.scheduleUpdateForTarget(
        u, [](float) {}, 0, false);
    s.pauseTarget(u.get());
    EXPECT_FALSE(s.isTargetPaused(u.get())) << "only the timer entry answers";
    int calls = 0;
    s.scheduleSelector(
        "t:", t, [&](float) { ++calls; }, 1.0f, true);
    EXPECT_TRUE(s.isTargetPaused(t.get()));
    s.update(1);
    s.update(1);
    EXPECT_EQ(calls, 0);
    auto paused = s.pauseAllTargets();
    EXPECT_EQ(paused.size(), 2u);
    s.resumeTargets(paused);
    EXPECT_FALSE(s.isTargetPaused(t.get()));
    // Scheduling the same selector again only changes the interval.
    s.scheduleSelector(
        "t:", t, [&](float) { calls += 100; }, 2.0f, false, 0, 5);
    s.update(1);  // arms
    s.update(1);
    s.update(1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(kGxRepeatForever, 0xFFFFFFFEu);
}

TEST(Scheduler, AFinishedTimerLeavesTheSchedulerThatOwnsItNotTheSharedOne) {
    auto own = std::make_shared<GxScheduler>();
    auto node = GxNode::node();
    node->setScheduler(own);
    node->onEnter();
    int calls = 0;
    node->scheduleOnce(
        "once:", [&](float) { ++calls; }, 0.5f);
    for (int i = 0; i < 6; ++i) own->update(0.25f);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(own->timerCountFor(node.get()), 0u) << "the timer unscheduled itself where it lived";
    node->onExit();
}

}  // namespace
