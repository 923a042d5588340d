#pragma once
// Text helpers: UTF-16 counting (as the phone's strings count), trimming,
// splitting and case. Hex and percent escapes live in Encoding.h (included
// here for the callers that reach them through this header).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Encoding.h"

namespace foundation {

bool isValidUtf8(std::string_view s);
// UTF-8 <-> UTF-16. Invalid UTF-8 becomes U+FFFD; lone surrogates likewise.
std::u16string toUtf16(std::string_view s);
std::string fromUtf16(std::u16string_view s);
void appendUtf8(std::string& out, char32_t cp);

// Length in UTF-16 units: one Chinese character counts 1, an emoji 2.
size_t utf16Length(std::string_view s);
// Substring by UTF-16 units, clamped to the text.
std::string utf16Substring(std::string_view s, size_t start, size_t length = std::u16string::npos);
// The UTF-16 unit at index; 0 when out of range.
char16_t characterAt(std::string_view s, size_t index);

// Removes leading and trailing white space (space, tab, CR, LF, and the
// ideographic space U+3000).
std::string trim(std::string_view s);
std::vector<std::string> split(std::string_view s, std::string_view sep);
bool startsWith(std::string_view s, std::string_view prefix);
bool endsWith(std::string_view s, std::string_view suffix);
std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// printf-style formatting into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace foundation
