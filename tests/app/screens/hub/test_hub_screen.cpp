// The main screen on the screen fixture: a bound account, the test server,
// the manual clock and the headless window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/core/GetOtp.h"
#include "app/core/SharedScreenState.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/hub/HubScreens.h"
#include "app/screens/hub/KAVOMainFrameViewController.h"
#include "app/screens/token/DcodeViewController.h"
#include "app/screens/token/TokenScreens.h"
#include "lib/json/JsonParser.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Screen.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

using Hub = KAVOMainFrameViewController;

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

class HubTest : public screentest::ScreenFixture {
public:
    HubTest() = default;
    explicit HubTest(Options options) : ScreenFixture(options) {}

protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        foundation::TimeZone::setLocal(foundation::TimeZone::fixed(8 * 3600));
        // Not the first start of this build (which would settle the payment
        // state and take the code off the home page).
        Constants::initPersonalUseCheckAndRateVar();
        defaults().setInteger("korvxboundstate", 3);
        Constants::upDateDBSetValue("1", StoreKeys::otpFast);
        Constants::upDateDBSetValue("0", StoreKeys::keyLogin);
        map = std::make_unique<ui::ScreenMap>();
        registerTokenScreens(*map);
        registerHubScreens(*map);
    }
    void TearDown() override {
        hub.reset();
        ScreenFixture::TearDown();
    }
    void showHub() {
        hub = std::dynamic_pointer_cast<Hub>(show(*map, "KAVOMainFrameViewController"));
        ASSERT_TRUE(hub);
    }
    // The hub part of the server's state.
    foundation::Value hubState() { return *JsonParser().objectWithString(server().controlGet("hub")); }
    int count(int command, const char* op = nullptr) {
        int n = 0;
        for (const foundation::Value& entry : serverLog()) {
            if (entry.get("command")->intValue() != command) continue;
            const foundation::Value* fields = entry.get("fields");
            if (op && !(fields->asArray() && fields->asArray()->size() > 1 && fields->at(1)->description() == op))
                continue;
            ++n;
        }
        return n;
    }
    bool waitForCommand(int command, int times = 1, const char* op = nullptr) {
        return waitFor([&] { return count(command, op) >= times; });
    }
    // Lets the replies of the requests the server has answered arrive.
    void settleReplies() {
        waitFor([] { return false; }, 0.4);
    }
    ui::AlertView* alertTitled(const std::string& title) {
        for (ui::AlertView* a : ui::AlertView::visibleAlerts())
            if (a->title() == title) return a;
        return nullptr;
    }
    std::string store(const char* key) { return Constants::getValueFromDBByKey(key).value_or("<no store>"); }
    // A pending login made `age` seconds ago by the server's clock.
    std::string pending(long long timeMs, const char* business = "登录", const char* checkid = nullptr) {
        std::string entry =
            "{\"time\": " + std::to_string(timeMs) + ", \"location\": \"杭州\", \"business\": \"" + business + "\"";
        if (checkid) entry += std::string(", \"checkid\": \"") + checkid + "\"";
        return entry + "}";
    }
    long long nowMs() { return (long long)clock().now() * 1000; }

    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<Hub> hub;
};

TEST_F(HubTest, ShowsTheAccountAndTheLiveCodeWhichTurnsAtTheWindowBoundary) {
    showHub();
    ASSERT_TRUE(waitFor([&] { return hub->nameLabel()->text() == "小禾"; }));
    EXPECT_EQ(hub->phoneLabel()->text(), "13812345678");
    EXPECT_EQ(store(StoreKeys::username), "小禾");
    EXPECT_FALSE(hub->otpLabel()->isHidden());
    EXPECT_EQ(hub->otpLabel()->text(), GetOtp::otpCreate(account().bid, account().difftime));
    // Icons of the seeded account: push on, no start PIN, no quick verify.
    EXPECT_FALSE(hub->smallImg(0)->isHidden());
    EXPECT_EQ(hub->smallImg(0)->accessibilityLabel(), "push_icon");
    EXPECT_TRUE(hub->smallImg(1)->isHidden());

    // The manual clock starts 20 s into a window: the code holds for 9 s more
    // and turns on the 10th.
    const std::string first = hub->otpLabel()->text();
    driver().advance(9.0);
    EXPECT_EQ(hub->otpLabel()->text(), first);
    driver().advance(1.0);
    EXPECT_NE(hub->otpLabel()->text(), first);
    EXPECT_EQ(hub->otpLabel()->text(), GetOtp::otpCreate(account().bid, account().difftime));

    // The account data are asked for on every appearance.
    hub->viewWillDisappear(false);
    EXPECT_FALSE(hub->codeTimerRunning());
    hub->viewWillAppear(false);
    EXPECT_TRUE(waitForCommand(14, 2, "1"));
}

