#pragma once
// The app's own lock: the start-PIN screen with its freeze, setting,
// changing and deleting the PIN, the safe phone for remote de-registration,
// and the forgotten-PIN screen with the quick de-registration.

#include "platform/ui/ScreenMap.h"

namespace pinscreens {

inline constexpr const char* kStartPasswordScreen = "StartPasswordViewController";
inline constexpr const char* kSetPinScreen = "SoftPasswordViewController";
inline constexpr const char* kModifyPinScreen = "ModifySoftPwdViewController";
inline constexpr const char* kDeletePinScreen = "DeleteSoftPwdViewController";
inline constexpr const char* kRemoteDeleteScreen = "RemoteDeleteViewController";
inline constexpr const char* kModifySafePhoneScreen = "modifySafePhoneViewController";
inline constexpr const char* kDeleteSafePhoneScreen = "deleteSafePwdViewController";
inline constexpr const char* kForgetPinScreen = "ForgetPwdViewController";

}  // namespace pinscreens

void registerPinScreens(ui::ScreenMap& map);
