// The product container and its one-key-verify tab on the screen fixture: a
// bound account, the test server's pending requests, the manual clock for
// the 5-second poll, and the container pushed over a plain root screen so
// that it can be left.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/core/DBController.h"
#include "app/core/SharedScreenState.h"
#include "app/cycle/Constants.h"
#include "app/screens/token/DcodeViewController.h"
#include "app/screens/token/KAVOOneKeyVerifyViewController.h"
#include "app/screens/token/KAVOSafeProductViewController.h"
#include "app/screens/token/OTPLayer.h"
#include "app/screens/token/OtpViewController.h"
#include "app/screens/token/TokenScreens.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/json/JsonParser.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/ExampleModalPanel.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/Context.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScrollView.h"
#include "tests/support/e2e/Pixels.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

using Container = KAVOSafeProductViewController;
using Verify = KAVOOneKeyVerifyViewController;

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

class ProductTest : public screentest::ScreenFixture {
public:
    ProductTest() = default;
    explicit ProductTest(Options options) : ScreenFixture(options) {}

protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        foundation::TimeZone::setLocal(foundation::TimeZone::fixed(8 * 3600));
        defaults().setInteger("korvxboundstate", 10);
        registerTokenScreens(map);
        clock().setWallTime(1700000000.5);
        server().control("clock", "{\"time\": " + std::to_string((long long)clock().now()) + "}");
        root = show(std::make_shared<ui::ViewController>());
    }
    void TearDown() override {
        container.reset();
        root.reset();
        ScreenFixture::TearDown();
        gl::Context::clearCurrent();
    }
    // Pushes a new container over the root, as the main screen's menu does.
    void enter() {
        container = std::dynamic_pointer_cast<Container>(
            map.instantiateViewControllerWithIdentifier(Container::kScreenIdentifier));
        ASSERT_TRUE(container);
        navigation()->pushViewController(container, false);
        driver().settle();
    }
    void leave() {
        navigation()->popViewControllerAnimated(false);
        driver().settle();
    }
    Verify* verifyTab() { return dynamic_cast<Verify*>(container->OKVViewController()); }
    // The container on its verify tab, with the first poll's reply in.
    void enterVerifyTab(size_t rows) {
        enter();
        container->OKVButtonPressed();
        ASSERT_TRUE(verifyTab());
        ASSERT_TRUE(waitFor([&] { return count(21) >= 1 && verifyTab()->requests().size() == rows; }));
        driver().settle();
    }
    void advancePoll() {
        const int before = count(21);
        driver().advance(Verify::kPollPeriod);
        ASSERT_TRUE(waitFor([&] { return count(21) > before; }));
        settleReplies();
    }
    void settleReplies() {
        waitFor([] { return false; }, 0.4);
    }
    int count(int command) {
        int n = 0;
        for (const foundation::Value& entry : serverLog())
            if (entry.get("command")->intValue() == command) ++n;
        return n;
    }
    void setPending(const std::vector<std::pair<std::string, std::string>>& rows) {  // (checkid, business)
        std::string list;
        for (const auto& [checkid, business] : rows) {
            if (!list.empty()) list += ", ";
            list += "{\"time\": " + std::to_string(timeMs) + ", \"location\": \"杭州\", \"business\": \"" + business +
                    "\", \"checkid\": \"" + checkid + "\"}";
        }
        server().control("hub", "{\"clear_pending\": true, \"pending\": [" + list + "]}");
    }
    std::vector<std::string> approvals() {
        std::vector<std::string> ids;
        foundation::Value state = *JsonParser().objectWithString(server().controlGet("hub"));
        for (const foundation::Value& a : *state.get("approvals")->asArray())
            ids.push_back(a.get("checkid")->description());
        return ids;
    }
    bool noticeShown(const std::string& text) {
        for (const std::string& t : noticeTexts())
            if (t == text) return true;
        return false;
    }
    ui::AlertView* alertTitled(const std::string& title) {
        for (ui::AlertView* a : ui::AlertView::visibleAlerts())
            if (a->title() == title) return a;
        return nullptr;
    }
    // The let-go button of the row.
    ui::Button* letGoButton(int row) {
        auto* cell =
            dynamic_cast<KAVOOneKeyVerifyfCustomCell*>(verifyTab()->tableView()->cellForRowAtIndexPath({0, row}));
        return cell ? cell->letGoButton() : nullptr;
    }
    bool letGoEnded() {
        auto hud = verifyTab()->hud(Verify::kTagLetGo);
        return !hud || !hud->taskInProgress();
    }

    const long long timeMs = 1700000000LL * 1000 - 7000;
    ui::ScreenMap map;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<Container> container;
};

