#pragma once
#include "platform/ui/ScreenMap.h"

// The settings and feedback screens, and the segues that leave the settings.
void registerSettingsScreens(ui::ScreenMap& map);
