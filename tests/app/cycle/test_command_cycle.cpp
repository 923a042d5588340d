// The screen command cycle end to end: a test screen against the test
// security server, driven headless on the manual clock.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/core/DBController.h"
#include "app/core/Envelope.h"
#include "app/core/GetSid.h"
#include "app/core/StoreKeys.h"
#include "app/core/initUtil.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/App.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/shell/Driver.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/Navigation.h"
#include "tests/app/cycle/CycleTestScreen.h"
#include "tests/server/TestServer.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

const char* kLoggedOut = "账号已被远程注销或解绑\n如要继续使用，请重新绑定";

class CommandCycleTest : public screentest::ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        uuid = account().uuid;
        screen = show(std::make_shared<CycleTestScreen>());
    }
    void TearDown() override {
        screen.reset();
        ScreenFixture::TearDown();
    }

    foundation::Array log() { return serverLog(); }
    // The commands the server saw since the baseline.
    std::vector<int> commands() {
        std::vector<int> out;
        foundation::Array all = log();
        for (size_t i = baseline; i < all.size(); ++i) out.push_back(all[i].get("command")->intValue());
        return out;
    }
    foundation::Array fieldsOfLast() {
        foundation::Array all = log();
        return all.empty() || !all.back().get("fields")->asArray() ? foundation::Array{}
                                                                   : *all.back().get("fields")->asArray();
    }
    // Waits until the command's overlay has let go of its worker, then plays
    // its 0.3-second fade on the clock.
    void finishOverlay(int tag) {
        ASSERT_TRUE(waitFor([&] {
            auto h = screen->hud(tag);
            return !h || !h->taskInProgress();
        }));
        driver().advance(0.35);
    }
    bool barButtonsEnabled() {
        return screen->navigationItem()->rightBarButtonItem()->isEnabled() &&
               screen->navigationItem()->leftBarButtonItem()->isEnabled();
    }
    std::string uuid;
    size_t baseline = 0;
    std::shared_ptr<CycleTestScreen> screen;
};

TEST_F(CommandCycleTest, ACommandRunsHandshakeThenCommandAndTheReplyEndsTheOverlay) {
    script({{"command", 15}, {"reply", foundation::Dictionary{{"isSuccess", true}}}, {"delay", 0.3}});
    ASSERT_TRUE(driver().tapText("修改"));
    // The overlay covers the screen with its caption; the bar buttons are off.
    auto overlay = screen->hud(CycleTestScreen::kTagPassword);
    ASSERT_TRUE(overlay);
    EXPECT_EQ(screen->hud(), overlay);
    // Made on the navigation controller's view, placed over the screen's view.
    EXPECT_EQ(overlay->superview(), screen->view()->superview());
    EXPECT_EQ(overlay->frame(), screen->view()->superview()->bounds());
    EXPECT_TRUE(overlay->dimBackground());
    EXPECT_EQ(overlay->delegate(), screen.get());
    EXPECT_NE(driver().findByText("正在修改密码"), nullptr);
    EXPECT_FALSE(barButtonsEnabled());
    // A second start while the first is under way does nothing.
    EXPECT_FALSE(screen->popOutProgressHUDForChangePassword("again"));

    ASSERT_TRUE(waitFor([&] { return !screen->handled.empty(); }));
    EXPECT_EQ(commands(), (std::vector<int>{0, 15}));
    foundation::Array fields = fieldsOfLast();
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(*fields[0].asString(), uuid);
    EXPECT_EQ(fields[1].asString()->size(), 6u);  // the handshake's proof
    EXPECT_EQ(*fields[2].asString(), "abc123");
    EXPECT_EQ(screen->handled[0].tag, CycleTestScreen::kTagPassword);
    EXPECT_TRUE(screen->handled[0].isJson);
    EXPECT_FALSE(screen->isWaitingForResponse(CycleTestScreen::kTagPassword));

    finishOverlay(CycleTestScreen::kTagPassword);
    EXPECT_EQ(screen->hud(), nullptr);
    EXPECT_EQ(overlay->superview(), nullptr);
    EXPECT_EQ(driver().findByText("正在修改密码"), nullptr);
    EXPECT_TRUE(barButtonsEnabled());
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
}

