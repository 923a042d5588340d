#include "app/start/KAVOStoryboard.h"

#include "app/screens/bind/BindScreens.h"
#include "app/screens/guide/GuideScreens.h"
#include "app/screens/hub/HubScreens.h"
#include "app/screens/info/InfoScreens.h"
#include "app/screens/log/LogScreens.h"
#include "app/screens/pin/PinScreens.h"
#include "app/screens/protect/ProtectScreens.h"
#include "app/screens/settings/SettingsScreens.h"
#include "app/screens/token/TokenScreens.h"
#include "app/start/KAVOViewController.h"

namespace KAVOStoryboard {

std::unique_ptr<ui::ScreenMap> make() {
    auto map = std::make_unique<ui::ScreenMap>();
    map->registerScreen(kLaunchScreen, [] { return std::make_shared<KAVOViewController>(); });
    map->setInitialScreen(kLaunchScreen);
    // The main screen leads on to the other screens by pushing them.
    map->registerSegue(kLaunchScreen, "showMain", kMainScreen, ui::SegueKind::ModalInNavigation);
    map->registerSegue(kLaunchScreen, "haspassword", kStartPasswordScreen, ui::SegueKind::Modal);
    map->registerSegue(kLaunchScreen, "welcome", kGuideScreen, ui::SegueKind::Modal);
    map->registerSegue(kLaunchScreen, "korvexBind", kBindScreen, ui::SegueKind::Modal);
    // Each area of app/screens/ adds its screens and their segues here with
    // its one register<Area>Screens(*map) (see docs/internals/screens.md).
    registerGuideScreens(*map);
    registerBindScreens(*map);
    // After the guide: the PIN area replaces the segues into its screens.
    registerPinScreens(*map);
    registerTokenScreens(*map);
    registerHubScreens(*map);
    registerProtectScreens(*map);
    registerSettingsScreens(*map);
    registerLogScreens(*map);
    registerInfoScreens(*map);
    return map;
}

}  // namespace KAVOStoryboard
