#pragma once
// Page views and events of the screens: the page word or category word goes
// into "/iOS/3.0/<word>"; a hit the tracker does not record is logged
// ("error in trackPageview" / "error in trackEvent") and the screen goes on.

#include <optional>
#include <string>

namespace ScreenAnalytics {

// "/iOS/3.0/" followed by the word.
std::string path(const std::string& word);

bool trackPageview(const std::string& pageWord);
// Value 0 unless given.
bool trackEvent(const std::string& categoryWord, const std::string& action, const std::optional<std::string>& label,
                int value = 0);

}  // namespace ScreenAnalytics
