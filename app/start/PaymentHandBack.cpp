// The payment client app's answer through our own URL scheme.
#include <cstring>

#include "app/core/StoreKeys.h"
#include "app/start/KAVOAppDelegate.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"

namespace {

constexpr int kSuccess = 9000;
// The token arrives as token="<token>": seven characters before it and the
// closing quote after it.
constexpr size_t kTokenHead = 7;
constexpr size_t kTokenTail = 1;

}  // namespace

void KAVOAppDelegate::storePaymentHandBack(const std::string& url) {
    // Undecodable escapes read like a reply without "memo".
    const std::optional<std::string> decoded = foundation::percentUnescape(url);
    const size_t prefixLength = foundation::utf16Length(kHandBackPrefix);
    std::optional<foundation::Value> reply;
    if (decoded) {
        if (foundation::utf16Length(*decoded) < prefixLength) {
            foundation::log("payment hand-back ignored: the address is shorter than its prefix: ", url);
            return;
        }
        reply = JsonParser().objectWithString(foundation::utf16Substring(*decoded, prefixLength));
    }
    const foundation::Value* memo = reply ? reply->get("memo") : nullptr;
    const foundation::Value* status = memo ? memo->get("ResultStatus") : nullptr;

    std::string stored;
    if (status && status->intValue() == kSuccess) {
        const foundation::Value* result = memo->get("result");
        const std::string text = result && !result->isNull() ? result->description() : "";
        const size_t length = foundation::utf16Length(text);
        if (length < kTokenHead + kTokenTail) {
            foundation::log("payment hand-back ignored: the token text is too short: \"", text, "\"");
            return;
        }
        stored = foundation::utf16Substring(text, kTokenHead, length - kTokenHead - kTokenTail);
    } else {
        const foundation::Value* message = memo ? memo->get("memo") : nullptr;
        stored = "kverror:" + (message ? message->description() : std::string("(null)"));
    }
    auto& defaults = foundation::UserDefaults::standard();
    defaults.setString(StoreKeys::korvextoken, stored);
    defaults.synchronize();
}
