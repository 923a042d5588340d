#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/Digest.h"

namespace {

std::string repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

TEST(Digest, Md5VectorsOfItsRfc) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {repeat("1234567890", 8), "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(crypto::hex(crypto::md5(in)), want) << in;
}

TEST(Digest, Sha1VectorsOfItsRfc) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {repeat("a", 1000000), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        {repeat("0123456701234567012345670123456701234567012345670123456701234567", 10),
         "dea356a2cddd90c7a7ecedc5ebb563934f460452"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(crypto::hex(crypto::sha1(in)), want) << in.substr(0, 20);
}

TEST(Digest, HmacSha1VectorsOfItsRfc) {
    struct Case {
        std::string key, data, want;
    };
    const Case cases[] = {
        {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {std::string(20, '\xaa'), std::string(50, '\xdd'), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17"
                     "\x18\x19",
                     25),
         std::string(50, '\xcd'), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {std::string(20, '\x0c'), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    for (const auto& c : cases) EXPECT_EQ(crypto::hex(crypto::hmacSha1(c.key, c.data)), c.want) << c.data;
}

TEST(Digest, BytesAndTextFormsAgree) {
    std::vector<uint8_t> bytes{'a', 'b', 'c'};
    EXPECT_EQ(crypto::md5(bytes), crypto::md5("abc"));
    EXPECT_EQ(crypto::sha1(bytes), crypto::sha1("abc"));
    EXPECT_EQ(crypto::hmacSha1(bytes, bytes), crypto::hmacSha1("abc", "abc"));
    EXPECT_EQ(crypto::hex(crypto::hmacSha1("", "")), "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d");
}

}  // namespace
