#pragma once
// What the main screen decides, without a view: the account record and its
// labels, the code area and the icon row, the lock overlay and its alignment
// with the server, the login-approval list and its countdown, the payment
// app's hand-back, and the typed server replies the screen reads.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/core/Models.h"
#include "app/core/VerifyReplies.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace hub {

// On the tall screen every part of the main screen narrower than the screen
// moves down kTallShift points; the code, its speaker and their buttons
// kTallCodeDrop more.
inline constexpr int kTallShift = 35;
inline constexpr double kTallCodeDrop = 45;

// --- the account record and what the screen shows of it ---

// The record from the store's rows; a key without a row reads "(null)".
MainPageInfo accountRecord(const std::map<std::string, std::string>& rows);
// The code is shown when it is on the home page and the binding allows it
// (binding::showsLiveCode).
bool showsCode(const MainPageInfo& info, long long boundState);
// The icons of the protections in use, in slot order.
std::vector<std::string> iconNames(const MainPageInfo& info, long long accountLock, long long boundState);
// The label of the reply's name: "安全中心" when there is none, else the
// name shortened as long names are.
std::string displayName(const OptionalText& name);
// The reply's phone when it is a whole number (11 characters or more), else
// "未绑定".
std::string displayPhone(const OptionalText& phone);
inline constexpr const char* kNoName = "安全中心";
inline constexpr const char* kNoPhone = "未绑定";

// --- account lock ---

// Whether the local hour mask locks the hour of the instant in a zone that
// is `gmtOffset` seconds east.
bool isLocked(long long mask, int64_t nowSeconds, int gmtOffset);
// Seconds until one minute past the next full hour.
double lockRecheckDelay(int64_t nowSeconds);

// How the stored mask follows the server's.
struct LockAlignment {
    enum Change { Unchanged, Cleared, Stored, Conflict };
    Change change = Unchanged;
    long long mask = 0;  // the mask to store (Stored)
    // The start of an all-day lock to keep: set when it moves or is stored.
    std::optional<int64_t> allDaySince;
};
// stored: the local mask held; serverLocal: the server's mask turned into
// local hours; enabledSeconds: the server's enabletime in seconds; allDay:
// the start of the all-day lock held, when any.
LockAlignment alignLock(long long stored, long long serverLocal, int64_t enabledSeconds, std::optional<int64_t> allDay);
inline constexpr long long kAllDayMask = 0xFFFFFF;

// --- one-key verification ---

using VerifyRequest = ::VerifyRequest;
// Requests the user ignored: (time, business) pairs.
using IgnoredRequests = std::set<std::pair<std::string, std::string>>;

using PollReply = ::PollReply;
// The reply's requests that were not ignored, in reply order.
std::vector<VerifyRequest> pendingRequests(const PollReply& reply, const IgnoredRequests& ignored);
// How long a pending request stays valid, in seconds.
inline constexpr int kVerifyValidity = 60;
// Seconds left of the request's 60: the request's server time against the
// device time corrected by the stored difference; never more than the 60
// (a request stamped ahead of the clock has all of them left).
int countdown(const VerifyRequest& request, double nowSeconds, long long difftime);
// The server's time now, for the countdown: the device time corrected by the
// stored difference, unless the server's own clock (the date of its last
// reply, `serverDate`, read at `serverDateSeenAt` by the device's clock) is
// further from it than a request's validity: then the device's clock has
// moved since the difference was stored, and the server's date is used.
double serverTimeNow(double nowSeconds, long long difftime, std::optional<double> serverDate, double serverDateSeenAt);
// The alert's message.
std::string verifyMessage(const VerifyRequest& request, int secondsLeft);
inline constexpr const char* kVerifyTitle = "一键校验请求";

// --- payment verification ---

// What the token the payment app handed back asks for.
struct HandBack {
    enum Kind { Failed, Send, Interrupted };
    Kind kind = Interrupted;
    std::string text;  // the payment app's failure text, or the token to send
    std::string label() const;
};
HandBack readHandBack(const OptionalText& token);
inline constexpr const char* kKorvexErrorPrefix = "kverror:";
inline constexpr const char* kKorvexFailedTitle = "开通付款验证失败";
inline constexpr const char* kKorvexInterrupted = "操作中断，请重试";
// Server minus device seconds from the server's time in milliseconds.
long long diffFromChecktime(long long checktimeMs, double nowSeconds);
// Stores the payment verification's new token key, its time difference and
// the code shown on the main screen in one transaction: the new key never
// goes with the old difference. False (nothing changed) when the store
// cannot take it.
bool storeKorvexBinding(const std::string& bid, const std::string& diffTime);

// --- typed replies ---

// Command 14 operation 1.
struct AccountReply {
    std::optional<bool> otp;
    OptionalText image;
    OptionalText phone;
    OptionalText name;
    std::optional<long long> duration;
    std::optional<long long> enabletime;
    static std::optional<AccountReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
};
// Command 14 operation 2.
struct BadgeReply {
    long long count = 0;
    static std::optional<BadgeReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
};
// Command 23.
struct AdvertReply {
    bool success = false;
    OptionalText version;
    OptionalText url;
    static std::optional<AdvertReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
};
using LetGoReply = ::LetGoReply;
// Command 33.
struct KorvexReply {
    long long result = 0;
    OptionalText bid;
    std::optional<long long> checktime;
    OptionalText message;
    static std::optional<KorvexReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
};
// The store look-up: the version of the last of its "results" ("" for none).
std::optional<std::string> lastStoreVersion(const std::string& replyText);

}  // namespace hub
