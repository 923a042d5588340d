#pragma once
// The message envelope: raw RSA (no padding) over 128-byte blocks, written as
// lowercase hex. Requests are enciphered with the public exponent, replies
// deciphered with the private one; the server does the reverse with the same
// key pair.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct bignum_st;
struct bignum_ctx;

// A parsed key pair (n, e, d; no CRT parameters). Immutable once made, so one
// key is shared by every thread.
class RsaKey {
public:
    // nullptr when a hex text is not a positive number, d is missing, or the
    // modulus is too small for a block.
    static std::shared_ptr<const RsaKey> create(std::string_view modulusHex, unsigned long publicExponent,
                                                std::string_view privateExponentHex);
    // The built-in deployment key, parsed on first use.
    static const RsaKey& deployment();

    ~RsaKey();
    RsaKey(const RsaKey&) = delete;
    RsaKey& operator=(const RsaKey&) = delete;

    // Block size in bytes: the modulus's size (128 for a 1024-bit key).
    size_t size() const { return size_; }

    // m^e mod n and c^d mod n on one block of size() bytes, most significant
    // byte first. False, with nothing written, when the block read as a number
    // is not below the modulus. The private operation is blinded with a fresh
    // random factor per block (from OpenSSL's private random source); its
    // result does not depend on the factor.
    bool publicEncrypt(const uint8_t* in, uint8_t* out) const;
    bool privateDecrypt(const uint8_t* in, uint8_t* out) const;

private:
    struct Impl;
    explicit RsaKey(std::unique_ptr<Impl> impl, size_t size);
    bool apply(const uint8_t* in, uint8_t* out, bool usePrivate) const;
    bool privateExpBlinded(bignum_st* r, const bignum_st* c, bignum_ctx* ctx) const;
    std::unique_ptr<Impl> impl_;
    size_t size_;
};

class rsaUtil {
public:
    // The cipher text of the text's UTF-8 bytes: one block per 128 bytes (the
    // last one zero-filled at its end), 256 lowercase hex digits a block; ""
    // for "". No value when a block is not below the modulus (possible only
    // when a block starts with a byte of 0x80 or above).
    static std::optional<std::string> RSA_encrypt(std::string_view text);
    static std::optional<std::string> RSA_encrypt(std::string_view text, const RsaKey& key);

    // The plain text of a cipher text (hex digits of either case): zero bytes
    // of every deciphered block are dropped, then percent escapes are
    // replaced as UTF-8. nil when the length is not a whole number of blocks,
    // a character is not a hex digit, a block is not below the modulus, an
    // escape is malformed or the result is not valid UTF-8.
    static std::optional<std::string> RSA_decrypt(std::string_view cipher);
    static std::optional<std::string> RSA_decrypt(std::string_view cipher, const RsaKey& key);
};

// Decodes pairs of characters into bytes: '0'-'9' count 0-9, 'a'-'f' and
// 'A'-'F' count 10-15, any other character 48; a byte is the low 8 bits of
// (first << 4 | second); a final unpaired character is ignored. Stores the
// needed size (length / 2) in *outSize; without a buffer, or when *outSize was
// smaller than that, writes nothing and returns 0, else returns the number of
// characters consumed.
size_t hexToBytes(const char* text, size_t length, uint8_t* out, size_t* outSize);

// Writes "%02x" for every byte and a terminating zero. Needs 2 * count + 1
// bytes; stores that in *outSize; without a buffer or with a smaller size
// writes nothing and returns 0, else returns count.
size_t bytesToHex(const uint8_t* bytes, size_t count, char* out, size_t* outSize);

// Enciphers the bytes block by block as RSA_encrypt does. Needs
// key.size() * blocks bytes and stores that in *outSize; without a buffer or
// with a smaller size returns 0. Otherwise returns the number of cipher bytes
// written, or -1 when a block is not below the modulus.
long rsaBlockEncrypt(const uint8_t* bytes, size_t length, uint8_t* out, size_t* outSize, const RsaKey& key);
