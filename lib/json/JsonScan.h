#pragma once
// The two scanners under every JSON reader: a string's text and a number's
// value, read from bytes in memory. The tokeniser and the one-pass parser
// share them, so both accept and refuse exactly the same input.

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/json/JsonUtf8.h"
#include "platform/foundation/Value.h"

namespace jsonscan {

// Ok: read, `after` is just past it. Eof: the data ends inside it. Error:
// the message is in `error`.
enum class Result { Ok, Eof, Error };

// The string from `run` on, whose bytes before p are plain ASCII.
Result scanStringRest(const uint8_t* run, const uint8_t* p, const uint8_t* end, const uint8_t*& after,
                      std::string& buffer, std::string_view& text, std::string& error);

// p is just after the opening quote. The text is a view of the input when
// it holds no escape, else of `buffer`.
inline Result scanString(const uint8_t* p, const uint8_t* end, const uint8_t*& after, std::string& buffer,
                         std::string_view& text, std::string& error) {
    // Most strings are plain ASCII to the closing quote.
    const uint8_t* q = jsonutf8::skipPlain(p, end);
    if (q != end && *q == '"') {
        text = std::string_view(reinterpret_cast<const char*>(p), size_t(q - p));
        after = q + 1;
        return Result::Ok;
    }
    return scanStringRest(p, q, end, after, buffer, text, error);
}

// A number as read: a 64-bit integer (unsigned when not negative) or the
// canonical text of a decimal.
struct Number {
    enum class Kind { Int, UInt, Decimal };
    Kind kind = Kind::Int;
    int64_t integer = 0;
    uint64_t unsignedInteger = 0;
    std::string decimal;
};

// p is at the minus or the first digit. Integers of fewer than 19
// significant digits become 64-bit integers (unsigned when not negative),
// others decimals that keep every digit. A number is complete only once the
// character after it has been seen.
Result scanNumber(const uint8_t* p, const uint8_t* end, const uint8_t*& after, Number& number,
                  std::string& digitsScratch, std::string& error);
// The same, as a value.
Result scanNumber(const uint8_t* p, const uint8_t* end, const uint8_t*& after, foundation::Value& number,
                  std::string& digitsScratch, std::string& error);

}  // namespace jsonscan
