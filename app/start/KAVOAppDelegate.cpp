#include "app/start/KAVOAppDelegate.h"

#include <algorithm>

#include "app/core/DBController.h"
#include "app/cycle/Constants.h"
#include "lib/analytics/TrkTracker.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

const char* const KAVOAppDelegate::kAnalyticsAccountID = "QT-30001-1";
const char* const KAVOAppDelegate::kPaymentClientBundleID = "com.korvex.client";
const char* const KAVOAppDelegate::kHandBackPrefix = "kavocenter://nimbra/?";

namespace {

constexpr unsigned kAllTypes =
    ui::kRemoteNotificationTypeBadge | ui::kRemoteNotificationTypeSound | ui::kRemoteNotificationTypeAlert;

}  // namespace

KAVOAppDelegate::~KAVOAppDelegate() {
    auto& tracker = TrkTracker::sharedTracker();
    tracker.dispatch();
    tracker.stopTracker();
}

bool KAVOAppDelegate::didFinishLaunchingWithOptions(ui::Application* app, const foundation::Dictionary&) {
    app->registerForRemoteNotificationTypes(kAllTypes);
    auto& defaults = foundation::UserDefaults::standard();
    defaults.setString("isPushInfo", (app->enabledRemoteNotificationTypes() & kAllTypes) != 0 ? "1" : "0");
    defaults.synchronize();

    auto& tracker = TrkTracker::sharedTracker();
    tracker.stopTracker();
    tracker.startTrackerWithAccountID(kAnalyticsAccountID, 5, nullptr);

    if (defaults.integerForKey("uniqueuser") == 0 && !DBController::databaseExit()) {
        defaults.setInteger("uniqueuser", 1);
        defaults.synchronize();
        TrkError error;
        if (!tracker.trackEvent(std::string(Constants::kOtherCategory), std::string("VeryFirstCheck"), std::nullopt, 0,
                                &error))
            foundation::log("error in trackEvent");
    }
    return true;
}

void KAVOAppDelegate::didRegisterForRemoteNotificationsWithDeviceToken(ui::Application*,
                                                                       const std::vector<uint8_t>& deviceToken) {
    std::string text = foundation::Value(foundation::Bytes(deviceToken)).description();
    for (char c : {'<', '>', ' '}) text.erase(std::remove(text.begin(), text.end(), c), text.end());
    auto& defaults = foundation::UserDefaults::standard();
    if (defaults.stringForKey("token") == text) return;
    defaults.setString("token", text);
    defaults.synchronize();
}

void KAVOAppDelegate::didFailToRegisterForRemoteNotificationsWithError(ui::Application*,
                                                                       const foundation::Error& error) {
    foundation::log("Failed to get token, error: ", error.description());
}

void KAVOAppDelegate::didReceiveRemoteNotification(ui::Application* app, const foundation::Value& userInfo) {
    if (app->applicationState() != ui::ApplicationState::Active) return;
    std::string message;
    const foundation::Value* aps = userInfo.get("aps");
    const foundation::Value* alert = aps ? aps->get("alert") : nullptr;
    if (alert && alert->isDictionary()) {
        // The long form of a notification: the text is its "body".
        const foundation::Value* body = alert->get("body");
        if (body && !body->isNull()) message = body->description();
    } else if (alert && !alert->isNull()) {
        message = alert->description();
    }
    Constants::simpleAlertViewWithTitle("提示", message);
}

bool KAVOAppDelegate::openURL(ui::Application*, const std::string& url, const std::string& sourceApplication,
                              const foundation::Value&) {
    if (sourceApplication == kPaymentClientBundleID) storePaymentHandBack(url);
    return true;
}

void KAVOAppDelegate::applicationWillResignActive(ui::Application*) { TrkTracker::sharedTracker().dispatch(); }

void KAVOAppDelegate::applicationWillTerminate(ui::Application*) {
    auto& tracker = TrkTracker::sharedTracker();
    tracker.dispatch();
    tracker.stopTracker();
}
