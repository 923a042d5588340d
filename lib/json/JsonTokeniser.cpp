#include "lib/json/JsonTokeniser.h"

#include <cstdio>
#include <cstring>

#include "lib/json/JsonScan.h"
#include "lib/json/JsonUtf8.h"
#include "platform/foundation/Text.h"

namespace {

inline bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

int hexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The exponent of a number is kept within the range a decimal value can
// hold; a larger one is an error rather than an overflow.
constexpr int64_t kMaxDecimalExponent = 127;
constexpr int64_t kMinDecimalExponent = -128;
constexpr int64_t kExponentCap = 1000000;

// Canonical text of digits x 10^exponent: no exponent, no leading zeros, no
// trailing zeros after the point, "0" for zero. False when out of range.
bool decimalText(bool negative, std::string_view digits, int64_t exponent, std::string& out) {
    size_t first = digits.find_first_not_of('0');
    if (first == std::string_view::npos) {
        out.assign(1, '0');
        return true;
    }
    size_t last = digits.find_last_not_of('0');
    exponent += int64_t(digits.size() - 1 - last);
    if (exponent > kMaxDecimalExponent || exponent < kMinDecimalExponent) return false;
    std::string_view d(digits.data() + first, last + 1 - first);
    out.clear();
    if (negative) out.push_back('-');
    if (exponent >= 0) {
        out.append(d);
        out.append(size_t(exponent), '0');
    } else {
        size_t fraction = size_t(-exponent);
        if (d.size() > fraction) {
            out.append(d.substr(0, d.size() - fraction));
            out.push_back('.');
            out.append(d.substr(d.size() - fraction));
        } else {
            out.append("0.");
            out.append(fraction - d.size(), '0');
            out.append(d);
        }
    }
    return true;
}

}  // namespace

const char* jsonTokenName(int token) {
    switch (token) {
        case JsonTokenArrayStart:
            return "start of array";
        case JsonTokenArrayEnd:
            return "end of array";
        case JsonTokenObjectStart:
            return "start of object";
        case JsonTokenObjectEnd:
            return "end of object";
        case JsonTokenValueSeparator:
            return "value separator";
        case JsonTokenKeyValueSeparator:
            return "key-value separator";
        case JsonTokenNumber:
            return "number";
        case JsonTokenString:
            return "string";
        case JsonTokenTrue:
        case JsonTokenFalse:
            return "boolean";
        case JsonTokenNull:
            return "null";
        default:
            return "<aaiiie!>";
    }
}

// Leftover bytes are kept only when a token is cut off, so the buffer grows
// on demand.
JsonUTF8Stream::JsonUTF8Stream() = default;

void JsonUTF8Stream::appendData(const uint8_t* bytes, size_t length) {
    keepRest();
    if (index_ == length_) {
        data_.clear();
        bytes_ = bytes;
        length_ = length;
        index_ = 0;
        external_ = true;
        return;
    }
    data_.erase(data_.begin(), data_.begin() + std::ptrdiff_t(index_));
    if (length > 0) data_.insert(data_.end(), bytes, bytes + length);
    bytes_ = data_.data();
    length_ = data_.size();
    index_ = 0;
}

void JsonUTF8Stream::keepRest() {
    if (!external_) return;
    data_.assign(bytes_ + index_, bytes_ + length_);
    bytes_ = data_.data();
    length_ = data_.size();
    index_ = 0;
    external_ = false;
}

JsonToken JsonTokeniser::fail(std::string message) {
    error_ = std::move(message);
    return JsonTokenError;
}

// Literals, numbers and what cannot start a token.
JsonToken JsonTokeniser::getOtherToken(size_t i) {
    uint8_t c = stream_.bytes()[i];
    switch (c) {
        case 't':
            return matchWord(i, "true", JsonTokenTrue);
        case 'f':
            return matchWord(i, "false", JsonTokenFalse);
        case 'n':
            return matchWord(i, "null", JsonTokenNull);
        case '+':
            return fail("Leading + is illegal in number");
        default:
            break;
    }
    if (c == '-' || isDigit(c)) return getNumberToken(i);
    // The offending byte as a character; a byte above 0x7F reads as the
    // Latin-1 character of that value so the message stays valid UTF-8.
    std::string shown;
    foundation::appendUtf8(shown, char32_t(c));
    return fail("Illegal start of token [" + shown + "]");
}

JsonToken JsonTokeniser::matchWord(size_t start, const char* word, JsonToken token) {
    const uint8_t* bytes = stream_.bytes();
    size_t length = stream_.length();
    size_t n = std::strlen(word);
    for (size_t k = 1; k < n; ++k) {
        if (start + k >= length) return JsonTokenEof;
        if (bytes[start + k] != uint8_t(word[k])) {
            return fail(foundation::format("Expected '%s' after initial '%.1s'", word, word));
        }
    }
    stream_.setIndex(start + n);
    return token;
}

