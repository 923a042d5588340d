#pragma once
// Command 24: de-registering this phone from the account. The settings
// screen and the forgotten-PIN screen both send it after a handshake in
// mode "1"; what they send, how they read the answer and what is wiped
// afterwards is written here once.

#include <optional>
#include <string>

#include "app/core/Models.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace LogoutAccount {

inline constexpr int kCommand = 24;
// The alert after a successful de-registration; dismissing it ends the app.
inline constexpr int kLoggedOutAlertTag = 2048;
inline constexpr const char* kLoggedOutTitle = "提示";
inline constexpr const char* kLoggedOutMessage = "注销账号成功";
inline constexpr const char* kFailedNotice = "注销账号账号操作失败";

// "24;<uuid>,<answer>" of the handshake's Answer (a missing member prints
// "(null)"); nullopt when either holds "," or ";" and would shift the fields.
std::optional<std::string> payload(const Answer& answer);

// The reply: {"isSuccess": true} when the phone was unbound.
struct Reply {
    bool isSuccess = false;
    // A missing "isSuccess" reads as false (nothing was done); a member of
    // another type is a problem.
    static std::optional<Reply> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
};

// After a successful de-registration: the key/value store is deleted and the
// user defaults are removed. The settings screen also marks the user as
// known (uniqueuser = 1) so the next start does not count a first run again.
// False when either could not be removed (what could be was).
bool wipeAfterLogout(bool markKnownUser);

}  // namespace LogoutAccount
