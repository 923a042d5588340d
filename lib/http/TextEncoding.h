#pragma once
// Text encodings named by the numbers the client uses for them (ASCII 1,
// UTF-8 4, ISO Latin 1 5, ...), charset names, and decoding to UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace http {

using StringEncoding = unsigned long;

inline constexpr StringEncoding kASCIIStringEncoding = 1;
inline constexpr StringEncoding kJapaneseEUCStringEncoding = 3;
inline constexpr StringEncoding kUTF8StringEncoding = 4;
inline constexpr StringEncoding kISOLatin1StringEncoding = 5;
inline constexpr StringEncoding kShiftJISStringEncoding = 8;
inline constexpr StringEncoding kISOLatin2StringEncoding = 9;
inline constexpr StringEncoding kUnicodeStringEncoding = 10;
inline constexpr StringEncoding kWindowsCP1251StringEncoding = 11;
inline constexpr StringEncoding kWindowsCP1252StringEncoding = 12;
inline constexpr StringEncoding kWindowsCP1250StringEncoding = 15;
inline constexpr StringEncoding kUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr StringEncoding kUTF16LittleEndianStringEncoding = 0x94000100;
inline constexpr StringEncoding kGB18030StringEncoding = 0x80000632;
inline constexpr StringEncoding kGBKStringEncoding = 0x80000631;
inline constexpr StringEncoding kEUCCNStringEncoding = 0x80000930;
inline constexpr StringEncoding kBig5StringEncoding = 0x80000A03;

// The encoding of an IANA charset name ("utf-8", "ISO-8859-1", "gbk", ...);
// nullopt when the name is not known.
std::optional<StringEncoding> encodingForCharsetName(std::string_view name);

// Decodes bytes in the encoding to UTF-8; nullopt when they are not valid in
// it (or the encoding is not known).
std::optional<std::string> decodeText(const std::vector<uint8_t>& bytes, StringEncoding encoding);

}  // namespace http
