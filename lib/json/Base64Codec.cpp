#include "lib/json/Base64Codec.h"

#include "platform/foundation/Encoding.h"
#include "platform/foundation/Text.h"

using foundation::Bytes;

namespace {

std::optional<std::string> asText(std::optional<Bytes> bytes) {
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

bool isAscii(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

size_t Base64Codec::encodedLength(size_t length, bool padded) {
    return foundation::base64EncodedLength(length, padded);
}

size_t Base64Codec::baseEncode(const uint8_t* src, size_t srcLen, char* destBytes, size_t destLen,
                               Base64Alphabet charset, bool padded) {
    return foundation::base64Encode(src, srcLen, destBytes, destLen, charset, padded);
}

size_t Base64Codec::baseDecode(const char* srcChars, size_t srcLen, uint8_t* destBytes, size_t destLen,
                               Base64Alphabet charset, bool requirePadding) {
    return foundation::base64Decode(srcChars, srcLen, destBytes, destLen, charset, requirePadding);
}

std::optional<Bytes> Base64Codec::baseEncode(const void* bytes, size_t length, Base64Alphabet charset, bool padded) {
    if (!bytes || length == 0) return std::nullopt;
    std::string out(encodedLength(length, padded), '\0');
    size_t n = baseEncode(static_cast<const uint8_t*>(bytes), length, out.data(), out.size(), charset, padded);
    if (n == 0) return std::nullopt;
    return Bytes(out.begin(), out.begin() + std::ptrdiff_t(n));
}

std::optional<Bytes> Base64Codec::baseDecode(const void* bytes, size_t length, Base64Alphabet charset,
                                             bool requirePadding) {
    if (!bytes || length == 0) return std::nullopt;
    Bytes out((length + 3) / 4 * 3);
    size_t n = baseDecode(static_cast<const char*>(bytes), length, out.data(), out.size(), charset, requirePadding);
    if (n == 0) return std::nullopt;
    out.resize(n);
    return out;
}

std::optional<Bytes> Base64Codec::encodeData(const Bytes& data) { return encodeBytes(data.data(), data.size()); }
std::optional<Bytes> Base64Codec::encodeBytes(const void* bytes, size_t length) {
    return baseEncode(bytes, length, Base64Alphabet::Standard, true);
}
std::optional<std::string> Base64Codec::stringByEncodingData(const Bytes& data) {
    return stringByEncodingBytes(data.data(), data.size());
}
std::optional<std::string> Base64Codec::stringByEncodingBytes(const void* bytes, size_t length) {
    return asText(encodeBytes(bytes, length));
}
std::optional<Bytes> Base64Codec::decodeData(const Bytes& data) { return decodeBytes(data.data(), data.size()); }
std::optional<Bytes> Base64Codec::decodeBytes(const void* bytes, size_t length) {
    return baseDecode(bytes, length, Base64Alphabet::Standard, true);
}
std::optional<Bytes> Base64Codec::decodeString(std::string_view text) {
    if (!isAscii(text)) return std::nullopt;
    return decodeBytes(text.data(), text.size());
}

std::optional<Bytes> Base64Codec::webSafeEncodeData(const Bytes& data, bool padded) {
    return webSafeEncodeBytes(data.data(), data.size(), padded);
}
std::optional<Bytes> Base64Codec::webSafeEncodeBytes(const void* bytes, size_t length, bool padded) {
    return baseEncode(bytes, length, Base64Alphabet::WebSafe, padded);
}
std::optional<std::string> Base64Codec::stringByWebSafeEncodingData(const Bytes& data, bool padded) {
    return stringByWebSafeEncodingBytes(data.data(), data.size(), padded);
}
std::optional<std::string> Base64Codec::stringByWebSafeEncodingBytes(const void* bytes, size_t length, bool padded) {
    return asText(webSafeEncodeBytes(bytes, length, padded));
}
std::optional<Bytes> Base64Codec::webSafeDecodeData(const Bytes& data) {
    return webSafeDecodeBytes(data.data(), data.size());
}
std::optional<Bytes> Base64Codec::webSafeDecodeBytes(const void* bytes, size_t length) {
    return baseDecode(bytes, length, Base64Alphabet::WebSafe, false);
}
std::optional<Bytes> Base64Codec::webSafeDecodeString(std::string_view text) {
    if (!isAscii(text)) return std::nullopt;
    return webSafeDecodeBytes(text.data(), text.size());
}

std::optional<std::string> Base64Util::encodeCustom(std::string_view text) {
    return asText(Base64Codec::encodeBytes(text.data(), text.size()));
}

std::optional<std::string> Base64Util::decodeCustom(std::string_view text) {
    auto bytes = Base64Codec::decodeBytes(text.data(), text.size());
    if (!bytes) return std::nullopt;
    std::string out(bytes->begin(), bytes->end());
    if (!foundation::isValidUtf8(out)) return std::nullopt;
    return out;
}
