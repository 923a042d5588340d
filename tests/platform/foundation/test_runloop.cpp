#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/RunLoop.h"

using namespace foundation;

namespace {

TEST(RunLoop, PostedTasksRunInOrderAndLaterPostsWaitForTheNextPass) {
    RunLoop& loop = RunLoop::main();
    std::vector<int> order;
    loop.post([&] {
        order.push_back(1);
        loop.post([&] { order.push_back(4); });
    });
    loop.post([&] { order.push_back(2); });
    loop.post([&] { order.push_back(3); });
    loop.runOnce();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    loop.runOnce();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(RunLoop, RepeatingTimerFiresOncePerPeriodUnderTheManualClock) {
    ManualClockScope clock;
    int fired = 0;
    auto timer = RunLoop::main().addTimer(1.0, true, [&](Timer&) { ++fired; });
    clock->advance(0.999);
    EXPECT_EQ(fired, 0);
    clock->advance(0.001);
    EXPECT_EQ(fired, 1);
    clock->advance(9.0);  // one jump across nine periods
    EXPECT_EQ(fired, 10);
    timer->invalidate();
    clock->advance(5.0);
    EXPECT_EQ(fired, 10);
}

TEST(RunLoop, TimerInvalidatedInsideItsOwnCallbackStops) {
    ManualClockScope clock;
    int fired = 0;
    RunLoop::main().addTimer(0.5, true, [&](Timer& t) {
        if (++fired == 3) t.invalidate();
    });
    clock->advance(10);
    EXPECT_EQ(fired, 3);
}

TEST(RunLoop, CancelledDelayedCallNeverRunsAndOneShotRunsOnce) {
    ManualClockScope clock;
    bool cancelledRan = false;
    int oneShot = 0;
    auto cancelled = RunLoop::main().performAfter(2.0, [&] { cancelledRan = true; });
    RunLoop::main().performAfter(1.0, [&] { ++oneShot; });
    clock->advance(1.5);
    cancelled->invalidate();
    clock->advance(10);
    EXPECT_FALSE(cancelledRan);
    EXPECT_EQ(oneShot, 1);
}

TEST(RunLoop, TimersFireInDueOrderAndMovedFireDateIsHonoured) {
    ManualClockScope clock;
    std::vector<std::string> order;
    auto late = RunLoop::main().performAfter(3, [&] { order.push_back("late"); });
    RunLoop::main().performAfter(2, [&] { order.push_back("early"); });
    late->setFireDate(clock->monotonic() + 1);
    clock->advance(5);
    EXPECT_EQ(order, (std::vector<std::string>{"late", "early"}));
}

TEST(RunLoop, PerformOnMainThreadWithWaitReturnsAfterTheTaskRan) {
    std::atomic<bool> ran{false};
    std::atomic<bool> returned{false};
    std::atomic<bool> ranBeforeReturn{false};
    std::thread worker([&] {
        performOnMainThread([&] { ran = true; }, true);
        ranBeforeReturn = ran.load();
        returned = true;
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return returned.load(); }, 5));
    worker.join();
    EXPECT_TRUE(ranBeforeReturn);

    bool inline_ = false;
    performOnMainThread([&] { inline_ = true; }, true);  // already on the main thread: inline
    EXPECT_TRUE(inline_);
}

TEST(RunLoop, ReadableDescriptorWakesTheLoop) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string got;
    auto watch = RunLoop::main().watchFd(fds[0], POLLIN, [&](int fd, short) {
        char buf[16];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) got.append(buf, size_t(n));
    });
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(write(fds[1], "hi", 2), 2);
    });
    // One blocking pass is enough: the write must wake it.
    EXPECT_TRUE(RunLoop::main().runOnce(kDefaultMode, 5.0));
    writer.join();
    EXPECT_EQ(got, "hi");
    watch->cancel();
    close(fds[0]);
    close(fds[1]);
}

TEST(RunLoop, SourcesFireOnlyInTheirModes) {
    RunLoop& loop = RunLoop::main();
    const std::string privateMode = "HttpRequestRunLoopMode";
    std::vector<std::string> ran;
    loop.post([&] { ran.push_back("default"); }, kDefaultMode);
    loop.post([&] { ran.push_back("private"); }, privateMode);
    loop.post([&] { ran.push_back("common"); }, kCommonModes);
    loop.runOnce(privateMode);
    EXPECT_EQ(ran, (std::vector<std::string>{"private"}));
    loop.runOnce(kDefaultMode);
    EXPECT_EQ(ran, (std::vector<std::string>{"private", "default", "common"}));
}

TEST(RunLoop, ThreadLoopsRunTheirOwnTimersAndStop) {
    std::atomic<int> fired{0};
    std::atomic<RunLoop*> loopPtr{nullptr};
    std::thread t([&] {
        RunLoop& loop = RunLoop::current();
        EXPECT_FALSE(RunLoop::isMainThread());
        loop.performAfter(0.001, [&] {
            ++fired;
            loop.stop();
        });
        loopPtr = &loop;
        loop.run();
    });
    t.join();
    EXPECT_EQ(fired.load(), 1);
}

TEST(Dispatch, SyncFromInsideItsOwnQueueRunsInlineInsteadOfHanging) {
    SerialQueue q("test");
    std::vector<int> order;
    q.sync([&] {
        order.push_back(1);
        q.sync([&] { order.push_back(2); });
        order.push_back(3);
    });
    q.async([&] { order.push_back(4); });
    q.sync([] {});
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(Dispatch, SemaphoreAndGlobalQueue) {
    Semaphore sem;
    std::atomic<int> sum{0};
    for (int i = 1; i <= 10; ++i) {
        dispatchGlobal([&, i] {
            sum += i;
            sem.signal();
        });
    }
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(sem.waitFor(5));
    EXPECT_EQ(sum.load(), 55);
    EXPECT_FALSE(sem.waitFor(0.01));
    std::atomic<int> flag{0};
    EXPECT_TRUE(compareAndSwap(flag, 0, 1));
    EXPECT_FALSE(compareAndSwap(flag, 0, 2));
    EXPECT_EQ(flag.load(), 1);
}

// A waiter owns a short-lived semaphore and frees it as soon as its wait
// returns, as the callers that wait for a background task do. The signaller must
// be done with it by then (ThreadSanitizer saw notify_one on freed memory).
TEST(Dispatch, SemaphoreFreedByItsWaiterRightAfterTheSignal) {
    std::atomic<Semaphore*> handed{nullptr};
    std::atomic<bool> stop{false};
    std::thread signaller([&] {
        while (!stop.load()) {
            Semaphore* s = handed.exchange(nullptr);
            if (s)
                s->signal();
            else
                std::this_thread::yield();
        }
    });
    for (int i = 0; i < 5000; ++i) {
        auto sem = std::make_unique<Semaphore>();
        handed.store(sem.get());
        ASSERT_TRUE(sem->waitFor(5));
        sem.reset();
    }
    stop.store(true);
    signaller.join();
}

}  // namespace
