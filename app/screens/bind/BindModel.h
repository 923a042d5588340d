#pragma once
// What the bind screen decides, without a view: the serial rules, the
// payloads of commands 16, 31, 32 and 34, the reading of their replies, the
// binding state in the user defaults, the SMS poll's steps and the payment
// client's hand-off and hand-back.

#include <optional>
#include <string>

#include "app/core/Models.h"
#include "app/cycle/Constants.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Value.h"

namespace BindModel {

// ---------------------------------------------------------------- texts and keys

inline constexpr const char* kSerialPrompt = "请输入序列号";
inline constexpr size_t kSerialLength = 6;
inline constexpr const char* kSerialLengthNotice = "你输入的序列号长度有误，请重新输入";
inline constexpr const char* kNetworkNotice = "您的网络不稳定，请稍后再试";
// The binding could not be written: the device's storage is at fault (full,
// read-only, a size limit), which reinstalling does not mend.
inline constexpr const char* kSaveFailedNotice = kDataNotSavedMessage;
inline constexpr const char* kEmptyNameNotice = "输入的账号不能为空";

// User defaults.
inline constexpr const char* kTokenFromKorvexKey = "tokenfromkv";
inline constexpr const char* kPushTokenKey = "token";

// ---------------------------------------------------------------- device

// The device's part of a bind payload. Pixels are points times scale,
// truncated; a device that reports no version or size gives "5.0.0",
// "480" and "320".
struct DeviceFields {
    std::string model, osVersion, height, width;
    static DeviceFields of(const foundation::DeviceInfo& device);
};

// The push token from the user defaults ("" when there is none).
std::string pushToken();

// ---------------------------------------------------------------- serial

// An edit of the serial field starting at `location` (in characters).
bool serialEditAllowed(size_t location);
// The field submits by itself once it holds more than five characters.
bool serialWantsSubmit(const std::string& text);
// A serial is exactly six ASCII letters or digits.
bool isSerial(const std::string& text);

// "16;mac,answer,serial,model,version,height,width,uuid,<token>@3002".
std::string serialPayload(const Answer& answer, const std::string& serial, const DeviceFields& device,
                          const std::string& token);

// ---------------------------------------------------------------- bind result

enum class Road { Serial, TextMsg, Korvex };
// The analytics action and labels of a road.
const char* roadAction(Road road);
const char* successLabel(Road road);
const char* failedLabel(Road road);

// Server minus device time in whole seconds: checktime / 1000 (integer
// division) minus the device time truncated.
std::string diffTime(long long checktimeMilliseconds, double deviceNow);
// The notice for a result other than 202.
std::string refusalNotice(long long result, const std::optional<std::string>& nick);

// The binding state after a saved binding: 2 becomes 10 (and the table's
// otpFast "1"), 0 becomes 3, anything else stays. Synchronizes.
void stateAfterBinding();
// After a failed binding: a pending hand-off (2) goes back to laststate.
void stateAfterFailure();

// ---------------------------------------------------------------- SMS

// Why the SMS road cannot start on this device (model, then carrier), or
// nothing when it can.
std::optional<std::string> smsRefusal(const foundation::DeviceInfo& device);
// The gateway the binding text goes to.
std::string smsGateway(const std::optional<std::string>& carrier);
// "SC#B#<name>#<sid>".
std::string smsBody(const std::string& name, const std::string& sid);

std::string phoneLookupPayload(const std::string& name);
std::string pollPayload(const std::string& sid);
std::optional<std::string> smsBindPayload(const std::string& sid, const Answer& answer, const DeviceFields& device,
                                          const std::string& token);

// Command 31 op 0's reply: the confirmation (with the sid) or a notice.
struct PhoneLookup {
    std::optional<std::string> sid;  // set: ask to send the text
    std::string text;                // the confirmation's message, or the notice
    static PhoneLookup of(const std::optional<foundation::Value>& reply);
};

// One poll attempt: go on, or stop with an outcome (nothing: the text has
// arrived, bind now; else the notice).
struct PollStep {
    bool stop = false;
    std::optional<std::string> outcome;
    std::optional<std::string> label;  // the analytics label, when one is recorded
    // transportError: the request failed; otherwise body is the raw reply.
    static PollStep of(bool transportError, const std::string& body);
};
inline constexpr int kPollAttempts = 20;
inline constexpr double kPollInterval = 2;
inline constexpr double kPollTimeOut = 4;
inline constexpr const char* kPollGiveUp = "绑定失败，请重试，或尝试其他绑定方式";

// ---------------------------------------------------------------- payment service

// Command 32's reply.
// The confirmation before the hand-off, for the masked account name.
std::string handOffQuestion(bool cert, const std::string& maskedName);

// What the payment client handed back.
struct HandBack {
    enum Kind { Error, Token, Interrupted } kind = Interrupted;
    std::string text;  // the error message or the token
    static HandBack of(const std::optional<std::string>& stored);
};

// Command 34's members. sid: tokenfromkv when usable, else the handshake's.
foundation::Dictionary korvexBindFields(const Answer& answer, const std::string& token,
                                        const std::optional<std::string>& tokenFromKorvex, const DeviceFields& device,
                                        const std::string& pushToken);

}  // namespace BindModel
