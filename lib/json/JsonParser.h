#pragma once
// The JSON entry points: text or UTF-8 data in, the top-level dictionary or
// array out (as a foundation::Value), or nothing with a message in error().
//
// Objects become dictionaries (a key given twice keeps its last value),
// arrays arrays, strings UTF-8 texts, true/false booleans, null the null
// value. Integers with fewer than 19 significant digits become 64-bit
// integers (unsigned when not negative); longer ones and numbers with a
// fraction or an exponent become decimals that keep every digit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lib/json/JsonError.h"
#include "platform/foundation/Value.h"

extern const char* const JsonParserErrorDomain;  // "org.plovrid.JsonParser.ErrorDomain"

class JsonParser {
public:
    // How many containers may be open at once (32 by default, at most
    // kJsonDeepestNesting: a larger depth is lowered to that).
    unsigned maxDepth() const { return maxDepth_; }
    void setMaxDepth(unsigned depth) { maxDepth_ = depth < kJsonDeepestNesting ? depth : kJsonDeepestNesting; }
    // The message of the last failure.
    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    std::optional<foundation::Value> objectWithString(std::string_view text);
    // Sets *error (when given) on failure.
    std::optional<foundation::Value> objectWithString(std::string_view text, JsonError* error);
    // nullptr stands for missing data ("Input was 'nil'").
    std::optional<foundation::Value> objectWithData(const foundation::Bytes* data);
    std::optional<foundation::Value> objectWithData(const uint8_t* bytes, size_t length);

private:
    unsigned maxDepth_ = 32;
    std::string error_;
};

// Parses the text with a new parser; on failure logs
// "-JSONValue failed. Error is: <message>" and answers nothing.
std::optional<foundation::Value> JSONValue(std::string_view text);
