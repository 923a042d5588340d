// The nine-star code in the real program: from the main screen the quick
// sheet opens the nine-star screen in its compact form, its countdown runs
// on the real clock, and a tap anywhere on the sheet closes it.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "app/core/Constants.h"
#include "app/core/StoreKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/e2e/AppSession.h"

namespace {

// The countdown text the sheet shows now, or "" when there is none.
std::string countdownShown(const e2e::AppSession& app) {
    for (const e2e::ShownText& t : app.shownTexts())
        if (t.text.rfind("九星连珠将在", 0) == 0) return t.text;
    return "";
}

std::string waitForCountdown(const e2e::AppSession& app, const std::string& other, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::string shown = countdownShown(app);
        if (!shown.empty() && shown != other) return shown;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

TEST(TokenEndToEnd, TheQuickSheetShowsTheNineStarCountdownAndClosesWithATap) {
    e2e::Options options;
    options.boundAccount = true;
    options.prepare = [] {
        Constants::initPersonalUseCheckAndRateVar();
        foundation::UserDefaults::standard().setInteger("korvxboundstate", 3);
        foundation::UserDefaults::standard().synchronize();
        Constants::upDateDBSetValue("1", StoreKeys::otpFast);
    };
    e2e::AppSession app(options);
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.tapText("快速查看九星码")) << app.log();

    const std::string first = waitForCountdown(app, "", 20);
    ASSERT_FALSE(first.empty()) << app.log();
    EXPECT_FALSE(app.waitForText("时间校准", 1)) << "the compact form has no calibration button";
    // The countdown moves on with the real clock.
    const std::string next = waitForCountdown(app, first, 5);
    EXPECT_FALSE(next.empty());
    EXPECT_TRUE(app.screenshot("jiuxing-quick-e2e"));

    // The sheet's closer lies over the whole sheet, the countdown too: a tap
    // on the countdown reaches it.
    std::optional<ui::Rect> countdown;
    for (const auto& t : app.shownTexts())
        if (t.text.rfind("九星连珠将在", 0) == 0) {
            countdown = t.frame;
            EXPECT_TRUE(t.covered);
        }
    ASSERT_TRUE(countdown);
    app.tap(countdown->center());
    bool gone = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!gone && std::chrono::steady_clock::now() < end) {
        gone = countdownShown(app).empty();
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(gone) << app.log();
}

}  // namespace
