// The code tab and the nine-star tab on the screen fixture: a bound account,
// the test server, the manual clock, the headless window and real GL.
#include <gtest/gtest.h>

#include "app/core/GetOtp.h"
#include "app/core/StoreKeys.h"
#include "app/core/connectNetCheck.h"
#include "app/cycle/Constants.h"
#include "app/screens/token/DcodeViewController.h"
#include "app/screens/token/OtpViewController.h"
#include "app/screens/token/TokenModel.h"
#include "app/screens/token/TokenScreens.h"
#include "lib/engine2d/director/GxDirector.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/Context.h"
#include "platform/ui/AlertView.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }
std::string store(const char* key) { return Constants::getValueFromDBByKey(key).value_or("<no store>"); }

class TokenScreens : public screentest::ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        defaults().setInteger("korvxboundstate", 3);
        registerTokenScreens(map);
        // Half a second into the second 1700000000, 20 seconds into its
        // window: the one-second ticks land inside whole seconds.
        clock().setWallTime(1700000000.5);
    }
    void TearDown() override {
        otp.reset();
        stars.reset();
        ScreenFixture::TearDown();
        gl::Context::clearCurrent();
    }
    void showOtp() {
        otp = std::dynamic_pointer_cast<OtpViewController>(show(map, "OTP"));
        ASSERT_TRUE(otp);
    }
    void showStars() {
        stars = std::dynamic_pointer_cast<DcodeViewController>(show(map, "JIUXING"));
        ASSERT_TRUE(stars);
    }
    std::string expectedCode() {
        return GetOtp::otpCreate(account().bid, Constants::getValueFromDBByKey(StoreKeys::diffTime).value_or(""));
    }
    bool noticeShown(const std::string& text) {
        for (const std::string& t : noticeTexts())
            if (t == text) return true;
        return false;
    }
    ui::ScreenMap map;
    std::shared_ptr<OtpViewController> otp;
    std::shared_ptr<DcodeViewController> stars;
};

TEST_F(TokenScreens, TheCodeIsTheSoftTokensAndTheCountdownFollowsTheClock) {
    // 1700000000 is 20 seconds into its window.
    showOtp();
    ASSERT_TRUE(otp->isLive());
    EXPECT_EQ(otp->code(), expectedCode());
    EXPECT_EQ(otp->lable()->text(), "动态口令将在10秒后更新");
    EXPECT_FLOAT_EQ(otp->progressView()->progress(), 20 / 30.0f);
    driver().advance(1.0);
    EXPECT_EQ(otp->lable()->text(), "动态口令将在09秒后更新");
    EXPECT_FLOAT_EQ(otp->progressView()->progress(), 22 / 30.0f);
    const std::string first = otp->code();
    driver().advance(9.0);  // the first tick of the next window
    EXPECT_EQ(otp->lable()->text(), "动态口令将在30秒后更新");
    EXPECT_FLOAT_EQ(otp->progressView()->progress(), 1 / 30.0f);
    EXPECT_EQ(otp->code(), expectedCode());
    EXPECT_NE(otp->code(), first);
    if (gl::Context::available()) {
        ASSERT_TRUE(otp->layer());
        EXPECT_EQ(otp->layer()->array().size(), 6u);
        EXPECT_EQ(engine2d::GxDirector::sharedDirector().runningScene(), otp->scene());
    }
}

TEST_F(TokenScreens, CalibrationStoresAWholeServerTimeAndNothingElse) {
    showOtp();
    server().control("clock", "{\"time\": " + std::to_string((long long)clock().now() + 42) + "}");
    ASSERT_TRUE(driver().tapAccessibilityLabel("时间校准"));
    ASSERT_TRUE(waitFor([&] { return noticeShown("时间校对成功"); }));
    EXPECT_EQ(store(StoreKeys::diffTime), "42");
    EXPECT_EQ(commands(), std::vector<int>{20});
    // 42 seconds on from 20 into the window: the next window at the next tick.
    driver().advance(1.0);
    EXPECT_EQ(otp->code(), GetOtp::otpCreate(account().bid, "42"));

    for (const char* bad : {"", "-1", "abc", "{\"result\": 1}"}) {
        script({{"command", 20}, {"reply", std::string(bad)}});
        driver().advance(5);  // the notices go
        ASSERT_TRUE(driver().tapAccessibilityLabel("时间校准")) << bad;
        ASSERT_TRUE(waitFor([&] { return noticeShown("您的网络不稳定，请稍后再试"); })) << bad;
        EXPECT_EQ(store(StoreKeys::diffTime), "42") << bad;
        EXPECT_FALSE(noticeShown("时间校对成功")) << bad;
    }
}