// ---------------------------------------------------------------- the verify tab

TEST_F(ProductTest, TheVerifyTabShowsOneRowPerRequestAndTheEmptyTextWhenThereAreNone) {
    setPending({{"A1", "登录"}, {"A2", "修改密码"}});
    enterVerifyTab(2);
    Verify* tab = verifyTab();
    EXPECT_TRUE(tab->statusBar()->isHidden());
    EXPECT_EQ(tab->tableView()->numberOfRowsInSection(0), 2);
    auto* cell = dynamic_cast<KAVOOneKeyVerifyfCustomCell*>(tab->tableView()->cellForRowAtIndexPath({0, 1}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->titleLabel()->text(), "操作类型：修改密码");
    EXPECT_EQ(cell->locationTitle()->text(), "地点:杭州");
    // 1699999993 seconds is 2023-11-15 06:13:13 at UTC+8.
    EXPECT_EQ(cell->subTitleLabel()->text(), "时间:2023-11-15 06:13:13");
    EXPECT_EQ(cell->cellIndex(), 1);
    ASSERT_TRUE(cell->customImageView()->image());
    // The poll asks every 5 seconds with the stored uuid, no handshake.
    EXPECT_EQ(count(0), 0);
    setPending({});
    advancePoll();
    EXPECT_EQ(count(21), 2);
    EXPECT_TRUE(tab->requests().empty());
    EXPECT_FALSE(tab->statusBar()->isHidden());
    EXPECT_TRUE(tab->statusBar()->isEnabled());
    EXPECT_EQ(tab->statusBar()->text(), "当前没有待处理的校验请求");
    EXPECT_EQ(tab->tableView()->numberOfRowsInSection(0), 0);
    // A refusal of the poll shows an empty table.
    setPending({{"A3", "登录"}});
    advancePoll();
    ASSERT_EQ(tab->requests().size(), 1u);
    script({{"command", 21}, {"reply", foundation::Dictionary{{"isSuccess", false}}}});
    advancePoll();
    EXPECT_TRUE(tab->requests().empty());
    EXPECT_FALSE(tab->statusBar()->isHidden());
}

TEST_F(ProductTest, OneRowIsLetGoAtOnceAndLeavesTheList) {
    setPending({{"S1", "登录"}});
    enterVerifyTab(1);
    ASSERT_TRUE(driver().tapText("放行"));
    ASSERT_TRUE(waitFor([&] { return noticeShown("放行操作成功"); }));
    EXPECT_EQ(approvals(), std::vector<std::string>{"S1"});
    EXPECT_TRUE(alertTitled("警告") == nullptr);
    EXPECT_TRUE(verifyTab()->requests().empty());
    EXPECT_FALSE(verifyTab()->statusBar()->isHidden());
    EXPECT_EQ(verifyTab()->currentCellIndex(), -1);
    // The let-go ran after a handshake, and the poll goes on once its overlay has gone.
    EXPECT_EQ(count(0), 1);
    EXPECT_EQ(count(19), 1);
    EXPECT_EQ(verifyTab()->seizePulling(), 1);
    ASSERT_TRUE(waitFor([&] { return letGoEnded(); }));
    driver().advance(0.4);
    EXPECT_EQ(verifyTab()->seizePulling(), 0);
    EXPECT_TRUE(container->navigationItem()->leftBarButtonItem()->isEnabled());
}

TEST_F(ProductTest, TwoRowsAskFirstCancelSendsNothingAndConfirmLetsTheTappedRowGo) {
    setPending({{"M1", "登录"}, {"M2", "支付"}});
    enterVerifyTab(2);
    ASSERT_TRUE(driver().tap(letGoButton(1)));
    ui::AlertView* confirm = alertTitled("警告");
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->message(), "您有多条记录正等待放行，账户有可能被盗，确定放行？");
    EXPECT_EQ(verifyTab()->currentCellIndex(), 1);
    ASSERT_TRUE(driver().tapText("取消"));
    driver().advance(0.5);
    settleReplies();
    EXPECT_EQ(verifyTab()->currentCellIndex(), -1);
    EXPECT_EQ(count(0), 0);
    EXPECT_EQ(count(19), 0);
    EXPECT_EQ(verifyTab()->requests().size(), 2u);

    ASSERT_TRUE(driver().tap(letGoButton(1)));
    ASSERT_TRUE(alertTitled("警告"));
    ASSERT_TRUE(driver().tapText("确定"));
    ASSERT_TRUE(waitFor([&] { return noticeShown("放行操作成功"); }));
    EXPECT_EQ(approvals(), std::vector<std::string>{"M2"});
    ASSERT_EQ(verifyTab()->requests().size(), 1u);
    EXPECT_EQ(verifyTab()->requests()[0].checkid, "M1");
    EXPECT_TRUE(verifyTab()->statusBar()->isHidden());
}

