// The live code every code view listens to: its window arithmetic, and its
// ticks on the manual clock (the seconds into the window each second, a new
// code exactly when the window turns, one last tick when a view leaves).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/GetOtp.h"
#include "app/screens/shared/LiveCode.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

using screens::LiveCode;

TEST(LiveCodeWindow, CountsAsTheCodeDoesFromTheCorrectedClock) {
    EXPECT_EQ(LiveCode::windowAt(1700000009, LiveCode::difference("0")), 56666666);
    EXPECT_EQ(LiveCode::windowAt(1700000010, LiveCode::difference("0")), 56666667);
    EXPECT_EQ(LiveCode::windowAt(1700000009, LiveCode::difference("1")), 56666667);
    EXPECT_EQ(LiveCode::windowAt(1700000010, LiveCode::difference("-1")), 56666666);
    for (int64_t now : {int64_t(1700000000), int64_t(1700000009), int64_t(4102444800)})  // 2100: past 2038
        for (long long d : {0LL, 42LL, -3600LL}) {
            EXPECT_EQ(LiveCode::windowAt(now, d), GetOtp::counterAt(now, d));
            EXPECT_EQ(LiveCode::windowAt(now, d) * 30 + LiveCode::secondsInto(now, d), now + d);
        }
    EXPECT_EQ(LiveCode::difference("-17"), -17);
    EXPECT_EQ(LiveCode::difference(" 42s"), 42);
    EXPECT_EQ(LiveCode::difference("(null)"), 0);
}

class LiveCodeTest : public screentest::ScreenFixture {
public:
    LiveCodeTest() : ScreenFixture(Options{.server = false, .boundAccount = false}) {}

protected:
    static constexpr const char* kKey = "3132333435363738393031323334353637383930";
    struct Seen {
        int secondsIn;
        bool newWindow;
        std::string code;
    };
    std::vector<Seen> seen;
    LiveCode::Listener record(LiveCode& live) {
        return [this, &live](const LiveCode::Tick& tick) {
            seen.push_back({tick.secondsIn, tick.newWindow, live.code()});
        };
    }
};

TEST_F(LiveCodeTest, TicksEverySecondAndMakesANewCodeExactlyWhenTheWindowTurns) {
    // The manual clock starts 20 seconds into a window; a difference of 5
    // puts the code 25 seconds in.
    LiveCode live;
    live.setToken(kKey, "5");
    live.refresh();
    const std::string first = live.code();
    EXPECT_EQ(first, GetOtp::otpCreate(kKey, "5"));
    EXPECT_EQ(live.secondsIn(), 25);
    live.start(record(live));
    ASSERT_TRUE(live.running());

    driver().advance(6.0);
    ASSERT_EQ(seen.size(), 6u);
    const int expected[] = {26, 27, 28, 29, 0, 1};
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].secondsIn, expected[i]) << i;
        EXPECT_EQ(seen[i].newWindow, i == 4) << i;
        EXPECT_EQ(seen[i].code, i < 4 ? first : GetOtp::otpCreate(kKey, "5")) << i;
    }
    EXPECT_NE(seen[4].code, first);

    // A second start keeps the running tick: still one tick a second.
    live.start(record(live));
    driver().advance(2.0);
    EXPECT_EQ(seen.size(), 8u);

    // Leaving: one last tick at once, then none.
    live.finish();
    EXPECT_EQ(seen.size(), 9u);
    EXPECT_FALSE(live.running());
    EXPECT_FALSE(live.hasTimer());
    driver().advance(3.0);
    EXPECT_EQ(seen.size(), 9u);
}

TEST_F(LiveCodeTest, ANewDifferenceTakesEffectAtTheNextTickAndStopEndsTheTicks) {
    LiveCode live;
    live.setToken(kKey, "0");
    live.refresh();
    const int64_t window = live.window();
    live.restart(record(live));
    // The calibration moves the code 15 seconds on: the next tick is in the
    // next window.
    live.setToken(kKey, "15");
    driver().advance(1.0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].newWindow);
    EXPECT_EQ(seen[0].secondsIn, 6);
    EXPECT_EQ(live.window(), window + 1);
    EXPECT_EQ(seen[0].code, GetOtp::otpCreate(kKey, "15"));

    live.stop();
    driver().advance(2.0);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_FALSE(live.running());
}

}  // namespace
