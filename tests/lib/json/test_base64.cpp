#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "lib/json/Base64Codec.h"

using foundation::Bytes;

namespace {

Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::optional<std::string> text(const std::optional<Bytes>& b) {
    if (!b) return std::nullopt;
    return std::string(b->begin(), b->end());
}

const std::optional<std::string> kFails;

}  // namespace

TEST(Base64Codec, Encoding) {
    struct Case {
        std::string in, standard, webPadded, webUnpadded;
    };
    const std::vector<Case> cases = {
        {"a", "YQ==", "YQ==", "YQ"},
        {"ab", "YWI=", "YWI=", "YWI"},
        {"abc", "YWJj", "YWJj", "YWJj"},
        {"foobar", "Zm9vYmFy", "Zm9vYmFy", "Zm9vYmFy"},
        {"fooba", "Zm9vYmE=", "Zm9vYmE=", "Zm9vYmE"},
        {"\xfb\xff", "+/8=", "-_8=", "-_8"},
        {std::string("\x00\x10\x83", 3), "ABCD", "ABCD", "ABCD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Codec::stringByEncodingData(bytes(c.in)), c.standard);
        EXPECT_EQ(text(Base64Codec::encodeBytes(c.in.data(), c.in.size())), c.standard);
        EXPECT_EQ(Base64Codec::stringByWebSafeEncodingData(bytes(c.in), true), c.webPadded);
        EXPECT_EQ(Base64Codec::stringByWebSafeEncodingBytes(c.in.data(), c.in.size(), false), c.webUnpadded);
    }
    // Empty input gives nothing, as it always has.
    EXPECT_EQ(Base64Codec::stringByEncodingData(Bytes{}), kFails);
    EXPECT_FALSE(Base64Codec::webSafeEncodeData(Bytes{}, true).has_value());
}

TEST(Base64Codec, Decoding) {
    struct Case {
        std::string in;
        std::optional<std::string> standard, webSafe;
    };
    const std::vector<Case> cases = {
        {"YWJj", "abc", "abc"},
        {"YWI=", "ab", "ab"},  // padding is optional, not forbidden, for web-safe
        {"YWI", kFails, "ab"},
        {"YQ==", "a", "a"},
        {"YQ", kFails, "a"},
        {"YR==", kFails, kFails},  // leftover bits not zero
        {"YWJ", kFails, kFails},
        {"Y", kFails, kFails},
        {"Y===", kFails, kFails},
        {"YWJj=", kFails, kFails},
        {"YQ=", kFails, kFails},  // the second "=" is missing
        {"YQ= \n=", "a", "a"},
        {"YQ==  \n\t", "a", "a"},
        {"YQ==x", kFails, kFails},
        {"YW\nJj Zm9v\r\n", "abcfoo", "abcfoo"},
        {"YW\xa0Jj\xff", "abc", "abc"},
        {std::string("YWJj\0!!", 7), "abc", "abc"},  // a zero byte ends the input
        {"YWJ!", kFails, kFails},
        {"+/8=", "\xfb\xff", kFails},
        {"-_8", kFails, "\xfb\xff"},
        {"", kFails, kFails},
        {"  \n", kFails, kFails},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(Base64Codec::decodeData(bytes(c.in))), c.standard) << "standard: " << c.in;
        EXPECT_EQ(text(Base64Codec::webSafeDecodeBytes(c.in.data(), c.in.size())), c.webSafe) << "web: " << c.in;
    }
    EXPECT_EQ(text(Base64Codec::decodeString("YWJj")), "abc");
    EXPECT_EQ(text(Base64Codec::webSafeDecodeString("YWI")), "ab");
    EXPECT_FALSE(Base64Codec::decodeString("YWJj\xc2\xa0").has_value());  // not ASCII
    EXPECT_FALSE(Base64Codec::webSafeDecodeString("中文").has_value());
}

TEST(Base64Codec, RoundTripsAndBufferSizes) {
    std::mt19937 rng(7);
    for (size_t n = 1; n <= 64; ++n) {
        Bytes data(n);
        for (auto& b : data) b = uint8_t(rng());
        auto standard = Base64Codec::encodeData(data);
        ASSERT_TRUE(standard);
        EXPECT_EQ(standard->size(), (n + 2) / 3 * 4);
        EXPECT_EQ(Base64Codec::decodeData(*standard), data);
        auto unpadded = Base64Codec::webSafeEncodeData(data, false);
        ASSERT_TRUE(unpadded);
        EXPECT_EQ(unpadded->size(), (8 * n + 5) / 6);
        EXPECT_EQ(Base64Codec::webSafeDecodeData(*unpadded), data);
    }

    // The byte-level forms never write past the buffer they are given.
    char small[3];
    EXPECT_EQ(Base64Codec::baseEncode(reinterpret_cast<const uint8_t*>("abc"), 3, small, sizeof small,
                                      Base64Alphabet::Standard, true),
              0u);
    char exact[4];
    EXPECT_EQ(Base64Codec::baseEncode(reinterpret_cast<const uint8_t*>("abc"), 3, exact, sizeof exact,
                                      Base64Alphabet::Standard, true),
              4u);
    uint8_t out[2];
    EXPECT_EQ(Base64Codec::baseDecode("YWJj", 4, out, sizeof out, Base64Alphabet::Standard, true), 0u);
    EXPECT_EQ(Base64Codec::baseDecode("YWI=", 4, out, sizeof out, Base64Alphabet::Standard, true), 2u);
}

TEST(Base64Util, TextRoundTrip) {
    EXPECT_EQ(Base64Util::encodeCustom("abc"), "YWJj");
    auto encoded = Base64Util::encodeCustom("禾盾 token");
    ASSERT_TRUE(encoded);
    EXPECT_EQ(Base64Util::decodeCustom(*encoded), "禾盾 token");
    EXPECT_FALSE(Base64Util::encodeCustom("").has_value());
    EXPECT_FALSE(Base64Util::decodeCustom("YWI").has_value());
    EXPECT_FALSE(Base64Util::decodeCustom("/w==").has_value());  // decodes to 0xFF, not UTF-8 text
}
