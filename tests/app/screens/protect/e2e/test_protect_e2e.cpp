// The protections' roads in the real program: a bound phone opens the
// protections from the main screen, switches a protection on, and locks its
// account for two hours or for the whole day from the lock-period editor.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/protect/LockRing.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Roads.h"

namespace {

// The server's kept protections and lock.
foundation::Value protectState(e2e::AppSession& app) {
    auto state = JsonParser().objectWithString(app.server().control("protect", "{}"));
    return state.value_or(foundation::Value());
}

// Polls the server until pred holds (the program runs on the real clock).
bool serverShows(e2e::AppSession& app, const std::function<bool(const foundation::Value&)>& pred, double seconds = 30) {
    return app.waitUntil([&] { return pred(protectState(app)); }, seconds);
}

// Whether the server has had a request of this command.
bool serverHas(e2e::AppSession& app, int command, double seconds = 30) {
    return app.waitUntil(
        [&] {
            auto log = JsonParser().objectWithString(app.server().controlGet("log"));
            if (log && log->get("requests") && log->get("requests")->asArray())
                for (const auto& request : *log->get("requests")->asArray())
                    if (request.get("command") && request.get("command")->intValue() == command) return true;
            return false;
        },
        seconds);
}

std::optional<e2e::ShownText> shown(e2e::AppSession& app, const std::string& text) {
    std::optional<e2e::ShownText> found;
    for (const e2e::ShownText& t : app.shownTexts())
        if (t.text == text) found = t;
    return found;
}

// Moves the switch in the row whose title is shown to on or off. The switch
// shows the text of its thumb only (" 开 " on the left, " 关 " on the right);
// the other half lies beside it.
bool tapSwitch(e2e::AppSession& app, const std::string& rowTitle, bool on) {
    if (!app.waitForText(rowTitle)) return false;
    const auto title = shown(app, rowTitle);
    if (!title) return false;
    const std::string thumbText = on ? " 关 " : " 开 ";
    for (const e2e::ShownText& t : app.shownTexts()) {
        const double mid = t.frame.origin.y + t.frame.size.height / 2;
        if (t.text == thumbText && mid >= title->frame.origin.y - 10 && mid <= title->frame.origin.y + 40) {
            const double x =
                on ? t.frame.origin.x - t.frame.size.width / 2 : t.frame.origin.x + t.frame.size.width * 1.5;
            app.tap({x, mid});
            return true;
        }
    }
    return false;
}

// What the window shows, for a failure's message.
std::string describe(e2e::AppSession& app) {
    std::string out = "shown:";
    for (const e2e::ShownText& t : app.shownTexts())
        out += "\n  \"" + t.text + "\" at " + std::to_string(t.frame.origin.x) + "," +
               std::to_string(t.frame.origin.y) + " " + std::to_string(t.frame.size.width) + "x" +
               std::to_string(t.frame.size.height);
    return out;
}

// Opens the protections from the main screen of a bound phone.
void openProtections(e2e::AppSession& app) {
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.waitForText("账号保护", 30)) << app.log();
    ASSERT_TRUE(app.tapText("账号保护")) << app.log();
    ASSERT_TRUE(app.waitForText("确认收货保护")) << app.log();
    ASSERT_TRUE(app.waitForTextGone("正在获取安全操作列表")) << app.log();
}

// After the lock switch: the editor is in place and its list of lock types
// has come from the server (its overlay swallows touches while it asks).
void openTheEditor(e2e::AppSession& app) {
    ASSERT_TRUE(app.waitForText("开启账号锁定")) << app.log();
    ASSERT_TRUE(app.waitUntilSettled()) << app.log();
    ASSERT_TRUE(serverHas(app, 10)) << app.log();
    ASSERT_TRUE(app.waitForTextGone("正在获取锁列表")) << app.log();
    ASSERT_TRUE(app.waitUntilSettled()) << app.log();
}

e2e::Options boundPhone() {
    // The server's advert is seen already: its banner comes and goes over the
    // main screen by itself.
    return e2e::launchedBoundPhone(3, [] { Constants::upDateDBSetValue("2", StoreKeys::adversion); });
}

