#pragma once
// Base64 with the standard alphabet (padding written and required) and the
// URL- and file-name-safe alphabet (padding as asked, optional when
// decoding). Every method answers nothing on failure; empty input is a
// failure too. The coding itself is the foundation's (Encoding.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Encoding.h"
#include "platform/foundation/Value.h"

using Base64Alphabet = foundation::Base64Alphabet;

class Base64Codec {
public:
    static std::optional<foundation::Bytes> encodeData(const foundation::Bytes& data);
    static std::optional<foundation::Bytes> encodeBytes(const void* bytes, size_t length);
    static std::optional<std::string> stringByEncodingData(const foundation::Bytes& data);
    static std::optional<std::string> stringByEncodingBytes(const void* bytes, size_t length);
    static std::optional<foundation::Bytes> decodeData(const foundation::Bytes& data);
    static std::optional<foundation::Bytes> decodeBytes(const void* bytes, size_t length);
    // Nothing when the text is not ASCII.
    static std::optional<foundation::Bytes> decodeString(std::string_view text);

    static std::optional<foundation::Bytes> webSafeEncodeData(const foundation::Bytes& data, bool padded);
    static std::optional<foundation::Bytes> webSafeEncodeBytes(const void* bytes, size_t length, bool padded);
    static std::optional<std::string> stringByWebSafeEncodingData(const foundation::Bytes& data, bool padded);
    static std::optional<std::string> stringByWebSafeEncodingBytes(const void* bytes, size_t length, bool padded);
    static std::optional<foundation::Bytes> webSafeDecodeData(const foundation::Bytes& data);
    static std::optional<foundation::Bytes> webSafeDecodeBytes(const void* bytes, size_t length);
    static std::optional<foundation::Bytes> webSafeDecodeString(std::string_view text);

    // Sized-buffer forms under the methods above.
    static std::optional<foundation::Bytes> baseEncode(const void* bytes, size_t length, Base64Alphabet charset,
                                                       bool padded);
    static std::optional<foundation::Bytes> baseDecode(const void* bytes, size_t length, Base64Alphabet charset,
                                                       bool requirePadding);

    // Byte-level coding into a caller's buffer: the number of bytes written,
    // 0 on failure (including a buffer too small for the result).
    static size_t baseEncode(const uint8_t* src, size_t srcLen, char* destBytes, size_t destLen, Base64Alphabet charset,
                             bool padded);
    static size_t baseDecode(const char* src, size_t srcLen, uint8_t* destBytes, size_t destLen, Base64Alphabet charset,
                             bool requirePadding);

    // Characters needed to encode `length` bytes.
    static size_t encodedLength(size_t length, bool padded);
};

class Base64Util {
public:
    // The text's UTF-8 bytes in standard Base64.
    static std::optional<std::string> encodeCustom(std::string_view text);
    // The reverse; nothing when the decoded bytes are not UTF-8 text.
    static std::optional<std::string> decodeCustom(std::string_view text);
};