TEST_F(ProductTest, TheConfirmedRequestIsTheTappedOneWhateverThePollDidMeanwhile) {
    setPending({{"R1", "登录"}, {"R2", "支付"}});
    enterVerifyTab(2);
    ASSERT_TRUE(driver().tap(letGoButton(1)));  // R2
    ASSERT_TRUE(alertTitled("警告"));
    // The poll goes on under the confirmation and turns the list round.
    setPending({{"R3", "修改密码"}, {"R2", "支付"}, {"R1", "登录"}});
    advancePoll();
    ASSERT_EQ(verifyTab()->requests().size(), 3u);
    ASSERT_EQ(verifyTab()->requests()[1].checkid, "R2");
    ASSERT_EQ(verifyTab()->requests()[2].checkid, "R1");
    setPending({{"R3", "修改密码"}, {"R1", "登录"}, {"R2", "支付"}});
    advancePoll();
    ASSERT_EQ(verifyTab()->requests()[1].checkid, "R1");
    ASSERT_TRUE(driver().tapText("确定"));
    ASSERT_TRUE(waitFor([&] { return noticeShown("放行操作成功"); }));
    EXPECT_EQ(approvals(), std::vector<std::string>{"R2"});
    // Exactly that row left the list.
    ASSERT_EQ(verifyTab()->requests().size(), 2u);
    EXPECT_EQ(verifyTab()->requests()[0].checkid, "R3");
    EXPECT_EQ(verifyTab()->requests()[1].checkid, "R1");

    // A request that left the list while the confirmation was up is not sent.
    ASSERT_TRUE(waitFor([&] { return letGoEnded(); }));
    driver().advance(0.4);
    ASSERT_TRUE(driver().tap(letGoButton(0)));  // R3
    ASSERT_TRUE(alertTitled("警告"));
    setPending({{"R1", "登录"}});
    advancePoll();
    ASSERT_EQ(verifyTab()->requests().size(), 1u);
    const int handshakes = count(0);
    ASSERT_TRUE(driver().tapText("确定"));
    driver().advance(0.5);
    settleReplies();
    EXPECT_EQ(count(0), handshakes);
    EXPECT_EQ(count(19), 1);
    EXPECT_EQ(verifyTab()->currentCellIndex(), -1);
    EXPECT_EQ(verifyTab()->seizePulling(), 0);
}

TEST_F(ProductTest, ARefusedLetGoShowsTheServersMessageAndKeepsTheRow) {
    setPending({{"F1", "登录"}});
    enterVerifyTab(1);
    struct Case {
        foundation::Dictionary reply;
        const char* notice;
    };
    const Case cases[] = {
        {{{"isSuccess", false}, {"message", "该请求已过期"}}, "该请求已过期"},
        // Without a message of its own the refusal still says so.
        {{{"isSuccess", false}}, "放行操作失败"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notice);
        script({{"command", 19}, {"reply", c.reply}});
        ASSERT_TRUE(driver().tapText("放行"));
        ASSERT_TRUE(waitFor([&] { return noticeShown(c.notice); }));
        EXPECT_EQ(verifyTab()->requests().size(), 1u);
        EXPECT_EQ(verifyTab()->currentCellIndex(), -1);
        ASSERT_TRUE(waitFor([&] { return letGoEnded(); }));
        driver().advance(0.4);
        EXPECT_EQ(verifyTab()->seizePulling(), 0);
    }
    EXPECT_TRUE(approvals().empty());
    // A transport failure of the let-go: the network notice.
    script({{"command", 19}, {"fault", "drop"}});
    ASSERT_TRUE(driver().tapText("放行"));
    ASSERT_TRUE(waitFor([&] { return noticeShown("您的网络不稳定，请稍后再试"); }));
    EXPECT_EQ(verifyTab()->currentCellIndex(), -1);
}

