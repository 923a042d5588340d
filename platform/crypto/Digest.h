#pragma once
// MD5, SHA-1 and HMAC-SHA-1 over libcrypto.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Encoding.h"

namespace crypto {

using Md5Digest = std::array<uint8_t, 16>;
using Sha1Digest = std::array<uint8_t, 20>;

Md5Digest md5(const uint8_t* data, size_t n);
Md5Digest md5(std::string_view text);
Md5Digest md5(const std::vector<uint8_t>& bytes);

Sha1Digest sha1(const uint8_t* data, size_t n);
Sha1Digest sha1(std::string_view text);
Sha1Digest sha1(const std::vector<uint8_t>& bytes);

Sha1Digest hmacSha1(const uint8_t* key, size_t keyLen, const uint8_t* data, size_t n);
Sha1Digest hmacSha1(std::string_view key, std::string_view data);
Sha1Digest hmacSha1(const std::vector<uint8_t>& key, const std::vector<uint8_t>& data);

// Lowercase hex of a digest.
template <size_t N>
std::string hex(const std::array<uint8_t, N>& d) {
    return foundation::toHex(d.data(), N);
}

}  // namespace crypto
