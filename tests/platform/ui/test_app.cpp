// Application services: life cycle, notifications registration and
// delivery, the URL registry and incoming URLs, badge and sounds.

#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using namespace ui;

class RecordingDelegate : public ApplicationDelegate {
public:
    std::vector<std::string> log;
    bool didFinishLaunchingWithOptions(Application* app, const foundation::Dictionary& options) override {
        log.push_back("launch " + std::to_string(options.size()));
        app->registerForRemoteNotificationTypes(kRemoteNotificationTypeBadge | kRemoteNotificationTypeSound |
                                                kRemoteNotificationTypeAlert);
        return true;
    }
    void applicationWillResignActive(Application*) override { log.push_back("resign"); }
    void applicationDidEnterBackground(Application*) override { log.push_back("background"); }
    void applicationWillEnterForeground(Application*) override { log.push_back("foreground"); }
    void applicationDidBecomeActive(Application*) override { log.push_back("active"); }
    void applicationWillTerminate(Application*) override { log.push_back("terminate"); }
    void didRegisterForRemoteNotificationsWithDeviceToken(Application*, const std::vector<uint8_t>& t) override {
        log.push_back("token " + std::to_string(t.size()));
    }
    void didFailToRegisterForRemoteNotificationsWithError(Application*, const foundation::Error& e) override {
        EXPECT_TRUE(e.is(kApplicationErrorDomain, kRemoteNotificationsUnavailable)) << e.description();
        log.push_back("token failed");
    }
    void didReceiveRemoteNotification(Application* app, const foundation::Value& info) override {
        const auto* aps = info.asDictionary() ? info.asDictionary()->find("aps") : nullptr;
        const auto* alert = aps && aps->asDictionary() ? aps->asDictionary()->find("alert") : nullptr;
        log.push_back("push " + std::string(alert && alert->asString() ? *alert->asString() : "") + " state " +
                      std::to_string(int(app->applicationState())));
    }
    bool openURL(Application*, const std::string& url, const std::string& source, const foundation::Value&) override {
        log.push_back("url " + url + " from " + source);
        return true;
    }
};

class AppTest : public uitest::UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        delegate = std::make_shared<RecordingDelegate>();
    }
    Application& app() { return Application::shared(); }
    std::shared_ptr<RecordingDelegate> delegate;
};

TEST_F(AppTest, LaunchAndLifeCycleCallTheDelegateInOrder) {
    std::vector<std::string> posted;
    foundation::NotificationCenter::defaultCenter().addObserver(
        this, kApplicationDidBecomeActiveNotification,
        [&](const foundation::Notification& n) { posted.push_back(n.name); });
    app().setRemoteNotificationDeviceToken({0xab, 0xcd});
    EXPECT_TRUE(app().launch(delegate));
    EXPECT_EQ(app().applicationState(), ApplicationState::Active);
    app().enterBackground();
    EXPECT_EQ(app().applicationState(), ApplicationState::Background);
    app().becomeActive();
    app().becomeActive();  // already active: nothing
    app().terminate();
    turn();
    std::vector<std::string> want{"launch 0",   "active", "resign",    "background",
                                  "foreground", "active", "terminate", "token 2"};
    EXPECT_EQ(delegate->log, want);
    EXPECT_EQ(posted.size(), 2u);
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(AppTest, RemoteNotificationTypesAndRegistrationOutcome) {
    struct Case {
        unsigned allowed;
        bool token;
        unsigned enabled;
        std::string outcome;
    };
    for (const auto& c : std::vector<Case>{{7, true, 7, "token 2"},
                                           {kRemoteNotificationTypeBadge, true, 1, "token 2"},
                                           {0, true, 0, "token failed"},
                                           {7, false, 7, "token failed"}}) {
        app().reset();
        delegate->log.clear();
        app().setAllowedRemoteNotificationTypes(c.allowed);
        if (c.token) app().setRemoteNotificationDeviceToken({1, 2});
        app().launch(delegate);
        EXPECT_EQ(app().enabledRemoteNotificationTypes(), c.enabled);
        turn();
        EXPECT_EQ(delegate->log.back(), c.outcome);
    }
    app().unregisterForRemoteNotifications();
    EXPECT_EQ(app().enabledRemoteNotificationTypes(), 0u);
}

TEST_F(AppTest, PayloadReachesTheDelegateWithTheState) {
    app().launch(delegate);
    foundation::Dictionary aps;
    aps.set("alert", "有新的校验请求");
    foundation::Dictionary payload;
    payload.set("aps", aps);
    app().deliverRemoteNotification(payload);
    app().resignActive();
    app().deliverRemoteNotification(payload);
    EXPECT_EQ(delegate->log[delegate->log.size() - 3], "push 有新的校验请求 state 0");
    EXPECT_EQ(delegate->log.back(), "push 有新的校验请求 state 1");
}

TEST_F(AppTest, UrlRegistryAnswersAndRecordsEveryOpen) {
    app().registerURLScheme("Nimbra");
    struct Case {
        std::string url;
        bool can;
    };
    for (const auto& c : std::vector<Case>{{"nimbra://pay?x=1", true},
                                           {"NIMBRA://pay", true},
                                           {"https://example.com/app", true},
                                           {"http://example.com", true},
                                           {"other://x", false},
                                           {"no scheme", false},
                                           {"", false},
                                           {"://x", false}}) {
        EXPECT_EQ(app().canOpenURL(c.url), c.can) << c.url;
        EXPECT_EQ(app().openURL(c.url), c.can) << c.url;
    }
    EXPECT_EQ(app().openedURLs().size(), 8u);
    EXPECT_EQ(app().openedURLs().front(), "nimbra://pay?x=1");
    app().unregisterURLScheme("nimbra");
    EXPECT_FALSE(app().canOpenURL("nimbra://pay"));
}

TEST_F(AppTest, IncomingUrlGoesToTheDelegate) {
    EXPECT_FALSE(app().deliverIncomingURL("quenta://back"));  // no delegate yet
    app().launch(delegate);
    EXPECT_TRUE(app().deliverIncomingURL("quenta://back?result=1", "com.example.pay"));
    EXPECT_EQ(delegate->log.back(), "url quenta://back?result=1 from com.example.pay");
}

TEST_F(AppTest, BadgeStatusBarIdleTimerAndSounds) {
    app().setApplicationIconBadgeNumber(5);
    EXPECT_EQ(app().applicationIconBadgeNumber(), 5);
    app().setApplicationIconBadgeNumber(-3);
    EXPECT_EQ(app().applicationIconBadgeNumber(), 0);
    EXPECT_EQ(app().statusBarFrame(), (Rect{0, 0, 320, 20}));
    app().setStatusBarHidden(true);
    EXPECT_EQ(app().statusBarFrame(), Rect{});
    app().setIdleTimerDisabled(true);
    app().setNetworkActivityIndicatorVisible(true);
    EXPECT_TRUE(app().isIdleTimerDisabled());
    EXPECT_TRUE(app().isNetworkActivityIndicatorVisible());
    app().playSystemSound(1104);
    app().playSystemSound(1104);
    EXPECT_EQ(app().playedSystemSounds(), (std::vector<unsigned>{1104, 1104}));
    auto w = Window::create({0, 0, 320, 480});
    w->makeKeyAndVisible();
    EXPECT_EQ(app().keyWindow(), w.get());
}

}  // namespace
