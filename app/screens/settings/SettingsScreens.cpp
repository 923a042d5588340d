#include "app/screens/settings/SettingsScreens.h"

#include "app/screens/settings/KAVOSettingViewController.h"
#include "app/screens/settings/SuggestViewController.h"

void registerSettingsScreens(ui::ScreenMap& map) {
    const std::string settings = KAVOSettingViewController::kIdentifier;
    map.registerScreen(settings, [] { return std::make_shared<KAVOSettingViewController>(); });
    map.registerScreen(SuggestViewController::kIdentifier, [] { return std::make_shared<SuggestViewController>(); });

    // The remote de-registration and start-PIN screens (their own area).
    map.registerSegue(settings, "safePhone", "RemoteDeleteViewController", ui::SegueKind::Push);
    map.registerSegue(settings, "modifySafePwd", "modifySafePhoneViewController", ui::SegueKind::Push);
    map.registerSegue(settings, "deleteSafePwd", "deleteSafePwdViewController", ui::SegueKind::Push);
    map.registerSegue(settings, "setPwd", "SoftPasswordViewController", ui::SegueKind::Push);
    map.registerSegue(settings, "modifyPwd", "ModifySoftPwdViewController", ui::SegueKind::Push);
    map.registerSegue(settings, "deletePwd", "DeleteSoftPwdViewController", ui::SegueKind::Push);
    // The rows the layout leads on from.
    map.registerSegue(settings, "safeClass", "KAVOSafeClassViewController", ui::SegueKind::Push);
    map.registerSegue(settings, "suggest", SuggestViewController::kIdentifier, ui::SegueKind::Push);
    map.registerSegue(settings, "help", "KAVOHelpViewController", ui::SegueKind::Push);
    map.registerSegue(settings, "aboutUs", "KAVOAboutUsViewController", ui::SegueKind::Push);
}