namespace jsonscan {

Result scanStringRest(const uint8_t* run, const uint8_t* p, const uint8_t* end, const uint8_t*& after,
                      std::string& buffer, std::string_view& text, std::string& error) {
    auto fail = [&](std::string message) {
        error = std::move(message);
        return Result::Error;
    };
    // run: start of the bytes not yet copied to buffer
    bool escaped = false;

    for (;;) {
        if (p == end) return Result::Eof;
        uint8_t c = *p;
        if (c == '"') {  // closing quote
            if (escaped) {
                buffer.append(reinterpret_cast<const char*>(run), size_t(p - run));
                text = buffer;
            } else {
                text = std::string_view(reinterpret_cast<const char*>(run), size_t(p - run));
            }
            after = p + 1;
            return Result::Ok;
        }
        if (c >= 0x80) {
            // A run of multi-byte characters (text in most scripts) is checked in one go.
            do {
                if (jsonutf8::isPlainThreeByte(p, end)) {
                    p += 3;
                    continue;
                }
                size_t n = 0;
                jsonutf8::Result r = jsonutf8::check(p, end, n);
                if (r == jsonutf8::Result::CutOff) return Result::Eof;
                if (r == jsonutf8::Result::Invalid) return fail("Broken Unicode encoding");
                p += n;
            } while (p < end && *p >= 0x80);
            p = jsonutf8::skipPlain(p, end);
            continue;
        }
        switch (jsonutf8::kStringClasses.c[c]) {
            case 3:
                return fail(foundation::format("Unescaped control character [0x%02X]", unsigned(c)));
            case 2: {  // escape
                if (!escaped) {
                    buffer.clear();
                    escaped = true;
                }
                buffer.append(reinterpret_cast<const char*>(run), size_t(p - run));
                if (p + 1 >= end) return Result::Eof;
                uint8_t e = p[1];
                char plain = 0;
                switch (e) {
                    case '"':
                        plain = '"';
                        break;
                    case '\\':
                        plain = '\\';
                        break;
                    case '/':
                        plain = '/';
                        break;
                    case 'b':
                        plain = '\b';
                        break;
                    case 'f':
                        plain = '\f';
                        break;
                    case 'n':
                        plain = '\n';
                        break;
                    case 'r':
                        plain = '\r';
                        break;
                    case 't':
                        plain = '\t';
                        break;
                    case 'u':
                        break;
                    default:
                        return fail("Illegal escape character");
                }
                if (e != 'u') {
                    buffer.push_back(plain);
                    p += 2;
                    run = p;
                    p = jsonutf8::skipPlain(p, end);
                    break;
                }
                // \uXXXX, possibly the first half of a surrogate pair.
                auto quad = [&](const uint8_t* q, unsigned& value) -> int {
                    value = 0;
                    for (int k = 0; k < 4; ++k) {
                        if (q + k >= end) return 0;  // cut off
                        int h = hexValue(q[k]);
                        if (h < 0) return -1;
                        value = value * 16 + unsigned(h);
                    }
                    return 1;
                };
                unsigned unit = 0;
                int q = quad(p + 2, unit);
                if (q == 0) return Result::Eof;
                if (q < 0) return fail("Invalid hex quad");
                p += 6;
                char32_t cp = unit;
                if (unit >= 0xDC00 && unit <= 0xDFFF) return fail("Invalid high character in surrogate pair");
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    if (p >= end || (p[0] == '\\' && p + 1 >= end)) return Result::Eof;
                    if (p[0] != '\\' || p[1] != 'u') return fail("Missing low character in surrogate pair");
                    unsigned low = 0;
                    q = quad(p + 2, low);
                    if (q == 0) return Result::Eof;
                    if (q < 0) return fail("Invalid hex quad");
                    if (low < 0xDC00 || low > 0xDFFF) return fail("Invalid low character in surrogate pair");
                    p += 6;
                    cp = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
                }
                foundation::appendUtf8(buffer, cp);
                run = p;
                p = jsonutf8::skipPlain(p, end);
                break;
            }
        }
    }
}

