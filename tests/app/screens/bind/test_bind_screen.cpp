// The bind screen against the test security server: the serial road to a
// complete store and the success segue, every refusal leaving no store, the
// SMS road through the composer and the poll, and the payment road through
// the hand-off and the hand-back.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/core/DBController.h"
#include "app/core/Deployment.h"
#include "app/core/DeviceIdentity.h"
#include "app/core/StoreKeys.h"
#include "app/core/connectNetCheck.h"
#include "app/cycle/Constants.h"
#include "app/screens/bind/BindScreens.h"
#include "app/screens/bind/BindViewController.h"
#include "lib/json/JsonParser.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/Capture.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestSupport.h"
#include "tests/support/reader/QrPicture.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

using namespace BindModel;

class BindScreenTest : public screentest::ScreenFixture {
protected:
    BindScreenTest() : ScreenFixture(Options{.server = true, .boundAccount = false}) {}

    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        connectNetCheck::setFlagsProbe([] { return std::optional<uint32_t>(connectNetCheck::kReachable); });
        foundation::DeviceInfo device;
        device.model = "iPhone";
        device.systemVersion = "6.1";
        device.scale = 2;
        foundation::setDevice(device);
        map = std::make_unique<ui::ScreenMap>();
        registerBindScreens(*map);
        map->registerScreen("KAVOMainFrameViewController", [] { return std::make_shared<ui::ViewController>(); });
        screen = std::make_shared<BindViewController>();
        screen->setStoryboard(map.get(), kBindScreenIdentifier);
        show(screen);
    }
    void TearDown() override {
        screen.reset();
        ScreenFixture::TearDown();
        map.reset();
    }

    // Waits until the command's overlay has let go, then plays its fade.
    void finishOverlay(int tag) {
        ASSERT_TRUE(waitFor([&] {
            auto h = screen->hud(tag);
            return !h || !h->taskInProgress();
        }));
        driver().advance(0.35);
    }
    ui::AlertView* alertTitled(const std::string& title) {
        ui::AlertView* front = ui::AlertView::frontmost();
        return front && front->title() == title ? front : nullptr;
    }
    bool waitForAlert(const std::string& title) {
        return waitFor([&] { return alertTitled(title) != nullptr; });
    }
    bool waitForNotice(const std::string& text) {
        return waitFor([&] { return DnNotificationManager::lastAlertText() == text; });
    }
    void typeSerial(const std::string& serial) {
        driver().advance(0.6);  // the screen has moved back down after an earlier entry
        ASSERT_TRUE(driver().tap(screen->serialField()));
        driver().type(serial);
    }
    // The fields of the last request of a command.
    foundation::Array lastFields(int command) {
        foundation::Array log = serverLog();
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->get("command")->intValue() == command && it->get("fields")->asArray())
                return *it->get("fields")->asArray();
        return {};
    }
    foundation::Value lastJson(int command) {
        foundation::Array log = serverLog();
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->get("command")->intValue() == command) return *it->get("json");
        return {};
    }
    long long defaultsInt(const char* key) { return foundation::UserDefaults::standard().integerForKey(key); }
    void typeIntoAlert(const std::string& title, const std::string& text) {
        ASSERT_TRUE(waitForAlert(title));
        ui::AlertView* alert = ui::AlertView::frontmost();
        ASSERT_TRUE(alert->textFieldAtIndex(0));
        alert->textFieldAtIndex(0)->setText(text);
        alert->clickButtonAtIndex(0);
        driver().settle();
    }

    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<BindViewController> screen;
};

