#pragma once
// The code screens: the one-time-password tab "OTP" and the nine-star tab
// "JIUXING" (also the main screen's quick sheet).

#include "platform/ui/ScreenMap.h"

void registerTokenScreens(ui::ScreenMap& map);
