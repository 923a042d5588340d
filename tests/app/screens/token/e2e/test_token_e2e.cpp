// The code screens in the real program: from the main screen the quick
// sheet opens the nine-star screen in its compact form, its countdown runs
// on the real clock, and a tap anywhere on the sheet closes it; the token
// menu opens the product container, whose verify tab lists a request the
// server holds and lets it pass.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Clock.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Roads.h"

namespace {

// The countdown text the sheet shows now, or "" when there is none.
std::string countdownShown(const e2e::AppSession& app) {
    for (const e2e::ShownText& t : app.shownTexts())
        if (t.text.rfind("九星连珠将在", 0) == 0) return t.text;
    return "";
}

std::string waitForCountdown(const e2e::AppSession& app, const std::string& other, double seconds) {
    std::string shown;
    app.waitUntil(
        [&] {
            shown = countdownShown(app);
            return !shown.empty() && shown != other;
        },
        seconds);
    return !shown.empty() && shown != other ? shown : "";
}

TEST(TokenEndToEnd, TheQuickSheetShowsTheNineStarCountdownAndClosesWithATap) {
    e2e::Options options = e2e::launchedBoundPhone(3, [] { Constants::upDateDBSetValue("1", StoreKeys::otpFast); });
    e2e::AppSession app(options);
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.tapText("快速查看九星码")) << app.log();

    const std::string first = waitForCountdown(app, "", 20);
    ASSERT_FALSE(first.empty()) << app.log();
    EXPECT_FALSE(app.waitForText("时间校准", 1)) << "the compact form has no calibration button";
    // The countdown moves on with the real clock.
    const std::string next = waitForCountdown(app, first, 30);
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
    EXPECT_TRUE(app.waitUntil([&] { return countdownShown(app).empty(); })) << app.log();
}

TEST(TokenEndToEnd, TheVerifyTabOfTheProductContainerLetsAPendingRequestPass) {
    e2e::Options options = e2e::launchedBoundPhone(10, [] { Constants::upDateDBSetValue("0", StoreKeys::keyLogin); });
    e2e::AppSession app(options);
    ASSERT_TRUE(app.ok()) << app.error();
    const long long now = (long long)(foundation::clock().now() * 1000);
    app.server().control("hub",
                         "{\"pending\": [{\"time\": " + std::to_string(now) +
                             ", \"location\": \"浙江杭州\", \"business\": \"修改密码\", \"checkid\": \"E2E7\"}]}");

    ASSERT_TRUE(app.tapText("禾盾令牌")) << app.log();
    // The container opens on the code tab.
    ASSERT_TRUE(app.waitForText("本动态口令已全面支持岚付通付款验证", 20)) << app.log();
    ASSERT_TRUE(app.waitUntilSettled());
    // The code tab fits the window: its foot shows as it opens.
    std::optional<ui::Rect> foot;
    for (const e2e::ShownText& t : app.shownTexts())
        if (t.text == "本动态口令已全面支持岚付通付款验证") foot = t.frame;
    ASSERT_TRUE(foot) << app.log();
    EXPECT_LE(foot->maxY(), 480) << "inside the window";
    // The tab buttons are pictures: the verify tab's is the middle one, right
    // under the bar whose title is the container's.
    std::optional<ui::Rect> title;
    for (const e2e::ShownText& t : app.shownTexts())
        if (t.text == "禾盾令牌" && t.frame.center().y < 80) title = t.frame;
    ASSERT_TRUE(title) << app.log();
    app.tap({160, title->center().y + 22 + 50});

    ASSERT_TRUE(app.waitForText("操作类型：修改密码", 20)) << app.log();
    EXPECT_TRUE(app.waitForText("地点:浙江杭州", 1));
    EXPECT_TRUE(app.screenshot("okv-e2e"));
    ASSERT_TRUE(app.tapText("放行"));
    ASSERT_TRUE(app.waitForText("放行操作成功", 20)) << app.log();
    EXPECT_TRUE(app.waitForText("当前没有待处理的校验请求", 10));

    auto state = JsonParser().objectWithString(app.server().controlGet("hub"));
    ASSERT_TRUE(state);
    const foundation::Value* approvals = state->get("approvals");
    ASSERT_TRUE(approvals && approvals->asArray());
    ASSERT_EQ(approvals->asArray()->size(), 1u);
    EXPECT_EQ(approvals->at(0)->get("checkid")->description(), "E2E7");
}

}  // namespace