TEST_F(BindScreenTest, TheDemoSerialBindsThePhoneAndTheAlertLeadsOn) {
    // The server's clock runs 42 seconds ahead of the device's.
    server().control("clock", "{\"time\": " + std::to_string((long long)clock().now() + 42) + "}");
    EXPECT_EQ(screen->serialField()->displayedText(), kSerialPrompt);
    typeSerial("Q3T7K9");
    EXPECT_NE(driver().findByText("正在绑定...请稍候"), nullptr);
    ASSERT_TRUE(waitForAlert("绑定成功"));
    EXPECT_EQ(ui::AlertView::frontmost()->message(), "你的禾川账号绑定成功！");
    finishOverlay(BindViewController::kTagSerial);

    // The handshake in first-bind mode, then command 16 with this device.
    EXPECT_EQ(commands(), (std::vector<int>{0, 16}));
    const foundation::Array fields = lastFields(16);
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(*fields[2].asString(), "Q3T7K9");
    EXPECT_EQ(*fields[3].asString(), "iPhone");
    EXPECT_EQ(*fields[4].asString(), "6.1");
    EXPECT_EQ(*fields[5].asString(), "960");
    EXPECT_EQ(*fields[6].asString(), "640");
    EXPECT_EQ(*fields[8].asString(), "@3002");

    // The store: the server's token key, this phone's identifier and uuid,
    // the time difference; the binding state 0 -> 3.
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::bid),
              std::optional<std::string>("3132333435363738393031323334353637383930"));
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::mac), std::optional<std::string>(*fields[0].asString()));
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::uuid), std::optional<std::string>(*fields[7].asString()));
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::diffTime), std::optional<std::string>("42"));
    EXPECT_EQ(DBController::openExisting()->querryTable()->size(), 29u);
    EXPECT_EQ(defaultsInt("korvxboundstate"), 3);
    EXPECT_EQ(defaultsInt("laststate"), 3);
    // The server knows the phone now.
    auto account = JsonParser().objectWithString(server().controlGet("account"));
    EXPECT_NE(account->get("devices")->get(*fields[7].asString()), nullptr);

    ui::AlertView::frontmost()->clickButtonAtIndex(0);
    ASSERT_TRUE(waitFor([&] { return !map->performedSegues().empty(); }));
    EXPECT_EQ(map->performedSegues().back(), "BindViewController->bindSuccess->KAVOMainFrameViewController");
}

TEST_F(BindScreenTest, EveryRefusalShowsItsNoticeAndLeavesNoStore) {
    struct Case {
        foundation::Dictionary script;
        const char* notice;
    };
    const std::vector<Case> cases = {
        {{{"command", 16}, {"result", 405}}, "绑定失败，账号不能重复绑定"},
        {{{"command", 16}, {"reply", foundation::Dictionary{{"result", 406}, {"nick", "demo_user"}}}},
         "本设备已绑定账号：demo_user，请解绑后重试"},
        {{}, "绑定失败，序列号错误或过期"},  // the real server: a serial it does not know
        {{{"command", 16}, {"result", 413}}, "操作超时，请重试"},
        {{{"command", 16}, {"result", 500}}, "绑定操作失败，请重试"},
        {{{"command", 16}, {"reply", foundation::Dictionary{{"result", 202}, {"checktime", 1}}}},
         "绑定操作失败，请重试"},  // accepted without a token key
        {{{"command", 16}, {"fault", "garbled"}}, kNetworkNotice},
        {{{"command", 0}, {"fault", "http500"}}, kNetworkNotice},
    };
    for (const Case& c : cases) {
        DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
        if (!c.script.empty()) script(c.script);
        typeSerial(c.script.empty() ? "ZZZZZ1" : "Q3T7K9");
        ASSERT_TRUE(waitForNotice(c.notice)) << c.notice;
        finishOverlay(BindViewController::kTagSerial);
        EXPECT_FALSE(DBController::databaseExit()) << c.notice;
        EXPECT_EQ(ui::AlertView::frontmost(), nullptr) << c.notice;
    }
    EXPECT_EQ(defaultsInt("korvxboundstate"), 0);
}

// The server bound the phone but the device cannot keep the binding (a full
// disk, a read-only folder, a file-size limit): the notice says that the data
// could not be saved, instead of asking for a reinstall, and no store is left.
TEST_F(BindScreenTest, ABindingTheDeviceCannotKeepSaysSo) {
    {
        testsupport::FileSizeLimit full(512);
        typeSerial("Q3T7K9");
        ASSERT_TRUE(waitForNotice(kDataNotSavedMessage));
    }
    finishOverlay(BindViewController::kTagSerial);
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
    EXPECT_EQ(defaultsInt("korvxboundstate"), 0);
}

