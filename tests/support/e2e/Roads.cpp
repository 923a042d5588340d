#include "tests/support/e2e/Roads.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/core/CoreConstants.h"
#include "app/core/StoreKeys.h"
#include "app/screens/token/KAVOSafeProductViewController.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/e2e/Pixels.h"

namespace e2e {

namespace {

// The hub's five buttons, what the screen each opens shows for sure, and the
// picture's name under docs/screens/window.
struct HubButton {
    const char* title;
    const char* mark;
    bool markIsLabel;
    const char* shot;
};
const std::vector<HubButton> kHubButtons = {
    {"账号保护", "确认收货保护", false, "protect-table"},
    {"个人中心", "安全评分", false, "person-centre"},
    {"禾盾令牌", "一键校验", true, "product"},
    {"安全日志", "暂无记录", false, "security-log"},
    {"设置", "异常消息推送", false, "settings"},
};

// The screen a button opened has gone.
bool markGone(AppSession& app, const HubButton& b) {
    return b.markIsLabel ? app.waitForLabelGone(b.mark) : app.waitForTextGone(b.mark);
}

}  // namespace

std::string shownLine(const AppSession& app) {
    std::string all;
    for (const auto& t : app.shownTexts()) all += (t.label ? "[@" : "[") + t.text + "]";
    return all;
}

std::string storedValue(const AppSession& app, const char* key) {
    std::string value;
    app.withHome([&] { value = CoreConstants::getValueFromDBByKey(key).value_or(""); });
    return value;
}

// The hub is up and still: its five buttons are shown.
::testing::AssertionResult onTheHub(AppSession& app, double seconds) {
    for (const HubButton& b : kHubButtons)
        if (!app.waitForText(b.title, seconds))
            return ::testing::AssertionFailure()
                   << "the hub's " << b.title << " is not shown: " << shownLine(app) << "\n"
                   << app.log();
    app.waitUntilSettled();
    return ::testing::AssertionSuccess();
}

// The program keeps in its defaults that the notice was shown.
bool paymentNoticeDue(const AppSession& app) {
    foundation::UserDefaults defaults(app.defaultsPath());
    return defaults.integerForKey("korvxboundstate") == 3 &&
           defaults.integerForKey(KAVOSafeProductViewController::kNoticeKey) == 0;
}

void passThePaymentNotice(AppSession& app, bool due) {
    if (!due) return;
    std::string notice;
    app.waitUntil([&] {
        for (const auto& t : app.shownTexts())
            if (t.text.rfind("您尚未开通岚付通付款验证功能", 0) == 0) notice = t.text;
        return !notice.empty();
    });
    ASSERT_FALSE(notice.empty()) << "the code tab did not point at payment verification: " << shownLine(app);
    EXPECT_EQ(notice, KAVOSafeProductViewController::kNoticeMessage);
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForTextGone(notice)) << shownLine(app);
}

// The advert banner hangs under the status bar, 30 points high: its stripes
// at its top and bottom rows mean it is all in; at neither, it is gone.
void tapTheAdvertAway(AppSession& app) {
    auto rows = [&](int* shown) {
        auto window = app.grab();
        *shown = window ? int(showsTheAdvertStripes(*window, 22)) + int(showsTheAdvertStripes(*window, 48)) : -1;
    };
    auto waitForRows = [&](int want, double seconds) {
        int shown = -1;
        return app.waitUntil(
            [&] {
                rows(&shown);
                return shown == want;
            },
            seconds);
    };
    ASSERT_TRUE(waitForRows(2, 30)) << "no advert came down over the hub: " << shownLine(app) << "\n" << app.log();
    // The version seen is kept: the next start asks for a newer one.
    auto hub = JsonParser().objectWithString(app.server().controlGet("hub"));
    const foundation::Value* advert = hub ? hub->get("advert") : nullptr;
    const foundation::Value* version = advert ? advert->get("version") : nullptr;
    ASSERT_TRUE(version && version->asString()) << app.server().controlGet("hub");
    EXPECT_EQ(storedValue(app, StoreKeys::adversion), *version->asString());
    app.tap({160, 35});
    ASSERT_TRUE(waitForRows(0, 30)) << "the advert stays after a tap: " << shownLine(app);
}

// Each of the hub's buttons opens its screen, and the back button returns.
void everyHubButtonAndBack(AppSession& app) {
    for (const HubButton& b : kHubButtons) {
        SCOPED_TRACE(b.title);
        ASSERT_TRUE(onTheHub(app));
        const bool notice = b.markIsLabel && paymentNoticeDue(app);
        ASSERT_TRUE(app.tapText(b.title)) << shownLine(app);
        const bool opened = b.markIsLabel ? app.waitForLabel(b.mark) : app.waitForText(b.mark);
        ASSERT_TRUE(opened) << "the button leads nowhere: " << shownLine(app) << "\n" << app.log();
        app.waitForTextGone("正在获取安全操作列表");
        app.waitForTextGone("正在获取个人安全信息...");
        ASSERT_TRUE(app.waitUntilStill()) << app.stillError();
        passThePaymentNotice(app, notice);
        if (::testing::Test::HasFatalFailure()) return;
        EXPECT_TRUE(app.picture(b.shot));
        ASSERT_TRUE(app.tapLabel("返回")) << shownLine(app);
        ASSERT_TRUE(markGone(app, b)) << shownLine(app);
    }
    ASSERT_TRUE(onTheHub(app));
}

Options launchedBoundPhone(long long boundState, std::function<void()> more) {
    Options options;
    options.boundAccount = true;
    options.prepare = [boundState, more = std::move(more)] {
        CoreConstants::initPersonalUseCheckAndRateVar();
        foundation::UserDefaults::standard().setInteger("korvxboundstate", boundState);
        foundation::UserDefaults::standard().synchronize();
        if (more) more();
    };
    return options;
}

// First start: the guide's skip button opens the bind screen.
void throughTheGuide(AppSession& app) {
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.waitForText("跳过")) << shownLine(app) << app.log();
    EXPECT_TRUE(app.picture("guide"));
    ASSERT_TRUE(app.tapText("跳过")) << shownLine(app) << app.log();
    ASSERT_TRUE(app.waitForText("序列号绑定")) << shownLine(app) << app.log();
    ASSERT_TRUE(app.waitForText("请输入序列号")) << shownLine(app);
}

// The bind road ends on its success alert; its button leads to the hub.
void fromTheSuccessToTheHub(AppSession& app, long long boundState) {
    ASSERT_TRUE(app.waitForText("绑定成功", 60)) << shownLine(app) << app.log();
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(onTheHub(app));
    EXPECT_EQ(foundation::UserDefaults(app.defaultsPath()).integerForKey("korvxboundstate"), boundState);
    EXPECT_EQ(storedValue(app, StoreKeys::bid), "3132333435363738393031323334353637383930");
}

void bindTheDemoSerialAndTapTheAdvertAway(AppSession& app) {
    ASSERT_TRUE(app.tapText("请输入序列号")) << shownLine(app);
    app.type("Q3T7K9");
    fromTheSuccessToTheHub(app);
    if (::testing::Test::HasFatalFailure()) return;
    tapTheAdvertAway(app);
}

}  // namespace e2e
