#include "platform/ui/Application.h"

#include <algorithm>
#include <cctype>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ui {

std::string urlScheme(const std::string& url) {
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    std::string scheme = url.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(scheme[0]))) return {};
    for (char& c : scheme) {
        unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '+' && c != '-' && c != '.') return {};
        c = char(std::tolower(u));
    }
    return scheme;
}

Application& Application::shared() {
    static Application app;
    static const bool registered =
        (foundation::registerResetter("ui.application", foundation::ResetPhase::SharedObject, [] { app.reset(); }),
         true);
    (void)registered;
    return app;
}

void Application::post(const char* name) { foundation::NotificationCenter::defaultCenter().post(name, this); }

bool Application::launch(std::shared_ptr<ApplicationDelegate> delegate, const foundation::Dictionary& options) {
    delegate_ = std::move(delegate);
    state_ = ApplicationState::Inactive;
    bool ok = delegate_ ? delegate_->didFinishLaunchingWithOptions(this, options) : true;
    post(kApplicationDidFinishLaunchingNotification);
    becomeActive();
    return ok;
}

Window* Application::keyWindow() const { return Window::keyWindow(); }

void Application::setStatusBarOrientation(int o) {
    if (o == statusBarOrientation_) return;
    statusBarOrientation_ = o;
    post(kApplicationDidChangeStatusBarOrientationNotification);
}

void Application::resignActive() {
    if (state_ != ApplicationState::Active) return;
    state_ = ApplicationState::Inactive;
    if (delegate_) delegate_->applicationWillResignActive(this);
    post(kApplicationWillResignActiveNotification);
}

void Application::enterBackground() {
    resignActive();
    if (state_ == ApplicationState::Background) return;
    state_ = ApplicationState::Background;
    if (delegate_) delegate_->applicationDidEnterBackground(this);
    post(kApplicationDidEnterBackgroundNotification);
}

void Application::enterForeground() {
    if (state_ != ApplicationState::Background) return;
    state_ = ApplicationState::Inactive;
    if (delegate_) delegate_->applicationWillEnterForeground(this);
    post(kApplicationWillEnterForegroundNotification);
}

void Application::becomeActive() {
    if (state_ == ApplicationState::Background) enterForeground();
    if (state_ == ApplicationState::Active) return;
    state_ = ApplicationState::Active;
    if (delegate_) delegate_->applicationDidBecomeActive(this);
    post(kApplicationDidBecomeActiveNotification);
}

void Application::terminate() {
    if (delegate_) delegate_->applicationWillTerminate(this);
    post(kApplicationWillTerminateNotification);
}

void Application::receiveMemoryWarning() {
    if (delegate_) delegate_->applicationDidReceiveMemoryWarning(this);
    post(kApplicationDidReceiveMemoryWarningNotification);
    ViewController::sendMemoryWarningToAll();
}

Rect Application::statusBarFrame() const {
    if (statusBarHidden_) return {};
    return {0, 0, Screen::main().bounds().width(), 20};
}

void Application::registerForRemoteNotificationTypes(unsigned types) {
    registered_ = types;
    unsigned id = ++registration_;
    foundation::postToMain([this, id]() {
        if (id != registration_ || !delegate_) return;
        if (!token_.empty() && (registered_ & allowed_) != 0)
            delegate_->didRegisterForRemoteNotificationsWithDeviceToken(this, token_);
        else
            delegate_->didFailToRegisterForRemoteNotificationsWithError(
                this, foundation::Error(kApplicationErrorDomain, kRemoteNotificationsUnavailable,
                                        "remote notifications are not available on this device"));
    });
}

void Application::unregisterForRemoteNotifications() {
    registered_ = 0;
    ++registration_;
}

void Application::deliverRemoteNotification(const foundation::Value& payload) {
    if (delegate_) delegate_->didReceiveRemoteNotification(this, payload);
}

void Application::registerURLScheme(const std::string& scheme) {
    std::string s = urlScheme(scheme + ":");
    if (s.empty()) return;
    if (std::find(schemes_.begin(), schemes_.end(), s) == schemes_.end()) schemes_.push_back(s);
}

void Application::unregisterURLScheme(const std::string& scheme) {
    std::string s = urlScheme(scheme + ":");
    schemes_.erase(std::remove(schemes_.begin(), schemes_.end(), s), schemes_.end());
}

bool Application::canOpenURL(const std::string& url) const {
    std::string s = urlScheme(url);
    if (s.empty()) return false;
    if (s == "http" || s == "https") return true;
    return std::find(schemes_.begin(), schemes_.end(), s) != schemes_.end();
}

bool Application::openURL(const std::string& url) {
    opened_.push_back(url);
    bool ok = canOpenURL(url);
    foundation::log("open URL ", url, ok ? "" : " (no app answers it)");
    return ok;
}

bool Application::deliverIncomingURL(const std::string& url, const std::string& sourceApplication,
                                     const foundation::Value& annotation) {
    if (!delegate_) return false;
    return delegate_->openURL(this, url, sourceApplication, annotation);
}

void Application::playSystemSound(unsigned soundID) { sounds_.push_back(soundID); }

void Application::reset() {
    delegate_.reset();
    state_ = ApplicationState::Inactive;
    badge_ = 0;
    idleTimerDisabled_ = networkIndicator_ = statusBarHidden_ = false;
    statusBarOrientation_ = 1;
    registered_ = 0;
    allowed_ = kRemoteNotificationTypeBadge | kRemoteNotificationTypeSound | kRemoteNotificationTypeAlert;
    token_.clear();
    schemes_.clear();
    opened_.clear();
    sounds_.clear();
    ++registration_;
}

}  // namespace ui