TEST_F(BindScreenTest, AFailedBindAfterAHandOffGoesBackToTheLastState) {
    foundation::UserDefaults::standard().setInteger("korvxboundstate", 2);
    foundation::UserDefaults::standard().setInteger("laststate", 3);
    script({{"command", 16}, {"result", 407}});
    screen->initFinish("Q3T7K9");
    ASSERT_TRUE(waitForNotice("绑定失败，序列号错误或过期"));
    finishOverlay(BindViewController::kTagSerial);
    EXPECT_EQ(defaultsInt("korvxboundstate"), 3);
}

TEST_F(BindScreenTest, BadSerialsAndNoNetworkSendNothing) {
    EXPECT_FALSE(screen->textFieldShouldChangeCharacters(screen->serialField(), {6, 0}, "X"));
    EXPECT_TRUE(screen->textFieldShouldChangeCharacters(screen->serialField(), {5, 0}, "X"));
    for (const char* serial : {"Q3,7K9", "Q3T7K9X", "请输入序列号"}) {
        DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
        screen->initFinish(serial);
        EXPECT_EQ(DnNotificationManager::lastAlertText(), kSerialLengthNotice) << serial;
        EXPECT_EQ(screen->serialField()->text(), "");
        EXPECT_EQ(screen->serialField()->displayedText(), kSerialPrompt);
    }
    connectNetCheck::setFlagsProbe([] { return std::optional<uint32_t>(0); });
    typeSerial("Q3T7K9");
    EXPECT_EQ(DnNotificationManager::lastAlertText(), kNetworkNotice);
    EXPECT_EQ(screen->serialField()->displayedText(), kSerialPrompt);
    driver().settle();
    EXPECT_TRUE(commands().empty());
}

// ---------------------------------------------------------------- SMS

class SmsBindTest : public BindScreenTest {
protected:
    void SetUp() override {
        BindScreenTest::SetUp();
        foundation::DeviceInfo device = foundation::device();
        device.carrierName = "中国联通";
        foundation::setDevice(device);
    }
    // From the button to the composer on screen.
    ui::MessageComposeViewController* openComposer() {
        screen->textMsgBinding();
        typeIntoAlert("请输入您的禾川账号", "demo@quenta.test");
        if (HasFatalFailure()) return nullptr;
        EXPECT_TRUE(waitForAlert("提示"));
        finishOverlay(BindViewController::kTagPhoneLookup);
        if (!alertTitled("提示")) return nullptr;
        EXPECT_NE(ui::AlertView::frontmost()->message().find("13812345678"),
                  std::string::npos);  // the account holder's
        ui::AlertView::frontmost()->clickButtonAtIndex(0);
        driver().settle();
        return screen->composer();
    }
    // One poll attempt: the two seconds, then its reply.
    bool attempt(int number) {
        driver().advance(kPollInterval);
        return waitFor([&] {
            return !screen->pollHud() || screen->pollHud()->progress() >= float(number) / (kPollAttempts + 1) - 1e-6f;
        });
    }
    int commandCount(int command) {
        int n = 0;
        for (int c : commands()) n += c == command;
        return n;
    }
};

TEST_F(SmsBindTest, TheTextArrivesAfterFourMissesAndThePhoneIsBound) {
    auto* composer = openComposer();
    ASSERT_NE(composer, nullptr);
    EXPECT_EQ(composer->recipients(), std::vector<std::string>{Deployment::kSmsGatewayUnicom});
    EXPECT_EQ(composer->body(), "SC#B#demo@quenta.test#" + screen->sid());
    EXPECT_EQ(*lastFields(31).at(1).asString(), "demo%40quenta.test");
    composer->send();
    driver().settle();
    // Sending put the text into the outbox file.
    std::ifstream outbox(ui::MessageComposeViewController::outboxPath());
    std::stringstream text;
    text << outbox.rdbuf();
    EXPECT_EQ(text.str(),
              std::string(Deployment::kSmsGatewayUnicom) + "\tSC#B#demo@quenta.test#" + screen->sid() + "\n");

    ASSERT_NE(screen->pollHud(), nullptr);
    EXPECT_EQ(screen->pollHud()->mode(), ProgressHUDModeAnnularDeterminate);
    EXPECT_FLOAT_EQ(screen->pollHud()->progress(), 1.0f / 21);
    for (int number = 2; number <= 5; ++number) {
        ASSERT_TRUE(attempt(number)) << number;
        EXPECT_EQ(commandCount(31), number - 1 + 1);  // op 0 and the attempts so far
    }
    server().control("sms", "{\"arrived\": true}");
    ASSERT_TRUE(attempt(6));
    ASSERT_TRUE(waitForAlert("绑定成功"));
    driver().advance(0.35);
    EXPECT_EQ(screen->pollHud(), nullptr);

    // Op 2 carries the sid, a new uuid and the handshake's device identifier,
    // which the store keeps for every later handshake.
    const foundation::Array op2 = lastFields(31);
    ASSERT_EQ(op2.size(), 10u);
    EXPECT_EQ(*op2[0].asString(), "2");
    EXPECT_EQ(*op2[1].asString(), screen->sid());
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::uuid), std::optional<std::string>(*op2[2].asString()));
    EXPECT_EQ(*op2[3].asString(), IdentifierAddition::firstBindIdentifier());
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::mac), std::optional<std::string>(*op2[3].asString()));
    EXPECT_EQ(*op2[8].asString(), "3002");
    EXPECT_EQ(defaultsInt("korvxboundstate"), 3);
}