TEST_F(CommandCycleTest, TheJsonFormCarriesServiceAndItsMembers) {
    script({{"command", 33}, {"reply", foundation::Dictionary{{"result", 202}}}});
    ASSERT_TRUE(screen->popOutProgressHUDForBindKorvex("T123"));
    ASSERT_TRUE(waitFor([&] { return !screen->handled.empty(); }));
    foundation::Array all = log();
    const foundation::Value* json = all.back().get("json");
    ASSERT_TRUE(json && json->isDictionary());
    EXPECT_EQ(*json->get("service")->asString(), "33");
    EXPECT_EQ(*json->get("uuid")->asString(), uuid);
    EXPECT_EQ(*json->get("korvexTokenId")->asString(), "T123");
    EXPECT_EQ(json->get("answer")->asString()->size(), 6u);
    finishOverlay(CycleTestScreen::kTagKorvex);
}

TEST_F(CommandCycleTest, ACommandWithoutHandshakeSendsTheStoredUuidAndTakesABareTextReply) {
    server().control("clock", R"({"time": 1700000123})");
    ASSERT_TRUE(screen->popOutProgressHUDForCalibrateTime());
    ASSERT_TRUE(waitFor([&] { return !screen->handled.empty(); }));
    EXPECT_EQ(commands(), (std::vector<int>{20}));
    foundation::Array fields = fieldsOfLast();
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(*fields[0].asString(), uuid);
    EXPECT_EQ(screen->handled[0].text, "1700000123");
    EXPECT_FALSE(screen->handled[0].isJson);
    EXPECT_EQ(screen->command(CycleTestScreen::kTagTime)->waitSlice, 9);
    finishOverlay(CycleTestScreen::kTagTime);
    EXPECT_EQ(screen->hud(), nullptr);
}

TEST_F(CommandCycleTest, EveryFailureEndsTheOverlayWithItsMessage) {
    struct Case {
        const char* name;
        std::vector<foundation::Dictionary> scripts;
        std::vector<int> commands;  // what the server saw
        const char* alertTitle;     // nullptr: no alert
        bool notice;                // the network notice
        bool handled;               // the reply handler ran
    };
    const Case cases[] = {
        {"handshake fails (10)", {{{"command", 0}, {"fault", "http500"}}}, {0}, "警告", false, false},
        {"transport failure (sent once: the server may have read it)",
         {{{"command", 15}, {"fault", "drop"}}},
         {0, 15},
         nullptr,
         true,
         false},
        {"not the reply wrapper", {{{"command", 15}, {"fault", "no-content"}}}, {0, 15}, "警告", false, false},
        {"server error page", {{{"command", 15}, {"fault", "http500"}}}, {0, 15}, "警告", false, false},
        {"empty body", {{{"command", 15}, {"fault", "empty"}}}, {0, 15}, "警告", false, false},
        {"content that does not decipher", {{{"command", 15}, {"fault", "garbled"}}}, {0, 15}, "警告", false, false},
        {"a reply far over the size limit", {{{"command", 15}, {"fault", "oversized"}}}, {0, 15}, "警告", false, false},
        {"a well-formed reply over the size limit (about 330 KB enciphered)",
         {{{"command", 15}, {"reply", std::string(150000, 'b')}}},
         {0, 15},
         "警告",
         false,
         false},
        {"a reply that is not JSON", {{{"command", 15}, {"reply", "plain words"}}}, {0, 15}, nullptr, false, true},
        {"a compressed reply that inflates far past the size limit (16 MiB)",
         {{{"command", 15}, {"fault", "bomb"}, {"size", 16 << 20}}},
         {0, 15},
         "警告",
         false,
         false},
        {"a reply that never ends", {{{"command", 15}, {"fault", "endless"}}}, {0, 15}, "警告", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        baseline = log().size();
        screen->handled.clear();
        for (const auto& s : c.scripts) script(s);
        ASSERT_TRUE(screen->popOutProgressHUDForChangePassword("abc123"));
        finishOverlay(CycleTestScreen::kTagPassword);
        driver().settle();
        EXPECT_EQ(screen->hud(), nullptr);
        EXPECT_TRUE(barButtonsEnabled());
        EXPECT_FALSE(screen->isWaitingForResponse(CycleTestScreen::kTagPassword));
        EXPECT_EQ(commands(), c.commands);
        ui::AlertView* alert = ui::AlertView::frontmost();
        if (c.alertTitle) {
            ASSERT_NE(alert, nullptr);
            EXPECT_EQ(alert->title(), c.alertTitle);
            EXPECT_EQ(alert->message(), kNetworkUnstableMessage);
            EXPECT_EQ(alert->tag(), Constants::kSimpleAlertTag);
            alert->clickButtonAtIndex(0);
            driver().settle();
        } else {
            EXPECT_EQ(alert, nullptr);
        }
        EXPECT_EQ(noticeTexts(),
                  c.notice ? std::vector<std::string>{kNetworkUnstableMessage} : std::vector<std::string>{});
        EXPECT_EQ(screen->handled.size(), c.handled ? 1u : 0u);
        if (c.handled) {
            EXPECT_FALSE(screen->handled[0].isJson);
        }
        DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
    }
    EXPECT_TRUE(exits().empty());
}

// Whether a thread of this process carries the name (as BackgroundTask names
// the pool thread that runs a task).
bool threadNamed(const std::string& name) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) return true;
    }
    return false;
}