// However the let-go's reply cannot be read, the server may have let the
// login through: the user is told each time that the outcome is unknown (not
// once per stay, as for the background polls), the list is asked for at once
// and shows what the server holds, and the let-go was sent once.
TEST_F(ProductTest, EveryUnreadableLetGoReplyIsToldAndTheListAskedAgain) {
    struct Case {
        const char* fault;
        bool applied;  // the server let the login through before the reply went wrong
    };
    const Case cases[] = {{"empty", true},     {"no-content", true}, {"http500", true}, {"malformed", true},
                          {"oversized", true}, {"garbled", true},    {"http500", false}};
    setPending({{"U0", "登录"}});
    enterVerifyTab(1);
    int sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.applied ? " applied" : ""));
        const std::string checkid = "U" + std::to_string(sent + 1);
        setPending({{checkid, "登录"}});
        advancePoll();
        ASSERT_TRUE(waitFor(
            [&] { return verifyTab()->requests().size() == 1 && verifyTab()->requests()[0].checkid == checkid; }));
        driver().settle();
        DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
        script({{"command", 19}, {"fault", c.fault}, {"apply", c.applied}});
        const int polls = count(21);
        ASSERT_TRUE(driver().tapText("放行"));
        ASSERT_TRUE(waitFor([&] { return noticeShown(Verify::kLetGoUnknownText); }));
        EXPECT_FALSE(noticeShown(Verify::kLetGoRefusedText));
        ASSERT_TRUE(waitFor([&] { return letGoEnded(); }));
        driver().advance(0.4);
        // Asked again without waiting for the next period.
        ASSERT_TRUE(waitFor([&] { return count(21) > polls; }));
        ASSERT_TRUE(waitFor([&] { return verifyTab()->requests().size() == (c.applied ? 0u : 1u); }));
        EXPECT_EQ(verifyTab()->currentCellIndex(), -1);
        EXPECT_EQ(count(19), ++sent);
    }
}

TEST_F(ProductTest, NetworkTroubleIsToldOncePerStayOnTheTab) {
    setPending({{"N1", "登录"}});
    enterVerifyTab(1);
    const std::string network = "您的网络不稳定，请稍后再试";
    script({{"command", 21}, {"fault", "http500"}});
    advancePoll();
    ASSERT_TRUE(waitFor([&] { return noticeShown(network); }));
    DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
    for (const char* fault : {"malformed", "drop", "http500"}) {
        SCOPED_TRACE(fault);
        script({{"command", 21}, {"fault", fault}});
        advancePoll();
        EXPECT_FALSE(noticeShown(network));
    }
    EXPECT_FALSE(verifyTab()->firstNetFail());
    // The list of the last good reply stays.
    EXPECT_EQ(verifyTab()->requests().size(), 1u);

    // Away to the code tab and back: the next failure is told again.
    container->OTPButtonPressed();
    container->OKVButtonPressed();
    EXPECT_TRUE(verifyTab()->firstNetFail());
    ASSERT_TRUE(waitFor([&] { return count(21) >= 6; }));
    settleReplies();
    script({{"command", 21}, {"fault", "http500"}});
    DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
    advancePoll();
    ASSERT_TRUE(waitFor([&] { return noticeShown(network); }));
}

TEST_F(ProductTest, ARemoteLogOutInAPollWipesTheAppAndItsAlertEndsIt) {
    setPending({{"L1", "登录"}});
    enterVerifyTab(1);
    script({{"command", 21}, {"result", 201}});
    driver().advance(Verify::kPollPeriod);
    ASSERT_TRUE(waitFor([&] { return !ui::AlertView::visibleAlerts().empty(); }));
    ui::AlertView* alert = ui::AlertView::visibleAlerts().back();
    EXPECT_EQ(alert->tag(), 0xFFFF);
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_TRUE(exits().empty());
    alert->clickButtonAtIndex(0);
    driver().advance(0.5);
    EXPECT_EQ(exits(), std::vector<int>{0});
}

