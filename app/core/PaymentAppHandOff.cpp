#include "app/core/PaymentAppHandOff.h"

#include "lib/json/JsonWriter.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Value.h"

namespace PaymentAppHandOff {

namespace {

// What a URL may carry unescaped besides the unreserved characters: the
// reserved marks, as the platform's URL escaping leaves them.
constexpr std::string_view kUrlMarks = "!$&'()*+,/:;=?@";

}  // namespace

std::string dataString(const std::string& account, const std::string& token) {
    return "app_name=\"kv\"&biz_type=\"otp_account\"&userlogonid=\"" + account + "\"&extern_token=\"" + token + "\"";
}

std::optional<std::string> url(const std::string& account, const std::string& token) {
    std::optional<std::string> json = JsonWriter().stringWithObject(foundation::Value(foundation::Dictionary{
        {"dataString", dataString(account, token)}, {"fromAppUrlScheme", kOwnScheme}, {"requestType", "Nimbra"}}));
    if (!json) return std::nullopt;
    return kPrefix + foundation::percentEscape(*json, kUrlMarks);
}

}  // namespace PaymentAppHandOff
