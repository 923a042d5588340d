// Turning payment verification on from a screen: command 32, the two alerts
// and the hand-off to the payment app, on a small host screen.
#include <gtest/gtest.h>

#include <string>

#include "app/core/PaymentAppHandOff.h"
#include "app/screens/token/PaymentVerificationOffer.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

class OfferHost : public KAVOCommandViewController {
public:
    OfferHost() : offer(*this) {}
    PaymentVerificationOffer offer;

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override {
        offer.alertClicked(alertView, buttonIndex);
    }
};

class OfferTest : public screentest::ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        host = show(std::make_shared<OfferHost>());
    }
    void TearDown() override {
        host.reset();
        ScreenFixture::TearDown();
    }
    ui::AlertView* frontAlert() { return ui::AlertView::frontmost(); }
    std::string lastNotice() { return DnNotificationManager::lastAlertText(); }
    long long boundState() { return foundation::UserDefaults::standard().integerForKey("korvxboundstate"); }

    std::shared_ptr<OfferHost> host;
};

TEST(PaymentAppHandOff, AddressCarriesTheEscapedObject) {
    EXPECT_EQ(PaymentAppHandOff::dataString("a@b.cn", "42"),
              "app_name=\"kv\"&biz_type=\"otp_account\"&userlogonid=\"a@b.cn\"&extern_token=\"42\"");
    const std::string url = *PaymentAppHandOff::url("张三", "42");
    ASSERT_EQ(url.rfind("nimbra://korvexclient/?", 0), 0u);
    const std::string escaped = url.substr(std::string("nimbra://korvexclient/?").size());
    EXPECT_EQ(escaped.find_first_of("{}\" "), std::string::npos);
    const std::string json = *foundation::percentUnescape(escaped);
    EXPECT_NE(json.find("\"fromAppUrlScheme\":\"kavocenter\""), std::string::npos);
    EXPECT_NE(json.find("\"requestType\":\"Nimbra\""), std::string::npos);
    EXPECT_NE(json.find("userlogonid=\\\"张三\\\""), std::string::npos);
}

TEST_F(OfferTest, WithoutThePaymentAppTheStorePageIsOfferedAndNothingIsSent) {
    host->offer.boudnNimbra();
    ASSERT_TRUE(frontAlert());
    EXPECT_EQ(frontAlert()->message(), PaymentVerificationOffer::kNotInstalledMessage);
    frontAlert()->clickButtonAtIndex(1);  // 取消
    driver().advance(0.5);
    EXPECT_TRUE(ui::Application::shared().openedURLs().empty());
    host->offer.boudnNimbra();
    frontAlert()->clickButtonAtIndex(0);  // 确定
    driver().advance(0.5);
    ASSERT_EQ(ui::Application::shared().openedURLs().size(), 1u);
    EXPECT_NE(ui::Application::shared().openedURLs()[0].find("/store/korvex"), std::string::npos);
    EXPECT_EQ(boundState(), 3);
    EXPECT_TRUE(commands().empty());
}

TEST_F(OfferTest, ConfirmedAccountMarksTheHandOffAndOpensThePaymentApp) {
    ui::Application::shared().registerURLScheme("nimbra");
    // The sid as text and as a number end up as the same decimal token.
    for (const char* sid : {"\"9007199254740993\"", "9007199254740993"}) {
        script({{"command", 32},
                {"reply",
                 std::string("{\"result\":202,\"username\":\"kv@example.cn\",\"sid\":") + sid + ",\"cert\":true}"}});
        host->offer.boudnNimbra();
        ASSERT_TRUE(waitFor([&] { return frontAlert() && frontAlert()->title() == "提示"; }));
        EXPECT_EQ(frontAlert()->message(), PaymentVerificationOffer::confirmMessage("kv@example.cn", true));
        EXPECT_EQ(host->offer.kvToken(), std::optional<std::string>("9007199254740993"));
        frontAlert()->clickButtonAtIndex(1);  // 取消: nothing
        driver().advance(0.5);
        EXPECT_EQ(boundState(), 3);
        ASSERT_TRUE(waitFor([&] {
            auto h = host->hud(PaymentVerificationOffer::kTagGetKorvexID);
            return !h || !h->taskInProgress();
        }));
        driver().advance(0.4);
    }
    EXPECT_TRUE(ui::Application::shared().openedURLs().empty());
    // The uuid form of the command.
    foundation::Array log = serverLog();
    EXPECT_EQ(log.back().get("json")->get("uuid")->description(), account().uuid);

    script({{"command", 32}, {"reply", "{\"result\":202,\"username\":\"kv@example.cn\",\"sid\":77,\"cert\":false}"}});
    host->offer.boudnNimbra();
    ASSERT_TRUE(waitFor([&] { return frontAlert() && frontAlert()->title() == "提示"; }));
    EXPECT_EQ(frontAlert()->message(), "是否为岚付通帐号\nkv@example.cn\n开通付款验证？");
    frontAlert()->clickButtonAtIndex(0);
    driver().advance(0.5);
    EXPECT_EQ(boundState(), 1);
    ASSERT_EQ(ui::Application::shared().openedURLs().size(), 1u);
    EXPECT_EQ(ui::Application::shared().openedURLs()[0], *PaymentAppHandOff::url("kv@example.cn", "77"));
}

TEST_F(OfferTest, RefusalsAreToldAsNotices) {
    ui::Application::shared().registerURLScheme("nimbra");
    struct Case {
        const char* reply;
        const char* notice;
    };
    const Case cases[] = {
        {"{\"result\":414,\"message\":\"账户异常\"}", "账户异常"},
        {"{\"result\":415}", "获取岚付通账号失败，请重试"},
        {"{\"result\":500}", "您的禾川账号尚未绑定岚付通"},
    };
    for (const Case& c : cases) {
        DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
        script({{"command", 32}, {"reply", c.reply}});
        host->offer.boudnNimbra();
        ASSERT_TRUE(waitFor([&] { return lastNotice() == c.notice; })) << c.reply;
        ASSERT_TRUE(waitFor([&] {
            auto h = host->hud(PaymentVerificationOffer::kTagGetKorvexID);
            return !h || !h->taskInProgress();
        }));
        driver().advance(0.4);
        EXPECT_EQ(boundState(), 3);
    }
}

}  // namespace
