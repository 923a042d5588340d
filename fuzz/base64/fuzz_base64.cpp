// Decodes arbitrary bytes with both alphabets; what decodes must encode and
// decode again to the same bytes. The input encoded must decode to itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "lib/json/Base64Codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto standard = Base64Codec::decodeBytes(data, size);
    if (standard) {
        auto encoded = Base64Codec::encodeData(*standard);
        if (!encoded || Base64Codec::decodeData(*encoded) != standard) abort();
    }
    auto webSafe = Base64Codec::webSafeDecodeBytes(data, size);
    if (webSafe) {
        auto encoded = Base64Codec::webSafeEncodeData(*webSafe, false);
        if (!encoded || Base64Codec::webSafeDecodeData(*encoded) != webSafe) abort();
    }
    if (size > 0) {
        for (bool padded : {true, false}) {
            auto encoded = Base64Codec::webSafeEncodeBytes(data, size, padded);
            if (!encoded) abort();
            auto decoded = Base64Codec::webSafeDecodeData(*encoded);
            if (!decoded || decoded->size() != size || !std::equal(decoded->begin(), decoded->end(), data)) abort();
        }
        auto encoded = Base64Codec::encodeBytes(data, size);
        auto decoded = encoded ? Base64Codec::decodeData(*encoded) : std::nullopt;
        if (!decoded || decoded->size() != size || !std::equal(decoded->begin(), decoded->end(), data)) abort();
    }
    return 0;
}