// A long reply takes a private-key operation per block: the main loop keeps
// turning meanwhile, and the overlay stays until the reply is handled.
TEST_F(CommandCycleTest, RepliesAreDecipheredOffTheMainThread) {
    const std::string text(60000, 'a');  // enciphered, about 140 KB: under the limit
    script({{"command", 15}, {"reply", text}});
    ASSERT_TRUE(screen->popOutProgressHUDForChangePassword("abc123"));
    bool deciphering = false;
    ASSERT_TRUE(waitFor([&] {
        // Handled first: the pool thread may still carry the task's name a
        // moment after the handler ran on this thread.
        if (!screen->handled.empty()) return true;
        if (threadNamed("reply")) {
            deciphering = true;
            EXPECT_TRUE(screen->isWaitingForResponse(CycleTestScreen::kTagPassword));
        }
        return false;
    }));
    EXPECT_TRUE(deciphering) << "no thread named \"reply\" was seen while the reply was deciphered";
    EXPECT_EQ(screen->handled[0].text, text);
    finishOverlay(CycleTestScreen::kTagPassword);
}

TEST_F(CommandCycleTest, TheHandshakeFailureTitleIsTheScreens) {
    script({{"command", 0}, {"fault", "empty"}});
    ASSERT_TRUE(screen->popOutProgressHUDForBindKorvex("T"));
    finishOverlay(CycleTestScreen::kTagKorvex);
    driver().settle();
    ASSERT_NE(ui::AlertView::frontmost(), nullptr);
    EXPECT_EQ(ui::AlertView::frontmost()->title(), "错误");
    EXPECT_EQ(commands(), (std::vector<int>{0}));
    // A second tap starts the command again, and this time it goes through.
    ui::AlertView::frontmost()->clickButtonAtIndex(0);
    script({{"command", 33}, {"reply", foundation::Dictionary{{"result", 202}}}});
    ASSERT_TRUE(screen->popOutProgressHUDForBindKorvex("T"));
    ASSERT_TRUE(waitFor([&] { return !screen->handled.empty(); }));
    EXPECT_EQ(commands(), (std::vector<int>{0, 0, 33}));
    finishOverlay(CycleTestScreen::kTagKorvex);
}

