#pragma once
// The account's protections: the protections table with the account lock,
// the lock-period editor, the password change and the person centre.
#include "platform/ui/ScreenMap.h"

// Screen identifiers of the area.
inline constexpr const char* kAccountProtectScreen = "AccountProtectViewController";
inline constexpr const char* kAccountLockScreen = "accountlock";
inline constexpr const char* kChangePasswordScreen = "ChangePassWord";
inline constexpr const char* kPersonCenterScreen = "PersonCenterViewController";
// The protections table's segue to the password change.
inline constexpr const char* kChangePasswordSegue = "changePassword";

void registerProtectScreens(ui::ScreenMap& map);
