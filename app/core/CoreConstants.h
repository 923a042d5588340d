#pragma once
// The part of the screens' toolbox (Constants, app/cycle/Constants.h) that
// needs no UI: reply checks, the key/value shortcuts, the rating counters,
// hour masks and texts.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Told when the app's data could not be written (disk full, a read-only data
// folder, a file-size limit): the failure is the device's, not the network's.
inline constexpr const char* kDataNotSavedMessage = "数据无法保存：存储空间不足或数据目录不可写，请检查后重试";

class CoreConstants {
public:
    // Category of the app's analytics events ("/iOS/3.0/otherCategory").
    static const char* const kOtherCategory;

    // --- Reply checks ---
    // The text under "content" when the reply parses as a JSON object holding
    // both "safecenter" and "content"; nullopt otherwise.
    static std::optional<std::string> testIfReceivedContentIsValid(const std::string& reply);

    // --- Rating prompt ---
    // Counts the launch, or restarts the counters for a new build (an
    // update from a 2.x build, or a first start, also settles the payment
    // binding state at 3 and the store key otpFast at "0").
    static void initPersonalUseCheckAndRateVar();
    static void resetAllRateUserDefault();
    // Whether the prompt is due now.
    static bool isRatePromptDue();
    // Stores and records the answer to the prompt: 0 never, 1 rate now, 2
    // later. True for "rate now", whose review page the caller opens.
    static bool recordRateAnswer(int buttonIndex);
    // The store's review page of this app.
    static std::string rateAppURL();
    // The store's page of this app (where an update is installed from).
    static std::string appStorePageURL();

    // --- Key/value shortcuts ---
    // The value of a key as "%@" prints it: "(null)" when the key has no row.
    // nullopt when the database file does not exist (no file is created) or
    // the table cannot be read.
    static std::optional<std::string> getValueFromDBByKey(const std::string& key);
    // Sets the value of an existing key; never inserts. False without the
    // file or when the update fails; true (and no change) for a key without a row.
    static bool upDateDBSetValue(const std::string& value, const std::string& key);
    // Sets several existing keys, given as (key, value), in one transaction:
    // all of them change or (false) none does.
    static bool upDateDBSetValues(const std::vector<std::pair<std::string, std::string>>& rows);

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
    // Names of 9 characters or more become their first 6 and last 2 (whole
    // characters, so an emoji is never split).
    static std::string subStringOfTooLongName(const std::string& name);
    // Milliseconds since 1970 as text -> "yyyy-MM-dd HH:mm:ss" in the device's
    // zone; "未知" when the text's integer value is 0.
    static std::string longlongDateToString(const std::string& milliseconds);
    // The carrier name of the SIM's provider; nullopt without one.
    static std::optional<std::string> serviceProvider();
    static void deBugLog(const std::string&, const std::string&) {}
};
