#include "app/cycle/ScreenAnalytics.h"

#include "lib/analytics/TrkTracker.h"
#include "platform/foundation/Log.h"

namespace ScreenAnalytics {

std::string path(const std::string& word) { return "/iOS/3.0/" + word; }

bool trackPageview(const std::string& pageWord) {
    TrkError error;
    if (TrkTracker::sharedTracker().trackPageview(path(pageWord), &error)) return true;
    foundation::log("error in trackPageview");
    return false;
}

bool trackEvent(const std::string& categoryWord, const std::string& action, const std::optional<std::string>& label,
                int value) {
    TrkError error;
    if (TrkTracker::sharedTracker().trackEvent(path(categoryWord), action, label, value, &error)) return true;
    foundation::log("error in trackEvent");
    return false;
}

}  // namespace ScreenAnalytics