TEST_F(SmsBindTest, TwentyMissesGiveUp) {
    auto* composer = openComposer();
    ASSERT_NE(composer, nullptr);
    composer->send();
    driver().settle();
    for (int number = 2; number <= 21; ++number) ASSERT_TRUE(attempt(number)) << number;
    ASSERT_TRUE(waitForNotice(kPollGiveUp));
    driver().advance(0.35);
    EXPECT_EQ(screen->pollHud(), nullptr);
    EXPECT_EQ(commandCount(31), 21);
    EXPECT_FALSE(DBController::databaseExit());
}

TEST_F(SmsBindTest, AWrongPhoneStopsThePollAndACancelledComposerNeverStartsIt) {
    auto* composer = openComposer();
    ASSERT_NE(composer, nullptr);
    composer->cancel();
    driver().settle();
    EXPECT_EQ(screen->pollHud(), nullptr);
    driver().advance(kPollInterval * 2);
    EXPECT_EQ(commandCount(31), 1);
    EXPECT_EQ(DnNotificationManager::lastAlertText(), "");

    composer = openComposer();
    ASSERT_NE(composer, nullptr);
    server().control("sms", "{\"results\": {\"1\": [412]}}");
    composer->send();
    driver().settle();
    ASSERT_TRUE(attempt(2));
    ASSERT_TRUE(waitForNotice("绑定失败，本手机与禾川账号绑定手机不匹配"));
}

TEST_F(SmsBindTest, AnOutboxThatCannotTakeTheTextFailsTheSending) {
    // A folder where the outbox file should be: the text cannot be written.
    ASSERT_EQ(setenv("QUENTA_SMS_OUTBOX", foundation::homeDir().c_str(), 1), 0);
    auto* composer = openComposer();
    ASSERT_NE(composer, nullptr);
    composer->send();
    driver().settle();
    unsetenv("QUENTA_SMS_OUTBOX");
    EXPECT_EQ(DnNotificationManager::lastAlertText(), "绑定短信发送失败，请稍后重试");
    EXPECT_EQ(screen->pollHud(), nullptr);
}

TEST_F(SmsBindTest, TheRoadStopsEarlyWithoutModelCarrierOrName) {
    struct Case {
        const char* model;
        std::optional<std::string> carrier;
        const char* notice;
    };
    const Case cases[] = {
        {"iPod touch", std::string("中国联通"), "您的设备型号不支持短信绑定"},
        {"iPhone", std::nullopt, "请插入SIM卡"},
    };
    for (const Case& c : cases) {
        foundation::DeviceInfo device = foundation::device();
        device.model = c.model;
        device.carrierName = c.carrier;
        foundation::setDevice(device);
        screen->textMsgBinding();
        EXPECT_EQ(DnNotificationManager::lastAlertText(), c.notice);
        EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
    }
    foundation::DeviceInfo device = foundation::device();
    device.model = "iPhone";
    device.carrierName = "中国移动";
    foundation::setDevice(device);
    screen->textMsgBinding();
    typeIntoAlert("请输入您的禾川账号", "  ");
    EXPECT_EQ(DnNotificationManager::lastAlertText(), kEmptyNameNotice);
    screen->textMsgBinding();
    typeIntoAlert("请输入您的禾川账号", "nobody");
    ASSERT_TRUE(waitForNotice("申请绑定的账号不存在"));
    finishOverlay(BindViewController::kTagPhoneLookup);
    EXPECT_EQ(commands(), std::vector<int>{31});
}

