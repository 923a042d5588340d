#include "app/core/rsaUtil.h"

#include <openssl/bn.h>

#include <algorithm>
#include <vector>

#include "app/core/Deployment.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Text.h"

namespace {

struct BnCtxFree {
    void operator()(BN_CTX* c) const { BN_CTX_free(c); }
};
using BnCtxPtr = std::unique_ptr<BN_CTX, BnCtxFree>;

// Parses hex digits only (no sign, no prefix); nullptr otherwise.
BIGNUM* parseHex(std::string_view hex) {
    if (hex.empty()) return nullptr;
    for (char c : hex) {
        bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!ok) return nullptr;
    }
    std::string text(hex);
    BIGNUM* bn = nullptr;
    if (BN_hex2bn(&bn, text.c_str()) != int(text.size())) {
        BN_free(bn);
        return nullptr;
    }
    return bn;
}

// A character that is not a hex digit reads as 48, as the envelope always did.
int hexValue(char c) {
    int v = foundation::hexDigitValue(c);
    return v < 0 ? 48 : v;
}

bool isHexDigit(char c) { return foundation::hexDigitValue(c) >= 0; }

}  // namespace

struct RsaKey::Impl {
    BIGNUM* n = nullptr;
    BIGNUM* e = nullptr;
    BIGNUM* d = nullptr;
    BN_MONT_CTX* mont = nullptr;
    ~Impl() {
        BN_MONT_CTX_free(mont);
        BN_free(n);
        BN_free(e);
        BN_clear_free(d);
    }
};

RsaKey::RsaKey(std::unique_ptr<Impl> impl, size_t size) : impl_(std::move(impl)), size_(size) {}
RsaKey::~RsaKey() = default;

std::shared_ptr<const RsaKey> RsaKey::create(std::string_view modulusHex, unsigned long publicExponent,
                                             std::string_view privateExponentHex) {
    auto impl = std::make_unique<Impl>();
    impl->n = parseHex(modulusHex);
    impl->d = parseHex(privateExponentHex);
    impl->e = BN_new();
    if (!impl->n || !impl->d || !impl->e || publicExponent < 3 || !BN_set_word(impl->e, publicExponent)) return nullptr;
    // Montgomery multiplication needs an odd modulus; a block needs at least
    // one byte below the modulus's top byte.
    if (!BN_is_odd(impl->n) || BN_num_bytes(impl->n) < 2 || BN_is_zero(impl->d)) return nullptr;
    BN_set_flags(impl->d, BN_FLG_CONSTTIME);
    BnCtxPtr ctx(BN_CTX_new());
    impl->mont = BN_MONT_CTX_new();
    if (!ctx || !impl->mont || !BN_MONT_CTX_set(impl->mont, impl->n, ctx.get())) return nullptr;
    size_t size = size_t(BN_num_bytes(impl->n));
    return std::shared_ptr<const RsaKey>(new RsaKey(std::move(impl), size));
}

const RsaKey& RsaKey::deployment() {
    static const std::shared_ptr<const RsaKey> key =
        create(Deployment::kRsaModulusHex, Deployment::kRsaPublicExponent, Deployment::kRsaPrivateExponentHex);
    return *key;
}

// c^d mod n, blinded: the exponentiation runs on c * k^e for a fresh random k
// and the result is multiplied by k^-1, so its timing and power tell nothing
// about c. The result is the same number as the bare c^d.
bool RsaKey::privateExpBlinded(BIGNUM* r, const BIGNUM* c, BN_CTX* ctx) const {
    BIGNUM* k = BN_CTX_get(ctx);
    BIGNUM* kInverse = BN_CTX_get(ctx);
    BIGNUM* blinded = BN_CTX_get(ctx);
    if (!blinded) return false;
    BN_set_flags(k, BN_FLG_CONSTTIME);
    bool haveFactor = false;
    // A k sharing a factor with n has no inverse; with a sound key that
    // practically never happens, but a few tries cost nothing.
    for (int attempt = 0; attempt < 8 && !haveFactor; ++attempt) {
        if (!BN_priv_rand_range(k, impl_->n)) return false;
        haveFactor = !BN_is_zero(k) && BN_mod_inverse(kInverse, k, impl_->n, ctx) != nullptr;
    }
    if (!haveFactor) return false;
    return BN_mod_exp_mont(blinded, k, impl_->e, impl_->n, ctx, impl_->mont) &&
           BN_mod_mul(blinded, blinded, c, impl_->n, ctx) &&
           BN_mod_exp_mont_consttime(r, blinded, impl_->d, impl_->n, ctx, impl_->mont) &&
           BN_mod_mul(r, r, kInverse, impl_->n, ctx);
}

