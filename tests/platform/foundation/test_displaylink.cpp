#include <gtest/gtest.h>

#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/DisplayLink.h"
#include "platform/foundation/RunLoop.h"

using namespace foundation;

namespace {

TEST(DisplayLink, TheManualClockDrivesSixtyFramesASecondWithTheirTimestamps) {
    ManualClockScope clock;
    std::vector<double> stamps;
    auto link = DisplayLink::create([&](DisplayLink& l) { stamps.push_back(l.timestamp()); });
    link->addToRunLoop(RunLoop::main());
    double start = clock->monotonic();
    for (int i = 0; i < 60; ++i) clock->advance(FrameClock::kRefreshInterval);
    ASSERT_GE(stamps.size(), 59u);
    ASSERT_LE(stamps.size(), 60u);
    EXPECT_NEAR(stamps.front(), start + FrameClock::kRefreshInterval, 1e-6);
    for (size_t i = 1; i < stamps.size(); ++i) EXPECT_GT(stamps[i], stamps[i - 1]);
    link->invalidate();
    size_t before = stamps.size();
    clock->advance(1);
    EXPECT_EQ(stamps.size(), before) << "an invalidated link gets no frames";
    EXPECT_EQ(FrameClock::main().activeLinkCount(), 0u);
}

TEST(DisplayLink, FrameIntervalSkipsRefreshesAndPausedLinksGetNone) {
    int calls = 0;
    auto link = DisplayLink::create([&](DisplayLink&) { ++calls; });
    link->setFrameInterval(15);
    link->addToRunLoop(RunLoop::main());
    for (int i = 1; i <= 45; ++i) FrameClock::main().tick(100 + i / 60.0);
    EXPECT_EQ(calls, 3);
    EXPECT_NEAR(link->timestamp(), 100 + 45 / 60.0, 1e-9);
    link->setPaused(true);
    for (int i = 0; i < 30; ++i) FrameClock::main().tick(200);
    EXPECT_EQ(calls, 3);
    link->setFrameInterval(0);
    EXPECT_EQ(link->frameInterval(), 1);
    link->invalidate();
}

TEST(DisplayLink, ALinkInvalidatedInsideItsOwnCallbackAndAnotherMadeThereAreSafe) {
    int first = 0, second = 0;
    std::shared_ptr<DisplayLink> other;
    auto link = DisplayLink::create([&](DisplayLink& l) {
        ++first;
        l.invalidate();
        other = DisplayLink::create([&](DisplayLink&) { ++second; });
        other->addToRunLoop(RunLoop::main());
    });
    link->addToRunLoop(RunLoop::main());
    FrameClock::main().tick(1);
    FrameClock::main().tick(2);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    other->invalidate();
}

TEST(DisplayLink, AnExternalDriverReplacesTheTimer) {
    ManualClockScope clock;
    int calls = 0;
    auto link = DisplayLink::create([&](DisplayLink&) { ++calls; });
    link->addToRunLoop(RunLoop::main());
    FrameClock::main().setExternallyDriven(true);
    clock->advance(1);
    EXPECT_EQ(calls, 0) << "the window's refreshes drive frames, not the timer";
    FrameClock::main().tick(clock->monotonic());
    EXPECT_EQ(calls, 1);
    FrameClock::main().setExternallyDriven(false);
    clock->advance(0.1);
    EXPECT_GE(calls, 6);
    link->invalidate();
}

}  // namespace
