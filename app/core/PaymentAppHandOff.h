#pragma once
// The address that opens the payment client app for a hand-off:
// "nimbra://korvexclient/?" followed by the percent-escaped JSON object
// {"dataString", "fromAppUrlScheme": "kavocenter", "requestType": "Nimbra"},
// whose data string is app_name="kv"&biz_type="otp_account"&
// userlogonid="<account>"&extern_token="<token>".

#include <optional>
#include <string>

namespace PaymentAppHandOff {

inline constexpr const char* kScheme = "nimbra://";
inline constexpr const char* kPrefix = "nimbra://korvexclient/?";
inline constexpr const char* kOwnScheme = "kavocenter";

// The four pairs of the data string, in their order.
std::string dataString(const std::string& account, const std::string& token);
// The whole address; nullopt when the JSON text cannot be written.
std::optional<std::string> url(const std::string& account, const std::string& token);

}  // namespace PaymentAppHandOff