TEST_F(CommandCycleTest, ATimedOutRequestShowsTheNetworkNotice) {
    script({{"command", 15}, {"delay", 3}});
    ASSERT_TRUE(screen->popOutProgressHUDForChangePassword("abc123"));
    // Once the request is out, move the clock past its 9-second time-out.
    ASSERT_TRUE(waitFor([&] {
        std::vector<int> seen = commands();
        return seen.size() == 2 && seen[1] == 15;
    }));
    driver().advance(10);
    ASSERT_TRUE(waitFor([&] { return !screen->isWaitingForResponse(CycleTestScreen::kTagPassword); }));
    finishOverlay(CycleTestScreen::kTagPassword);
    EXPECT_EQ(screen->hud(), nullptr);
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{kNetworkUnstableMessage});
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
    EXPECT_TRUE(screen->handled.empty());
}

// A server that sends its reply a byte at a time never lets the request's
// own time-out (which counts silence) come: the command still ends at its
// time-out and the margin, as after a time-out.
TEST_F(CommandCycleTest, ATricklingReplyEndsTheOverlayAtTheCommandsTimeOut) {
    script({{"command", 15}, {"fault", "trickle"}, {"interval", 0.02}});
    ASSERT_TRUE(screen->popOutProgressHUDForChangePassword("abc123"));
    auto trickled = [&] {
        foundation::Array all = log();
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            if (it->get("command")->intValue() != 15) continue;
            const foundation::Value* sent = it->get("trickled");
            return sent ? sent->intValue() : 0;
        }
        return 0;
    };
    ASSERT_TRUE(waitFor([&] { return trickled() > 0; }));
    const double deadline = screen->command(CycleTestScreen::kTagPassword)->timeOutSeconds + kCommandDeadlineMargin;
    // A second at a time, with bytes arriving within each second.
    for (double waited = 1; waited <= deadline; ++waited) {
        const int before = trickled();
        driver().advance(1);
        ASSERT_TRUE(waitFor(
            [&] { return trickled() >= before + 2 || !screen->isWaitingForResponse(CycleTestScreen::kTagPassword); }));
        if (waited < deadline) {
            ASSERT_TRUE(screen->isWaitingForResponse(CycleTestScreen::kTagPassword)) << "ended after " << waited;
        }
    }
    ASSERT_TRUE(waitFor([&] { return !screen->isWaitingForResponse(CycleTestScreen::kTagPassword); }));
    finishOverlay(CycleTestScreen::kTagPassword);
    EXPECT_EQ(screen->hud(), nullptr);
    EXPECT_TRUE(barButtonsEnabled());
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{kNetworkUnstableMessage});
    EXPECT_TRUE(screen->handled.empty());
}

TEST_F(CommandCycleTest, TwoNetworkFailuresInARowShowOneNotice) {
    for (int i = 0; i < 2; ++i) {
        for (int d = 0; d < 2; ++d) script({{"command", 15}, {"fault", "drop"}});
        ASSERT_TRUE(screen->popOutProgressHUDForChangePassword("abc123"));
        finishOverlay(CycleTestScreen::kTagPassword);
    }
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{kNetworkUnstableMessage});
    // The notice sits in the screen's view's superview, just above it.
    auto strip = DnNotificationManager::sharedManager().notificationQueueForAlert().at(0);
    EXPECT_EQ(strip->superview(), screen->view()->superview());
    auto* picture = dynamic_cast<ui::ImageView*>(strip->subviews().at(0).get());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->image(), ui::Image::named(kNoticeImageName));
    EXPECT_NE(picture->image(), nullptr);
    // Leaving the screen takes the notices away.
    screen->beginAppearanceTransition(false, false);
    screen->endAppearanceTransition();
    EXPECT_TRUE(DnNotificationManager::sharedManager().notificationQueueForAlert().empty());
    EXPECT_EQ(strip->superview(), nullptr);
}

