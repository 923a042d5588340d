#include "app/screens/guide/GuideScreens.h"

#include "app/screens/guide/GuideViewController.h"
#include "platform/ui/Navigation.h"

void registerGuideScreens(ui::ScreenMap& map) {
    // In a navigation controller (with its bar hidden), so that a bound user
    // who opens the guide again from another screen can leave it; the guide
    // itself performs the segues.
    ui::ScreenMap* storyboard = &map;
    map.registerScreen(kGuideScreenIdentifier, [storyboard] {
        auto guide = std::make_shared<GuideViewController>();
        guide->setStoryboard(storyboard, kGuideScreenIdentifier);
        return std::make_shared<ui::NavigationController>(guide);
    });
    map.registerSegue(kGuideScreenIdentifier, GuideRouting::kSegueStartBind, "BindViewController",
                      ui::SegueKind::Modal);
    // The main screen pushes the other screens: it comes in a navigation
    // controller of its own.
    map.registerSegue(kGuideScreenIdentifier, GuideRouting::kSegueHasBind, "KAVOMainFrameViewController",
                      ui::SegueKind::ModalInNavigation);
    map.registerSegue(kGuideScreenIdentifier, GuideRouting::kSegueHasPwd, "StartPasswordViewController",
                      ui::SegueKind::Modal);
}