bool RsaKey::apply(const uint8_t* in, uint8_t* out, bool usePrivate) const {
    // Scratch numbers, kept per thread between blocks.
    thread_local BnCtxPtr ctx(BN_CTX_secure_new());
    if (!ctx) return false;
    BN_CTX_start(ctx.get());
    bool ok = false;
    BIGNUM* m = BN_CTX_get(ctx.get());
    BIGNUM* r = BN_CTX_get(ctx.get());
    if (r && BN_bin2bn(in, int(size_), m) && BN_cmp(m, impl_->n) < 0) {
        ok = usePrivate ? privateExpBlinded(r, m, ctx.get())
                        : BN_mod_exp_mont(r, m, impl_->e, impl_->n, ctx.get(), impl_->mont);
        ok = ok && BN_bn2binpad(r, out, int(size_)) == int(size_);
    }
    BN_CTX_end(ctx.get());
    return ok;
}

bool RsaKey::publicEncrypt(const uint8_t* in, uint8_t* out) const { return apply(in, out, false); }
bool RsaKey::privateDecrypt(const uint8_t* in, uint8_t* out) const { return apply(in, out, true); }

size_t hexToBytes(const char* text, size_t length, uint8_t* out, size_t* outSize) {
    size_t needed = length / 2;
    size_t given = outSize ? *outSize : 0;
    if (outSize) *outSize = needed;
    if (!out || given < needed) return 0;
    for (size_t i = 0; i < needed; ++i) {
        out[i] = uint8_t((hexValue(text[2 * i]) << 4) | hexValue(text[2 * i + 1]));
    }
    return needed * 2;
}

size_t bytesToHex(const uint8_t* bytes, size_t count, char* out, size_t* outSize) {
    size_t needed = 2 * count + 1;
    size_t given = outSize ? *outSize : 0;
    if (outSize) *outSize = needed;
    if (!out || given < needed) return 0;
    if (count) foundation::writeHex(bytes, count, out);
    out[2 * count] = '\0';
    return count;
}

long rsaBlockEncrypt(const uint8_t* bytes, size_t length, uint8_t* out, size_t* outSize, const RsaKey& key) {
    const size_t block = key.size();
    const size_t blocks = (length + block - 1) / block;
    size_t needed = blocks * block;
    size_t given = outSize ? *outSize : 0;
    if (outSize) *outSize = needed;
    if (!out || given < needed) return 0;
    std::vector<uint8_t> plain(block);
    for (size_t b = 0; b < blocks; ++b) {
        size_t offset = b * block;
        size_t take = std::min(block, length - offset);
        std::fill(plain.begin(), plain.end(), 0);
        std::copy(bytes + offset, bytes + offset + take, plain.begin());
        if (!key.publicEncrypt(plain.data(), out + offset)) return -1;
    }
    return long(needed);
}

std::optional<std::string> rsaUtil::RSA_encrypt(std::string_view text) {
    return RSA_encrypt(text, RsaKey::deployment());
}

std::optional<std::string> rsaUtil::RSA_encrypt(std::string_view text, const RsaKey& key) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t cipherSize = 0;
    rsaBlockEncrypt(bytes, text.size(), nullptr, &cipherSize, key);
    std::vector<uint8_t> cipher(cipherSize);
    if (rsaBlockEncrypt(bytes, text.size(), cipher.data(), &cipherSize, key) != long(cipher.size())) {
        return std::nullopt;
    }
    size_t hexSize = 0;
    bytesToHex(cipher.data(), cipher.size(), nullptr, &hexSize);
    std::string hex(hexSize, '\0');
    bytesToHex(cipher.data(), cipher.size(), hex.data(), &hexSize);
    hex.pop_back();  // the terminating zero
    return hex;
}

std::optional<std::string> rsaUtil::RSA_decrypt(std::string_view cipher) {
    return RSA_decrypt(cipher, RsaKey::deployment());
}

std::optional<std::string> rsaUtil::RSA_decrypt(std::string_view cipher, const RsaKey& key) {
    const size_t block = key.size();
    const size_t digits = 2 * block;
    if (cipher.size() % digits != 0) return std::nullopt;
    for (char c : cipher) {
        if (!isHexDigit(c)) return std::nullopt;
    }
    std::vector<uint8_t> in(block), out(block);
    std::string plain;
    plain.reserve(cipher.size() / 2);
    for (size_t offset = 0; offset < cipher.size(); offset += digits) {
        size_t size = block;
        hexToBytes(cipher.data() + offset, digits, in.data(), &size);
        if (!key.privateDecrypt(in.data(), out.data())) return std::nullopt;
        for (uint8_t b : out) {
            if (b != 0) plain.push_back(char(b));
        }
    }
    return foundation::percentUnescape(plain);
}