TEST_F(HubTest, CodeAreaHiddenWhileTheBindingIsNotUsable) {
    defaults().setInteger("korvxboundstate", 2);
    showHub();
    EXPECT_TRUE(hub->otpLabel()->isHidden());
    EXPECT_FALSE(hub->codeTimerRunning());
    // Nor the panel's caption, over nothing.
    EXPECT_EQ(driver().findByText("动态口令"), nullptr);
    defaults().setInteger("korvxboundstate", 10);
    hub->showFast();
    EXPECT_FALSE(hub->otpLabel()->isHidden());
    EXPECT_TRUE(hub->codeTimerRunning());
    EXPECT_NE(driver().findByText("动态口令"), nullptr);
}

TEST_F(HubTest, MissingNameAndShortPhoneAreShownAndStoredAsTheirStandIns) {
    server().control("hub", R"({"user": {"name": "", "phone": "1381234"}})");
    showHub();
    ASSERT_TRUE(waitFor([&] { return hub->nameLabel()->text() == "安全中心"; }));
    EXPECT_EQ(hub->phoneLabel()->text(), "未绑定");
    EXPECT_EQ(store(StoreKeys::username), "安全中心");
    EXPECT_EQ(store(StoreKeys::phoneNo), "未绑定");
}

TEST_F(HubTest, PaymentVerificationTurnedOffByTheServerHidesTheCode) {
    defaults().setInteger("korvxboundstate", 10);
    defaults().setInteger("laststate", 10);
    server().control("hub", R"({"user": {"otp": false}})");
    showHub();
    ASSERT_TRUE(waitFor([&] { return defaults().integerForKey("korvxboundstate") == 0; }));
    EXPECT_EQ(defaults().integerForKey("laststate"), 0);
    EXPECT_TRUE(hub->otpLabel()->isHidden());
}

TEST_F(HubTest, SpokenDigitsPlayInOrderAtTheirSpacingAndASecondPressIsIgnored) {
    showHub();
    const std::string code = hub->otpLabel()->text();
    ASSERT_EQ(code.size(), 6u);
    ASSERT_TRUE(driver().tapAccessibilityLabel("朗读口令"));
    EXPECT_FALSE(hub->showOtpBtn()->isEnabled());
    EXPECT_DOUBLE_EQ(hub->otpBeeper()->alpha(), 0.15);
    driver().advance(1.0);
    hub->playerSound();  // while speaking: nothing more is queued
    driver().advance(2.1);
    const auto& played = hub->speaker().played();
    ASSERT_EQ(played.size(), 6u);
    for (size_t i = 0; i < played.size(); ++i) {
        EXPECT_EQ(played[i].digit, code[i] - '0');
        EXPECT_TRUE(played[i].audible) << "digit " << i;
        if (i) {
            EXPECT_NEAR(played[i].at - played[i - 1].at, 0.6, 1e-6);
        }
    }
    // Ready again one second after the last digit's turn (4.6 s in all).
    driver().advance(1.3);
    EXPECT_FALSE(hub->showOtpBtn()->isEnabled());
    driver().advance(0.25);
    EXPECT_TRUE(hub->showOtpBtn()->isEnabled());
    EXPECT_DOUBLE_EQ(hub->otpBeeper()->alpha(), 1.0);
    EXPECT_EQ(hub->speaker().played().size(), 6u);
}

class HubVerifyTest : public HubTest {
protected:
    void SetUp() override {
        HubTest::SetUp();
        if (HasFatalFailure()) return;
        Constants::upDateDBSetValue("1", StoreKeys::keyLogin);
        // The server's clock is the device's.
        server().control("clock", "{\"time\": " + std::to_string((long long)clock().now()) + "}");
    }
};

