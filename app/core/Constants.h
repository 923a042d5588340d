#pragma once
// The toolbox of class methods the screens share.

#include <cstdint>
#include <optional>
#include <string>

class Constants {
public:
    // --- Key/value shortcuts ---
    // The value of a key as "%@" prints it: "(null)" when the key has no row.
    // nullopt when the database file does not exist (no file is created) or
    // the table cannot be read.
    static std::optional<std::string> getValueFromDBByKey(const std::string& key);
    // Sets the value of an existing key; never inserts. False without the
    // file or when the update fails; true (and no change) for a key without a row.
    static bool upDateDBSetValue(const std::string& value, const std::string& key);

    // --- Hour masks of the account lock ---
    // Bit i stands for hour i of the day; the server counts hours in GMT+8
    // ("Asia/Harbin"), the device in its own zone. Zones less than an hour
    // apart leave the mask as it is; otherwise the mask turns by the whole
    // hours between the zones (the fraction dropped toward zero).
    static int64_t localLockValueToGMT8(int64_t localMask);
    static int64_t gmt8ValueToLocalValue(int64_t gmt8Mask);

    // --- Texts ---
    // NO for nil, "" and "(null)".
    static bool testResultIsValid(const std::optional<std::string>& text);
    // Masks an account name: e-mail addresses, 11-character mobile numbers
    // and other names each their own way. Lengths count characters.
    static std::string hideKorvexName(const std::string& name);
    // Names of 9 characters or more become their first 6 and last 2.
    static std::string subStringOfTooLongName(const std::string& name);
    // Milliseconds since 1970 as text -> "yyyy-MM-dd HH:mm:ss" in the device's
    // zone; "未知" when the text's integer value is 0.
    static std::string longlongDateToString(const std::string& milliseconds);
    // The carrier name of the SIM's provider; nullopt without one.
    static std::optional<std::string> serviceProvider();
    static void deBugLog(const std::string&, const std::string&) {}
};
