// The start PIN in the real program: a bound home with a PIN opens on the
// PIN screen; a wrong PIN is told, the right one lets the user in; five
// wrong PINs in a row freeze the app until the test server's clock says.
#include <gtest/gtest.h>

#include <string>

#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/pin/PinModel.h"
#include "tests/support/e2e/AppSession.h"

namespace {

namespace K = StoreKeys;

e2e::Options lockedHome(const char* failures) {
    e2e::Options options;
    options.boundAccount = true;
    options.prepare = [failures] {
        Constants::upDateDBSetValue("2468", K::passward);
        Constants::upDateDBSetValue("1", K::safe_password);
        Constants::upDateDBSetValue(failures, K::faild_count);
        Constants::upDateDBSetValue("null", K::safe_time);
    };
    return options;
}

std::string stored(const e2e::AppSession& app, const char* key) {
    std::string value;
    app.withHome([&] { value = Constants::getValueFromDBByKey(key).value_or("<no store>"); });
    return value;
}

TEST(PinEndToEnd, AWrongPinThenTheRightOneLetsTheUserIn) {
    e2e::AppSession app(lockedHome("0"));
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.waitForText("请输入软件启动密码")) << app.log();
    ASSERT_TRUE(app.waitForText(pin::countLabel("0")));
    app.type("1357");
    ASSERT_TRUE(app.waitForText("密码错误")) << app.log();
    EXPECT_TRUE(app.waitForText("目前已经连续输错1次，您剩余的尝试次数为4次"));
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForText(pin::countLabel("1")));
    EXPECT_EQ(stored(app, K::faild_count), "1");

    app.type("2468");
    // In: the hub comes up over the PIN screen, and the count is cleared.
    EXPECT_TRUE(app.waitForTextGone("请输入软件启动密码")) << app.log();
    EXPECT_EQ(stored(app, K::faild_count), "0");
    EXPECT_TRUE(app.running());
}

TEST(PinEndToEnd, FiveWrongPinsFreezeUntilTheServersTimePlusHalfAnHour) {
    e2e::AppSession app(lockedHome("0"));
    ASSERT_TRUE(app.ok()) << app.error();
    const long long serverNow = 2000000000;
    app.server().control("clock", "{\"time\": " + std::to_string(serverNow) + "}");
    ASSERT_TRUE(app.waitForText("请输入软件启动密码")) << app.log();
    for (int n = 1; n <= 4; ++n) {
        ASSERT_TRUE(app.waitForText(pin::countLabel(std::to_string(n - 1)))) << n;
        app.type("0000");
        ASSERT_TRUE(app.waitForText("目前已经连续输错" + std::to_string(n) + "次，您剩余的尝试次数为" +
                                    std::to_string(5 - n) + "次"))
            << app.log();
        ASSERT_TRUE(app.tapText("确定"));
    }
    ASSERT_TRUE(app.waitForText(pin::countLabel("4")));
    app.type("0000");
    const std::string frozen = pin::frozenUntilLabel(serverNow + 1800, true);
    ASSERT_TRUE(app.waitForText(frozen)) << app.log();
    EXPECT_EQ(frozen, "您的解冻时间是(北京时间): 05-18 12:03:20");  // 2000001800 in Beijing time
    EXPECT_TRUE(app.waitForText("检查是否已解冻"));
    EXPECT_EQ(stored(app, K::safe_time), std::to_string(serverNow + 1800));
    EXPECT_EQ(stored(app, K::faild_count), "0");
    EXPECT_TRUE(app.waitForTextGone("正在核对解冻时间...请稍候"));
    EXPECT_TRUE(app.screenshot("pin-freeze"));

    // Typing does nothing while frozen.
    app.type("2468");
    EXPECT_FALSE(app.waitForTextGone(frozen, 2));
    EXPECT_EQ(stored(app, K::safe_time), std::to_string(serverNow + 1800));
}

}  // namespace