TEST_F(HubVerifyTest, PollsEverySixSecondsOnlyWhileTheGateIsOpen) {
    showHub();
    ASSERT_TRUE(waitForCommand(21, 1));
    EXPECT_TRUE(hub->isPolling());
    driver().advance(6.0);
    ASSERT_TRUE(waitForCommand(21, 2));
    driver().advance(5.9);
    settleReplies();
    EXPECT_EQ(count(21), 2);
    driver().advance(0.1);
    ASSERT_TRUE(waitForCommand(21, 3));
    // The one-key-verify tab holds the gate: no polls.
    SharedScreenState::SEIZE_MAIN_PULLING() = 1;
    driver().advance(12.0);
    settleReplies();
    EXPECT_EQ(count(21), 3);
    SharedScreenState::SEIZE_MAIN_PULLING() = 0;
    // Switched off: the poller stops and the gate closes; a quick off and on
    // leaves one poller.
    Constants::upDateDBSetValue("0", StoreKeys::keyLogin);
    hub->viewWillAppear(false);
    EXPECT_FALSE(hub->isPolling());
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 1);
    Constants::upDateDBSetValue("1", StoreKeys::keyLogin);
    hub->viewWillAppear(false);
    hub->viewWillAppear(false);
    ASSERT_TRUE(waitForCommand(21, 4));
    driver().advance(6.0);
    ASSERT_TRUE(waitForCommand(21, 5));
    settleReplies();
    EXPECT_EQ(count(21), 5);
}

TEST_F(HubVerifyTest, ThreeRequestsWithTheLastIgnoredRaiseTheSecondAndLetGoApprovesIt) {
    const long long t = nowMs() - 10'700;  // made 10.7 s ago
    server().control("hub", "{\"pending\": [" + pending(t + 5000, "支付", "C3") + "]}");
    showHub();
    ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
    ASSERT_TRUE(driver().tapText("忽略"));
    driver().advance(0.5);
    EXPECT_FALSE(hub->hasCountdownTimer());
    server().control("hub", "{\"clear_pending\": true, \"pending\": [" + pending(t - 3000, "登录", "C1") + ", " +
                                pending(t, "修改密码", "C2") + ", " + pending(t + 5000, "支付", "C3") + "]}");
    driver().advance(5.5);
    ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
    EXPECT_EQ(hub->verifyAlert()->title(), "一键校验请求");
    EXPECT_EQ(hub->verifyAlert()->message(), "时间：" +
                                                 foundation::formatDate(double(t / 1000), "yyyy-MM-dd HH:mm:ss") +
                                                 "\n地点：杭州\n操作：修改密码\n剩余有效时间：43秒");
    EXPECT_EQ(hub->okvCountDown(), 43);
    driver().advance(1.0);
    EXPECT_EQ(hub->okvCountDown(), 42);
    EXPECT_NE(hub->verifyAlert()->message().find("剩余有效时间：42秒"), std::string::npos);

    ASSERT_TRUE(driver().tapText("放行"));
    ASSERT_TRUE(waitFor([&] { return alertTitled("成功") != nullptr; }));
    EXPECT_EQ(alertTitled("成功")->message(), "放行操作成功");
    foundation::Value state = hubState();
    ASSERT_EQ(state.get("approvals")->asArray()->size(), 1u);
    EXPECT_EQ(state.get("approvals")->at(0)->get("checkid")->description(), "C2");
    EXPECT_FALSE(hub->hasCountdownTimer());
    EXPECT_TRUE(hub->pendingRequests().empty());
    // The let-go ran after a handshake, and polling resumes when its overlay has gone.
    EXPECT_EQ(count(0), 1);
    ASSERT_TRUE(waitFor([&] { return !hub->hud(Hub::kTagLetGo) || !hub->hud(Hub::kTagLetGo)->taskInProgress(); }));
    driver().advance(0.4);
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 0);
    // A tick after the list was emptied changes nothing.
    hub->timerIntervalFunction();
    EXPECT_EQ(hub->okvCountDown(), 0);
}

