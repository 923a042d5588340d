#include "app/screens/protect/ProtectScreens.h"

#include "app/screens/protect/AccountProtectViewController.h"
#include "app/screens/protect/ChangePasswordViewController.h"
#include "app/screens/protect/KAVOACLockViewController.h"
#include "app/screens/protect/PersonCenterViewController.h"

void registerProtectScreens(ui::ScreenMap& map) {
    map.registerScreen(kAccountProtectScreen, [] { return std::make_shared<AccountProtectViewController>(); });
    map.registerScreen(kAccountLockScreen, [] { return std::make_shared<KAVOACLockViewController>(); });
    map.registerScreen(kChangePasswordScreen, [] { return std::make_shared<ChangePasswordViewController>(); });
    map.registerScreen(kPersonCenterScreen, [] { return std::make_shared<PersonCenterViewController>(); });
    map.registerSegue(kAccountProtectScreen, kChangePasswordSegue, kChangePasswordScreen, ui::SegueKind::Push);
}
