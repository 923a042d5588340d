#pragma once
// The plain models the screens fill from the key/value store and from server
// replies. Every property is a text that starts as nil (nullopt, printed as
// "(null)"); PersonCenterInfo also holds an array.

#include <optional>
#include <string>
#include <utility>

#include "platform/foundation/Value.h"

// A nil-able text property: name() reads it, setter(value) replaces it.
#define QUENTA_TEXT_PROPERTY(name, setter)                                        \
public:                                                                           \
    const std::optional<std::string>& name() const { return name##_; }            \
    void setter(std::optional<std::string> value) { name##_ = std::move(value); } \
                                                                                  \
private:                                                                          \
    std::optional<std::string> name##_;

// The token and session record.
class DkBase {
    QUENTA_TEXT_PROPERTY(bid, setBid)                  // token key as hex text
    QUENTA_TEXT_PROPERTY(server_time, setServer_time)  // server time in milliseconds
    QUENTA_TEXT_PROPERTY(result, setResult)
    QUENTA_TEXT_PROPERTY(difftime, setDifftime)  // server minus device time, seconds
    QUENTA_TEXT_PROPERTY(sid, setSid)            // session id (the code screens keep the uuid here)
    QUENTA_TEXT_PROPERTY(sessionkey, setSessionkey)
    QUENTA_TEXT_PROPERTY(serial, setSerial)  // the six-character bind serial
};

// The main screen's view of the store.
class MainPageInfo {
    QUENTA_TEXT_PROPERTY(state, setState)
    QUENTA_TEXT_PROPERTY(uuid, setUuid)
    QUENTA_TEXT_PROPERTY(bid, setBid)
    QUENTA_TEXT_PROPERTY(difftime, setDifftime)
    QUENTA_TEXT_PROPERTY(sessionkey, setSessionkey)
    QUENTA_TEXT_PROPERTY(userName, setUserName)
    QUENTA_TEXT_PROPERTY(phone, setPhone)
    QUENTA_TEXT_PROPERTY(photourl, setPhotourl)
    QUENTA_TEXT_PROPERTY(ispush, setIspush)
    QUENTA_TEXT_PROPERTY(ispassword, setIspassword)
    QUENTA_TEXT_PROPERTY(iskeylogin, setIskeylogin)
    QUENTA_TEXT_PROPERTY(isremoteDelete, setIsremoteDelete)
    QUENTA_TEXT_PROPERTY(isLockAccount, setIsLockAccount)
    QUENTA_TEXT_PROPERTY(isOtpFast, setIsOtpFast)
    QUENTA_TEXT_PROPERTY(isJiuFast, setIsJiuFast)
    QUENTA_TEXT_PROPERTY(isACLockOn, setIsACLockOn)
    QUENTA_TEXT_PROPERTY(isACLockedNow, setIsACLockedNow)
};

// The person centre's model.
class PersonCenterInfo {
    QUENTA_TEXT_PROPERTY(state, setState)
    QUENTA_TEXT_PROPERTY(uuid, setUuid)
    QUENTA_TEXT_PROPERTY(userName, setUserName)
    QUENTA_TEXT_PROPERTY(phone, setPhone)
    QUENTA_TEXT_PROPERTY(photourl, setPhotourl)
    QUENTA_TEXT_PROPERTY(safeLevel, setSafeLevel)  // security score 0 to 100
    QUENTA_TEXT_PROPERTY(loginTime, setLoginTime)
    QUENTA_TEXT_PROPERTY(loginCity, setLoginCity)
    QUENTA_TEXT_PROPERTY(logSum, setLogSum)
    QUENTA_TEXT_PROPERTY(dangousSum, setDangousSum)        // dangerous logins
    QUENTA_TEXT_PROPERTY(safeScroe, setSafeScroe)          // check-in points
    QUENTA_TEXT_PROPERTY(getScroeState, setGetScroeState)  // "true" / "false"
    QUENTA_TEXT_PROPERTY(openProtect, setOpenProtect)
    QUENTA_TEXT_PROPERTY(closeProtect, setCloseProtect)
    QUENTA_TEXT_PROPERTY(openProtectProduct, setOpenProtectProduct)

public:
    // The product codes of the protections in use; nil until set.
    const std::optional<foundation::Array>& openedProtectProduct() const { return openedProtectProduct_; }
    void setOpenedProtectProduct(std::optional<foundation::Array> value) { openedProtectProduct_ = std::move(value); }

private:
    std::optional<foundation::Array> openedProtectProduct_;
};

// The settings screen's model.
class SettingInfo {
    QUENTA_TEXT_PROPERTY(uuid, setUuid)
    QUENTA_TEXT_PROPERTY(isPush, setIsPush)
    QUENTA_TEXT_PROPERTY(isKeyLogin, setIsKeyLogin)
    QUENTA_TEXT_PROPERTY(safePhone, setSafePhone)
    QUENTA_TEXT_PROPERTY(isPassword, setIsPassword)
    QUENTA_TEXT_PROPERTY(localVersion, setLocalVersion)
    QUENTA_TEXT_PROPERTY(remoteVersion, setRemoteVersion)
    QUENTA_TEXT_PROPERTY(isneedUpdate, setIsneedUpdate)
};

// The handshake's result. answer holds the proof, or "10" (no usable reply)
// or "11" (the account was logged out remotely).
class Answer {
    QUENTA_TEXT_PROPERTY(mac, setMac)                // device identifier, the HMAC key
    QUENTA_TEXT_PROPERTY(sid, setSid)                // session id from the reply
    QUENTA_TEXT_PROPERTY(longAnswer, setLongAnswer)  // the reply's position list
    QUENTA_TEXT_PROPERTY(answer, setAnswer)
    QUENTA_TEXT_PROPERTY(uuid, setUuid)  // binding uuid
};

#undef QUENTA_TEXT_PROPERTY
