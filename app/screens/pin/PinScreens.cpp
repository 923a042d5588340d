#include "app/screens/pin/PinScreens.h"

#include "app/screens/pin/ForgetPwdViewController.h"
#include "app/screens/pin/SafePhoneScreens.h"
#include "app/screens/pin/SetPinScreens.h"
#include "app/screens/pin/StartPasswordViewController.h"
#include "lib/kit/CustomNavigationBar.h"
#include "platform/ui/Navigation.h"

using namespace pinscreens;

namespace {

const char* const kLaunchScreen = "KAVOViewController";
const char* const kGuideScreen = "GuideViewController";
const char* const kMainScreen = "KAVOMainFrameViewController";
const char* const kSettingScreen = "KAVOSettingViewController";

// The start-PIN screen comes up in a navigation controller of its own (its
// bar carries the help button, and the forgotten-PIN screen is pushed on it).
void presentInNavigation(ui::StoryboardSegue& segue) {
    auto nav = std::make_shared<ui::NavigationController>(segue.destinationRef(), CustomNavigationBar::create());
    segue.sourceViewController()->presentViewController(nav, true);
}

}  // namespace

void registerPinScreens(ui::ScreenMap& map) {
    map.registerScreen(kStartPasswordScreen, [] { return std::make_shared<StartPasswordViewController>(); });
    map.registerScreen(kSetPinScreen, [] { return std::make_shared<SoftPasswordViewController>(); });
    map.registerScreen(kModifyPinScreen, [] { return std::make_shared<ModifySoftPwdViewController>(); });
    map.registerScreen(kDeletePinScreen, [] { return std::make_shared<DeleteSoftPwdViewController>(); });
    map.registerScreen(kRemoteDeleteScreen, [] { return std::make_shared<RemoteDeleteViewController>(); });
    map.registerScreen(kModifySafePhoneScreen, [] { return std::make_shared<modifySafePhoneViewController>(); });
    map.registerScreen(kDeleteSafePhoneScreen, [] { return std::make_shared<deleteSafePwdViewController>(); });
    map.registerScreen(kForgetPinScreen, [] { return std::make_shared<ForgetPwdViewController>(); });

    // Into the start-PIN screen: from the launch router and the guide.
    map.registerSegue(kLaunchScreen, "haspassword", kStartPasswordScreen, ui::SegueKind::Custom, presentInNavigation);
    map.registerSegue(kGuideScreen, "hasPwd", kStartPasswordScreen, ui::SegueKind::Custom, presentInNavigation);
    // Out of it. The main screen pushes the other screens: it comes in a
    // navigation controller of its own.
    map.registerSegue(kStartPasswordScreen, "checkSuccess", kMainScreen, ui::SegueKind::ModalInNavigation);
    map.registerSegue(kStartPasswordScreen, "forgetPwd", kForgetPinScreen, ui::SegueKind::Push);
    map.registerSegue(kForgetPinScreen, "forgetSuccess", kMainScreen, ui::SegueKind::ModalInNavigation);
    // The settings screen opens the PIN and safe-phone screens.
    map.registerSegue(kSettingScreen, "setPwd", kSetPinScreen, ui::SegueKind::Push);
    map.registerSegue(kSettingScreen, "modifyPwd", kModifyPinScreen, ui::SegueKind::Push);
    map.registerSegue(kSettingScreen, "deletePwd", kDeletePinScreen, ui::SegueKind::Push);
    map.registerSegue(kSettingScreen, "safePhone", kRemoteDeleteScreen, ui::SegueKind::Push);
    map.registerSegue(kSettingScreen, "modifySafePwd", kModifySafePhoneScreen, ui::SegueKind::Push);
    map.registerSegue(kSettingScreen, "deleteSafePwd", kDeleteSafePhoneScreen, ui::SegueKind::Push);
}
