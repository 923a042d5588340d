#include "app/screens/settings/SettingsRules.h"

#include <algorithm>
#include <vector>

#include "lib/json/JsonParser.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Text.h"

namespace {

std::vector<std::string> splitAtDots(const std::string& s) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : s) {
        if (c == '.') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// The leading digits as an integer (after blanks and a sign), 0 without any.
long long leadingInteger(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        if (v > (1LL << 58)) break;
        v = v * 10 + (s[i] - '0');
    }
    return negative ? -v : v;
}

void replaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

}  // namespace

namespace SettingsRules {

bool isNeedUpdate(const std::string& localVersion, const std::string& remoteVersion) {
    const auto local = splitAtDots(localVersion), remote = splitAtDots(remoteVersion);
    const size_t n = std::max(local.size(), remote.size());
    for (size_t i = 0; i < n; ++i) {
        const long long l = i < local.size() ? leadingInteger(local[i]) : 0;
        const long long r = i < remote.size() ? leadingInteger(remote[i]) : 0;
        if (r > l) return true;
        if (r < l) return false;
    }
    return false;
}

std::string versionSubtitle(const std::string& localVersion, const std::string& remoteVersion) {
    if (isNeedUpdate(localVersion, remoteVersion))
        return "当前版本号: " + localVersion + "     有更新: " + remoteVersion + "版本";
    return "当前版本号: " + localVersion + "     已是最新版";
}

std::string safePhoneSubtitle(const std::string& safePhone) {
    if (safePhone == "null") return "手机丢失时可远程注销本软件";
    return "你绑定的安全手机号是: " + safePhone;
}

std::string flippedState(const std::string& state) { return state == "1" ? "0" : "1"; }

std::optional<std::string> storeVersion(const std::string& replyText) {
    std::optional<foundation::Value> reply = JsonParser().objectWithString(replyText);
    if (!reply || !reply->isDictionary()) return std::nullopt;
    const foundation::Value* results = reply->get("results");
    if (!results || !results->asArray()) return std::nullopt;
    std::string version;  // none listed: ""
    for (const foundation::Value& entry : *results->asArray())
        if (const foundation::Value* v = entry.get("version")) version = v->description();
    return version;
}

}  // namespace SettingsRules

namespace SuggestRules {

bool tooSoon(long long now, const std::string& storedTime) {
    return now - leadingInteger(storedTime) < kMinSecondsBetweenSends;
}

bool acceptsChange(std::size_t currentLength, std::size_t location, std::size_t rangeLength,
                   const std::string& replacement) {
    if (location > size_t(kMaxCharacters - 1)) return false;
    const size_t removed = std::min(rangeLength, currentLength - std::min(location, currentLength));
    const size_t after = currentLength - removed + foundation::utf16Length(replacement);
    return after <= size_t(kMaxCharacters);
}

std::string charactersLeftText(std::size_t location) {
    return "您还可以输入" + std::to_string(kMaxCharacters - 1 - long(location)) + "字";
}

std::string opinionField(const std::string& model, const std::string& systemVersion, const std::string& appVersion,
                         const std::string& text) {
    std::string s = "(" + model + " " + systemVersion + ")-V" + appVersion + ": " + text;
    replaceAll(s, ";", "；");
    replaceAll(s, ",", "，");
    // What a URL may hold as it stands stays; the rest is escaped.
    return foundation::percentEscape(s, "!$&'()*+/:=?@#");
}

}  // namespace SuggestRules
