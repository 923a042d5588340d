#include "app/screens/bind/BindModel.h"

#include <cstdint>

#include "app/core/BindingState.h"
#include "app/core/Deployment.h"
#include "app/core/Envelope.h"
#include "app/core/Replies.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"

namespace BindModel {

namespace {

std::string text(const std::optional<std::string>& v) { return v ? *v : std::string("(null)"); }

// A field of a text payload: nothing that would shift the fields.
bool plainField(const std::string& field) {
    return field.find(',') == std::string::npos && field.find(';') == std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------- device

DeviceFields DeviceFields::of(const foundation::DeviceInfo& device) {
    DeviceFields out;
    out.model = device.model;
    const long long height = (long long)(device.screenHeight * device.scale);
    const long long width = (long long)(device.screenWidth * device.scale);
    const bool known = !device.systemVersion.empty() && height > 0 && width > 0;
    out.osVersion = known ? device.systemVersion : "5.0.0";
    out.height = known ? std::to_string(height) : "480";
    out.width = known ? std::to_string(width) : "320";
    return out;
}

std::string pushToken() {
    auto token = foundation::UserDefaults::standard().objectForKey(kPushTokenKey);
    const std::string written = token ? token->description() : "(null)";
    return written == "(null)" ? "" : written;
}

// ---------------------------------------------------------------- serial

bool serialEditAllowed(size_t location) { return location < kSerialLength; }

bool serialWantsSubmit(const std::string& text) { return foundation::utf16Length(text) > kSerialLength - 1; }

bool isSerial(const std::string& text) {
    if (text.size() != kSerialLength) return false;
    for (char c : text) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

std::string serialPayload(const Answer& answer, const std::string& serial, const DeviceFields& device,
                          const std::string& token) {
    return TextPayload(16, {text(answer.mac), text(answer.answer), serial, device.model, device.osVersion,
                            device.height, device.width, text(answer.uuid), token + "@3002"})
        .text();
}

// ---------------------------------------------------------------- bind result

const char* roadAction(Road road) {
    switch (road) {
        case Road::Serial:
            return "CodeBinding";
        case Road::TextMsg:
            return "TextMsg";
        case Road::Korvex:
            break;
    }
    return "KorvexBinding";
}

const char* successLabel(Road road) {
    switch (road) {
        case Road::Serial:
            return "codeBindSuccess";
        case Road::TextMsg:
            return "txtBindSuccess";
        case Road::Korvex:
            break;
    }
    return "korvexBindSuccess";
}

const char* failedLabel(Road road) {
    switch (road) {
        case Road::Serial:
            return "codeBindFailed";
        case Road::TextMsg:
            return "txtBindFailed";
        case Road::Korvex:
            break;
    }
    return "korvexBindFailed";
}

std::string diffTime(long long checktimeMilliseconds, double deviceNow) {
    const long long server = checktimeMilliseconds / 1000;
    const long long device = (long long)(int32_t)(long long)deviceNow;
    return std::to_string(server - device);
}

std::string refusalNotice(long long result, const std::optional<std::string>& nick) {
    switch (result) {
        case 405:
            return "绑定失败，账号不能重复绑定";
        case 406:
            return "本设备已绑定账号：" + text(nick) + "，请解绑后重试";
        case 407:
            return "绑定失败，序列号错误或过期";
        case 413:
            return "操作超时，请重试";
        default:
            return "绑定操作失败，请重试";
    }
}

void stateAfterBinding() {
    auto& defaults = foundation::UserDefaults::standard();
    const binding::BindingState state = binding::stored();
    if (state == binding::BindingState::BindingHandedOff) {
        binding::storeBoth(binding::BindingState::PaymentVerification);
        Constants::upDateDBSetValue("1", StoreKeys::otpFast);
    } else if (state == binding::BindingState::None) {
        binding::storeBoth(binding::BindingState::Bound);
    }
    defaults.synchronize();
}

void stateAfterFailure() {
    auto& defaults = foundation::UserDefaults::standard();
    if (binding::stored() != binding::BindingState::BindingHandedOff) return;
    binding::store(binding::storedLast());
    defaults.synchronize();
}

// ---------------------------------------------------------------- SMS

std::optional<std::string> smsRefusal(const foundation::DeviceInfo& device) {
    if (device.model != "iPhone") return std::string("您的设备型号不支持短信绑定");
    if (!device.carrierName || device.carrierName->empty()) return std::string("请插入SIM卡");
    return std::nullopt;
}

std::string smsGateway(const std::optional<std::string>& carrier) {
    return carrier && *carrier == "中国联通" ? Deployment::kSmsGatewayUnicom : Deployment::kSmsGatewayOther;
}

std::string smsBody(const std::string& name, const std::string& sid) { return "SC#B#" + name + "#" + sid; }

std::string phoneLookupPayload(const std::string& name) {
    return TextPayload(31, {"0", foundation::percentEscape(name)}).text();
}

std::string pollPayload(const std::string& sid) { return TextPayload(31, {"1", sid}).text(); }

std::optional<std::string> smsBindPayload(const std::string& sid, const Answer& answer, const DeviceFields& device,
                                          const std::string& token) {
    // Every later handshake proves the phone with this identifier: a binding
    // without one would leave a phone that can never sign a command.
    if (!answer.mac || answer.mac->empty() || *answer.mac == "(null)" || !answer.uuid) return std::nullopt;
    const std::vector<std::string> fields = {
        "2",           sid,          *answer.uuid, *answer.mac, device.model, device.osVersion,
        device.height, device.width, "3002",       token};
    for (const std::string& field : fields)
        if (!plainField(field)) return std::nullopt;
    return TextPayload(31, fields).text();
}

PhoneLookup PhoneLookup::of(const std::optional<foundation::Value>& reply) {
    PhoneLookup out;
    const foundation::Value value = reply ? *reply : foundation::Value();
    ReplyReader r(value);
    const long long result = r.optionalInteger("result").value_or(0);
    if (result == 202) {
        const std::string phone = r.optionalText("phone").value_or("");
        const auto sid = r.optionalText("sid");
        if (foundation::utf16Length(phone) >= 11 && sid && r.ok()) {
            out.sid = sid;
            out.text = "请确认您当前使用的手机号为" + phone +
                       "\n绑定短信只消耗基本通信费\n请不要修改绑定短信的内容\n\n是否发送绑定短信？";
            return out;
        }
        out.text = "该账号尚未绑定手机，无法使用短信绑定";
    } else if (result == 201) {
        out.text = "申请绑定的账号不存在";
    } else {
        out.text = "获取用户信息失败，请稍后候再试";
    }
    return out;
}

PollStep PollStep::of(bool transportError, const std::string& body) {
    PollStep step;
    if (transportError) return step;
    const auto content = Constants::testIfReceivedContentIsValid(body);
    const auto plain = content ? ReplyEnvelope::open(body) : std::nullopt;
    if (!plain) {
        step.stop = true;
        step.outcome = kNetworkNotice;
        return step;
    }
    const foundation::Value json = ReplyEnvelope::json(*plain).value_or(foundation::Value());
    ReplyReader r(json);
    const auto result = r.optionalInteger("result");
    if (!result || !r.ok()) {
        step.stop = true;
        step.outcome = "绑定失败，请重试";
        return step;
    }
    switch (*result) {
        case 204:
            step.stop = true;
            step.label = "txtResultSuccess";
            break;
        case 205:
            step.stop = true;
            step.outcome = "绑定失败，操作超时，请重试";
            step.label = "txtResultWrongSid";
            break;
        case 412:
            step.stop = true;
            step.outcome = "绑定失败，本手机与禾川账号绑定手机不匹配";
            step.label = "txtResultWrongPhoneNumber";
            break;
        default:
            break;
    }
    return step;
}

// ---------------------------------------------------------------- payment service

std::string handOffQuestion(bool cert, const std::string& maskedName) {
    if (cert)
        return "检测到您是数字证书用户，是否停用数字证书并通过岚付通帐号\n" + maskedName +
               "\n绑定禾盾，开通付款验证？\n(更加便捷，安全性不变)";
    return "是否通过岚付通帐号\n" + maskedName + "\n绑定禾盾并开通付款验证?";
}

HandBack HandBack::of(const std::optional<std::string>& stored) {
    static const std::string kPrefix = "kverror:";
    HandBack out;
    const std::string token = stored.value_or("");
    if (token.size() > kPrefix.size() && token.compare(0, kPrefix.size(), kPrefix) == 0) {
        out.kind = Error;
        out.text = token.substr(kPrefix.size());
    } else if (!token.empty() && token != "(null)") {
        out.kind = Token;
        out.text = token;
    }
    return out;
}

foundation::Dictionary korvexBindFields(const Answer& answer, const std::string& token,
                                        const std::optional<std::string>& tokenFromKorvex, const DeviceFields& device,
                                        const std::string& pushToken) {
    const bool stored = tokenFromKorvex && !tokenFromKorvex->empty() && *tokenFromKorvex != "(null)";
    foundation::Dictionary fields;
    fields.set("mac", foundation::Value(text(answer.mac)));
    fields.set("korvexTokenId", foundation::Value(token));
    fields.set("osType", foundation::Value(device.model));
    fields.set("osVersion", foundation::Value(device.osVersion));
    fields.set("screenHeight", foundation::Value(device.height));
    fields.set("screenWidth", foundation::Value(device.width));
    fields.set("uuid", foundation::Value(text(answer.uuid)));
    fields.set("sid", foundation::Value(stored ? *tokenFromKorvex : text(answer.sid)));
    fields.set("iphoneToken", foundation::Value(pushToken));
    fields.set("source", foundation::Value("3002"));
    fields.set("answer", foundation::Value(text(answer.answer)));
    return fields;
}

}  // namespace BindModel