TEST(ProtectEndToEnd, SwitchingAProtectionOn) {
    e2e::AppSession app(boundPhone());
    openProtections(app);
    if (HasFatalFailure() || IsSkipped()) return;
    ASSERT_TRUE(tapSwitch(app, "确认收货保护", true)) << describe(app);
    ASSERT_TRUE(serverShows(app, [](const foundation::Value& s) {
        const foundation::Value* on = s.get("protects");
        return on && on->asArray() && on->asArray()->size() == 1 && *on->asArray()->at(0).asString() == "19";
    })) << app.log();
    EXPECT_TRUE(app.waitForTextGone("正在修改安全操作状态"));
    EXPECT_TRUE(app.screenshot("protect-switch-e2e"));
}

TEST(ProtectEndToEnd, LockingTwoHoursFromTheEditor) {
    e2e::AppSession app(boundPhone());
    openProtections(app);
    if (HasFatalFailure() || IsSkipped()) return;
    ASSERT_TRUE(tapSwitch(app, "账号锁定保护", true)) << describe(app);
    openTheEditor(app);
    if (HasFatalFailure()) return;

    // Across the bars of hours 0 and 1, found where the editor says they are.
    const auto first = app.frameOf(LockRing::barLabel(0), true), second = app.frameOf(LockRing::barLabel(1), true);
    ASSERT_TRUE(first && second) << describe(app);
    app.drag(first->center(), second->center(), 12);
    EXPECT_TRUE(app.picture("lock-editor"));
    ASSERT_TRUE(app.tapText("开启账号锁定"));
    ASSERT_TRUE(app.waitForText("锁定类型"));
    EXPECT_TRUE(app.picture("lock-types"));
    ASSERT_TRUE(app.tapText("开启"));

    const int64_t expected = Constants::localLockValueToGMT8(0b11);
    ASSERT_TRUE(serverShows(app, [&](const foundation::Value& s) {
        const foundation::Value* mask = s.get("lock_mask");
        return mask && mask->longLongValue() == expected;
    })) << app.log();
    EXPECT_EQ(protectState(app).get("lock_types")->intValue(), 3);
    EXPECT_TRUE(app.waitForText("午夜00点至凌晨02点")) << app.log();
    EXPECT_TRUE(app.waitForTextGone("正在修改安全操作状态"));
    EXPECT_TRUE(app.screenshot("protect-lock-hours-e2e"));
    foundation::UserDefaults defaults(app.defaultsPath());
    EXPECT_EQ(defaults.integerForKey("accountlock"), 0b11);
}

TEST(ProtectEndToEnd, LockingTheWholeDay) {
    e2e::AppSession app(boundPhone());
    openProtections(app);
    if (HasFatalFailure() || IsSkipped()) return;
    ASSERT_TRUE(tapSwitch(app, "账号锁定保护", true)) << describe(app);
    openTheEditor(app);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(app.tapText(" 全天锁定"));
    ASSERT_TRUE(app.tapText("开启账号锁定"));
    ASSERT_TRUE(app.waitForText("锁定类型"));
    ASSERT_TRUE(app.tapText("开启"));
    ASSERT_TRUE(serverShows(app, [](const foundation::Value& s) {
        const foundation::Value* mask = s.get("lock_mask");
        return mask && mask->longLongValue() == 0xFFFFFF;
    })) << app.log();
    // The row tells when the lock ends by itself.
    const bool told = app.waitUntil([&] {
        for (const e2e::ShownText& t : app.shownTexts())
            if (t.text.rfind("全天锁定将在", 0) == 0 && t.text.find("自动解除") != std::string::npos) return true;
        return false;
    });
    EXPECT_TRUE(told) << app.log();
    EXPECT_TRUE(app.waitForTextGone("正在修改安全操作状态"));
    EXPECT_TRUE(app.screenshot("protect-lock-day-e2e"));
    foundation::UserDefaults defaults(app.defaultsPath());
    EXPECT_EQ(defaults.integerForKey("accountlock"), 0xFFFFFF);
    EXPECT_TRUE(defaults.dateForKey("alldayaclocktime"));
}

}  // namespace
