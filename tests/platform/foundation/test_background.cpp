// The two hops onto the main thread and the background pool.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Background.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/RunLoop.h"

using namespace foundation;

namespace {

TEST(MainThreadHops, PostToMainDefersAndPerformOnMainThreadRunsInlineOnlyOnMain) {
    std::vector<std::string> order;
    postToMain([&] { order.push_back("posted"); });
    performOnMainThread([&] { order.push_back("performed"); });
    order.push_back("caller");
    EXPECT_EQ(order, (std::vector<std::string>{"performed", "caller"}));
    RunLoop::main().runOnce();
    EXPECT_EQ(order, (std::vector<std::string>{"performed", "caller", "posted"}));

    // Off the main thread both queue; neither runs before the loop turns.
    std::atomic<int> ran{0};
    std::thread([&] {
        postToMain([&] { ran += RunLoop::isMainThread() ? 1 : 100; });
        performOnMainThread([&] { ran += RunLoop::isMainThread() ? 1 : 100; });
    }).join();
    EXPECT_EQ(ran.load(), 0);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return ran.load() >= 2; }, 5));
    EXPECT_EQ(ran.load(), 2);
}

// Records on which thread it was destroyed.
struct Witness {
    std::shared_ptr<std::atomic<int>> releasedOnMain;
    explicit Witness(std::shared_ptr<std::atomic<int>> flag) : releasedOnMain(std::move(flag)) {}
    Witness(const Witness&) = delete;
    ~Witness() { releasedOnMain->store(RunLoop::isMainThread() ? 1 : 2); }
};

TEST(BackgroundTask, WorksOnANamedPoolThreadAndCompletesOnALaterMainTurn) {
    auto released = std::make_shared<std::atomic<int>>(0);
    auto witness = std::make_shared<Witness>(released);
    std::string workThread;
    bool workOnMain = true;
    std::vector<std::string> order;
    std::mutex orderMutex;
    auto task = BackgroundTask::run(
        "qr.decode-with-a-long-name",
        [&, witness] {
            workThread = currentThreadName();
            workOnMain = RunLoop::isMainThread();
            std::lock_guard<std::mutex> lock(orderMutex);
            order.push_back("work");
        },
        [&] {
            std::lock_guard<std::mutex> lock(orderMutex);
            // The work function (and the witness it held) is gone before this runs.
            order.push_back(std::string("completion released=") + std::to_string(released->load()) +
                            (RunLoop::isMainThread() ? " main" : " worker"));
        });
    witness.reset();
    task->wait();
    EXPECT_TRUE(task->isFinished());
    EXPECT_EQ(task->name(), "qr.decode-with-a-long-name");
    EXPECT_FALSE(workOnMain);
    EXPECT_EQ(workThread, "qr.decode-with-");  // the system keeps 15 bytes
    {
        std::lock_guard<std::mutex> lock(orderMutex);
        EXPECT_EQ(order, (std::vector<std::string>{"work"}));  // the completion waits for the main loop
    }
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] {
            std::lock_guard<std::mutex> lock(orderMutex);
            return order.size() == 2;
        },
        5));
    EXPECT_EQ(order[1], "completion released=1 main");
    EXPECT_EQ(released->load(), 1);
}

TEST(BackgroundTask, TasksThatWaitForTasksTheyStartNeverStarveThePool) {
    // More outer tasks than cores, each blocking on an inner task it started:
    // a fixed-size pool would hang here.
    const int outer = int(std::max(4u, 2 * std::thread::hardware_concurrency()));
    std::atomic<int> innerDone{0}, outerDone{0};
    std::atomic<int> started{0};
    for (int i = 0; i < outer; ++i) {
        BackgroundTask::run("outer", [&] {
            ++started;
            // Hold this thread until every outer task has one, so the inner
            // tasks find no idle thread.
            while (started.load() < outer) std::this_thread::yield();
            auto inner = BackgroundTask::run("inner", [&] { ++innerDone; });
            inner->wait();
            ++outerDone;
        });
    }
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return outerDone.load() == outer; }, 20));
    EXPECT_EQ(innerDone.load(), outer);
    RunLoop::main().drain();  // the completions
}

TEST(BackgroundTask, SerialQueuesAndThePoolNameTheirThreads) {
    std::string queueThread, poolThread;
    {
        SerialQueue queue("data-cache.io");
        queue.sync([&] { queueThread = currentThreadName(); });
    }
    Semaphore done;
    dispatchGlobal([&] {
        poolThread = currentThreadName();
        done.signal();
    });
    ASSERT_TRUE(done.waitFor(5));
    EXPECT_EQ(queueThread, "data-cache.io");
    EXPECT_EQ(poolThread, "pool");
}

}  // namespace
