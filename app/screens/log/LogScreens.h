#pragma once
#include "platform/ui/ScreenMap.h"

// The security log, reached from the hub and the settings.
void registerLogScreens(ui::ScreenMap& map);
