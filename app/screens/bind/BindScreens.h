#pragma once
// The binding area: the bind screen in its navigation controller, and the
// segue that leaves it once the phone is bound.

#include "platform/ui/ScreenMap.h"

inline constexpr const char* kBindScreenIdentifier = "BindViewController";

void registerBindScreens(ui::ScreenMap& map);