TEST_F(ProductTest, TheMainScreensGateIsHeldWhileTheTabIsOnScreenAndOnePollerRuns) {
    SharedScreenState::SEIZE_MAIN_PULLING() = 0;  // the main screen polls
    enter();
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 0);  // the code tab holds nothing
    container->OKVButtonPressed();
    Verify* tab = verifyTab();
    ASSERT_TRUE(tab);
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 1);
    EXPECT_TRUE(tab->isPolling());
    ASSERT_TRUE(waitFor([&] { return count(21) == 1; }));

    // Off the tab and back within a poll period, twice: still one poller.
    container->JIUXINGButtonPressed();
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 0);
    EXPECT_FALSE(tab->isPolling());
    EXPECT_EQ(tab->keepPulling(), 0);
    driver().advance(2.0);
    container->OKVButtonPressed();
    container->OTPButtonPressed();
    container->OKVButtonPressed();
    EXPECT_EQ(verifyTab(), tab);  // the same tab, made once
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 1);
    ASSERT_TRUE(waitFor([&] { return count(21) == 3; }));
    // Then one poll a period. (Each period's poll is let reach the server
    // before the clock moves on: the request's time-out runs on the clock.)
    for (int i = 1; i <= 3; ++i) {
        driver().advance(Verify::kPollPeriod);
        waitFor([&] { return count(21) >= 3 + i; }, 5);
        settleReplies();
        EXPECT_EQ(count(21), 3 + i);
    }

    // Leaving the container from the verify tab releases the gate and ends the poll.
    leave();
    EXPECT_EQ(SharedScreenState::SEIZE_MAIN_PULLING().load(), 0);
    EXPECT_FALSE(tab->isPolling());
    driver().advance(Verify::kPollPeriod * 2);
    settleReplies();
    EXPECT_EQ(count(21), 6);
}

// ---------------------------------------------------------------- the container

TEST_F(ProductTest, TheNoPaymentVerificationNoticeComesOnceAcrossRestarts) {
    defaults().setInteger("korvxboundstate", 3);
    enter();
    ui::AlertView* notice = alertTitled("提示");
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->message(), "您尚未开通岚付通付款验证功能\n请点击页面下方的红色按钮开启");
    notice->dismissWithClickedButtonIndex(0, false);
    leave();
    enter();
    EXPECT_EQ(alertTitled("提示"), nullptr);
    leave();
    // The next start reads the defaults from disk.
    foundation::UserDefaults::resetStandard();
    EXPECT_EQ(defaults().integerForKey("nokorvexnotify"), 10);
    enter();
    EXPECT_EQ(alertTitled("提示"), nullptr);
    leave();
    // With payment verification on, never.
    defaults().setInteger("nokorvexnotify", 0);
    defaults().setInteger("korvxboundstate", 10);
    enter();
    EXPECT_EQ(alertTitled("提示"), nullptr);
}

TEST_F(ProductTest, TheLastTabIsReopenedOnlyWhileTheBindingAllowsMoreThanTheCode) {
    enter();
    EXPECT_EQ(Container::lastSafeProductTab(), "OTP");
    EXPECT_TRUE(dynamic_cast<OtpViewController*>(container->curShowedView()));
    container->JIUXINGButtonPressed();
    EXPECT_EQ(Container::lastSafeProductTab(), "JIUXING");
    leave();
    struct Case {
        long long state;
        const char* last;
        const char* opened;
    };
    const Case cases[] = {{10, "JIUXING", "JIUXING"}, {3, "JIUXING", "JIUXING"}, {1, "JIUXING", "OTP"},
                          {10, "OKV", "OKV"},         {2, "OKV", "OTP"},         {0, "OKV", "OTP"}};
    defaults().setInteger("nokorvexnotify", 10);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.state) + " " + c.last);
        // Leave the container on the tab named "last" first.
        defaults().setInteger("korvxboundstate", 10);
        enter();
        if (std::string(c.last) == "OKV")
            container->OKVButtonPressed();
        else
            container->JIUXINGButtonPressed();
        leave();
        defaults().setInteger("korvxboundstate", c.state);
        enter();
        ASSERT_TRUE(container->curShowedView());
        EXPECT_EQ(container->curShowedView()->screenIdentifier(), c.opened);
        EXPECT_EQ(Container::lastSafeProductTab(), c.opened);
        EXPECT_EQ(container->lastShowedView(), container->curShowedView()->view());
        EXPECT_TRUE(container->lastShowedView()->isDescendantOfView(container->view()));
        leave();
    }
}

