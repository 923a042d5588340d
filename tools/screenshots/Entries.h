#pragma once
// The app's screens that have a picture in docs/screens/.

#include <vector>

#include "tools/screenshots/ScreenShots.h"

namespace screenshots {

std::vector<ScreenShot> appScreenShots();
// The main screen's pictures (HubEntries.cpp).
void addHubScreenShots(std::vector<ScreenShot>& entries);
// The settings, log, help and information screens (SettingsEntries.cpp).
void addSettingsScreenShots(std::vector<ScreenShot>& entries);
// The code tab and the nine-star tab (TokenEntries.cpp).
void addTokenScreenShots(std::vector<ScreenShot>& entries);

}  // namespace screenshots
