#pragma once
// The toolbox of class methods the screens share.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/AlertView.h"

namespace ui {
class ViewController;
}

// An alert delegate that ends the app when an alert tagged
// Constants::kRemoteLogOutAlertTag is dismissed (the alert after a remote
// log-out); screens derive their alert delegates from it and call the base
// for tags they do not handle themselves.
class LogOutAlertDelegate : public ui::AlertViewDelegate {
public:
    void didDismissWithButtonIndex(ui::AlertView* alertView, int buttonIndex) override;
};

// Told when the app's data could not be written (disk full, a read-only data
// folder, a file-size limit): the failure is the device's, not the network's.
inline constexpr const char* kDataNotSavedMessage = "数据无法保存：存储空间不足或数据目录不可写，请检查后重试";

class Constants {
public:
    // Tags of the shared alerts.
    static constexpr int kSimpleAlertTag = 2000;
    static constexpr int kRemoteLogOutAlertTag = 0xFFFF;
    // Category of the app's analytics events ("/iOS/3.0/otherCategory").
    static const char* const kOtherCategory;

    // --- Reply checks ---
    // The text under "content" when the reply parses as a JSON object holding
    // both "safecenter" and "content"; nullopt otherwise.
    static std::optional<std::string> testIfReceivedContentIsValid(const std::string& reply);
    // When the decrypted reply's "result" has the integer value 201, runs
    // cleanUpAppForRemoteLogOut with the tag and delegate. Callers go on with
    // their own handling either way.
    static void testIfRemoteLogOutWhenRequestFinished(const std::string& reply, int tag,
                                                      ui::AlertViewDelegate* delegate);
    // Deletes the database file, removes the whole user-defaults domain and
    // shows the warning alert with the tag and delegate.
    static void cleanUpAppForRemoteLogOut(int tag, ui::AlertViewDelegate* delegate);

    // --- Alerts (each is shown at once and returned) ---
    // One button "确定", tag 2000; dismissing it does nothing.
    static std::shared_ptr<ui::AlertView> simpleAlertViewWithTitle(const std::string& title,
                                                                   const std::string& message);
    // One button "确定" with the tag and delegate.
    static std::shared_ptr<ui::AlertView> normalAlertViewWithTitle(const std::string& title, const std::string& message,
                                                                   int tag, ui::AlertViewDelegate* delegate);
    // Cancel button "确定" (index 0) and "取消" (index 1).
    static std::shared_ptr<ui::AlertView> compicatedAlertViewWithTitle(const std::string& title,
                                                                       const std::string& message, int tag,
                                                                       ui::AlertViewDelegate* delegate);

    // --- Tall screen ---
    // True on the 640x1136-pixel screen.
    static bool isTallScreen();
    // On the tall screen, moves every direct subview of the controller's view
    // that is not as wide as the screen down by `points`.
    static void portUIForiPhone5(int points, ui::ViewController* target);

    // --- Rating prompt ---
    // Counts the launch, or restarts the counters for a new build (an
    // update from a 2.x build, or a first start, also settles the payment
    // binding state at 3 and the store key otpFast at "0").
    static void initPersonalUseCheckAndRateVar();
    static void resetAllRateUserDefault();
    // Shows the rating prompt with the tag and delegate when it is due;
    // returns it (nullptr when not due).
    static std::shared_ptr<ui::AlertView> personalUseCheckAndRate(int tag, ui::AlertViewDelegate* delegate);
    // Whether the prompt is due now.
    static bool isRatePromptDue();
    // Acts on the prompt's button: 0 never, 1 rate now, 2 later.
    static void handleRateAlertView(int buttonIndex);
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
