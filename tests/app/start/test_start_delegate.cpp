// The application delegate: push state and device token, the analytics
// tracker, the first-run event, notifications in front, the life cycle.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/cycle/Constants.h"
#include "platform/foundation/Log.h"
#include "tests/app/start/StartFixture.h"

using namespace starttest;

namespace {

ino_t defaultsInode() {
    struct stat st {};
    if (stat(foundation::UserDefaults::standard().path().c_str(), &st) != 0) return 0;
    return st.st_ino;
}

// Collects the log lines while alive.
class LogLines {
public:
    LogLines() {
        old_ = foundation::setLogSink([this](const std::string& l) { lines.push_back(l); });
    }
    ~LogLines() { foundation::setLogSink(old_); }
    bool contains(const std::string& needle) const {
        for (const auto& l : lines)
            if (l.find(needle) != std::string::npos) return true;
        return false;
    }
    std::vector<std::string> lines;

private:
    foundation::LogSink old_;
};

}  // namespace

TEST_F(StartTest, PushStateFollowsTheAllowedNotificationTypes) {
    struct Case {
        unsigned allowed;
        const char* stored;
    };
    for (const Case& c : {Case{7, "1"}, Case{ui::kRemoteNotificationTypeSound, "1"}, Case{0, "0"}}) {
        ui::Application::shared().reset();
        ui::Application::shared().setAllowedRemoteNotificationTypes(c.allowed);
        launch();
        EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("isPushInfo"), std::string(c.stored))
            << "allowed " << c.allowed;
    }
}

TEST_F(StartTest, LaunchStartsTheTrackerWithAFiveSecondPeriod) {
    launch();
    auto& tracker = TrkTracker::sharedTracker();
    EXPECT_EQ(tracker.dispatchPeriod(), 5);
    EXPECT_TRUE(tracker.isDispatchTimerRunning());

    ui::Application::shared().terminate();
    EXPECT_FALSE(tracker.isDispatchTimerRunning());
    TrkError error;
    EXPECT_FALSE(tracker.trackEvent(std::string("c"), std::string("a"), std::nullopt, 0, &error))
        << "terminating stops the tracker";
}

TEST_F(StartTest, VeryFirstCheckIsRecordedOnceAcrossStarts) {
    launch();
    EXPECT_EQ(foundation::UserDefaults::standard().integerForKey("uniqueuser"), 1);
    EXPECT_EQ(storedHitsWith("VeryFirstCheck"), 1);

    launch();  // the second start
    EXPECT_EQ(storedHitsWith("VeryFirstCheck"), 1);
    EXPECT_EQ(storedHitsWith("otherCategory"), 1);
}

TEST_F(StartTest, VeryFirstCheckIsNeverRecordedAfterABinding) {
    writeStore({{"read_index", "3.0.0"}, {"passward", "null"}});
    launch();
    EXPECT_EQ(storedHitsWith("VeryFirstCheck"), 0);
    EXPECT_EQ(foundation::UserDefaults::standard().integerForKey("uniqueuser"), 0);
}

TEST_F(StartTest, DeviceTokenIsStoredAsPlainHexOnlyWhenItChanges) {
    launch();
    auto& app = ui::Application::shared();
    auto* delegate = app.delegate();
    const std::vector<uint8_t> token{0xAB, 0xCD, 0x01, 0x02, 0x03, 0x04, 0xEF, 0x90, 0x55};
    delegate->didRegisterForRemoteNotificationsWithDeviceToken(&app, token);
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("token"), std::string("abcd01020304ef9055"));

    // The same token again writes nothing: the file is not replaced.
    const ino_t before = defaultsInode();
    ASSERT_NE(before, 0u);
    delegate->didRegisterForRemoteNotificationsWithDeviceToken(&app, token);
    EXPECT_EQ(defaultsInode(), before);

    delegate->didRegisterForRemoteNotificationsWithDeviceToken(&app, {0x00, 0x10});
    EXPECT_NE(defaultsInode(), before);
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("token"), std::string("0010"));
}

TEST_F(StartTest, RegistrationThroughTheApplicationStoresTheToken) {
    ui::Application::shared().setRemoteNotificationDeviceToken({0x12, 0x34, 0x56, 0x78, 0x9a});
    launch();
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("token"), std::string("123456789a"));
}

TEST_F(StartTest, FailedRegistrationIsLoggedAndChangesNothing) {
    foundation::UserDefaults::standard().setString("token", "beef");
    LogLines log;
    launch();  // no device token: registration fails
    EXPECT_TRUE(log.contains("Failed to get token, error: "));
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("token"), std::string("beef"));
}

TEST_F(StartTest, NotificationInFrontShowsItsText) {
    using foundation::Dictionary;
    using foundation::Value;
    struct Case {
        const char* name;
        Value payload;
        const char* message;
    };
    const Case cases[] = {
        {"text", Value(Dictionary{{"aps", Value(Dictionary{{"alert", Value("有新的校验请求")}})}}), "有新的校验请求"},
        {"dictionary",
         Value(Dictionary{{"aps", Value(Dictionary{{"alert", Value(Dictionary{{"body", Value("正文")},
                                                                              {"action-loc-key", Value("看")}})}})}}),
         "正文"},
        {"number", Value(Dictionary{{"aps", Value(Dictionary{{"alert", Value(42)}})}}), "42"},
        {"no alert", Value(Dictionary{{"aps", Value(Dictionary{{"badge", Value(1)}})}}), ""},
        {"no aps", Value(Dictionary{}), ""},
    };
    launch();
    for (const Case& c : cases) {
        ui::Application::shared().deliverRemoteNotification(c.payload);
        ui::AlertView* alert = ui::AlertView::frontmost();
        ASSERT_NE(alert, nullptr) << c.name;
        EXPECT_EQ(alert->title(), "提示") << c.name;
        EXPECT_EQ(alert->message(), c.message) << c.name;
        EXPECT_EQ(alert->tag(), 2000) << c.name;
        ASSERT_EQ(alert->numberOfButtons(), 1) << c.name;
        EXPECT_EQ(alert->buttonTitleAtIndex(0), "确定") << c.name;
        driver_->tapText("确定");
        EXPECT_EQ(ui::AlertView::frontmost(), nullptr) << c.name;
    }
}

TEST_F(StartTest, NotificationWhileNotInFrontShowsNothing) {
    using foundation::Dictionary;
    using foundation::Value;
    launch();
    ui::Application::shared().enterBackground();
    ui::Application::shared().deliverRemoteNotification(
        Value(Dictionary{{"aps", Value(Dictionary{{"alert", Value("x")}})}}));
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
}

TEST_F(StartTest, TheDelegateHoldsTheWindow) {
    launch();
    EXPECT_EQ(ui::Application::shared().delegate()->window(), &driver_->window());
}