// The server answered but the device cannot keep the difference (a full
// disk, a read-only folder): that is what the user is told, not the network.
TEST_F(TokenScreens, ACalibrationTheStoreCannotTakeSaysSo) {
    showOtp();
    server().control("clock", "{\"time\": " + std::to_string((long long)clock().now() + 42) + "}");
    {
        testsupport::FileSizeLimit full(512);
        ASSERT_TRUE(driver().tapAccessibilityLabel("时间校准"));
        ASSERT_TRUE(waitFor([&] { return noticeShown(kDataNotSavedMessage); }));
    }
    EXPECT_FALSE(noticeShown("您的网络不稳定，请稍后再试"));
    EXPECT_FALSE(noticeShown("时间校对成功"));
    EXPECT_EQ(store(StoreKeys::diffTime), account().difftime);
}

TEST_F(TokenScreens, WithoutANetworkTheCodeTabSendsNoCalibration) {
    showOtp();
    connectNetCheck::setFlagsProbe([] { return std::optional<uint32_t>(); });
    ASSERT_TRUE(driver().tapAccessibilityLabel("时间校准"));
    connectNetCheck::setFlagsProbe(nullptr);
    EXPECT_TRUE(noticeShown("您的网络不稳定，请稍后再试"));
    waitFor([] { return false; }, 0.3);
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(store(StoreKeys::diffTime), account().difftime);
}

TEST_F(TokenScreens, TheHomePageSwitchesWriteTheirKeysAndAlternateTheirNotices) {
    Constants::upDateDBSetValue("0", StoreKeys::otpFast);
    showOtp();
    EXPECT_FALSE(otp->fastShowButton()->isSelected());
    ASSERT_TRUE(driver().tapAccessibilityLabel("首页显示动态口令"));
    EXPECT_EQ(store(StoreKeys::otpFast), "1");
    EXPECT_TRUE(otp->fastShowButton()->isSelected());
    EXPECT_TRUE(noticeShown("您已成功设置首页显示动态口令"));
    ASSERT_TRUE(driver().tapAccessibilityLabel("首页显示动态口令"));
    EXPECT_EQ(store(StoreKeys::otpFast), "0");
    EXPECT_TRUE(noticeShown("您已成功取消首页显示动态口令"));

    Constants::upDateDBSetValue("1", StoreKeys::jiuxing);
    showStars();
    EXPECT_TRUE(stars->flagButton()->isSelected());
    ASSERT_TRUE(driver().tapAccessibilityLabel("首页显示九星连珠"));
    EXPECT_EQ(store(StoreKeys::jiuxing), "0");
    EXPECT_FALSE(stars->flagButton()->isSelected());
    EXPECT_TRUE(noticeShown("您已成功取消首页显示九星连珠"));
    ASSERT_TRUE(driver().tapAccessibilityLabel("首页显示九星连珠"));
    EXPECT_EQ(store(StoreKeys::jiuxing), "1");
    EXPECT_TRUE(noticeShown("您已成功设置首页显示九星连珠"));
}

TEST_F(TokenScreens, WithoutAPaymentBindingStateTheCodeTabShowsOnlyItsText) {
    for (long long state : {0, 1, 2}) {
        defaults().setInteger("korvxboundstate", state);
        showOtp();
        EXPECT_FALSE(otp->isLive());
        EXPECT_FALSE(otp->notificateArea()->isHidden());
        EXPECT_TRUE(otp->fastShowButton()->isHidden());
        EXPECT_FALSE(otp->hasTimer());
        EXPECT_EQ(otp->layer(), nullptr);
        EXPECT_TRUE(otp->code().empty());
    }
}

