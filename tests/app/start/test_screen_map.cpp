// The app's screen map as a whole: every segue and screen a screen asks for
// is in it, and every push leaves a screen that has a navigation controller
// on each road that reaches it from the launch router.
#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <sstream>

#include "app/screens/bind/BindViewController.h"
#include "app/screens/guide/GuideRouting.h"
#include "app/screens/hub/KAVOMainFrameViewController.h"
#include "app/screens/info/InfoPages.h"
#include "app/screens/info/KAVOHelpViewController.h"
#include "app/screens/log/KAVOSafeAuditViewController.h"
#include "app/screens/protect/ProtectScreens.h"
#include "app/screens/settings/KAVOSettingViewController.h"
#include "app/screens/settings/SuggestViewController.h"
#include "app/screens/token/KAVOSafeProductViewController.h"
#include "platform/ui/Control.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Window.h"
#include "tests/app/start/StartFixture.h"

using namespace starttest;

namespace {

// Each screen with the segues its code performs (performSegueWithIdentifier
// in app/): the launch router's ways on, the guide's and the start PIN's, the
// main screen's buttons, the settings rows and sheets, and the others' one
// way each.
struct Asked {
    const char* screen;
    std::vector<std::string> segues;
};

const std::vector<Asked>& askedSegues() {
    static const std::vector<Asked> asked = {
        {"KAVOViewController", {"showMain", "haspassword", "welcome", "korvexBind"}},
        {"GuideViewController",
         {GuideRouting::kSegueStartBind, GuideRouting::kSegueHasBind, GuideRouting::kSegueHasPwd}},
        {"BindViewController", {BindViewController::kSegueBindSuccess}},
        {"StartPasswordViewController", {"checkSuccess", "forgetPwd"}},
        {"ForgetPwdViewController", {"forgetSuccess"}},
        {"KAVOMainFrameViewController",
         {"showSetting", "showProtect", "showPersonCenter", "showProduct", "showSafeAudit"}},
        {"AccountProtectViewController", {kChangePasswordSegue}},
        {"KAVOSettingViewController",
         {"safePhone", "modifySafePwd", "deleteSafePwd", "setPwd", "modifyPwd", "deletePwd"}},
    };
    return asked;
}

// Screens the code makes by identifier (tabs, sheets, article pages).
const std::vector<std::string>& instantiatedScreens() {
    static const std::vector<std::string> screens = {
        KAVOSafeProductViewController::kOTP,
        KAVOSafeProductViewController::kOKV,
        KAVOSafeProductViewController::kJIUXING,
        KAVOMainFrameViewController::kJiuXingScreen,
        kAccountLockScreen,
        "ChangePassWord",
        KAVOSafeClassDetailViewController::kIdentifier,
        KAVOAboutDetailViewController::kIdentifier,
    };
    return screens;
}

class ScreenMapRoads : public StartTest {
protected:
    // Whether the screen the map makes for `id` is a navigation controller.
    bool madeInNavigation(ui::ScreenMap& map, const std::string& id) {
        auto made = map.instantiateViewControllerWithIdentifier(id);
        return dynamic_cast<ui::NavigationController*>(made.get()) != nullptr;
    }

    // Runs a custom segue between stand-ins in the window (the source in a
    // navigation controller or not) and answers whether the destination
    // ended in one.
    bool customLeavesInNavigation(const std::string& id, const ui::ScreenMap::Segue& s, bool sourceInNavigation) {
        auto source = std::make_shared<StandIn>("source");
        auto destination = std::make_shared<StandIn>("destination");
        std::shared_ptr<ui::ViewController> root = source;
        if (sourceInNavigation) root = std::make_shared<ui::NavigationController>(source);
        root->view()->setFrame(driver().window().bounds());
        driver().window().addSubview(root->viewRef());
        root->beginAppearanceTransition(true, false);
        root->endAppearanceTransition();
        ui::StoryboardSegue segue(id, source, destination, s.kind, s.custom);
        segue.perform();
        driver().settle();
        const bool inNavigation = destination->navigationController() != nullptr;
        root->dismissViewControllerAnimated(false);
        root->view()->removeFromSuperview();
        return inNavigation;
    }
};

}  // namespace

