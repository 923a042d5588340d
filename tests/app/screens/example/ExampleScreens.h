#pragma once
// The example area's one entry point: its screens and segues in the map.

#include "platform/ui/ScreenMap.h"

inline constexpr const char* kClockExampleScreen = "ClockExampleScreen";

void registerExampleScreens(ui::ScreenMap& map);