// The container on each screen: 320x480 points, and the tall screen's
// 320x568 points at scale 2.
class ProductOnEachScreen : public ProductTest, public ::testing::WithParamInterface<bool> {
public:
    ProductOnEachScreen() : ProductTest(Options{.tall = GetParam()}) {}

protected:
    bool tall() const { return GetParam(); }
    // Where a tab's top lies in the container: the tab as high as the phone
    // drew it (460 points, 548 on the tall screen), centred where the
    // container centres it (330 points down; 400 on the tall screen, the
    // verify tab 380).
    double tabTop(bool verify) const {
        if (!tall()) return Container::kTabCenterY - Container::kTabDesignHeight / 2;
        return (verify ? Container::kTallVerifyTabCenterY : Container::kTallTabCenterY) -
               Container::kTallTabDesignHeight / 2;
    }
    // The window's pixels inside a rect of window points.
    std::shared_ptr<ui::Image> grab(const ui::Rect& points) {
        auto window = driver().snapshot();
        if (!window) return nullptr;
        const double scale = double(window->pixelWidth()) / driver().window().bounds().width();
        const int x0 = int(std::lround(points.x() * scale)), y0 = int(std::lround(points.y() * scale));
        const int w = std::min(int(std::lround(points.width() * scale)), window->pixelWidth() - x0);
        const int h = std::min(int(std::lround(points.height() * scale)), window->pixelHeight() - y0);
        if (x0 < 0 || y0 < 0 || w <= 0 || h <= 0) return nullptr;
        const std::vector<uint8_t> all = window->rgbaPixels();
        std::vector<uint8_t> part(size_t(w) * h * 4);
        for (int y = 0; y < h; ++y)
            std::copy_n(&all[(size_t(y0 + y) * window->pixelWidth() + x0) * 4], size_t(w) * 4,
                        &part[size_t(y) * w * 4]);
        return ui::Image::fromRgba(w, h, part.data(), scale);
    }
};