TEST_F(ScreenMapRoads, EverySegueAndScreenTheScreensAskForIsInTheMap) {
    auto map = KAVOStoryboard::make();
    for (const Asked& a : askedSegues()) {
        ASSERT_TRUE(map->hasScreen(a.screen)) << a.screen;
        const auto leaving = map->segues().find(a.screen);
        for (const std::string& segue : a.segues) {
            const bool registered = leaving != map->segues().end() && leaving->second.count(segue) != 0;
            EXPECT_TRUE(registered) << a.screen << " asks for the segue \"" << segue << "\"";
            if (registered) {
                EXPECT_TRUE(map->hasScreen(leaving->second.at(segue).to))
                    << a.screen << " -" << segue << "-> " << leaving->second.at(segue).to;
            }
        }
    }
    // The settings rows that lead elsewhere (the classroom, feedback, help,
    // about), as the screen names them.
    const auto settings = map->segues().find(KAVOSettingViewController::kIdentifier);
    ASSERT_NE(settings, map->segues().end());
    for (int row = 0; row < KAVOSettingViewController::kRowCount; ++row) {
        if (const char* segue = KAVOSettingViewController::segueOfRow(row)) {
            EXPECT_TRUE(settings->second.count(segue)) << "settings row " << row << " asks for \"" << segue << "\"";
        }
    }
    for (const std::string& id : instantiatedScreens()) EXPECT_TRUE(map->hasScreen(id)) << id;
}

TEST_F(ScreenMapRoads, EveryPushLeavesAScreenInANavigationControllerOnEveryRoad) {
    auto map = KAVOStoryboard::make();
    // The launch router is the window's root, in no navigation controller.
    struct Arrival {
        std::string screen;
        bool inNavigation;
        std::string road;
    };
    std::deque<Arrival> todo{{map->initialScreen(), false, map->initialScreen()}};
    std::set<std::pair<std::string, bool>> seen;
    std::set<std::string> reached;
    std::vector<std::string> dead;
    while (!todo.empty()) {
        Arrival at = todo.front();
        todo.pop_front();
        if (!seen.insert({at.screen, at.inNavigation}).second) continue;
        reached.insert(at.screen);
        const auto leaving = map->segues().find(at.screen);
        if (leaving == map->segues().end()) continue;
        for (const auto& [id, s] : leaving->second) {
            bool next = false;
            switch (s.kind) {
                case ui::SegueKind::Push:
                    if (!at.inNavigation) dead.push_back(at.road + " -" + id + "-> " + s.to);
                    next = true;
                    break;
                case ui::SegueKind::Modal:
                    next = madeInNavigation(*map, s.to);
                    break;
                case ui::SegueKind::ModalInNavigation:
                    next = true;
                    break;
                case ui::SegueKind::Custom:
                    next = madeInNavigation(*map, s.to) || customLeavesInNavigation(id, s, at.inNavigation);
                    break;
            }
            todo.push_back({s.to, next, at.road + " -" + id + "-> " + s.to});
        }
    }
    std::ostringstream list;
    for (const auto& d : dead) list << "\n  " << d;
    EXPECT_TRUE(dead.empty()) << "pushes from a screen without a navigation controller:" << list.str();
    // Every screen that leads somewhere is on a road, so the check above saw it.
    for (const auto& [from, segues] : map->segues())
        EXPECT_TRUE(reached.count(from)) << from << " has segues but no road leads to it";
}

TEST_F(ScreenMapRoads, PushedScreensBackOutWithTheSameWordedButton) {
    auto map = KAVOStoryboard::make();
    // The screens that make their back button when their view loads (the
    // protection and PIN screens make theirs, also reading 返回, on
    // appearing): the bar's stretched chevron with its word, 返回, as wide as
    // the word plus one and a half caps (14 points).
    const std::vector<std::string> screens = {
        KAVOSettingViewController::kIdentifier,     KAVOSafeProductViewController::kScreenIdentifier,
        KAVOSafeAuditViewController::kIdentifier,   SuggestViewController::kIdentifier,
        KAVOHelpViewController::kIdentifier,        KAVOAboutUsViewController::kIdentifier,
        KAVOSafeClassViewController::kIdentifier,   KAVOSafeClassDetailViewController::kIdentifier,
        KAVOAboutDetailViewController::kIdentifier,
    };
    for (const std::string& id : screens) {
        auto screen = map->instantiateViewControllerWithIdentifier(id);
        ASSERT_TRUE(screen) << id;
        screen->view();
        ui::BarButtonItem* item = screen->navigationItem()->leftBarButtonItem();
        ASSERT_TRUE(item) << id;
        auto* button = dynamic_cast<ui::Button*>(item->customView());
        ASSERT_TRUE(button) << id;
        EXPECT_EQ(button->currentTitle(), "返回") << id;
        EXPECT_GT(button->frame().width(), 21 + 10) << id;
    }
}
