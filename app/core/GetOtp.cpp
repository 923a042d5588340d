#include "app/core/GetOtp.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include "app/core/rsaUtil.h"
#include "platform/foundation/Clock.h"

namespace {

constexpr int32_t kPowers[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

std::array<uint8_t, 8> bigEndian(uint64_t v) {
    std::array<uint8_t, 8> out{};
    for (int i = 7; i >= 0; --i) {
        out[size_t(i)] = uint8_t(v & 0xff);
        v >>= 8;
    }
    return out;
}

// HMAC-SHA-1 of short messages. The screens ask for a code every second with
// the same key, so each thread keeps the digest states after the inner and
// outer key blocks of the last key it saw and starts every code from copies.
class HmacSha1 {
public:
    HmacSha1() : inner_(EVP_MD_CTX_new()), outer_(EVP_MD_CTX_new()), work_(EVP_MD_CTX_new()) {}
    ~HmacSha1() {
        if (!key_.empty()) OPENSSL_cleanse(key_.data(), key_.size());
        EVP_MD_CTX_free(inner_);
        EVP_MD_CTX_free(outer_);
        EVP_MD_CTX_free(work_);
    }
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    bool compute(const uint8_t* key, size_t keylen, const uint8_t* msg, size_t n, uint8_t out[20]) {
        if (!inner_ || !outer_ || !work_ || !sha1()) return false;
        if (!ready_ || keylen != key_.size() || (keylen && std::memcmp(key, key_.data(), keylen) != 0)) {
            if (!setKey(key, keylen)) return false;
        }
        uint8_t innerDigest[20];
        unsigned len = 0;
        bool ok = EVP_MD_CTX_copy_ex(work_, inner_) && EVP_DigestUpdate(work_, msg, n) &&
                  EVP_DigestFinal_ex(work_, innerDigest, &len) && EVP_MD_CTX_copy_ex(work_, outer_) &&
                  EVP_DigestUpdate(work_, innerDigest, sizeof innerDigest) && EVP_DigestFinal_ex(work_, out, &len);
        return ok && len == 20;
    }

    static HmacSha1& forThisThread() {
        thread_local HmacSha1 h;
        return h;
    }

private:
    static const EVP_MD* sha1() {
        static EVP_MD* md = EVP_MD_fetch(nullptr, "SHA1", nullptr);
        return md;
    }

    bool setKey(const uint8_t* key, size_t keylen) {
        ready_ = false;
        uint8_t block[64] = {};
        if (keylen > sizeof block) {
            unsigned len = 0;
            if (!EVP_Digest(key, keylen, block, &len, sha1(), nullptr)) return false;
        } else if (keylen) {
            std::memcpy(block, key, keylen);
        }
        uint8_t ipad[64], opad[64];
        for (size_t i = 0; i < 64; ++i) {
            ipad[i] = block[i] ^ 0x36;
            opad[i] = block[i] ^ 0x5c;
        }
        if (!EVP_DigestInit_ex(inner_, sha1(), nullptr) || !EVP_DigestUpdate(inner_, ipad, 64) ||
            !EVP_DigestInit_ex(outer_, sha1(), nullptr) || !EVP_DigestUpdate(outer_, opad, 64)) {
            return false;
        }
        key_.assign(key, key + keylen);
        ready_ = true;
        return true;
    }

    EVP_MD_CTX* inner_;
    EVP_MD_CTX* outer_;
    EVP_MD_CTX* work_;
    std::vector<uint8_t> key_;
    bool ready_ = false;
};

}  // namespace

foundation::Bytes Util::hmac_sha1_ex(const uint8_t* key, size_t keylen, const std::array<uint8_t, 8>& text) const {
    foundation::Bytes out(20, 0);
    if (!key) keylen = 0;
    if (!HmacSha1::forThisThread().compute(key, keylen, text.data(), text.size(), out.data())) return {};
    return out;
}

std::optional<std::string> Util::getOtpValue_ex(const uint8_t* key, size_t keylen, uint64_t counter, int digit) const {
    if (digit < 0 || digit > 8) return std::nullopt;
    foundation::Bytes h = hmac_sha1_ex(key, keylen, bigEndian(counter));
    if (h.size() != 20) return std::nullopt;
    int offset = h[19] & 0x0f;
    int32_t value = int32_t((uint32_t(h[size_t(offset)] & 0x7f) << 24) | (uint32_t(h[size_t(offset) + 1]) << 16) |
                            (uint32_t(h[size_t(offset) + 2]) << 8) | uint32_t(h[size_t(offset) + 3]));
    std::string code = std::to_string(value % kPowers[digit]);
    if (code.size() < size_t(digit)) code.insert(0, size_t(digit) - code.size(), '0');
    return code;
}

foundation::Bytes Util::hmac_sha1(std::string_view key, const std::array<uint8_t, 8>& text) const {
    key = key.substr(0, std::min(key.size(), key.find('\0')));
    return hmac_sha1_ex(reinterpret_cast<const uint8_t*>(key.data()), key.size(), text);
}

std::optional<std::string> Util::getOtpValue(std::string_view key, uint64_t counter, int digit) const {
    key = key.substr(0, std::min(key.size(), key.find('\0')));
    return getOtpValue_ex(reinterpret_cast<const uint8_t*>(key.data()), key.size(), counter, digit);
}

int64_t GetOtp::counterAt(int64_t unixSeconds, long long timeDiff) {
    // Signed division truncating toward zero, on 64 bits throughout so the
    // step stays right after January 2038.
    // A difference so large that the sum overflows is held at the limit.
    int64_t sum = 0;
    if (__builtin_add_overflow(unixSeconds, int64_t(timeDiff), &sum)) {
        sum = timeDiff < 0 ? INT64_MIN : INT64_MAX;
    }
    return sum / kStepSeconds;
}

std::string GetOtp::otpCreate(std::string_view key, std::string_view timeDiff) {
    size_t keySize = 0;
    hexToBytes(key.data(), key.size(), nullptr, &keySize);
    std::vector<uint8_t> keyBytes(keySize);
    hexToBytes(key.data(), key.size(), keyBytes.data(), &keySize);

    long long diff = foundation::textLongLongValue(timeDiff);
    auto now = int64_t(std::trunc(foundation::clock().now()));
    Util util;
    return util.getOtpValue_ex(keyBytes.data(), keyBytes.size(), uint64_t(counterAt(now, diff)), 6).value_or("");
}

std::string Calculate::getNums(std::string_view code) const {
    if (code.size() < 3) return "";
    for (char c : code) {
        if (c < '0' || c > '9') return "";
    }
    bool used[9] = {};
    std::vector<int> path;
    path.reserve(code.size());
    auto row = [](int c) { return c / 3; };
    auto col = [](int c) { return c % 3; };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    auto hasFreeNeighbour = [&](int p) {
        for (int c = 0; c < 9; ++c) {
            if (c != p && !used[c] && std::abs(row(c) - row(p)) <= 1 && std::abs(col(c) - col(p)) <= 1) return true;
        }
        return false;
    };
    for (size_t i = 0; i < code.size(); ++i) {
        int d = code[i] - '0';
        if (i == 0) {
            path.push_back(d % 9);
            used[d % 9] = true;
            continue;
        }
        int p = path.back();
        if (!hasFreeNeighbour(p)) break;
        int t = d % 9;
        while (true) {
            if (t == p) {
                t = (t + 1) % 9;
                continue;
            }
            int s = p + 3 * sign(row(t) - row(p)) + sign(col(t) - col(p));
            if (!used[s]) {
                used[s] = true;
                path.push_back(s);
                break;
            }
            t = (t + 1) % 9;
        }
    }
    char third = code[2];
    size_t n = (third == '2' || third == '4' || third == '5' || third == '7') ? 4 : 3;
    std::string out;
    for (size_t i = 0; i < path.size() && i < n; ++i) out.push_back(char('0' + path[i]));
    return out;
}
