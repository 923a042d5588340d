#pragma once
// The lock area's screen pictures.

#include <vector>

#include "tools/screenshots/ScreenShots.h"

namespace screenshots {

void addPinScreenShots(std::vector<ScreenShot>& entries);

}  // namespace screenshots
