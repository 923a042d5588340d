#pragma once
// The shared text constants of the key/value store: the server base address,
// the database file and table names, and the keys every screen reads and
// writes. Every value in the table is text; "null" means unset and flags are
// "0"/"1".

#include <string>

namespace StoreKeys {

// The request URL up to and including "safeCenter.do?": $QUENTA_SERVER_URL
// (the server's root address, "safeCenter.do?" appended when missing), else
// the built-in address of the local test server.
std::string serverBaseAddress();

inline constexpr const char* dataBaseName = "safeCenterDB";
inline constexpr const char* tableName = "personTable";

inline constexpr const char* bid = "bid";            // one-time-password key, hex
inline constexpr const char* diffTime = "diffTime";  // server time minus device time, seconds
inline constexpr const char* sessionkey = "sessionkey";
inline constexpr const char* mac = "mac";                  // device identifier, the handshake key
inline constexpr const char* suggestTime = "suggestTime";  // time of the last feedback
inline constexpr const char* passward = "passward";        // start PIN, "null" when none
inline constexpr const char* isPushInfo = "isPushInfo";
inline constexpr const char* otpFast = "otpFast";      // code shown on the main screen
inline constexpr const char* jiuxing = "jiuxing";      // nine-star code shown on the main screen
inline constexpr const char* keyLogin = "keyLogin";    // one-key verification on
inline constexpr const char* uuid = "uuid";            // binding uuid
inline constexpr const char* safePhone = "safePhone";  // masked safe phone, "null" when off
inline constexpr const char* account_lock = "account_lock";
inline constexpr const char* safe_password = "safe_password";  // start-PIN freeze protection on
inline constexpr const char* safe_time = "safe_time";          // end of the start-PIN freeze
inline constexpr const char* faild_count = "faild_count";      // consecutive wrong start PINs
inline constexpr const char* read_index = "read_index";        // guide version of the binding
inline constexpr const char* remote_version = "remote_version";
inline constexpr const char* username = "username";
inline constexpr const char* userType = "userType";
inline constexpr const char* phoneNo = "phoneNo";
inline constexpr const char* imageUrl = "imageUrl";
inline constexpr const char* state = "state";          // binding state
inline constexpr const char* adversion = "adversion";  // advertisement version
inline constexpr const char* temp1 = "temp1";
inline constexpr const char* temp2 = "temp2";
inline constexpr const char* temp3 = "temp3";
inline constexpr const char* temp4 = "temp4";
inline constexpr const char* temp5 = "temp5";
// A user-defaults key, kept in the same list.
inline constexpr const char* token = "token";

// The user-defaults keys that more than one screen area reads or writes.
inline constexpr const char* korvxboundstate = "korvxboundstate";    // the binding state (BindingState.h)
inline constexpr const char* laststate = "laststate";                // the binding state before a hand-off
inline constexpr const char* korvextoken = "korvextoken";            // what the payment app handed back
inline constexpr const char* accountlock = "accountlock";            // local hour mask of the account lock
inline constexpr const char* alldayaclocktime = "alldayaclocktime";  // start of an all-day lock (a date)

}  // namespace StoreKeys
