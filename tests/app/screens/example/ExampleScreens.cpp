#include "tests/app/screens/example/ExampleScreens.h"

#include "tests/app/screens/example/ClockExampleScreen.h"

void registerExampleScreens(ui::ScreenMap& map) {
    map.registerScreen(kClockExampleScreen, [] { return std::make_shared<ClockExampleScreen>(); });
}
