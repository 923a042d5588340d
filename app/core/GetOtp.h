#pragma once
// The soft token: the six-digit time-based one-time password (HMAC-SHA-1,
// 30-second steps, dynamic truncation) and its picture as a nine-star path.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

class Util {
public:
    // HMAC-SHA-1 (20 bytes) of the 8-byte message under the key bytes; empty
    // only when libcrypto offers no SHA-1.
    foundation::Bytes hmac_sha1_ex(const uint8_t* key, size_t keylen, const std::array<uint8_t, 8>& text) const;
    // The password of a counter with `digit` digits (0 to 8), padded with
    // leading zeros; no value for a digit count outside 0 to 8.
    std::optional<std::string> getOtpValue_ex(const uint8_t* key, size_t keylen, uint64_t counter, int digit) const;

    // As above with the key given as a text whose UTF-8 bytes (up to a zero
    // byte, if any) are the key.
    foundation::Bytes hmac_sha1(std::string_view key, const std::array<uint8_t, 8>& text) const;
    std::optional<std::string> getOtpValue(std::string_view key, uint64_t counter, int digit) const;
};

class GetOtp {
public:
    // The length of one password's window, in seconds: every screen that
    // counts down to the next code counts in these.
    static constexpr int kStepSeconds = 30;

    // The current six-digit password for the token key (hex text, decoded by
    // the envelope's hex rules) and the server-minus-device time difference in
    // seconds (leading decimal number of the text, 0 when there is none). The
    // time comes from the foundation clock and is kept in 64 bits. "" only
    // when libcrypto offers no SHA-1.
    static std::string otpCreate(std::string_view key, std::string_view timeDiff);
    // The 30-second step that otpCreate uses at the given time.
    static int64_t counterAt(int64_t unixSeconds, long long timeDiff);
};

class Calculate {
public:
    // The nine-star path of a code: 3 or 4 cell digits (0-8), each a king's
    // move from the one before. "" for a text that holds anything but the
    // digits 0-9 or has fewer than three characters.
    std::string getNums(std::string_view code) const;
};
