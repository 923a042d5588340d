#include "app/screens/bind/BindScreens.h"

#include "app/screens/bind/BindViewController.h"
#include "lib/kit/CustomNavigationBar.h"
#include "platform/ui/Navigation.h"

void registerBindScreens(ui::ScreenMap& map) {
    // The screen lives in a navigation controller of its own (its bar holds
    // the help button); the screen itself performs the segues.
    ui::ScreenMap* storyboard = &map;
    map.registerScreen(kBindScreenIdentifier, [storyboard] {
        auto screen = std::make_shared<BindViewController>();
        screen->setStoryboard(storyboard, kBindScreenIdentifier);
        return std::make_shared<ui::NavigationController>(screen, CustomNavigationBar::create());
    });
    // The main screen pushes the other screens: it comes in a navigation
    // controller of its own.
    map.registerSegue(kBindScreenIdentifier, BindViewController::kSegueBindSuccess, "KAVOMainFrameViewController",
                      ui::SegueKind::ModalInNavigation);
}
