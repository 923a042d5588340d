// The forgotten-PIN screen against the test server: the safe-phone check
// (command 26) and the quick de-registration (command 24).
#include "tests/app/screens/pin/PinFixture.h"

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/screens/pin/ForgetPwdView.h"
#include "app/screens/pin/ForgetPwdViewController.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/UserDefaults.h"

namespace {

namespace K = StoreKeys;
using Screen = ForgetPwdViewController;

class ForgetPinTest : public PinFixture {
protected:
    void SetUp() override {
        PinFixture::SetUp();
        server().control("safephone", R"({"phone": "13812345678", "password": "123456"})");
        put(K::safePhone, "138******78");
        put(K::passward, "2468");
        put(K::safe_password, "1");
        put(K::faild_count, "0");
        put(K::safe_time, "null");
    }
    std::shared_ptr<Screen> openForget() { return open<Screen>(pinscreens::kForgetPinScreen); }
    void submit(Screen& screen, const char* phone, const char* password) {
        screen.pwdSafePhone()->setText(phone);
        screen.pwdSafePwd()->setText(password);
        screen.submit_click();
    }
    bool checked(Screen& screen) {
        return answered(screen, Screen::kTagVerify, [&] { return !alertText().empty(); });
    }
};

TEST_F(ForgetPinTest, TheRightSafePhoneClearsPinAndFreezeAndGoesIn) {
    put(K::faild_count, "3");
    auto screen = openForget();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->safeBtn()->isEnabled());
    submit(*screen, "13812345678", "123456");
    ASSERT_TRUE(checked(*screen));
    EXPECT_EQ(alertText(), "启动密码删除成功|您的软件启动密码已经删除，如果需要可以重新设置启动密码，但一定要记住哦！");
    EXPECT_EQ(stored(K::passward), "null");
    EXPECT_EQ(stored(K::safe_time), "null");
    EXPECT_EQ(stored(K::faild_count), "0");
    EXPECT_EQ(*serverLog().back().get("text")->asString(), "26;" + account().uuid + ",13812345678,123456");
    pressAlert();
    EXPECT_TRUE(segued("ForgetPwdViewController->forgetSuccess->KAVOMainFrameViewController"));
}

TEST_F(ForgetPinTest, RefusedChecksUnderTheProtectionCountAndTheFifthDisablesSubmit) {
    put(K::faild_count, "3");
    auto screen = openForget();
    ASSERT_TRUE(screen);
    submit(*screen, "13812345678", "000000");
    ASSERT_TRUE(checked(*screen));
    EXPECT_EQ(alertText(),
              "校验失败|您的远程注销信息校验错误！此校验错误次数也会加入到防暴力猜解保护中，错误达5次会冻结30分钟。");
    EXPECT_EQ(stored(K::faild_count), "4");
    EXPECT_TRUE(screen->safeBtn()->isEnabled());
    // Stay on the screen (the alert's dismissal would go back) and try again.
    ui::AlertView::frontmost()->setDelegate(nullptr);
    pressAlert();
    submit(*screen, "13812345678", "111111");
    ASSERT_TRUE(checked(*screen));
    EXPECT_EQ(stored(K::faild_count), "5");
    EXPECT_FALSE(screen->safeBtn()->isEnabled());  // at once, on the same screen
    ui::AlertView::frontmost()->setDelegate(nullptr);
    pressAlert();
    EXPECT_FALSE(driver().tapText("校验并进入软件") && waitFor([&] { return commands().size() > 2; }, 1));
    EXPECT_EQ(stored(K::faild_count), "5");
}

TEST_F(ForgetPinTest, WithoutTheProtectionARefusedCheckChangesNothing) {
    put(K::safe_password, "0");
    put(K::faild_count, "4");
    auto screen = openForget();
    ASSERT_TRUE(screen);
    submit(*screen, "13812345678", "");  // the password may be empty
    ASSERT_TRUE(checked(*screen));
    EXPECT_EQ(alertText(), "校验失败|您的远程注销信息校验错误！请您稍后再试！");
    EXPECT_EQ(stored(K::faild_count), "4");
    EXPECT_EQ(*serverLog().back().get("text")->asString(), "26;" + account().uuid + ",13812345678,");
    pressAlert();
    EXPECT_EQ(navigation()->viewControllers().size(), 1u);  // popping the root does nothing here
}

TEST_F(ForgetPinTest, InputsRefusedBeforeSending) {
    auto screen = openForget();
    ASSERT_TRUE(screen);
    struct Case {
        const char* phone;
        const char* password;
        const char* notice;
    } cases[] = {
        {"138123456789", "1", "输入的手机号格式错误"},  // twelve digits
        {"1381234567a", "1", "输入的手机号格式错误"},
        {"13812345678", "1,2", "注销密码应为10位以内的纯数字密码"},
    };
    for (const auto& c : cases) {
        submit(*screen, c.phone, c.password);
        EXPECT_EQ(DnNotificationManager::lastAlertText(), c.notice) << c.phone;
    }
    EXPECT_TRUE(commands().empty());
}

