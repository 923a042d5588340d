// The security log in the real program: a bound phone opens 安全日志, swipes an
// abnormal record to the left with the mouse and deletes it with 删除; a
// login record offers no deletion, and a tap elsewhere hides the button.
#include <gtest/gtest.h>

#include <string>

#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"
#include "platform/foundation/Clock.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Roads.h"

namespace {

// A leftward swipe across the row showing `text`, as a mouse drag.
bool swipeLeft(e2e::AppSession& app, const std::string& text) {
    if (!app.waitForText(text) || !app.waitUntilSettled()) return false;
    const auto frame = app.frameOf(text);
    if (!frame) return false;
    const double y = frame->y() + frame->height() / 2;
    app.drag({280, y}, {120, y}, 12);
    return true;
}

TEST(LogEndToEnd, AnAbnormalRecordIsSwipedAndDeleted) {
    e2e::AppSession app(e2e::launchedBoundPhone(3));
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(e2e::onTheHub(app));

    const std::string now = std::to_string((long long)(foundation::clock().now() * 1000));
    app.server().control("audit", R"({"events": [
        {"id": 11, "type": 0, "category": 0, "time": )" +
                                      now + R"(, "location": "浙江杭州"},
        {"id": 12, "type": 1, "category": 2, "time": )" +
                                      now + R"(, "location": "广东深圳"},
        {"id": 13, "type": 1, "category": 3, "time": )" +
                                      now + R"(, "location": "四川成都"}]})");
    ASSERT_TRUE(app.tapText("安全日志")) << app.log();
    ASSERT_TRUE(app.waitForText("异地购买虚拟物品")) << e2e::shownLine(app);

    // A login record cannot be deleted: the swipe shows nothing.
    ASSERT_TRUE(swipeLeft(app, "网页登录"));
    ASSERT_TRUE(app.waitUntilSettled());
    EXPECT_FALSE(app.frameOf("删除").has_value()) << e2e::shownLine(app);

    // An abnormal one shows 删除; a tap on another row hides it.
    ASSERT_TRUE(swipeLeft(app, "异地修改密码"));
    ASSERT_TRUE(app.waitForText("删除", 10)) << e2e::shownLine(app);
    ASSERT_TRUE(app.tapText("网页登录"));
    ASSERT_TRUE(app.waitForTextGone("删除", 10)) << e2e::shownLine(app);
    EXPECT_TRUE(app.frameOf("异地修改密码").has_value());

    // Swiped again, 删除 deletes it at the server and from the list.
    ASSERT_TRUE(swipeLeft(app, "异地购买虚拟物品"));
    ASSERT_TRUE(app.waitForText("删除", 10)) << e2e::shownLine(app);
    EXPECT_TRUE(app.picture("security-log-delete"));
    ASSERT_TRUE(app.tapText("删除"));
    ASSERT_TRUE(app.waitForTextGone("异地购买虚拟物品", 30)) << e2e::shownLine(app) << app.log();
    EXPECT_TRUE(app.frameOf("异地修改密码").has_value());
    EXPECT_TRUE(app.frameOf("网页登录").has_value());
    auto state = JsonParser().objectWithString(app.server().controlGet("audit"));
    ASSERT_TRUE(state);
    EXPECT_EQ(*JsonWriter().stringWithObject(*state->get("deleted")), "[13]");
}

}  // namespace
