// The rating prompt's counters and answers in the user defaults.
#include <cmath>

#include "app/core/BindingState.h"
#include "app/core/CoreConstants.h"
#include "app/core/StoreKeys.h"
#include "lib/analytics/TrkTracker.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

namespace {

constexpr const char* kVerno = "verno";
constexpr const char* kUseCount = "usecount";
constexpr const char* kStartTime = "starttime";
constexpr const char* kRate = "rate";
constexpr const char* kRefuseRate = "refusetate";

// Where the store shows this app's reviews (a deployment value).
constexpr const char* kStoreHost = "apps.quenta.example";
constexpr const char* kStoreAppID = "600000001";

void trackOtherEvent(const std::string& action, const TrkText& label) {
    TrkError error;
    if (!TrkTracker::sharedTracker().trackEvent(std::string(CoreConstants::kOtherCategory), action, label, 0, &error))
        foundation::log("error in trackEvent");
}

std::string buildVersion() { return foundation::device().appVersion; }

}  // namespace

const char* const CoreConstants::kOtherCategory = "/iOS/3.0/otherCategory";

void CoreConstants::initPersonalUseCheckAndRateVar() {
    auto& defaults = foundation::UserDefaults::standard();
    const std::string version = buildVersion();
    const auto verno = defaults.stringForKey(kVerno);
    if (verno && *verno == version) {
        defaults.setInteger(kUseCount, defaults.integerForKey(kUseCount) + 1);
        defaults.synchronize();
        return;
    }
    if (!verno || verno->substr(0, verno->find('.')) == "2") {
        binding::storeBoth(binding::BindingState::Bound);
        upDateDBSetValue("0", StoreKeys::otpFast);
    }
    resetAllRateUserDefault();
    trackOtherEvent("UpdateAccoured", version);
    defaults.synchronize();
}

void CoreConstants::resetAllRateUserDefault() {
    auto& defaults = foundation::UserDefaults::standard();
    defaults.setString(kVerno, buildVersion());
    defaults.setBool(kRate, false);
    defaults.setBool(kRefuseRate, false);
    defaults.setObject(kStartTime, foundation::Date{foundation::clock().now()});
    defaults.setInteger(kUseCount, 1);
    defaults.synchronize();
}

bool CoreConstants::isRatePromptDue() {
    auto& defaults = foundation::UserDefaults::standard();
    if (defaults.boolForKey(kRate) || defaults.boolForKey(kRefuseRate)) return false;
    const double uses = double(defaults.integerForKey(kUseCount));
    // Days since the count began, with the fraction; a missing start counts
    // as now.
    const auto start = defaults.dateForKey(kStartTime);
    const double days = start ? (foundation::clock().now() - start->seconds) / 3600.0 / 24.0 : 0.0;
    // Launches per day; on day 0 any launch is "many per day".
    const double perDay = days > 0 ? uses / days : (uses > 0 ? INFINITY : 0.0);
    if (uses >= 21) return true;
    if (days >= 14) return true;
    if (days > 7 && perDay >= 0.9) return true;
    if (days <= 7 && uses >= 7 && perDay >= 1.2857143) return true;
    return false;
}

std::string CoreConstants::rateAppURL() {
    return std::string("itms-apps://") + kStoreHost + "/WebObjects/MZStore.woa" + "/wa/viewContentsUserReviews?" +
           "type=Purple+Software&id=" + kStoreAppID;
}

std::string CoreConstants::appStorePageURL() { return std::string("http://") + kStoreHost + "/app/id" + kStoreAppID; }

bool CoreConstants::recordRateAnswer(int buttonIndex) {
    auto& defaults = foundation::UserDefaults::standard();
    std::string label;
    switch (buttonIndex) {
        case 0:
            defaults.setBool(kRefuseRate, true);
            defaults.synchronize();
            label = "rateNever";
            break;
        case 1:
            defaults.setBool(kRate, true);
            defaults.synchronize();
            label = "rateRate";
            break;
        case 2:
            resetAllRateUserDefault();
            label = "rateDelay";
            break;
        default:
            foundation::log("rating prompt: no button ", buttonIndex);
            return false;
    }
    trackOtherEvent("RateAppAlert", label);
    return buttonIndex == 1;
}
