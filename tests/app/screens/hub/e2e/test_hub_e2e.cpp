// The user's road in the real program: a bound phone starts on the main
// screen with its account and live code, a login elsewhere waits for
// approval, and one tap lets it pass.
#include <gtest/gtest.h>

#include <string>

#include "app/core/GetOtp.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Clock.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Roads.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

TEST(HubEndToEnd, ABoundPhoneSeesItsCodeAndApprovesALoginWithOneTap) {
    // The code on the home page and quick verification on.
    e2e::Options options = e2e::launchedBoundPhone(3, [] {
        Constants::upDateDBSetValue("1", StoreKeys::otpFast);
        Constants::upDateDBSetValue("1", StoreKeys::keyLogin);
    });
    e2e::AppSession app(options);
    ASSERT_TRUE(app.ok()) << app.error();

    // The main screen: the account's name from the server and the live code.
    ASSERT_TRUE(app.waitForText("小禾")) << app.log();
    EXPECT_TRUE(app.waitForText("13812345678", 10));
    const screentest::BoundAccount account;
    bool codeShown = false;
    for (int step = -1; step <= 1 && !codeShown; ++step) {
        // The code of this window or, at a boundary, of its neighbour.
        const std::string code = GetOtp::otpCreate(account.bid, std::to_string(step * 30));
        codeShown = app.waitForText(code, step == -1 ? 10 : 1);
    }
    EXPECT_TRUE(codeShown) << "the code on screen is not the soft token's";

    // A login elsewhere waits for approval.
    const long long now = (long long)(foundation::clock().now() * 1000);
    app.server().control("hub", "{\"pending\": [{\"time\": " + std::to_string(now) +
                                    ", \"location\": \"浙江杭州\", \"business\": \"登录\", \"checkid\": \"E2E1\"}]}");
    ASSERT_TRUE(app.waitForText("一键校验请求", 20)) << app.log();
    EXPECT_TRUE(app.screenshot("hub-approval-e2e"));
    EXPECT_TRUE(app.picture("hub-approval"));
    ASSERT_TRUE(app.tapText("放行"));
    ASSERT_TRUE(app.waitForText("放行操作成功", 20)) << app.log();

    // The server recorded the approval of that request.
    auto state = JsonParser().objectWithString(app.server().controlGet("hub"));
    ASSERT_TRUE(state);
    const foundation::Value* approvals = state->get("approvals");
    ASSERT_TRUE(approvals && approvals->asArray());
    ASSERT_EQ(approvals->asArray()->size(), 1u);
    EXPECT_EQ(approvals->at(0)->get("checkid")->description(), "E2E1");
    EXPECT_EQ(approvals->at(0)->get("uuid")->description(), account.uuid);
}

}  // namespace