// ---------------------------------------------------------------- payment service

class KorvexBindTest : public BindScreenTest {
protected:
    void askAccount() {
        screen->korvexBinding();
        typeIntoAlert("请输入您的禾川账号", "demo@quenta.test");
    }
};

TEST_F(KorvexBindTest, WithoutThePaymentClientTheInstallPromptShows) {
    askAccount();
    ASSERT_TRUE(waitForAlert("警告"));
    finishOverlay(BindViewController::kTagKorvexAccount);
    EXPECT_EQ(ui::AlertView::frontmost()->message(), "您尚未安装“迅付”应用，无法进行迅付绑定操作\n现在就安装”迅付“？");
    EXPECT_EQ(*lastJson(32).get("nick")->asString(), "demo@quenta.test");
    ui::AlertView::frontmost()->clickButtonAtIndex(0);
    driver().settle();
    EXPECT_EQ(ui::Application::shared().openedURLs(), std::vector<std::string>{Deployment::paymentAppStoreAddress()});
    EXPECT_EQ(defaultsInt("korvxboundstate"), 0);
}

TEST_F(KorvexBindTest, TheHandOffAndAHandedBackTokenBindWithPaymentVerification) {
    ui::Application::shared().registerURLScheme("nimbra");
    askAccount();
    ASSERT_TRUE(waitForAlert("提示"));
    finishOverlay(BindViewController::kTagKorvexAccount);
    EXPECT_EQ(ui::AlertView::frontmost()->message(),
              handOffQuestion(false, Constants::hideKorvexName("demo_pay@korvex.test")));
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey(kTokenFromKorvexKey),
              std::optional<std::string>("20261210001"));
    ui::AlertView::frontmost()->clickButtonAtIndex(0);
    driver().settle();
    ASSERT_EQ(ui::Application::shared().openedURLs().size(), 1u);
    EXPECT_EQ(ui::Application::shared().openedURLs()[0].rfind("nimbra://korvexclient/?", 0), 0u);
    EXPECT_EQ(defaultsInt("korvxboundstate"), 2);

    // The payment client answers through our own scheme; the screen shows
    // again and binds with the token.
    foundation::UserDefaults::standard().setString("korvextoken", "kvtoken-demo-0001");
    screen->viewDidAppear(false);
    ASSERT_TRUE(waitForAlert("绑定成功"));
    finishOverlay(BindViewController::kTagKorvexBind);
    const foundation::Value sent = lastJson(34);
    EXPECT_EQ(*sent.get("korvexTokenId")->asString(), "kvtoken-demo-0001");
    EXPECT_EQ(*sent.get("sid")->asString(), "20261210001");
    EXPECT_EQ(sent.asDictionary()->size(), 12u);
    EXPECT_FALSE(foundation::UserDefaults::standard().objectForKey(kTokenFromKorvexKey));
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("korvextoken"), std::optional<std::string>(""));
    EXPECT_EQ(defaultsInt("korvxboundstate"), 10);
    EXPECT_EQ(defaultsInt("laststate"), 10);
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::otpFast), std::optional<std::string>("1"));
}

TEST_F(KorvexBindTest, ACertificateHolderIsAskedToStopTheCertificate) {
    ui::Application::shared().registerURLScheme("nimbra");
    server().control("korvex", "{\"cert\": true}");
    askAccount();
    ASSERT_TRUE(waitForAlert("提示"));
    finishOverlay(BindViewController::kTagKorvexAccount);
    EXPECT_EQ(ui::AlertView::frontmost()->message().rfind("检测到您是数字证书用户", 0), 0u);
}

