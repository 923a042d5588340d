#pragma once
#include "platform/ui/ScreenMap.h"

// The help, about, classroom and article screens.
void registerInfoScreens(ui::ScreenMap& map);
