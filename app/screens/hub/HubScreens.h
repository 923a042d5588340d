#pragma once
// The main screen's area: the main screen, the segues that leave it and,
// until the nine-star screen is in the map, a plain stand-in for the quick
// nine-star sheet.

#include "platform/ui/ScreenMap.h"

void registerHubScreens(ui::ScreenMap& map);