INSTANTIATE_TEST_SUITE_P(Screens, ProductOnEachScreen, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Tall" : "Short"; });

// Every part of each tab shows in the window as it opens, without
// scrolling: the red button the first visit's notice points to, the
// nine-star buttons. Each tab's top is where the container's centre puts it.
TEST_P(ProductOnEachScreen, EveryPartOfEachTabShowsInTheWindow) {
    ASSERT_EQ(Constants::isTallScreen(), tall());
    for (long long state : {3LL, 10LL}) {
        SCOPED_TRACE(state);
        defaults().setInteger("korvxboundstate", state);
        enter();
        const ui::Rect room = container->view()->bounds();
        EXPECT_EQ(room.height(), tall() ? 568 - 44 : 480 - 44);
        for (const char* which : {"OTP", "JIUXING", "OKV"}) {
            SCOPED_TRACE(which);
            if (std::string(which) == "OTP") container->OTPButtonPressed();
            if (std::string(which) == "JIUXING") container->JIUXINGButtonPressed();
            if (std::string(which) == "OKV") container->OKVButtonPressed();
            ui::View* tab = container->lastShowedView();
            ASSERT_TRUE(tab);
            EXPECT_EQ(tab->superview(), container->view()) << "no scrolling needed";
            const double top = tabTop(std::string(which) == "OKV");
            if (auto* list = dynamic_cast<ui::ScrollView*>(tab)) {
                // The list ends where the container does and scrolls itself.
                EXPECT_EQ(list->frame(), (ui::Rect{0, top, room.width(), room.maxY() - top}));
                continue;
            }
            EXPECT_EQ(tab->frame().y(), top);
            int shown = 0;
            for (const auto& part : tab->subviews()) {
                if (part->isHidden() || part->alpha() < 0.01 || part->frame().isEmpty()) continue;
                const ui::Rect r = part->convertRectToView(part->bounds(), container->view());
                EXPECT_LE(r.maxY(), room.maxY() + 1e-9) << part->className() << " " << r.y() << "+" << r.height();
                EXPECT_GE(r.y(), container->OTPButton()->frame().maxY()) << part->className();
                ++shown;
            }
            EXPECT_GT(shown, 5);
        }
        leave();
        for (ui::AlertView* a : ui::AlertView::visibleAlerts()) a->dismissWithClickedButtonIndex(0, false);
    }
}

// The code tab draws its six digits with GL between the tab buttons and the
// countdown: read back from the window's pixels, they are the code.
TEST_P(ProductOnEachScreen, TheCodeTabsDigitsShowBetweenTheTabButtonsAndTheCountdown) {
    if (!gl::Context::available()) GTEST_SKIP() << "no EGL display";
    enter();
    auto* otp = dynamic_cast<OtpViewController*>(container->OTPViewController());
    ASSERT_TRUE(otp);
    driver().advance(0.2);
    ui::Window& window = driver().window();
    const double from = container->OTPButton()->convertRectToView(container->OTPButton()->bounds(), &window).maxY();
    const double to = otp->lable()->convertRectToView(otp->lable()->bounds(), &window).y();
    ASSERT_GT(to, from);
    auto area = grab({0, from, 320, to - from});
    ASSERT_TRUE(area);
    e2e::CardReader reader("otp_", OTPLayer::kWidth, OTPLayer::kHeight, driver().scale());
    ASSERT_TRUE(reader.ok());
    const std::vector<double> centres(OTPLayer::kCentreX.begin(), OTPLayer::kCentreX.end());
    EXPECT_EQ(reader.read(*area, centres), otp->code());
    EXPECT_EQ(otp->code().size(), 6u);
}

// The code tab's controls: the tall screen moves the round buttons 25 points
// down, the bar 10, the payment button 45 and the notice 55; with payment
// verification on, the buttons go 40 further and the bar 15. The engine view
// is the tab as drawn less 200 points (less 300 on the tall screen).
TEST_P(ProductOnEachScreen, TheCodeTabsControlsAreMovedOnceForTheScreen) {
    struct Case {
        long long state;
        double bar, buttons, payment, notice;  // below the countdown's top
    };
    const std::vector<Case> cases = tall() ? std::vector<Case>{{3, 40, 81, 185, 239}, {10, 55, 121, -1, 239}}
                                           : std::vector<Case>{{3, 30, 56, 140, 184}, {10, 45, 96, -1, 184}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        defaults().setInteger("korvxboundstate", c.state);
        enter();
        auto* otp = dynamic_cast<OtpViewController*>(container->OTPViewController());
        ASSERT_TRUE(otp);
        const double label = otp->lable()->frame().y();
        EXPECT_EQ(otp->progressView()->frame().y() - label, c.bar);
        for (ui::Button* b : {otp->soundButton(), otp->timeButton(), otp->fastShowButton()})
            EXPECT_EQ(b->frame().y() - label, c.buttons);
        EXPECT_EQ(otp->paymentButton()->isHidden(), c.payment < 0);
        if (c.payment >= 0) {
            EXPECT_EQ(otp->paymentButton()->frame().y() - label, c.payment);
        }
        EXPECT_EQ(otp->notificateBar()->frame().y() - label, c.notice);
        if (gl::Context::available()) {
            auto glView = engine2d::GxDirector::sharedDirector().openGLView();
            ASSERT_TRUE(glView);
            EXPECT_EQ(glView->frame().height(), tall() ? 548 - 300 : 460 - 200);
        }
        leave();
        for (ui::AlertView* a : ui::AlertView::visibleAlerts()) a->dismissWithClickedButtonIndex(0, false);
    }
}

TEST_F(ProductTest, TabsHearTheirAppearanceAndOnlyTheVerifyTabIsKept) {
    enter();
    auto* otp = dynamic_cast<OtpViewController*>(container->OTPViewController());
    ASSERT_TRUE(otp);
    EXPECT_EQ(otp->parent(), container.get());
    EXPECT_EQ(otp->appearance(), ui::ViewController::Appearance::Appeared);
    EXPECT_TRUE(otp->hasTimer());
    auto firstOtp = otp->shared_from_this();
    const ui::Rect placed = otp->view()->convertRectToView(otp->view()->bounds(), container->view());
    EXPECT_EQ(placed.y(), Container::kTabCenterY - Container::kTabDesignHeight / 2);

    container->OKVButtonPressed();
    // The code tab went away with its clock stopped.
    EXPECT_EQ(otp->appearance(), ui::ViewController::Appearance::Disappeared);
    EXPECT_FALSE(otp->hasTimer());
    EXPECT_EQ(otp->view()->superview(), nullptr);
    EXPECT_EQ(otp->parentViewController(), nullptr);
    EXPECT_EQ(container->OTPViewController(), otp);  // until the next code tab
    Verify* tab = verifyTab();
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->appearance(), ui::ViewController::Appearance::Appeared);
    EXPECT_EQ(tab->parent(), container.get());
    EXPECT_EQ(container->lastShowedView(), tab->view());

    container->OTPButtonPressed();
    auto secondOtp = std::dynamic_pointer_cast<OtpViewController>(container->OTPViewController()->shared_from_this());
    ASSERT_TRUE(secondOtp);
    EXPECT_TRUE(secondOtp->hasTimer());
    EXPECT_EQ(tab->appearance(), ui::ViewController::Appearance::Disappeared);
    EXPECT_EQ(tab->view()->superview(), nullptr);
    EXPECT_NE(secondOtp.get(), otp);
    container->OTPButtonPressed();
    EXPECT_NE(container->OTPViewController(), secondOtp.get());  // a new code tab each time
    EXPECT_FALSE(secondOtp->hasTimer());
    EXPECT_EQ(verifyTab(), tab);

    // The buttons show which tab is on.
    container->JIUXINGButtonPressed();
    auto* stars = dynamic_cast<DcodeViewController*>(container->JIUXINGViewController());
    ASSERT_TRUE(stars);
    EXPECT_EQ(stars->appearance(), ui::ViewController::Appearance::Appeared);
    EXPECT_EQ(container->JIUXINGButton()->imageForState(ui::kControlStateNormal), ui::Image::named("JXS"));
    EXPECT_EQ(container->OTPButton()->imageForState(ui::kControlStateNormal), ui::Image::named("OTPO"));
    EXPECT_EQ(container->OKVButton()->imageForState(ui::kControlStateNormal), ui::Image::named("OKV"));

    // Leaving the container takes the tab on display off screen too.
    auto keepStars = stars->shared_from_this();
    leave();
    EXPECT_EQ(stars->appearance(), ui::ViewController::Appearance::Disappeared);
}

