#pragma once
// The example area's picture entries, as tools/screenshots/Entries.cpp
// holds them for the app's areas.

#include <memory>
#include <vector>

#include "tests/app/screens/example/ExampleScreens.h"
#include "tools/screenshots/ScreenShots.h"

inline std::unique_ptr<ui::ScreenMap> exampleScreenMap() {
    auto map = std::make_unique<ui::ScreenMap>();
    registerExampleScreens(*map);
    return map;
}

inline std::vector<screenshots::ScreenShot> exampleScreenShots() {
    screenshots::ScreenShot clock;
    clock.name = "clock-example";
    clock.screen = kClockExampleScreen;
    return {clock};
}
