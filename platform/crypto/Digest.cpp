#include "platform/crypto/Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <stdexcept>

namespace crypto {
namespace {

template <size_t N>
std::array<uint8_t, N> digest(const EVP_MD* md, const uint8_t* data, size_t n) {
    std::array<uint8_t, N> out{};
    unsigned len = 0;
    static const uint8_t empty = 0;
    if (EVP_Digest(data ? data : &empty, n, out.data(), &len, md, nullptr) != 1 || len != N) {
        throw std::runtime_error("digest failed");
    }
    return out;
}

}  // namespace

Md5Digest md5(const uint8_t* data, size_t n) { return digest<16>(EVP_md5(), data, n); }
Md5Digest md5(std::string_view t) { return md5(reinterpret_cast<const uint8_t*>(t.data()), t.size()); }
Md5Digest md5(const std::vector<uint8_t>& b) { return md5(b.data(), b.size()); }

Sha1Digest sha1(const uint8_t* data, size_t n) { return digest<20>(EVP_sha1(), data, n); }
Sha1Digest sha1(std::string_view t) { return sha1(reinterpret_cast<const uint8_t*>(t.data()), t.size()); }
Sha1Digest sha1(const std::vector<uint8_t>& b) { return sha1(b.data(), b.size()); }

Sha1Digest hmacSha1(const uint8_t* key, size_t keyLen, const uint8_t* data, size_t n) {
    Sha1Digest out{};
    unsigned len = 0;
    static const uint8_t empty = 0;
    if (!HMAC(EVP_sha1(), key ? key : &empty, int(keyLen), data ? data : &empty, n, out.data(), &len) ||
        len != out.size()) {
        throw std::runtime_error("HMAC failed");
    }
    return out;
}
Sha1Digest hmacSha1(std::string_view key, std::string_view data) {
    return hmacSha1(reinterpret_cast<const uint8_t*>(key.data()), key.size(),
                    reinterpret_cast<const uint8_t*>(data.data()), data.size());
}
Sha1Digest hmacSha1(const std::vector<uint8_t>& key, const std::vector<uint8_t>& data) {
    return hmacSha1(key.data(), key.size(), data.data(), data.size());
}

}  // namespace crypto
