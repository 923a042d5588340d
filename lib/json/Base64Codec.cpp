#include "lib/json/Base64Codec.h"

#include "platform/foundation/Text.h"

using foundation::Bytes;

namespace {

constexpr char kStandard[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kWebSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr char kPadding = '=';
constexpr uint8_t kInvalid = 99;

struct DecodeTable {
    uint8_t v[256];
    constexpr explicit DecodeTable(const char* alphabet) : v() {
        for (int i = 0; i < 256; ++i) v[i] = kInvalid;
        for (int i = 0; i < 64; ++i) v[uint8_t(alphabet[i])] = uint8_t(i);
    }
};
constexpr DecodeTable kStandardTable(kStandard);
constexpr DecodeTable kWebSafeTable(kWebSafe);

const char* alphabet(Base64Alphabet a) { return a == Base64Alphabet::Standard ? kStandard : kWebSafe; }
const uint8_t* table(Base64Alphabet a) { return a == Base64Alphabet::Standard ? kStandardTable.v : kWebSafeTable.v; }

bool isSpace(uint8_t c) { return (c >= 9 && c <= 13) || c == 32 || c == 160 || c == 255; }

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
    size_t n = length / 3 * 4;
    size_t rest = length % 3;
    if (rest) n += padded ? 4 : rest + 1;  // (8 x rest + 5) / 6
    return n;
}

size_t Base64Codec::baseEncode(const uint8_t* src, size_t srcLen, char* destBytes, size_t destLen,
                               Base64Alphabet charset, bool padded) {
    if (!src || !destBytes || srcLen == 0) return 0;
    if (destLen < encodedLength(srcLen, padded)) return 0;
    const char* a = alphabet(charset);
    char* out = destBytes;
    size_t i = 0;
    for (; i + 3 <= srcLen; i += 3) {
        uint32_t v = uint32_t(src[i]) << 16 | uint32_t(src[i + 1]) << 8 | src[i + 2];
        *out++ = a[v >> 18];
        *out++ = a[(v >> 12) & 63];
        *out++ = a[(v >> 6) & 63];
        *out++ = a[v & 63];
    }
    size_t rest = srcLen - i;
    if (rest == 2) {
        uint32_t v = uint32_t(src[i]) << 16 | uint32_t(src[i + 1]) << 8;
        *out++ = a[v >> 18];
        *out++ = a[(v >> 12) & 63];
        *out++ = a[(v >> 6) & 63];
        if (padded) *out++ = kPadding;
    } else if (rest == 1) {
        uint32_t v = uint32_t(src[i]) << 16;
        *out++ = a[v >> 18];
        *out++ = a[(v >> 12) & 63];
        if (padded) {
            *out++ = kPadding;
            *out++ = kPadding;
        }
    }
    return size_t(out - destBytes);
}

size_t Base64Codec::baseDecode(const char* srcChars, size_t srcLen, uint8_t* destBytes, size_t destLen,
                               Base64Alphabet charset, bool requirePadding) {
    if (!srcChars || !destBytes || srcLen == 0) return 0;
    const uint8_t* src = reinterpret_cast<const uint8_t*>(srcChars);
    const uint8_t* end = src + srcLen;
    const uint8_t* t = table(charset);
    size_t written = 0;
    uint8_t group[4];
    int count = 0;  // characters of the current group
    bool padding = false;

    auto put = [&](uint8_t b) {
        if (written >= destLen) return false;
        destBytes[written++] = b;
        return true;
    };

    while (src < end) {
        uint8_t c = *src++;
        if (c == 0) break;  // a zero byte ends the input
        if (isSpace(c)) continue;
        if (c == kPadding) {
            padding = true;
            break;
        }
        uint8_t v = t[c];
        if (v == kInvalid) return 0;
        group[count++] = v;
        if (count == 4) {
            if (!put(uint8_t(group[0] << 2 | group[1] >> 4)) || !put(uint8_t(group[1] << 4 | group[2] >> 2)) ||
                !put(uint8_t(group[2] << 6 | group[3]))) {
                return 0;
            }
            count = 0;
        }
    }

    if (padding) {
        if (count < 2) return 0;
        if (count == 2) {
            // A second "=" must follow, white space allowed between.
            bool second = false;
            while (src < end) {
                uint8_t c = *src++;
                if (c == 0) break;
                if (isSpace(c)) continue;
                if (c != kPadding) return 0;
                second = true;
                break;
            }
            if (!second) return 0;
        }
        // Only white space may follow the padding.
        while (src < end) {
            uint8_t c = *src++;
            if (c == 0) break;
            if (!isSpace(c)) return 0;
        }
    } else {
        if (count == 1) return 0;
        if (requirePadding && count != 0) return 0;
    }

    if (count == 2) {
        if (group[1] & 0x0F) return 0;  // bits beyond the last byte must be zero
        if (!put(uint8_t(group[0] << 2 | group[1] >> 4))) return 0;
    } else if (count == 3) {
        if (group[2] & 0x03) return 0;
        if (!put(uint8_t(group[0] << 2 | group[1] >> 4)) || !put(uint8_t(group[1] << 4 | group[2] >> 2))) return 0;
    }
    return written;
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
