#pragma once
// The one set of byte <-> text codings every layer uses: Base64 (standard and
// URL-safe alphabets), hex and percent escapes. Nothing here allocates more
// than its result, and every decoder reports bad input instead of guessing.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// ---- Base64 ----------------------------------------------------------------

enum class Base64Alphabet {
    Standard,  // A-Z a-z 0-9 + /
    WebSafe,   // A-Z a-z 0-9 - _ (URLs and file names)
};

// Characters needed to encode `length` bytes, with or without "=" padding.
size_t base64EncodedLength(size_t length, bool padded);

// Encodes into a caller's buffer: the characters written, 0 when there is
// nothing to encode or the buffer is too small.
size_t base64Encode(const uint8_t* src, size_t srcLen, char* dest, size_t destLen,
                    Base64Alphabet alphabet = Base64Alphabet::Standard, bool padded = true);
// Decodes into a caller's buffer: the bytes written, 0 on any failure (an
// empty input, a character outside the alphabet, misplaced or missing
// padding when `requirePadding`, set bits past the last byte, a buffer too
// small). White space between characters is skipped; a zero byte ends the
// input.
size_t base64Decode(const char* src, size_t srcLen, uint8_t* dest, size_t destLen,
                    Base64Alphabet alphabet = Base64Alphabet::Standard, bool requirePadding = true);

// The text of the bytes; "" for no bytes.
std::string base64Encode(const void* bytes, size_t length, Base64Alphabet alphabet = Base64Alphabet::Standard,
                         bool padded = true);
std::string base64Encode(std::string_view bytes, Base64Alphabet alphabet = Base64Alphabet::Standard,
                         bool padded = true);
std::string base64Encode(const std::vector<uint8_t>& bytes, Base64Alphabet alphabet = Base64Alphabet::Standard,
                         bool padded = true);
// The bytes of the text; nullopt on any failure named above.
std::optional<std::vector<uint8_t>> base64Decode(std::string_view text,
                                                 Base64Alphabet alphabet = Base64Alphabet::Standard,
                                                 bool requirePadding = true);

// What a lenient decoder does with one character left over at the end, which
// cannot hold a whole byte.
enum class Base64Leftover {
    Fail,  // the input is refused
    Drop,  // the character is dropped
};

// The bytes of Base64 text as older writers left it (property lists, engine
// files), never refused for its layout: anything outside the standard
// alphabet (line breaks, tabs, stray marks) is skipped, the first "=" ends
// the data, padding is optional and bits past the last byte are ignored.
// Empty or all-skipped text gives no bytes; nullopt only for a leftover
// character with Base64Leftover::Fail.
std::optional<std::vector<uint8_t>> base64DecodeLenient(std::string_view text,
                                                        Base64Leftover leftover = Base64Leftover::Drop);

// ---- hex -------------------------------------------------------------------

// 0-15 for a hex digit of either case, -1 for anything else.
int hexDigitValue(char c);
// Writes 2 * n hex digits to `out` (no terminating zero).
void writeHex(const uint8_t* data, size_t n, char* out, bool upper = false);
// Lowercase (or uppercase) hex of bytes, and back (nullopt on odd length or a
// non-hex digit).
std::string toHex(const uint8_t* data, size_t n, bool upper = false);
std::string toHex(const std::vector<uint8_t>& bytes, bool upper = false);
std::string toHex(std::string_view bytes, bool upper = false);
std::optional<std::vector<uint8_t>> fromHex(std::string_view hex);

// ---- percent escapes ---------------------------------------------------------

// Characters that form-style and query escapes commonly leave alone on top of
// the unreserved set.
inline constexpr std::string_view kPercentKeepMarks = "!*'()";

// Percent-escapes (uppercase hex) every byte outside the unreserved set
// A-Z a-z 0-9 - _ . ~ and the ASCII characters in `keep`.
std::string percentEscape(std::string_view s, std::string_view keep = "");
// Percent-escapes (uppercase hex) every byte but the ASCII characters in
// `keep`, letters included.
std::string percentEscapeAllBut(std::string_view s, std::string_view keep);
// Undoes %XX escapes; nullopt when an escape is malformed or the result is
// not valid UTF-8. When plusAsSpace is true '+' becomes ' '.
std::optional<std::string> percentUnescape(std::string_view s, bool plusAsSpace = false);
// The same for arbitrary bytes: the result need not be UTF-8.
std::optional<std::string> percentUnescapeBytes(std::string_view s, bool plusAsSpace = false);
// Undoes the well-formed %XX escapes of arbitrary bytes and keeps every other
// "%" as written, as addresses typed by people need: never refuses.
std::string percentUnescapeLenient(std::string_view s);

}  // namespace foundation
