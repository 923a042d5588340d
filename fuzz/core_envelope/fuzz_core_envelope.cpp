// Reply deciphering, hex decoding and the nine-star path on arbitrary input:
// none may read out of bounds, and what deciphers must be valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/GetOtp.h"
#include "app/core/rsaUtil.h"
#include "platform/foundation/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    std::optional<std::string> plain = rsaUtil::RSA_decrypt(text);
    if (plain && !foundation::isValidUtf8(*plain)) std::abort();

    size_t needed = 0;
    hexToBytes(text.data(), text.size(), nullptr, &needed);
    std::vector<uint8_t> bytes(needed);
    if (hexToBytes(text.data(), text.size(), bytes.data(), &needed) != 2 * bytes.size()) std::abort();

    std::string path = Calculate().getNums(text);
    if (!path.empty() && (path.size() < 3 || path.size() > 4)) std::abort();

    // What the envelope enciphers, it deciphers back (zero bytes aside).
    if (size <= 300) {
        std::optional<std::string> cipher = rsaUtil::RSA_encrypt(text);
        if (cipher) {
            std::string withoutZeros;
            for (char c : text) {
                if (c) withoutZeros.push_back(c);
            }
            std::optional<std::string> back = rsaUtil::RSA_decrypt(*cipher);
            std::optional<std::string> expected = foundation::percentUnescape(withoutZeros);
            if (back != expected) std::abort();
        }
    }
    return 0;
}
