#pragma once
// The plain models the screens fill from the key/value store and from server
// replies. Every text member starts as nil (nullopt, printed as "(null)");
// PersonCenterInfo also holds an array. They are plain structs: read and
// assign the members directly.

#include <optional>
#include <string>

#include "platform/foundation/Value.h"

// A text that may be nil.
using OptionalText = std::optional<std::string>;

// The token and session record.
struct DkBase {
    OptionalText bid;          // token key as hex text
    OptionalText server_time;  // server time in milliseconds
    OptionalText result;
    OptionalText difftime;  // server minus device time, seconds
    OptionalText sid;       // session id (the code screens keep the uuid here)
    OptionalText sessionkey;
    OptionalText serial;  // the six-character bind serial
};

// The main screen's view of the store.
struct MainPageInfo {
    OptionalText state;
    OptionalText uuid;
    OptionalText bid;
    OptionalText difftime;
    OptionalText sessionkey;
    OptionalText userName;
    OptionalText phone;
    OptionalText photourl;
    OptionalText ispush;
    OptionalText ispassword;
    OptionalText iskeylogin;
    OptionalText isremoteDelete;
    OptionalText isLockAccount;
    OptionalText isOtpFast;
    OptionalText isJiuFast;
    OptionalText isACLockOn;
    OptionalText isACLockedNow;
};

// The person centre's model.
struct PersonCenterInfo {
    OptionalText state;
    OptionalText uuid;
    OptionalText userName;
    OptionalText phone;
    OptionalText photourl;
    OptionalText safeLevel;  // security score 0 to 100
    OptionalText loginTime;
    OptionalText loginCity;
    OptionalText logSum;
    OptionalText dangousSum;     // dangerous logins
    OptionalText safeScroe;      // check-in points
    OptionalText getScroeState;  // "true" / "false"
    OptionalText openProtect;
    OptionalText closeProtect;
    OptionalText openProtectProduct;
    // The product codes of the protections in use; nil until set.
    std::optional<foundation::Array> openedProtectProduct;
};

// The settings screen's model.
struct SettingInfo {
    OptionalText uuid;
    OptionalText isPush;
    OptionalText isKeyLogin;
    OptionalText safePhone;
    OptionalText isPassword;
    OptionalText localVersion;
    OptionalText remoteVersion;
    OptionalText isneedUpdate;
};

// The handshake's result. answer holds the proof, or "10" (no usable reply)
// or "11" (the account was logged out remotely).
struct Answer {
    OptionalText mac;         // device identifier, the HMAC key
    OptionalText sid;         // session id from the reply
    OptionalText longAnswer;  // the reply's position list
    OptionalText answer;
    OptionalText uuid;  // binding uuid
};
