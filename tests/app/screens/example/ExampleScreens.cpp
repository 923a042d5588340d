#include "ExampleScreens.h"

#include "ClockExampleScreen.h"

void registerExampleScreens(ui::ScreenMap& map) {
    map.registerScreen(kClockExampleScreen, [] { return std::make_shared<ClockExampleScreen>(); });
}
