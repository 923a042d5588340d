#pragma once
// The application: one shared object with its delegate and life cycle, the
// key window, state, icon badge, status bar, idle timer and network
// activity indicator; remote notification registration and delivery;
// opening URLs (a registry of schemes other apps answer, with every opened
// URL recorded) and incoming URLs for our own scheme; system sounds.
//
// What the phone's system decided comes from the driver: the window shell,
// or a test, sets the allowed notification types and the device token,
// delivers payloads and incoming URLs, and moves the life cycle.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Geometry.h"

namespace ui {

class Window;
class Application;

enum RemoteNotificationType : unsigned {
    kRemoteNotificationTypeNone = 0,
    kRemoteNotificationTypeBadge = 1,
    kRemoteNotificationTypeSound = 2,
    kRemoteNotificationTypeAlert = 4,
};

enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };

inline constexpr const char* kApplicationDidFinishLaunchingNotification = "ApplicationDidFinishLaunchingNotification";
inline constexpr const char* kApplicationDidBecomeActiveNotification = "ApplicationDidBecomeActiveNotification";
inline constexpr const char* kApplicationWillResignActiveNotification = "ApplicationWillResignActiveNotification";
inline constexpr const char* kApplicationDidEnterBackgroundNotification = "ApplicationDidEnterBackgroundNotification";
inline constexpr const char* kApplicationWillEnterForegroundNotification = "ApplicationWillEnterForegroundNotification";
inline constexpr const char* kApplicationDidChangeStatusBarOrientationNotification =
    "ApplicationDidChangeStatusBarOrientationNotification";
inline constexpr const char* kApplicationWillTerminateNotification = "ApplicationWillTerminateNotification";
inline constexpr const char* kApplicationDidReceiveMemoryWarningNotification =
    "ApplicationDidReceiveMemoryWarningNotification";

// Errors the application object reports.
inline const std::string kApplicationErrorDomain = "ApplicationErrorDomain";
// Remote notifications cannot be registered: there is no push service here.
inline constexpr int kRemoteNotificationsUnavailable = 1;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    // launchOptions may hold "url" (text) and "remoteNotification" (the payload).
    virtual bool didFinishLaunchingWithOptions(Application* app, const foundation::Dictionary& launchOptions) {
        (void)app;
        (void)launchOptions;
        return true;
    }
    virtual void applicationWillResignActive(Application*) {}
    virtual void applicationDidEnterBackground(Application*) {}
    virtual void applicationWillEnterForeground(Application*) {}
    virtual void applicationDidBecomeActive(Application*) {}
    virtual void applicationWillTerminate(Application*) {}
    virtual void applicationDidReceiveMemoryWarning(Application*) {}
    virtual void didRegisterForRemoteNotificationsWithDeviceToken(Application*, const std::vector<uint8_t>&) {}
    virtual void didFailToRegisterForRemoteNotificationsWithError(Application*, const foundation::Error& error) {
        (void)error;
    }
    virtual void didReceiveRemoteNotification(Application*, const foundation::Value& userInfo) { (void)userInfo; }
    // A URL of our own scheme opened by another app.
    virtual bool openURL(Application*, const std::string& url, const std::string& sourceApplication,
                         const foundation::Value& annotation) {
        (void)url;
        (void)sourceApplication;
        (void)annotation;
        return false;
    }
    // The delegate's window (the drop-down notices hang there).
    virtual Window* window() const { return nullptr; }
};

class Application {
public:
    static Application& shared();

    ApplicationDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(std::shared_ptr<ApplicationDelegate> d) { delegate_ = std::move(d); }
    // Sets the delegate, calls didFinishLaunchingWithOptions and becomes active.
    bool launch(std::shared_ptr<ApplicationDelegate> delegate, const foundation::Dictionary& options = {});

    Window* keyWindow() const;
    ApplicationState applicationState() const { return state_; }

    // Life cycle, moved by the driver.
    void resignActive();
    void enterBackground();
    void enterForeground();
    void becomeActive();
    void terminate();
    // A memory warning (platform/ui/MemoryWarnings.h): the delegate, the
    // notification, then every view controller alive.
    void receiveMemoryWarning();

    long applicationIconBadgeNumber() const { return badge_; }
    // Negative numbers clear the badge like 0.
    void setApplicationIconBadgeNumber(long n) { badge_ = n < 0 ? 0 : n; }
    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool d) { idleTimerDisabled_ = d; }
    bool isNetworkActivityIndicatorVisible() const { return networkIndicator_; }
    void setNetworkActivityIndicatorVisible(bool v) { networkIndicator_ = v; }
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool h, bool animated = false) {
        (void)animated;
        statusBarHidden_ = h;
    }
    // 20 points high across the top, empty while hidden.
    Rect statusBarFrame() const;
    // 1 portrait, 2 upside down, 3 landscape right, 4 landscape left.
    int statusBarOrientation() const { return statusBarOrientation_; }
    // A change posts kApplicationDidChangeStatusBarOrientationNotification.
    void setStatusBarOrientation(int o);

    // Remote notifications. Registration answers the delegate on the next
    // run-loop turn: with the device token when one is configured, else
    // with an error.
    void registerForRemoteNotificationTypes(unsigned types);
    void unregisterForRemoteNotifications();
    unsigned enabledRemoteNotificationTypes() const { return registered_ & allowed_; }
    void setAllowedRemoteNotificationTypes(unsigned types) { allowed_ = types; }
    void setRemoteNotificationDeviceToken(std::vector<uint8_t> token) { token_ = std::move(token); }
    // Hands a payload to the delegate (from the shell or a test).
    void deliverRemoteNotification(const foundation::Value& payload);

    // URLs. canOpenURL answers for schemes in the registry ("http" and
    // "https" are always there); openURL records every request.
    void registerURLScheme(const std::string& scheme);
    void unregisterURLScheme(const std::string& scheme);
    bool canOpenURL(const std::string& url) const;
    bool openURL(const std::string& url);
    const std::vector<std::string>& openedURLs() const { return opened_; }
    // A URL for our own scheme from another app (shell command line, local
    // socket or a test); returns the delegate's answer.
    bool deliverIncomingURL(const std::string& url, const std::string& sourceApplication = "",
                            const foundation::Value& annotation = {});

    // System sounds: recorded in the order played.
    void playSystemSound(unsigned soundID);
    const std::vector<unsigned>& playedSystemSounds() const { return sounds_; }

    // Back to a fresh application (tests).
    void reset();

private:
    Application() = default;
    void post(const char* name);

    std::shared_ptr<ApplicationDelegate> delegate_;
    ApplicationState state_ = ApplicationState::Inactive;
    long badge_ = 0;
    bool idleTimerDisabled_ = false, networkIndicator_ = false, statusBarHidden_ = false;
    int statusBarOrientation_ = 1;
    unsigned registered_ = 0;
    unsigned allowed_ = kRemoteNotificationTypeBadge | kRemoteNotificationTypeSound | kRemoteNotificationTypeAlert;
    std::vector<uint8_t> token_;
    std::vector<std::string> schemes_, opened_;
    std::vector<unsigned> sounds_;
    unsigned registration_ = 0;
};

// The scheme of a URL in lower case ("" when it has none).
std::string urlScheme(const std::string& url);

}  // namespace ui
