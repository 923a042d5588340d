#include "app/start/KAVOStoryboard.h"

#include "app/screens/hub/HubScreens.h"
#include "app/screens/info/InfoScreens.h"
#include "app/screens/log/LogScreens.h"
#include "app/screens/settings/SettingsScreens.h"
#include "app/start/KAVOViewController.h"
#include "platform/ui/Navigation.h"

namespace KAVOStoryboard {

std::unique_ptr<ui::ScreenMap> make() {
    auto map = std::make_unique<ui::ScreenMap>();
    map->registerScreen(kLaunchScreen, [] { return std::make_shared<KAVOViewController>(); });
    map->setInitialScreen(kLaunchScreen);
    // The main screen comes inside the bound app's navigation controller,
    // which the screens it leads to are pushed onto.
    map->registerSegue(kLaunchScreen, "showMain", kMainScreen, ui::SegueKind::Custom, [](ui::StoryboardSegue& segue) {
        segue.sourceViewController()->presentViewController(
            std::make_shared<ui::NavigationController>(segue.destinationRef()), true);
    });
    map->registerSegue(kLaunchScreen, "haspassword", kStartPasswordScreen, ui::SegueKind::Modal);
    map->registerSegue(kLaunchScreen, "welcome", kGuideScreen, ui::SegueKind::Modal);
    map->registerSegue(kLaunchScreen, "korvexBind", kBindScreen, ui::SegueKind::Modal);
    // Each area of app/screens/ adds its screens and their segues here with
    // its one register<Area>Screens(*map) (see docs/internals/screens.md).
    registerHubScreens(*map);
    registerSettingsScreens(*map);
    registerLogScreens(*map);
    registerInfoScreens(*map);
    return map;
}

}  // namespace KAVOStoryboard
