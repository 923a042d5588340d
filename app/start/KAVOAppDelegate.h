#pragma once
// The application delegate: push registration and push state, the analytics
// tracker's start and stop, the first-run event, a notification that
// arrives while the app is in front, and the payment client app's
// hand-back through our own URL scheme.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

class KAVOAppDelegate : public ui::ApplicationDelegate {
public:
    // The app's web-analytics account.
    static const char* const kAnalyticsAccountID;
    // The payment client app; hand-backs from any other app are ignored.
    static const char* const kPaymentClientBundleID;
    // Our own scheme as the payment client app opens it; only its length is
    // used: that many leading characters are dropped before the JSON.
    static const char* const kHandBackPrefix;
    static constexpr int kNotificationAlertTag = 2000;

    KAVOAppDelegate() = default;
    // Dispatches the stored hits and stops the tracker.
    ~KAVOAppDelegate() override;

    ui::Window* window() const override { return window_.get(); }
    const std::shared_ptr<ui::Window>& windowRef() const { return window_; }
    void setWindow(std::shared_ptr<ui::Window> window) { window_ = std::move(window); }

    bool didFinishLaunchingWithOptions(ui::Application* app, const foundation::Dictionary& launchOptions) override;
    void didRegisterForRemoteNotificationsWithDeviceToken(ui::Application* app,
                                                          const std::vector<uint8_t>& deviceToken) override;
    void didFailToRegisterForRemoteNotificationsWithError(ui::Application* app,
                                                          const foundation::Error& error) override;
    void didReceiveRemoteNotification(ui::Application* app, const foundation::Value& userInfo) override;
    // Always true; the hand-back is stored under "korvextoken" when it comes
    // from the payment client app.
    bool openURL(ui::Application* app, const std::string& url, const std::string& sourceApplication,
                 const foundation::Value& annotation) override;
    void applicationWillResignActive(ui::Application* app) override;
    void applicationWillTerminate(ui::Application* app) override;

    // The hand-back's work: the token, or "kverror:" and the client app's
    // message, under "korvextoken". A URL or a token text too short for the
    // fixed offsets is ignored with a log line.
    static void storePaymentHandBack(const std::string& url);

private:
    std::shared_ptr<ui::Window> window_;
};