TEST_F(ProductTest, TheHelpPanelAnswersNineQuestionsAndGivesTheBarBack) {
    enter();
    ASSERT_TRUE(driver().tap(container->helpButton()));
    auto* panel = dynamic_cast<ExampleModalPanel*>(container->helpPanel());
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->superview(), container->view());
    ASSERT_EQ(panel->textList().size(), 18u);
    EXPECT_EQ(panel->textList()[0], "1.如何使用禾盾安全产品？");
    EXPECT_EQ(panel->textList()[16], "9.有人自称禾川网客服向我索要口令怎么办？");
    for (size_t i = 0; i < 18; i += 2) EXPECT_EQ(panel->textList()[i].substr(0, 2), std::to_string(i / 2 + 1) + ".");
    for (size_t i = 1; i < 18; i += 2) EXPECT_FALSE(panel->textList()[i].empty());
    EXPECT_FALSE(container->navigationItem()->leftBarButtonItem()->isEnabled());
    EXPECT_FALSE(container->navigationItem()->rightBarButtonItem()->isEnabled());
    driver().advance(1.0);
    panel->closePressed();
    driver().advance(1.0);
    EXPECT_EQ(container->helpPanel(), nullptr);
    EXPECT_TRUE(container->navigationItem()->leftBarButtonItem()->isEnabled());
    EXPECT_TRUE(container->navigationItem()->rightBarButtonItem()->isEnabled());
}

}  // namespace