TEST_F(CommandCycleTest, HandshakeLogOutWipesTheAppAndDismissingTheAlertEndsIt) {
    foundation::UserDefaults::standard().setInteger("korvxboundstate", 3);
    script({{"command", 0}, {"result", 201}});
    ASSERT_TRUE(screen->popOutProgressHUDForChangePassword("abc123"));
    finishOverlay(CycleTestScreen::kTagPassword);
    driver().settle();
    EXPECT_EQ(commands(), (std::vector<int>{0}));
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_FALSE(foundation::UserDefaults::standard().objectForKey("korvxboundstate"));
    ui::AlertView* alert = ui::AlertView::frontmost();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "警告");
    EXPECT_EQ(alert->message(), kLoggedOut);
    EXPECT_EQ(alert->tag(), 0xFFFF);
    EXPECT_EQ(screen->hud(), nullptr);
    EXPECT_TRUE(exits().empty());
    alert->clickButtonAtIndex(0);
    driver().settle();
    EXPECT_EQ(exits(), std::vector<int>{0});
}

TEST_F(CommandCycleTest, AReplyWithResult201WipesTheAppAndStillReachesTheScreen) {
    script({{"command", 15}, {"result", 201}});
    ASSERT_TRUE(screen->popOutProgressHUDForChangePassword("abc123"));
    ASSERT_TRUE(waitFor([&] { return !screen->handled.empty(); }));
    finishOverlay(CycleTestScreen::kTagPassword);
    driver().settle();
    EXPECT_FALSE(DBController::databaseExit());
    ui::AlertView* alert = ui::AlertView::frontmost();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->message(), kLoggedOut);
    EXPECT_EQ(alert->tag(), 0xFFFF);
    // The screen still hears the reply and reports its own outcome.
    EXPECT_EQ(screen->handled[0].text, R"({"result": 201})");
    alert->clickButtonAtIndex(0);
    driver().settle();
    EXPECT_EQ(exits(), std::vector<int>{0});
    // Other alerts are the screen's own.
    auto other = ui::AlertView::create("t", "m", screen.get(), "确定");
    other->setTag(7);
    other->show();
    driver().settle();
    other->clickButtonAtIndex(0);
    EXPECT_EQ(screen->otherAlertsClicked, std::vector<int>{7});
    EXPECT_EQ(exits().size(), 1u);
}

TEST_F(CommandCycleTest, EachCommandHasItsOwnWaitingFlag) {
    script({{"command", 15}, {"reply", foundation::Dictionary{{"isSuccess", true}}}, {"delay", 1.5}});
    script({{"command", 33}, {"reply", foundation::Dictionary{{"result", 202}}}});
    ASSERT_TRUE(screen->popOutProgressHUDForChangePassword("abc123"));
    ASSERT_TRUE(screen->popOutProgressHUDForBindKorvex("T"));
    ASSERT_TRUE(
        waitFor([&] { return !screen->handled.empty() && screen->handled[0].tag == CycleTestScreen::kTagKorvex; }));
    finishOverlay(CycleTestScreen::kTagKorvex);
    // The reply of 33 ended only its own overlay.
    EXPECT_EQ(screen->hud(CycleTestScreen::kTagKorvex), nullptr);
    ASSERT_NE(screen->hud(CycleTestScreen::kTagPassword), nullptr);
    EXPECT_TRUE(screen->isWaitingForResponse(CycleTestScreen::kTagPassword));
    ASSERT_TRUE(waitFor([&] { return screen->handled.size() == 2; }));
    finishOverlay(CycleTestScreen::kTagPassword);
    EXPECT_EQ(screen->hud(CycleTestScreen::kTagPassword), nullptr);
}

TEST(ScreenAnalytics, PagePathsAndAnUnrecordedHit) {
    EXPECT_EQ(ScreenAnalytics::path("appEntry"), "/iOS/3.0/appEntry");
    // Without a started tracker the hit is not recorded; the screen goes on.
    EXPECT_FALSE(ScreenAnalytics::trackPageview("appEntry"));
    EXPECT_FALSE(ScreenAnalytics::trackEvent("mainFrame", "PlayOTP", std::nullopt));
}

}  // namespace