TEST_F(HubVerifyTest, ARequestRunsOutAtZeroAndStaysIgnored) {
    server().control("hub", "{\"pending\": [" + pending(nowMs() - 57'000) + "]}");
    showHub();
    ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
    EXPECT_EQ(hub->okvCountDown(), 3);
    driver().advance(3.0);
    EXPECT_EQ(hub->okvCountDown(), 0);
    driver().advance(0.5);
    EXPECT_FALSE(hub->verifyAlert()->isVisible());
    EXPECT_FALSE(hub->hasCountdownTimer());
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 0);
    // The next poll lists it again; it is not raised.
    driver().advance(6.0);
    ASSERT_TRUE(waitForCommand(21, 2));
    settleReplies();
    EXPECT_FALSE(hub->verifyAlert()->isVisible());
    EXPECT_TRUE(hubState().get("approvals")->asArray()->empty());
}

TEST_F(HubVerifyTest, TheTokenMenuOpensTheContainerWhoseVerifyTabHoldsTheHubsPolls) {
    defaults().setInteger("nokorvexnotify", 10);
    showHub();
    ASSERT_TRUE(waitForCommand(21, 1));
    ASSERT_TRUE(driver().tapText("禾盾令牌"));
    driver().advance(0.5);
    ASSERT_EQ(std::string(navigation()->topViewController()->className()), "KAVOSafeProductViewController");
    ASSERT_TRUE(driver().tapAccessibilityLabel("一键校验"));
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 1);
    ASSERT_TRUE(waitForCommand(21, 2));
    // A request comes: the tab lists it; the hub, held, neither asks nor
    // raises its alert. 30 seconds are 6 polls of the tab and none of the hub.
    server().control("hub", "{\"pending\": [" + pending(nowMs(), "登录", "H1") + "]}");
    for (int i = 0; i < 6; ++i) {
        driver().advance(5.0);
        ASSERT_TRUE(waitForCommand(21, 3 + i));
    }
    settleReplies();
    EXPECT_EQ(count(21), 8);
    EXPECT_FALSE(hub->verifyAlert()->isVisible());
    ASSERT_TRUE(driver().findByText("操作类型：登录"));
    // Back on the hub, its poller asks again and raises the request.
    navigation()->popViewControllerAnimated(false);
    driver().settle();
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 0);
    driver().advance(6.0);
    ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
}

TEST_F(HubVerifyTest, AFailedLetGoTellsTheUserAndReopensTheGate) {
    server().control("hub", "{\"pending\": [" + pending(nowMs(), "登录", "X1") + "]}");
    showHub();
    ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
    script({{"command", 19}, {"reply", foundation::Dictionary{{"isSuccess", false}}}});
    ASSERT_TRUE(driver().tapText("放行"));
    ASSERT_TRUE(waitFor([&] { return alertTitled("错误") != nullptr; }));
    EXPECT_EQ(alertTitled("错误")->message(), "放行操作失败");
    ASSERT_TRUE(waitFor([&] { return !hub->hud(Hub::kTagLetGo) || !hub->hud(Hub::kTagLetGo)->taskInProgress(); }));
    driver().advance(0.4);
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 0);
}

// Whatever makes the let-go's reply unreadable, the server may have let the
// login through: the pending list is asked again and the user told where the
// request stands, never that the let-go failed. It was sent once.
TEST_F(HubVerifyTest, AnUnreadableLetGoReplyAsksTheServerWhereTheRequestStands) {
    using hub::LoginApprovals;
    struct Case {
        const char* fault;
        bool applied;         // the server let the login through before the reply went wrong
        const char* recheck;  // how the list asked again fails (nullptr: it answers)
        const char* message;
    };
    const Case cases[] = {
        {"garbled", true, nullptr, LoginApprovals::kUnknownGone},
        {"empty", true, nullptr, LoginApprovals::kUnknownGone},
        {"no-content", true, nullptr, LoginApprovals::kUnknownGone},
        {"http500", true, nullptr, LoginApprovals::kUnknownGone},
        {"malformed", true, nullptr, LoginApprovals::kUnknownGone},
        {"oversized", true, nullptr, LoginApprovals::kUnknownGone},
        {"empty", true, "http500", LoginApprovals::kUnknownNoList},
        {"http500", false, nullptr, LoginApprovals::kUnknownStillPending},
    };
    showHub();
    ASSERT_TRUE(waitForCommand(21, 1));
    int sent = 0;
    size_t approved = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.applied ? " applied" : " not applied"));
        const std::string checkid = "F" + std::to_string(sent + 1);
        server().control("hub", "{\"pending\": [" + pending(nowMs(), "登录", checkid.c_str()) + "]}");
        driver().advance(6.0);
        ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
        script({{"command", 19}, {"fault", c.fault}, {"apply", c.applied}});
        if (c.recheck) script({{"command", 21}, {"fault", c.recheck}});
        ASSERT_TRUE(driver().tapText("放行"));
        ASSERT_TRUE(waitFor([&] { return alertTitled(LoginApprovals::kUnknownTitle) != nullptr; }));
        EXPECT_EQ(alertTitled(LoginApprovals::kUnknownTitle)->message(), c.message);
        EXPECT_FALSE(alertTitled("错误"));
        alertTitled(LoginApprovals::kUnknownTitle)->clickButtonAtIndex(0);
        ASSERT_TRUE(waitFor([&] { return !hub->hud(Hub::kTagLetGo) || !hub->hud(Hub::kTagLetGo)->taskInProgress(); }));
        driver().advance(0.4);
        EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 0);
        EXPECT_EQ(count(19), ++sent);
        if (c.applied) ++approved;
        EXPECT_EQ(hubState().get("approvals")->asArray()->size(), approved);
        if (!c.applied) {
            // Still pending on the server: the next poll puts it to the user again.
            driver().advance(6.0);
            ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
            EXPECT_NE(hub->verifyAlert()->message().find("操作：登录"), std::string::npos);
        }
        server().control("hub", "{\"clear_pending\": true}");
    }
}

