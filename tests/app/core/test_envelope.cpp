// The message envelope: raw RSA blocks in hex, checked against OpenSSL's own
// raw RSA on a key without CRT parameters.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/core/Deployment.h"
#include "app/core/rsaUtil.h"
#include "tests/support/TestSupport.h"

namespace {

std::map<std::string, std::string> testKeyFile() {
    std::ifstream in(testsupport::sourcePath("resources/keys/test-key.txt"));
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

// OpenSSL's RSA object holding n, e and d only.
struct OpenSslKey {
    RSA* rsa = RSA_new();
    OpenSslKey() {
        BIGNUM *n = nullptr, *e = BN_new(), *d = nullptr;
        BN_hex2bn(&n, Deployment::kRsaModulusHex);
        BN_hex2bn(&d, Deployment::kRsaPrivateExponentHex);
        BN_set_word(e, Deployment::kRsaPublicExponent);
        RSA_set0_key(rsa, n, e, d);
    }
    ~OpenSslKey() { RSA_free(rsa); }
};

std::vector<uint8_t> fromHexText(const std::string& hex) {
    std::vector<uint8_t> out(hex.size() / 2);
    size_t size = out.size();
    hexToBytes(hex.data(), hex.size(), out.data(), &size);
    return out;
}

TEST(Envelope, BuiltInKeyIsTheCommittedTestKey) {
    auto file = testKeyFile();
    EXPECT_EQ(file["n"], Deployment::kRsaModulusHex);
    EXPECT_EQ(file["d"], Deployment::kRsaPrivateExponentHex);
    EXPECT_EQ(file["e"], "10001");
    EXPECT_EQ(RsaKey::deployment().size(), 128u);
}

TEST(Envelope, BlockCountsAndLowercaseHex) {
    struct Case {
        size_t length;
        size_t digits;
    } cases[] = {{0, 0}, {1, 256}, {127, 256}, {128, 256}, {129, 512}, {256, 512}, {300, 768}};
    for (const Case& c : cases) {
        std::string text(c.length, 'q');
        auto cipher = rsaUtil::RSA_encrypt(text);
        ASSERT_TRUE(cipher) << c.length;
        EXPECT_EQ(cipher->size(), c.digits) << c.length;
        EXPECT_EQ(cipher->find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(rsaUtil::RSA_decrypt(*cipher), text) << c.length;
    }
}

TEST(Envelope, OpenSslRawRsaWithoutCrtAgrees) {
    OpenSslKey key;
    ASSERT_EQ(RSA_size(key.rsa), 128);
    // 129 bytes: the second block holds one byte and 127 zero bytes.
    std::string text = std::string(128, 'a') + "z";
    std::string cipher = *rsaUtil::RSA_encrypt(text);
    std::vector<uint8_t> bytes = fromHexText(cipher);
    std::vector<uint8_t> plain(128);
    ASSERT_EQ(RSA_private_decrypt(128, bytes.data() + 128, plain.data(), key.rsa, RSA_NO_PADDING), 128);
    EXPECT_EQ(plain[0], 'z');
    EXPECT_EQ(std::vector<uint8_t>(plain.begin() + 1, plain.end()), std::vector<uint8_t>(127, 0));
    ASSERT_EQ(RSA_private_decrypt(128, bytes.data(), plain.data(), key.rsa, RSA_NO_PADDING), 128);
    EXPECT_EQ(std::vector<uint8_t>(plain.begin(), plain.end()), std::vector<uint8_t>(128, 'a'));

    // And the other way: OpenSSL enciphers a zero-filled block, we decipher.
    std::vector<uint8_t> block(128, 0), out(128);
    std::string message = "20;6F9619FF-8B86-D011-B42D-00C04FC964FF";
    std::copy(message.begin(), message.end(), block.begin());
    ASSERT_EQ(RSA_public_encrypt(128, block.data(), out.data(), key.rsa, RSA_NO_PADDING), 128);
    size_t hexSize = 0;
    bytesToHex(out.data(), out.size(), nullptr, &hexSize);
    std::string hex(hexSize, '\0');
    bytesToHex(out.data(), out.size(), hex.data(), &hexSize);
    hex.pop_back();
    EXPECT_EQ(rsaUtil::RSA_decrypt(hex), message);
    EXPECT_EQ(hex, rsaUtil::RSA_encrypt(message));
}

// A random source that says whether it was drawn from and gives bytes of a
// sequence chosen by the test.
struct ScriptedRandom {
    static inline bool drawn = false;
    static inline uint64_t state = 1;
    static int bytes(unsigned char* out, int n) {
        drawn = true;
        for (int i = 0; i < n; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            out[i] = static_cast<unsigned char>(state >> 56);
        }
        return 1;
    }
    static int status() { return 1; }
    RAND_METHOD method{nullptr, &ScriptedRandom::bytes, nullptr,
                       nullptr, &ScriptedRandom::bytes, &ScriptedRandom::status};
    const RAND_METHOD* previous = RAND_get_rand_method();
    explicit ScriptedRandom(uint64_t seed) {
        drawn = false;
        state = seed;
        RAND_set_rand_method(&method);
    }
    ~ScriptedRandom() { RAND_set_rand_method(previous); }
};

// The private operation draws a blinding factor for every block, and what it
// gives is c^d mod n whatever the factor.
TEST(Envelope, ThePrivateOperationIsBlindedAndGivesTheBareResult) {
    const RsaKey& key = RsaKey::deployment();
    BIGNUM *n = nullptr, *d = nullptr;
    BN_hex2bn(&n, Deployment::kRsaModulusHex);
    BN_hex2bn(&d, Deployment::kRsaPrivateExponentHex);
    BIGNUM* nMinusOne = BN_dup(n);
    BN_sub_word(nMinusOne, 1);
    std::vector<uint8_t> message(128, 0);
    const std::string words = "31;blinded block";
    std::copy(words.begin(), words.end(), message.begin());
    std::vector<uint8_t> enciphered(128);
    ASSERT_TRUE(key.publicEncrypt(message.data(), enciphered.data()));
    std::vector<uint8_t> one(128, 0), top(128);
    one[127] = 1;
    BN_bn2binpad(nMinusOne, top.data(), 128);
    const std::vector<uint8_t> blocks[] = {std::vector<uint8_t>(128, 0), one, top, enciphered};
    BN_CTX* ctx = BN_CTX_new();
    for (const auto& block : blocks) {
        // The bare c^d, worked out without any randomness.
        BIGNUM* c = BN_bin2bn(block.data(), 128, nullptr);
        BIGNUM* bare = BN_new();
        ASSERT_TRUE(BN_mod_exp_simple(bare, c, d, n, ctx));
        std::vector<uint8_t> expected(128);
        BN_bn2binpad(bare, expected.data(), 128);
        BN_free(c);
        BN_free(bare);
        if (block == enciphered) EXPECT_EQ(expected, message);
        for (uint64_t seed : {1ull, 0x9e3779b97f4a7c15ull}) {
            SCOPED_TRACE(seed);
            std::vector<uint8_t> out(128);
            ScriptedRandom random(seed);
            ASSERT_TRUE(key.privateDecrypt(block.data(), out.data()));
            EXPECT_TRUE(ScriptedRandom::drawn) << "the private operation drew no blinding factor";
            EXPECT_EQ(out, expected);
        }
    }
    BN_CTX_free(ctx);
    BN_free(n);
    BN_free(d);
    BN_free(nMinusOne);
}

TEST(Envelope, DecryptionRules) {
    // Uppercase digits decrypt too.
    std::string cipher = *rsaUtil::RSA_encrypt("20;abc");
    std::string upper;
    for (char c : cipher) upper.push_back(char(std::toupper(static_cast<unsigned char>(c))));
    EXPECT_EQ(rsaUtil::RSA_decrypt(upper), "20;abc");
    // Zero bytes are dropped anywhere, not only at the end of a block.
    EXPECT_EQ(rsaUtil::RSA_decrypt(*rsaUtil::RSA_encrypt(std::string("ab\0c\0\0d", 7))), "abcd");
    // Percent escapes are replaced as UTF-8.
    EXPECT_EQ(rsaUtil::RSA_decrypt(*rsaUtil::RSA_encrypt("%E5%AE%89")), "\u5b89");
    EXPECT_EQ(rsaUtil::RSA_decrypt(*rsaUtil::RSA_encrypt("100%25 ok")), "100% ok");
    // Raw UTF-8 bytes (0x80 and above) are kept as bytes.
    EXPECT_EQ(rsaUtil::RSA_decrypt(*rsaUtil::RSA_encrypt("a\u5b89\u5168")), "a\u5b89\u5168");
    EXPECT_EQ(rsaUtil::RSA_decrypt(""), "");
}

TEST(Envelope, MalformedCipherTextsGiveNil) {
    std::string good = *rsaUtil::RSA_encrypt("20;abc");
    std::string twoBlocks = *rsaUtil::RSA_encrypt(std::string(200, 'x'));
    std::string modulus = Deployment::kRsaModulusHex;
    struct Case {
        const char* what;
        std::string cipher;
    } cases[] = {
        {"one digit short", good.substr(0, 255)},
        {"one digit more", good + "0"},
        {"a block and a half", twoBlocks.substr(0, 384)},
        {"a non-hex character", good.substr(0, 100) + "g" + good.substr(101)},
        {"a blank", good.substr(0, 100) + " " + good.substr(101)},
        {"a non-ASCII character", good.substr(0, 254) + "\xc3\xa9"},
        {"a block equal to the modulus", modulus},
        {"a block above the modulus", std::string(256, 'f')},
        {"a good block then a bad one", good + std::string(256, 'f')},
        {"a malformed escape", *rsaUtil::RSA_encrypt("50%zz")},
        {"an escape cut short", *rsaUtil::RSA_encrypt("50%4")},
        {"an escape of invalid UTF-8", *rsaUtil::RSA_encrypt("%FF%FE")},
        {"raw bytes that are not UTF-8", *rsaUtil::RSA_encrypt("a\x80\x81")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rsaUtil::RSA_decrypt(c.cipher), std::nullopt) << c.what;
    }
}

TEST(Envelope, BlocksNotBelowTheModulusAreNotEncrypted) {
    // The test modulus starts with byte 0xb3: a block starting with a higher
    // byte cannot be enciphered, and no partial cipher text comes out.
    EXPECT_EQ(rsaUtil::RSA_encrypt("\u5b89"), std::nullopt);  // e5 ae 89
    EXPECT_EQ(rsaUtil::RSA_encrypt(std::string(128, 'a') + "\xff"), std::nullopt);
    EXPECT_TRUE(rsaUtil::RSA_encrypt(std::string(128, 'a') + "\xb2"));  // below the modulus

    std::string text = std::string(128, 'a') + "\xff";
    size_t size = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    EXPECT_EQ(rsaBlockEncrypt(bytes, text.size(), nullptr, &size, RsaKey::deployment()), 0);
    EXPECT_EQ(size, 256u);
    std::vector<uint8_t> out(size);
    EXPECT_EQ(rsaBlockEncrypt(bytes, text.size(), out.data(), &size, RsaKey::deployment()), -1);
    size = 127;
    EXPECT_EQ(rsaBlockEncrypt(bytes, 128, out.data(), &size, RsaKey::deployment()), 0);  // buffer too small
    EXPECT_EQ(size, 128u);
    EXPECT_EQ(rsaBlockEncrypt(bytes, 128, out.data(), &size, RsaKey::deployment()), 128);
}

TEST(Envelope, HexToBytes) {
    struct Case {
        std::string text;
        std::vector<uint8_t> bytes;
        size_t consumed;
    } cases[] = {
        {"", {}, 0},        {"0aFf", {0x0a, 0xff}, 4}, {"AbcD", {0xab, 0xcd}, 4},
        {"zz", {0x30}, 2},   // other characters count 48: (48 << 4 | 48) & 0xff
        {"g1", {0x01}, 2},   // (48 << 4 | 1) & 0xff
        {"abc", {0xab}, 2},  // the unpaired last character is ignored
    };
    for (const Case& c : cases) {
        size_t size = 0;
        EXPECT_EQ(hexToBytes(c.text.data(), c.text.size(), nullptr, &size), 0u) << c.text;
        EXPECT_EQ(size, c.bytes.size()) << c.text;
        std::vector<uint8_t> out(size + 1, 0xee);
        size = out.size();
        EXPECT_EQ(hexToBytes(c.text.data(), c.text.size(), out.data(), &size), c.consumed) << c.text;
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(c.bytes.size())), c.bytes) << c.text;
        EXPECT_EQ(out.back(), 0xee) << c.text;  // nothing past the needed size
    }
    uint8_t small[1];
    size_t size = 1;
    EXPECT_EQ(hexToBytes("0a0b", 4, small, &size), 0u);
    EXPECT_EQ(size, 2u);
}

TEST(Envelope, BytesToHex) {
    const uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
    size_t size = 0;
    EXPECT_EQ(bytesToHex(bytes, 4, nullptr, &size), 0u);
    EXPECT_EQ(size, 9u);
    char out[9];
    size = 8;
    EXPECT_EQ(bytesToHex(bytes, 4, out, &size), 0u);
    size = 9;
    EXPECT_EQ(bytesToHex(bytes, 4, out, &size), 4u);
    EXPECT_STREQ(out, "000fa0ff");
}

TEST(Envelope, KeysThatCannotWorkAreRefused) {
    std::string n = Deployment::kRsaModulusHex, d = Deployment::kRsaPrivateExponentHex;
    EXPECT_TRUE(RsaKey::create(n, 65537, d));
    EXPECT_FALSE(RsaKey::create("", 65537, d));
    EXPECT_FALSE(RsaKey::create("0x" + n, 65537, d));
    EXPECT_FALSE(RsaKey::create(n, 65537, ""));
    EXPECT_FALSE(RsaKey::create(n, 65537, "0"));
    EXPECT_FALSE(RsaKey::create(n.substr(0, 255) + "2", 65537, d));  // even modulus
    EXPECT_FALSE(RsaKey::create(n, 1, d));
}

TEST(Envelope, ServerBaseAddress) {
    unsetenv("QUENTA_SERVER_URL");
    EXPECT_EQ(Deployment::serverBaseAddress(), Deployment::kDefaultServerBaseAddress);
    struct Case {
        const char* env;
        const char* base;
    } cases[] = {
        {"http://h:1/x/safeCenter.do?", "http://h:1/x/safeCenter.do?"},
        {"http://h:1/x/safeCenter.do", "http://h:1/x/safeCenter.do?"},
        {"http://h:1", "http://h:1/safeCenter.do?"},
        {"http://h:1/", "http://h:1/safeCenter.do?"},
        {"http://h:1/api", "http://h:1/api/safeCenter.do?"},
        {"", "http://127.0.0.1:8780/safeCenter.do?"},
    };
    for (const Case& c : cases) {
        setenv("QUENTA_SERVER_URL", c.env, 1);
        EXPECT_EQ(Deployment::serverBaseAddress(), c.base) << c.env;
    }
    unsetenv("QUENTA_SERVER_URL");
}

}  // namespace
