#include "app/screens/info/InfoScreens.h"

#include "app/screens/info/InfoPages.h"
#include "app/screens/info/KAVOHelpViewController.h"

void registerInfoScreens(ui::ScreenMap& map) {
    map.registerScreen(KAVOHelpViewController::kIdentifier, [] { return std::make_shared<KAVOHelpViewController>(); });
    map.registerScreen(KAVOAboutUsViewController::kIdentifier,
                       [] { return std::make_shared<KAVOAboutUsViewController>(); });
    map.registerScreen(KAVOSafeClassViewController::kIdentifier,
                       [] { return std::make_shared<KAVOSafeClassViewController>(); });
    map.registerScreen(KAVOSafeClassDetailViewController::kIdentifier,
                       [] { return std::make_shared<KAVOSafeClassDetailViewController>(); });
    map.registerScreen(KAVOAboutDetailViewController::kIdentifier,
                       [] { return std::make_shared<KAVOAboutDetailViewController>(); });
}