// The phone's clock moved by two hours after binding (the stored difference
// is still 0): the server's date puts the countdown right, so the request is
// shown with the time it really has left, never more than its 60 seconds.
TEST_F(HubVerifyTest, APhoneClockMovedSinceBindingShowsTheRequestWithItsTrueTimeLeft) {
    showHub();
    ASSERT_TRUE(waitForCommand(21, 1));
    for (long long skew : {7200LL, -7200LL}) {
        SCOPED_TRACE(skew);
        const long long serverAtPoll = (long long)(clock().now() + 6.0) - skew;
        server().control("clock", "{\"time\": " + std::to_string(serverAtPoll) + "}");
        server().control("hub", "{\"clear_pending\": true, \"pending\": [" +
                                    pending((serverAtPoll - 10) * 1000, "登录", skew > 0 ? "AHEAD" : "BEHIND") + "]}");
        driver().advance(6.0);
        ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
        EXPECT_EQ(hub->okvCountDown(), 50);
        EXPECT_NE(hub->verifyAlert()->message().find("剩余有效时间：50秒"), std::string::npos)
            << hub->verifyAlert()->message();
        ASSERT_TRUE(driver().tapText("忽略"));
        driver().advance(0.5);
    }
}

// A request left over from an earlier start, whose minute has long run out,
// is not raised however long the server lists it; a fresh one still is.
TEST_F(HubVerifyTest, ARequestWhoseTimeHasRunOutIsNotShownAsPending) {
    server().control("hub", "{\"pending\": [" + pending(nowMs() - 245'000, "登录", "OLD") + "]}");
    showHub();
    for (int poll = 1; poll <= 2; ++poll) {
        ASSERT_TRUE(waitForCommand(21, poll));
        settleReplies();
        EXPECT_FALSE(hub->verifyAlert()->isVisible()) << hub->verifyAlert()->message();
        EXPECT_FALSE(hub->hasCountdownTimer());
        driver().advance(6.0);
    }

    server().control("hub", "{\"pending\": [" + pending(nowMs() - 20'000, "支付", "NEW") + "]}");
    driver().advance(6.0);
    ASSERT_TRUE(waitFor([&] { return hub->verifyAlert()->isVisible(); }));
    EXPECT_NEAR(hub->okvCountDown(), 34, 1);
    EXPECT_NE(hub->verifyAlert()->message().find("操作：支付"), std::string::npos);
}

TEST_F(HubTest, PaymentHandBackTable) {
    struct Case {
        const char* token;  // nullptr: none stored
        const char* message;
    };
    const Case cases[] = {
        {"kverror:余额不足", "余额不足"}, {"kverror:", "操作中断，请重试"}, {nullptr, "操作中断，请重试"}};
    showHub();
    for (const Case& c : cases) {
        defaults().setInteger("korvxboundstate", 1);
        defaults().setInteger("laststate", 3);
        if (c.token)
            defaults().setString("korvextoken", c.token);
        else
            defaults().removeObjectForKey("korvextoken");
        hub->viewDidAppear(false);
        ui::AlertView* alert = alertTitled("开通付款验证失败");
        ASSERT_TRUE(alert) << (c.token ? c.token : "nil");
        EXPECT_EQ(alert->message(), c.message);
        EXPECT_EQ(defaults().integerForKey("korvxboundstate"), 3);
        EXPECT_EQ(defaults().stringForKey("korvextoken"), std::optional<std::string>(""));
        alert->clickButtonAtIndex(0);
        driver().advance(0.5);
    }
    settleReplies();
    EXPECT_EQ(count(33), 0);
}

TEST_F(HubTest, PaymentVerificationCompletesWithCommand33) {
    defaults().setInteger("korvxboundstate", 1);
    defaults().setInteger("laststate", 3);
    defaults().setString("korvextoken", "T123");
    // The server's clock runs 10 s ahead of the phone's.
    server().control("clock", "{\"time\": " + std::to_string((long long)clock().now() + 10) + "}");
    showHub();
    ASSERT_TRUE(waitFor([&] { return alertTitled("提示") != nullptr; }));
    EXPECT_EQ(alertTitled("提示")->message(), "岚付通付款验证开通成功");
    EXPECT_EQ(defaults().integerForKey("korvxboundstate"), 10);
    EXPECT_EQ(defaults().integerForKey("laststate"), 10);
    EXPECT_EQ(store(StoreKeys::diffTime), "10");
    EXPECT_EQ(store(StoreKeys::otpFast), "1");
    EXPECT_EQ(hub->otpLabel()->text(), GetOtp::otpCreate(account().bid, "10"));
    EXPECT_EQ(hubState().get("korvex_tokens")->at(0)->description(), "T123");
    EXPECT_EQ(hub->smallImg(1)->accessibilityLabel(), "pay_icon");
}

TEST_F(HubTest, AFailedCommand33EndsItsOverlayAndKeepsTheRestoredState) {
    defaults().setInteger("korvxboundstate", 1);
    defaults().setInteger("laststate", 3);
    defaults().setString("korvextoken", "T9");
    script({{"command", 33}, {"fault", "http500"}});
    showHub();
    ASSERT_TRUE(waitForCommand(33));
    ASSERT_TRUE(waitFor([&] { return !hub->hud(Hub::kTagKorvex) || !hub->hud(Hub::kTagKorvex)->taskInProgress(); }));
    EXPECT_EQ(defaults().integerForKey("korvxboundstate"), 3);
    EXPECT_EQ(alertTitled("提示"), nullptr);
    driver().advance(0.4);
    // A refusal shows the server's own message.
    defaults().setInteger("korvxboundstate", 1);
    defaults().setString("korvextoken", "T10");
    server().control("hub", R"({"korvex": {"result": 415, "message": "该账户暂不支持"}})");
    hub->viewDidAppear(false);
    ASSERT_TRUE(waitFor([&] { return alertTitled("提示") != nullptr; }));
    EXPECT_EQ(alertTitled("提示")->message(), "该账户暂不支持");
    EXPECT_EQ(defaults().integerForKey("korvxboundstate"), 3);
}

TEST_F(HubTest, LockOverlayAcrossTheHourAndAlignedWithTheServer) {
    // 08:30 in +08:00; the server reports hour 8 locked while none is stored.
    clock().setWallTime(1700008200);
    server().control("hub", R"({"user": {"duration": 256, "enabletime": 1700000000000}})");
    showHub();
    ASSERT_TRUE(waitFor([&] { return defaults().integerForKey("accountlock") == 256; }));
    EXPECT_EQ(defaults().dateForKey("alldayaclocktime")->seconds, 1700000000);
    EXPECT_FALSE(hub->dimLayer()->isHidden());
    EXPECT_EQ(hub->smallImg(1)->accessibilityLabel(), "zzsd");
    // One minute after 09:00 the overlay is looked at again and goes.
    driver().advance(1858);
    EXPECT_FALSE(hub->dimLayer()->isHidden());
    driver().advance(3);
    EXPECT_TRUE(hub->dimLayer()->isHidden());

    // A reply without "duration" leaves the stored mask alone.
    server().control("hub", R"({"user": {"duration": null}})");
    hub->viewWillAppear(false);
    ASSERT_TRUE(waitForCommand(14, 2, "1"));
    settleReplies();
    EXPECT_EQ(defaults().integerForKey("accountlock"), 256);
    // The server's lock lifted: both values go.
    server().control("hub", R"({"user": {"duration": 0}})");
    hub->viewWillAppear(false);
    ASSERT_TRUE(waitFor([&] { return defaults().integerForKey("accountlock") == 0; }));
    EXPECT_FALSE(defaults().objectForKey("alldayaclocktime"));
}

// An all-day lock dims the hub, and its buttons still lead on (the
// protections screen, where the lock is lifted, among them).
TEST_F(HubTest, TheLockOverlayDimsButLetsTheButtonsWork) {
    defaults().setInteger("accountlock", 0xFFFFFF);
    server().control("hub", R"({"user": {"duration": 16777215, "enabletime": 1700000000000}})");
    map->registerScreen("KAVOSettingViewController", [] { return std::make_shared<ui::ViewController>(); });
    showHub();
    ASSERT_FALSE(hub->dimLayer()->isHidden());
    ui::View* button = driver().findByText("设置");
    ASSERT_NE(button, nullptr);
    driver().tap(button);
    driver().advance(0.5);
    EXPECT_EQ(map->performedSegues(),
              std::vector<std::string>{"KAVOMainFrameViewController->showSetting->KAVOSettingViewController"});
}

TEST_F(HubTest, BadgeShowsTheCountHidesZeroAndKeepsItOnFailure) {
    server().control("hub", R"({"user": {"count": 12}})");
    showHub();
    ASSERT_TRUE(waitFor([&] { return hub->customBadge() != nullptr; }));
    EXPECT_EQ(hub->customBadge()->badgeText(), "12");
    EXPECT_FALSE(hub->customBadge()->isHidden());
    EXPECT_EQ(hub->customBadge()->center().x, 290);
    EXPECT_EQ(hub->customBadge()->center().y, 160);
    CustomBadge* first = hub->customBadge();
    script({{"command", 14}, {"fault", "drop"}});  // the badge request goes first
    hub->viewWillAppear(false);
    ASSERT_TRUE(waitFor([&] { return hub->customBadge() != first; }));
    EXPECT_EQ(hub->customBadge()->badgeText(), "12");
    server().control("hub", R"({"user": {"count": 0}})");
    CustomBadge* second = hub->customBadge();
    hub->viewWillAppear(false);
    ASSERT_TRUE(waitFor([&] { return hub->customBadge() != second; }));
    EXPECT_TRUE(hub->customBadge()->isHidden());
}

TEST_F(HubTest, AdvertShownOnlyWhileTheHubIsVisible) {
    showHub();
    ASSERT_TRUE(waitFor([] { return !DnNotificationManager::sharedManager().notificationQueueForAD().empty(); }));
    EXPECT_EQ(store(StoreKeys::adversion), "2");
    // Seen: the next appearance is offered nothing.
    hub->viewWillDisappear(false);
    EXPECT_TRUE(DnNotificationManager::sharedManager().notificationQueueForAD().empty());

    // A new advert whose picture arrives after the hub has gone.
    server().control("hub", R"({"advert": {"version": "3"}})");
    hub->viewWillAppear(false);
    hub->viewWillDisappear(false);
    ASSERT_TRUE(waitFor([&] { return store(StoreKeys::adversion) == "3"; }));
    settleReplies();
    EXPECT_TRUE(DnNotificationManager::sharedManager().notificationQueueForAD().empty());

    // A picture that does not decode queues nothing.
    server().control("hub", R"({"advert": {"version": "4", "broken": true}})");
    hub->viewWillAppear(false);
    ASSERT_TRUE(waitFor([&] { return store(StoreKeys::adversion) == "4"; }));
    settleReplies();
    EXPECT_TRUE(DnNotificationManager::sharedManager().notificationQueueForAD().empty());
}

TEST_F(HubTest, PhotoAndStoreVersionAreFetchedOnce) {
    server().control("hub", R"({"store_versions": ["3.0.1", "3.1.0"]})");
    showHub();
    ASSERT_TRUE(waitFor([&] { return store(StoreKeys::remote_version) == "3.1.0"; }));
    ASSERT_TRUE(waitFor([&] { return defaults().objectForKey(Hub::kPhotoKey).has_value(); }));
    EXPECT_NE(store(StoreKeys::imageUrl).find("/hub/photo.png"), std::string::npos);
    // A second screen in the same process does not look the store up again.
    Constants::upDateDBSetValue("", StoreKeys::remote_version);
    auto again =
        std::dynamic_pointer_cast<Hub>(map->instantiateViewControllerWithIdentifier("KAVOMainFrameViewController"));
    again->view();
    settleReplies();
    EXPECT_EQ(store(StoreKeys::remote_version), "");
}

TEST_F(HubTest, QuickNineStarSheetOpensAndClosesWithATap) {
    showHub();
    ASSERT_TRUE(driver().tapText("快速查看九星码"));
    driver().advance(0.6);
    ASSERT_TRUE(hub->semiModalView());
    // The nine-star screen in its compact form: the grid and the countdown,
    // without its calibration button and switch.
    EXPECT_NE(driver().findByText("九星连珠将在10秒后更新"), nullptr);
    EXPECT_EQ(driver().findByText("时间校准"), nullptr);
    ASSERT_TRUE(driver().tapAccessibilityLabel("关闭九星码"));
    driver().advance(0.6);
    EXPECT_EQ(driver().findByText("九星连珠将在10秒后更新"), nullptr);
}

// The hub on the tall screen (320x568 points at scale 2).
class TallHubTest : public HubTest {
public:
    TallHubTest() : HubTest(Options{.tall = true}) {}

protected:
    // A hub loaded (not shown) on the 320x480 screen or on the tall one.
    std::shared_ptr<Hub> loadedHub(bool tall) {
        ui::Screen::main().setSize({320, tall ? 568.0 : 480.0});
        ui::Screen::main().setScale(tall ? 2 : 1);
        auto loaded =
            std::dynamic_pointer_cast<Hub>(map->instantiateViewControllerWithIdentifier("KAVOMainFrameViewController"));
        if (loaded) loaded->view();
        ui::Screen::main().setSize({320, 568});
        ui::Screen::main().setScale(2);
        return loaded;
    }
};

// The tall screen moves every part of the hub narrower than the screen down
// 35 points and the code, its speaker and their buttons 45 more; the code
// stays in its panel, over nothing else, and all of the hub in the window.
TEST_F(TallHubTest, TheHubMovesDownOnceAndKeepsTheCodeInItsPanel) {
    auto before = loadedHub(false);
    auto after = loadedHub(true);
    ASSERT_TRUE(before && after);
    const auto& parts = after->view()->subviews();
    ASSERT_EQ(parts.size(), before->view()->subviews().size());
    EXPECT_EQ(after->dynamicBackGroundImage()->frame(), (ui::Rect{0, 0, 320, 568}));
    const std::vector<ui::View*> code = {after->otpLabel(), after->otpBeeper(), after->showOtpBtn(),
                                         after->showJiuBtn()};
    for (size_t i = 0; i < parts.size(); ++i) {
        ui::View* part = parts[i].get();
        const ui::Rect was = before->view()->subviews()[i]->frame();
        if (part == after->dynamicBackGroundImage() || was.width() == 320) continue;
        const bool inCode = std::find(code.begin(), code.end(), part) != code.end();
        // What lies under the code goes down with it.
        const bool underCode = part == after->quickJiuBtn() || was.y() >= 420;
        SCOPED_TRACE(std::string(part->className()) + " at " + std::to_string(was.y()));
        EXPECT_EQ(part->frame().y() - was.y(), inCode || underCode ? 80 : 35);
    }
    const ui::Rect panel = after->codePanel()->frame();
    for (ui::View* v : {static_cast<ui::View*>(after->otpLabel()), static_cast<ui::View*>(after->otpBeeper()),
                        static_cast<ui::View*>(after->showOtpBtn())})
        EXPECT_TRUE(panel.containsRect(v->frame())) << v->frame().y() << " in " << panel.y() << "+" << panel.height();
    EXPECT_GE(after->quickJiuBtn()->frame().y(), panel.maxY());
    EXPECT_GE(after->smallImg(0)->frame().y(), after->quickJiuBtn()->frame().maxY());
    for (const auto& part : parts) EXPECT_LE(part->frame().maxY(), 568) << part->className();
    // The lock's dimming covers the whole screen.
    EXPECT_EQ(after->dimLayer()->frame(), (ui::Rect{0, 0, 320, 568}));

    // Shown, the security log's badge sits on its button, moved with it.
    server().control("hub", R"({"user": {"count": 3}})");
    showHub();
    ASSERT_TRUE(waitFor([&] { return hub->customBadge() && hub->customBadge()->badgeText() == "3"; }));
    EXPECT_EQ(hub->customBadge()->center().y, 160 + 35);
}

// The quick sheet on the tall screen: its countdown and bar lie inside the
// sheet, in the window.
TEST_F(TallHubTest, TheQuickSheetShowsItsCountdownAndBar) {
    showHub();
    ASSERT_TRUE(driver().tapText("快速查看九星码"));
    driver().advance(0.6);
    auto* sheet = dynamic_cast<DcodeViewController*>(hub->semiModalView().get());
    ASSERT_TRUE(sheet);
    const ui::Rect bounds = sheet->view()->bounds();
    EXPECT_EQ(bounds.height(), 295);
    for (ui::View* part : {static_cast<ui::View*>(sheet->lable()), static_cast<ui::View*>(sheet->progressView())}) {
        EXPECT_TRUE(bounds.containsRect(part->frame())) << part->frame().y() << "+" << part->frame().height();
        const ui::Rect shown = part->convertRectToView(part->bounds(), &driver().window());
        EXPECT_LE(shown.maxY(), 568);
    }
    EXPECT_NE(driver().findByText("九星连珠将在10秒后更新"), nullptr);
}

}  // namespace