Result scanNumber(const uint8_t* p, const uint8_t* end, const uint8_t*& after, Number& number,
                  std::string& digitsScratch, std::string& error) {
    auto fail = [&](std::string message) {
        error = std::move(message);
        return Result::Error;
    };
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
        if (p == end) return Result::Eof;
        if (!isDigit(*p)) return fail("No digits after initial minus");
    }

    const uint8_t* digitsStart = p;
    // The integer part has no leading zeros, so its value fits when it has
    // fewer than 19 digits (wrapping past that does no harm: it is not used).
    uint64_t mantissa = 0;
    if (*p == '0') {
        ++p;
        if (p == end) return Result::Eof;
        if (isDigit(*p)) return fail("Leading zero is illegal in number");
    } else {
        while (p < end && isDigit(*p)) mantissa = mantissa * 10 + uint64_t(*p++ - '0');
        if (p == end) return Result::Eof;
    }
    const uint8_t* integerEnd = p;

    bool isDecimal = false;
    int64_t fractionDigits = 0;
    if (*p == '.') {
        isDecimal = true;
        ++p;
        if (p == end) return Result::Eof;
        if (!isDigit(*p)) return fail("No digits after decimal point");
        while (p < end && isDigit(*p)) {
            ++p;
            ++fractionDigits;
        }
        if (p == end) return Result::Eof;
    }
    const uint8_t* digitsEnd = p;

    int64_t exponent = 0;
    if (*p == 'e' || *p == 'E') {
        isDecimal = true;
        ++p;
        if (p == end) return Result::Eof;
        bool negativeExponent = false;
        if (*p == '+' || *p == '-') {
            negativeExponent = *p == '-';
            ++p;
            if (p == end) return Result::Eof;
        }
        if (!isDigit(*p)) return fail("No digits in exponent");
        while (p < end && isDigit(*p)) {
            if (exponent < kExponentCap) exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (p == end) return Result::Eof;
        if (negativeExponent) exponent = -exponent;
    }

    if (!isDecimal && integerEnd - digitsStart < 19) {
        if (negative) {
            number.kind = Number::Kind::Int;
            number.integer = -int64_t(mantissa);
        } else {
            number.kind = Number::Kind::UInt;
            number.unsignedInteger = mantissa;
        }
    } else if (exponent == 0 && p == digitsEnd && fractionDigits > 0 && fractionDigits <= -kMinDecimalExponent &&
               digitsEnd[-1] != '0') {
        // A fraction that ends in a non-zero digit, without exponent, is
        // already in canonical form.
        number.decimal.assign(reinterpret_cast<const char*>(digitsStart) - (negative ? 1 : 0),
                              size_t(digitsEnd - digitsStart) + (negative ? 1 : 0));
        number.kind = Number::Kind::Decimal;
    } else {
        // The digits without the decimal point.
        digitsScratch.assign(reinterpret_cast<const char*>(digitsStart), size_t(digitsEnd - digitsStart));
        if (fractionDigits > 0) digitsScratch.erase(digitsScratch.size() - size_t(fractionDigits) - 1, 1);
        if (!decimalText(negative, digitsScratch, exponent - fractionDigits, number.decimal)) {
            return fail("Number exponent out of range");
        }
        number.kind = Number::Kind::Decimal;
    }
    after = p;
    return Result::Ok;
}

Result scanNumber(const uint8_t* p, const uint8_t* end, const uint8_t*& after, foundation::Value& number,
                  std::string& digitsScratch, std::string& error) {
    Number read;
    Result result = scanNumber(p, end, after, read, digitsScratch, error);
    if (result != Result::Ok) return result;
    switch (read.kind) {
        case Number::Kind::Int:
            number = foundation::Value(read.integer);
            break;
        case Number::Kind::UInt:
            number = foundation::Value(static_cast<unsigned long long>(read.unsignedInteger));
            break;
        case Number::Kind::Decimal:
            number = foundation::Value(foundation::Decimal{std::move(read.decimal)});
            break;
    }
    return Result::Ok;
}

}  // namespace jsonscan

JsonToken JsonTokeniser::getStringToken(size_t start) {
    const uint8_t* const begin = stream_.bytes();
    const uint8_t* after = nullptr;
    switch (jsonscan::scanString(begin + start + 1, begin + stream_.length(), after, buffer_, string_, error_)) {
        case jsonscan::Result::Ok:
            stream_.setIndex(size_t(after - begin));
            return JsonTokenString;
        case jsonscan::Result::Eof:
            return JsonTokenEof;
        default:
            return JsonTokenError;
    }
}

JsonToken JsonTokeniser::getNumberToken(size_t start) {
    const uint8_t* const begin = stream_.bytes();
    const uint8_t* after = nullptr;
    switch (jsonscan::scanNumber(begin + start, begin + stream_.length(), after, number_, digits_, error_)) {
        case jsonscan::Result::Ok:
            stream_.setIndex(size_t(after - begin));
            return JsonTokenNumber;
        case jsonscan::Result::Eof:
            return JsonTokenEof;
        default:
            return JsonTokenError;
    }
}
