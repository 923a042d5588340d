#include "platform/foundation/Encoding.h"

#include "platform/foundation/Text.h"

namespace foundation {

// ---- Base64 ----------------------------------------------------------------

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

const char* letters(Base64Alphabet a) { return a == Base64Alphabet::Standard ? kStandard : kWebSafe; }
const uint8_t* table(Base64Alphabet a) { return a == Base64Alphabet::Standard ? kStandardTable.v : kWebSafeTable.v; }

bool isSpace(uint8_t c) { return (c >= 9 && c <= 13) || c == 32 || c == 160 || c == 255; }

}  // namespace

size_t base64EncodedLength(size_t length, bool padded) {
    size_t n = length / 3 * 4;
    size_t rest = length % 3;
    if (rest) n += padded ? 4 : rest + 1;  // (8 x rest + 5) / 6
    return n;
}

size_t base64Encode(const uint8_t* src, size_t srcLen, char* dest, size_t destLen, Base64Alphabet alphabet,
                    bool padded) {
    if (!src || !dest || srcLen == 0) return 0;
    if (destLen < base64EncodedLength(srcLen, padded)) return 0;
    const char* a = letters(alphabet);
    char* out = dest;
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
    return size_t(out - dest);
}

size_t base64Decode(const char* srcChars, size_t srcLen, uint8_t* dest, size_t destLen, Base64Alphabet alphabet,
                    bool requirePadding) {
    if (!srcChars || !dest || srcLen == 0) return 0;
    const uint8_t* src = reinterpret_cast<const uint8_t*>(srcChars);
    const uint8_t* end = src + srcLen;
    const uint8_t* t = table(alphabet);
    size_t written = 0;
    uint8_t group[4];
    int count = 0;  // characters of the current group
    bool padding = false;

    auto put = [&](uint8_t b) {
        if (written >= destLen) return false;
        dest[written++] = b;
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

std::string base64Encode(const void* bytes, size_t length, Base64Alphabet alphabet, bool padded) {
    if (!bytes || length == 0) return {};
    std::string out(base64EncodedLength(length, padded), '\0');
    size_t n = base64Encode(static_cast<const uint8_t*>(bytes), length, out.data(), out.size(), alphabet, padded);
    out.resize(n);
    return out;
}

std::string base64Encode(std::string_view bytes, Base64Alphabet alphabet, bool padded) {
    return base64Encode(bytes.data(), bytes.size(), alphabet, padded);
}

std::string base64Encode(const std::vector<uint8_t>& bytes, Base64Alphabet alphabet, bool padded) {
    return base64Encode(bytes.data(), bytes.size(), alphabet, padded);
}

std::optional<std::vector<uint8_t>> base64Decode(std::string_view text, Base64Alphabet alphabet, bool requirePadding) {
    if (text.empty()) return std::nullopt;
    std::vector<uint8_t> out((text.size() + 3) / 4 * 3);
    size_t n = base64Decode(text.data(), text.size(), out.data(), out.size(), alphabet, requirePadding);
    if (n == 0) return std::nullopt;
    out.resize(n);
    return out;
}

std::optional<std::vector<uint8_t>> base64DecodeLenient(std::string_view text, Base64Leftover leftover) {
    static constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string clean;
    clean.reserve(text.size());
    for (char c : text) {
        if (c == '=') break;
        if (kLetters.find(c) != std::string_view::npos) clean.push_back(c);
    }
    const size_t rest = clean.size() % 4;
    if (rest == 1) {
        if (leftover == Base64Leftover::Fail) return std::nullopt;
        clean.pop_back();
    }
    if (clean.empty()) return std::vector<uint8_t>{};
    // Clears the bits past the last byte, which the strict decoder refuses.
    if (rest > 1) clean.back() = kLetters[kLetters.find(clean.back()) & (rest == 2 ? 0x30u : 0x3Cu)];
    return base64Decode(clean, Base64Alphabet::Standard, false);
}

// ---- hex -------------------------------------------------------------------

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void writeHex(const uint8_t* data, size_t n, char* out, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = digits[data[i] >> 4];
        out[2 * i + 1] = digits[data[i] & 15];
    }
}

std::string toHex(const uint8_t* data, size_t n, bool upper) {
    std::string out(n * 2, '\0');
    if (n) writeHex(data, n, out.data(), upper);
    return out;
}

std::string toHex(const std::vector<uint8_t>& bytes, bool upper) { return toHex(bytes.data(), bytes.size(), upper); }

std::string toHex(std::string_view bytes, bool upper) {
    return toHex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), upper);
}

std::optional<std::vector<uint8_t>> fromHex(std::string_view hex) {
    if (hex.size() % 2) return std::nullopt;
    std::vector<uint8_t> out(hex.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        int hi = hexDigitValue(hex[2 * i]), lo = hexDigitValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out[i] = uint8_t(hi * 16 + lo);
    }
    return out;
}

// ---- percent escapes ---------------------------------------------------------

namespace {

// Percent-escapes (uppercase hex) every byte for which `kept` is false.
template <typename Kept>
std::string escapeUnless(std::string_view s, Kept kept) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size() * 3);
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (kept(c)) {
            out.push_back(char(c));
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

bool isAsciiIn(unsigned char c, std::string_view set) {
    return c < 0x80 && set.find(char(c)) != std::string_view::npos;
}

}  // namespace

std::string percentEscape(std::string_view s, std::string_view keep) {
    return escapeUnless(s, [keep](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
               c == '.' || c == '~' || isAsciiIn(c, keep);
    });
}

std::string percentEscapeAllBut(std::string_view s, std::string_view keep) {
    return escapeUnless(s, [keep](unsigned char c) { return isAsciiIn(c, keep); });
}

std::optional<std::string> percentUnescapeBytes(std::string_view s, bool plusAsSpace) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '%') {
            int hi = i + 1 < s.size() ? hexDigitValue(s[i + 1]) : -1;
            int lo = i + 2 < s.size() ? hexDigitValue(s[i + 2]) : -1;
            if (hi < 0 || lo < 0) return std::nullopt;
            out.push_back(char(hi * 16 + lo));
            i += 2;
        } else if (c == '+' && plusAsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<std::string> percentUnescape(std::string_view s, bool plusAsSpace) {
    auto out = percentUnescapeBytes(s, plusAsSpace);
    if (!out || !isValidUtf8(*out)) return std::nullopt;
    return out;
}

std::string percentUnescapeLenient(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        int hi = s[i] == '%' && i + 2 < s.size() ? hexDigitValue(s[i + 1]) : -1;
        int lo = hi >= 0 ? hexDigitValue(s[i + 2]) : -1;
        if (lo >= 0) {
            out.push_back(char(hi * 16 + lo));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

}  // namespace foundation
