#pragma once
// The first-start guide area: the guide screen and the segues that leave it.

#include "platform/ui/ScreenMap.h"

inline constexpr const char* kGuideScreenIdentifier = "GuideViewController";

void registerGuideScreens(ui::ScreenMap& map);