TEST_F(KorvexBindTest, HandBacksWithAnErrorOrNothingEndThePendingHandOff) {
    struct Case {
        std::optional<std::string> stored;
        const char* message;
    };
    const Case cases[] = {
        {std::string("kverror:用户取消了操作"), "用户取消了操作"},
        {std::string(""), "操作中断，请重试"},
        {std::nullopt, "操作中断，请重试"},
    };
    for (const Case& c : cases) {
        auto& defaults = foundation::UserDefaults::standard();
        defaults.setInteger("korvxboundstate", 2);
        if (c.stored)
            defaults.setString("korvextoken", *c.stored);
        else
            defaults.removeObjectForKey("korvextoken");
        screen->viewDidAppear(false);
        ASSERT_TRUE(waitForAlert("迅付绑定失败"));
        EXPECT_EQ(ui::AlertView::frontmost()->message(), c.message);
        ui::AlertView::frontmost()->clickButtonAtIndex(0);
        driver().settle();
        EXPECT_EQ(defaultsInt("korvxboundstate"), 0);
    }
    // Not pending: a stale hand-back is only cleared.
    foundation::UserDefaults::standard().setString("korvextoken", "kvtoken-stale");
    screen->viewDidAppear(false);
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("korvextoken"), std::optional<std::string>(""));
    EXPECT_TRUE(commands().empty());
}

// While the serial is typed the screen sits higher up; below it the window
// still shows the screen's own background, never a blank strip.
TEST_F(BindScreenTest, TypingTheSerialMovesTheScreenUpWithoutABlankStripBelow) {
    auto background = [&](const ui::Image& shot, double yPoints) {
        const double s = double(shot.pixelWidth()) / driver().window().bounds().width();
        return shot.pixel(int(160 * s), int(yPoints * s));
    };
    const ui::Rgba expected = background(*driver().snapshot(), 470);
    const ui::Rect before = screen->view()->frame();
    ASSERT_TRUE(driver().tap(screen->serialField()));
    driver().type("Q3");
    driver().advance(0.6);
    EXPECT_LT(screen->view()->convertPointToView({0, 0}, nullptr).y, 0) << "the screen moved up";
    auto shot = driver().snapshot();
    for (double y : {330.0, 400.0, 470.0}) {
        const ui::Rgba seen = background(*shot, y);
        EXPECT_EQ(seen, expected) << "y " << y << ": " << int(seen.r) << "," << int(seen.g) << "," << int(seen.b);
    }
    // Done: back down, the same size as before.
    screen->serialField()->resignFirstResponder();
    driver().advance(0.6);
    EXPECT_EQ(screen->view()->frame(), before);
}

TEST_F(BindScreenTest, TheHelpPanelAnswersSixQuestions) {
    ASSERT_TRUE(driver().tapText("帮助"));
    ASSERT_NE(screen->helpPanel(), nullptr);
    const auto& texts = screen->helpPanel()->textList();
    ASSERT_EQ(texts.size(), 12u);
    EXPECT_EQ(texts[4], "3.总是绑定失败怎么办？");
    EXPECT_EQ(texts[6], "4.绑定过程中我该注意什么？");
    EXPECT_NE(texts[7].find("15分钟"), std::string::npos);
    EXPECT_FALSE(screen->navigationItem()->rightBarButtonItem()->isEnabled());
    screen->helpPanel()->closePressed();
    driver().advance(1.0);
    EXPECT_EQ(screen->helpPanel(), nullptr);
    EXPECT_TRUE(screen->navigationItem()->rightBarButtonItem()->isEnabled());
}

// ---------------------------------------------------------------- QR code