TEST_F(TokenScreens, TheNineStarTabDrawsTheCodesPathAndKeepsItOnABadCalibration) {
    showStars();
    EXPECT_EQ(stars->code(), expectedCode());
    EXPECT_EQ(stars->path(), Calculate().getNums(expectedCode()));
    const token::JiuXingDrawing want = token::drawPath(stars->path());
    EXPECT_EQ(stars->drawing().cells, want.cells);
    EXPECT_EQ(stars->lable()->text(), "九星连珠将在10秒后更新");
    if (gl::Context::available()) {
        ASSERT_TRUE(stars->layer()->system());
        EXPECT_EQ(engine2d::GxDirector::sharedDirector().openGLView()->superview(), stars->engine2dView());
    }
    script({{"command", 20}, {"reply", "-5"}});
    ASSERT_TRUE(driver().tapText("时间校准"));
    ASSERT_TRUE(waitFor([&] { return noticeShown("您的网络不稳定，请稍后再试"); }));
    EXPECT_EQ(store(StoreKeys::diffTime), account().difftime);
    driver().advance(10.0);
    EXPECT_EQ(stars->lable()->text(), "九星连珠将在30秒后更新");
    EXPECT_EQ(stars->code(), expectedCode());
}

TEST_F(TokenScreens, TheEngineViewMovesToEachTabThatAppearsAndKeepsAnimating) {
    if (!gl::Context::available()) GTEST_SKIP() << "no EGL display";
    auto& director = engine2d::GxDirector::sharedDirector();
    showOtp();
    auto glView = director.openGLView();
    ASSERT_TRUE(glView);
    EXPECT_EQ(glView->superview(), otp->view());
    // The nine-star tab takes the same view over, with its own scene.
    auto tab = std::dynamic_pointer_cast<DcodeViewController>(map.instantiateViewControllerWithIdentifier("JIUXING"));
    otp->viewWillDisappear(false);
    otp->viewDidDisappear(false);
    EXPECT_FALSE(director.isAnimating());
    tab->view()->setFrame(otp->view()->frame());
    otp->view()->superview()->addSubview(tab->viewRef());
    tab->viewWillAppear(false);
    tab->viewDidAppear(false);
    EXPECT_EQ(director.openGLView(), glView) << "made once";
    EXPECT_EQ(glView->superview(), tab->engine2dView());
    driver().advance(0.1);
    EXPECT_EQ(director.runningScene(), tab->scene());
    // A tab that goes after the other has taken over leaves it running.
    otp->viewWillDisappear(false);
    EXPECT_TRUE(director.isAnimating());
    // Back to the code tab: the director runs again with the digits.
    tab->viewWillDisappear(false);
    tab->viewDidDisappear(false);
    tab->view()->removeFromSuperview();
    otp->viewWillAppear(false);
    otp->viewDidAppear(false);
    EXPECT_TRUE(director.isAnimating());
    EXPECT_EQ(glView->superview(), otp->view());
    const unsigned frames = director.totalFrames();
    driver().advance(0.5);
    EXPECT_EQ(director.runningScene(), otp->scene());
    EXPECT_GT(director.totalFrames(), frames + 20);
}

TEST_F(TokenScreens, ReadingAloudReadsTheCodeOfThePressOnceAndThePaymentButtonOffersTheApp) {
    showOtp();
    const std::string code = otp->code();
    ASSERT_TRUE(driver().tapAccessibilityLabel("朗读口令"));
    EXPECT_TRUE(otp->speaker().isSpeaking());
    ASSERT_TRUE(driver().tapAccessibilityLabel("朗读口令"));  // while reading: nothing new
    driver().advance(6 * 0.6 + 1.2);
    EXPECT_FALSE(otp->speaker().isSpeaking());
    ASSERT_EQ(otp->speaker().played().size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(otp->speaker().played()[i].digit, code[i] - '0');

    // Without the payment app the user is offered its store page; nothing is sent.
    ASSERT_TRUE(driver().tapText("开启岚付通付款验证"));
    driver().advance(0.5);
    bool offered = false;
    for (ui::AlertView* a : ui::AlertView::visibleAlerts())
        offered = offered || (a->title() == "警告" && a->message() == PaymentVerificationOffer::kNotInstalledMessage);
    EXPECT_TRUE(offered);
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(defaults().integerForKey("korvxboundstate"), 3);
}

}  // namespace