TEST_F(ForgetPinTest, NoSafePhoneMeansNothingToCheck) {
    put(K::safePhone, "null");
    auto screen = openForget();
    ASSERT_TRUE(screen);
    submit(*screen, "13812345678", "123456");
    EXPECT_EQ(DnNotificationManager::lastAlertText(), "您没有开通远程注销服务");
    EXPECT_TRUE(commands().empty());
}

TEST_F(ForgetPinTest, AFrozenOrPendingAppCannotSubmitButCanDeRegister) {
    for (auto [safeTime, count] : {std::pair{"2200000000", "0"}, std::pair{"null", "5"}}) {
        put(K::safe_time, safeTime);
        put(K::faild_count, count);
        auto screen = openForget();
        ASSERT_TRUE(screen);
        EXPECT_FALSE(screen->safeBtn()->isEnabled()) << safeTime << " " << count;
        EXPECT_NE(driver().findByText("快速注销"), nullptr);
    }
}

TEST_F(ForgetPinTest, QuickDeRegistrationWipesTheAppAndEndsIt) {
    auto& defaults = foundation::UserDefaults::standard();
    ASSERT_FALSE(defaults.dictionaryRepresentation().empty());
    auto screen = openForget();
    ASSERT_TRUE(screen);
    screen->fastDeleteAcc();
    EXPECT_NE(alertText().find("确定要快速注销？|"), std::string::npos);
    EXPECT_NE(alertText().find("（https://safe.quenta.test）"), std::string::npos) << alertText();
    pressAlert(0);
    ASSERT_TRUE(answered(*screen, Screen::kTagLogout, [&] { return !alertText().empty(); }));
    EXPECT_EQ(alertText(), "提示|注销账号成功");
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
    EXPECT_EQ(commands(), (std::vector<int>{0, 24}));
    EXPECT_EQ(server().controlGet("account").find(account().uuid), std::string::npos);  // unbound
    EXPECT_TRUE(exits().empty());
    pressAlert(0);
    EXPECT_EQ(exits(), std::vector<int>{0});
}

TEST_F(ForgetPinTest, ARefusedDeRegistrationChangesNothing) {
    queue({{"command", 24}, {"reply", foundation::Dictionary{{"isSuccess", false}}}});
    auto screen = openForget();
    ASSERT_TRUE(screen);
    screen->fastDeleteAcc();
    pressAlert(0);
    ASSERT_TRUE(answered(*screen, Screen::kTagLogout,
                         [&] { return DnNotificationManager::lastAlertText() == "注销账号账号操作失败"; }));
    EXPECT_TRUE(DBController::databaseExit());
    EXPECT_EQ(stored(K::passward), "2468");
    EXPECT_TRUE(exits().empty());
}

// The two-field alert: its fields and its buttons, which sit below both
// fields (not over the password) and reach the delegate.
TEST_F(ForgetPinTest, TheTwoFieldAlertHoldsItsFieldsAboveItsButtons) {
    struct Clicks : ui::AlertViewDelegate {
        std::vector<int> indices;
        void clickedButtonAtIndex(ui::AlertView*, int index) override { indices.push_back(index); }
    } clicks;
    auto alert = ForgetPwdView::create("远程注销信息", "", &clicks, "取消", {"确定"});
    alert->show();
    driver().advance(0.5);
    ASSERT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->frame().height(), 260);

    struct Field {
        ui::TextField* field;
        const char* placeholder;
        ui::Rect frame;
    };
    const Field fields[] = {{alert->safePhone(), "安全手机号", {22, 45, 240, 36}},
                            {alert->safePwd(), "注销密码", {22, 90, 240, 36}}};
    for (const Field& f : fields) {
        SCOPED_TRACE(f.placeholder);
        ASSERT_NE(f.field, nullptr);
        EXPECT_EQ(f.field->superview(), alert.get());
        EXPECT_EQ(f.field->placeholder(), f.placeholder);
        EXPECT_TRUE(f.field->isSecureTextEntry());
        EXPECT_EQ(f.field->frame(), f.frame);
        EXPECT_EQ(f.field->backgroundColor(), ui::Color::whiteColor());
    }
    ASSERT_EQ(alert->numberOfButtons(), 2);
    for (int i = 0; i < 2; ++i) {
        ui::Rect b = alert->buttonAtIndex(i)->frame();
        EXPECT_EQ(b.minY(), 90 + 36 + 7) << i;
        EXPECT_LE(b.maxY(), alert->frame().height()) << i;
    }

    // Typing goes into the fields; a tap on a button reaches the delegate.
    alert->safePhone()->setText("13812345678");
    alert->safePwd()->setText("123456");
    EXPECT_EQ(alert->safePhone()->displayedText(),
              "\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF");
    ui::Button* ok = alert->buttonAtIndex(alert->firstOtherButtonIndex());
    driver().tap(ok);
    driver().advance(0.5);
    EXPECT_EQ(clicks.indices, std::vector<int>{alert->firstOtherButtonIndex()});
    EXPECT_FALSE(alert->isVisible());
    EXPECT_EQ(alert->safePwd()->text(), "123456");
}

}  // namespace