class QrBindTest : public BindScreenTest {
protected:
    // From the button to the scanning screen, its camera a feed of one
    // picture: `text` as a QR code. The feed is the phone's camera before the
    // button is tapped, and sends a frame when told.
    ScanReaderViewController* openReader(const std::string& text) {
        return openReader(readertest::qrPicture(text, 480, 640).image);
    }
    ScanReaderViewController* openReader(const ui::ImageRef& picture) {
        const std::string path = testsupport::tempDir("qr-feed") + "/code.png";
        EXPECT_TRUE(picture->writePNG(path));
        media::FileFeedDevice::Options options;
        options.framesPerSecond = 0;
        feed = media::FileFeedDevice::open({path}, options);
        EXPECT_TRUE(feed);
        if (!feed) return nullptr;
        media::CaptureDevice::setDefaultDevice(feed);
        EXPECT_TRUE(driver().tapText("扫描二维码绑定"));
        ScanReaderViewController* reader = screen->qrReader();
        if (!reader) return nullptr;
        EXPECT_EQ(presented(), reader);
        EXPECT_EQ(reader->readerView()->device(), feed);
        driver().advance(0.3);  // the camera started on the turn after the appearance; the shutter opens
        return reader;
    }
    // One frame through the reader, its result on the main thread.
    void showFrame(ScanReaderViewController& reader) {
        ASSERT_TRUE(feed->pushFrame());
        reader.readerView()->captureReader()->captureOutput()->waitUntilIdle();
        driver().settle();
    }
    // What the screen's navigation controller shows over it.
    ui::ViewController* presented() {
        auto* nav = screen->navigationController();
        return nav ? nav->presentedViewController() : screen->presentedViewController();
    }
    std::shared_ptr<media::FileFeedDevice> feed;
};

TEST_F(QrBindTest, TheDemoSerialsCodeBindsThroughTheSerialCommand) {
    ScanReaderViewController* reader = openReader("Q3T7K9");
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(reader->readerView()->isRunning());
    showFrame(*reader);
    ASSERT_TRUE(waitForAlert("绑定成功"));
    finishOverlay(BindViewController::kTagSerial);
    // The scanning screen went away; the serial was sent as a typed one.
    EXPECT_EQ(presented(), nullptr);
    EXPECT_EQ(commands(), (std::vector<int>{0, 16}));
    EXPECT_EQ(*lastFields(16)[2].asString(), "Q3T7K9");
    EXPECT_EQ(defaultsInt("korvxboundstate"), 3);
    // A second frame of the same code after the reader is gone sends nothing more.
    feed->pushFrame();
    driver().settle();
    EXPECT_EQ(commands(), (std::vector<int>{0, 16}));
}

TEST_F(QrBindTest, BarsBesideTheCodeDoNotHideIt) {
    // The serial's code with a few pixels of bar-code-like stripes under it
    // (a label's edge, a price tag): only QR codes are read on this screen,
    // so a poor read of the stripes cannot hold the code back.
    readertest::Canvas card(480, 640);
    card.qr("Q3T7K9", 141, 221, 6);
    card.codabar("A1234B", 150, 400, 6);
    ScanReaderViewController* reader = openReader(card.image());
    ASSERT_NE(reader, nullptr);
    for (int frame = 0; frame < 10 && reader->readerDelegate(); ++frame) showFrame(*reader);
    ASSERT_TRUE(waitForAlert("绑定成功"));
    finishOverlay(BindViewController::kTagSerial);
    EXPECT_EQ(commands(), (std::vector<int>{0, 16}));
    EXPECT_EQ(*lastFields(16)[2].asString(), "Q3T7K9");
}

TEST_F(QrBindTest, CodesThatAreNoSerialAreRefusedWithoutSending) {
    // A NUL byte after six good characters does not end the code's text.
    for (const std::string& text : {std::string("Q3T7K"), std::string("Q3T7K9X"), std::string("Q3,7K9"),
                                    std::string("https://quenta.test/Q3T7K9"), std::string("Q3T7K9\0EVIL", 11)}) {
        SCOPED_TRACE(text.c_str());
        ScanReaderViewController* reader = openReader(text);
        ASSERT_NE(reader, nullptr);
        showFrame(*reader);
        ASSERT_TRUE(waitForAlert("提示"));
        EXPECT_EQ(ui::AlertView::frontmost()->message(), "扫描结果格式不对！请重新扫描");
        ui::AlertView::frontmost()->clickButtonAtIndex(0);
        driver().advance(1.0);
        EXPECT_EQ(presented(), nullptr);
    }
    driver().settle();
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(defaultsInt("korvxboundstate"), 0);
}

TEST_F(QrBindTest, CancelLeavesTheReaderAndSendsNothing) {
    ScanReaderViewController* reader = openReader("Q3T7K9");
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(driver().tapText("取 消"));
    driver().advance(1.0);
    EXPECT_EQ(presented(), nullptr);
    EXPECT_FALSE(reader->readerView()->isStarted());
    EXPECT_TRUE(commands().empty());
}

}  // namespace
