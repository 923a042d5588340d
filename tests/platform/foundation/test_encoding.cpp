#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/Assert.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

using namespace foundation;

namespace {

std::string text(const std::optional<std::vector<uint8_t>>& bytes) {
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
}

TEST(Base64, KnownVectorsInBothAlphabetsWithAndWithoutPadding) {
    struct Case {
        std::string plain, standard, webSafeUnpadded;
    };
    const Case cases[] = {
        {"f", "Zg==", "Zg"},
        {"fo", "Zm8=", "Zm8"},
        {"foo", "Zm9v", "Zm9v"},
        {"foobar", "Zm9vYmFy", "Zm9vYmFy"},
        {"\xfb\xff\xbf", "+/+/", "-_-_"},
        {"user:pässword", "dXNlcjpww6Rzc3dvcmQ=", "dXNlcjpww6Rzc3dvcmQ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(base64Encode(c.plain), c.standard) << c.plain;
        EXPECT_EQ(base64Encode(c.plain, Base64Alphabet::WebSafe, false), c.webSafeUnpadded) << c.plain;
        EXPECT_EQ(text(base64Decode(c.standard)), c.plain);
        EXPECT_EQ(text(base64Decode(c.webSafeUnpadded, Base64Alphabet::WebSafe, false)), c.plain);
        EXPECT_EQ(base64EncodedLength(c.plain.size(), true), c.standard.size());
        EXPECT_EQ(base64EncodedLength(c.plain.size(), false), c.webSafeUnpadded.size());
    }
    EXPECT_EQ(base64Encode(std::string_view()), "");
}

TEST(Base64, RejectsWhatIsNotBase64) {
    const std::pair<std::string, Base64Alphabet> bad[] = {
        {"", Base64Alphabet::Standard},         {"Zg", Base64Alphabet::Standard},  // padding required
        {"Zg=", Base64Alphabet::Standard},                                         // half the padding
        {"Z===", Base64Alphabet::Standard},                                        // one character before padding
        {"Zh==", Base64Alphabet::Standard},                                        // bits set past the last byte
        {"Zm9v!", Base64Alphabet::Standard},                                       // outside the alphabet
        {"-_-_", Base64Alphabet::Standard},                                        // the other alphabet
        {"+/+/", Base64Alphabet::WebSafe},                                         // and the reverse
        {"Zg==Zg==", Base64Alphabet::Standard},                                    // data after the padding
    };
    for (const auto& [input, alphabet] : bad) {
        EXPECT_FALSE(base64Decode(input, alphabet)) << input;
    }
    // White space between characters is skipped.
    EXPECT_EQ(text(base64Decode("Zm9v\r\nYmFy")), "foobar");
    // A destination too small is a failure, not a truncation.
    uint8_t small[2];
    EXPECT_EQ(base64Decode("Zm9v", 4, small, sizeof small), 0u);
    char out[3];
    EXPECT_EQ(base64Encode(reinterpret_cast<const uint8_t*>("foo"), 3, out, sizeof out), 0u);
}

TEST(Base64, LenientDecodingSkipsWhatOlderWritersLeftAndRefusesOnlyALeftover) {
    struct Case {
        std::string input, plain;
    };
    const Case cases[] = {
        {"Zm9v\n\tYmFy", "foobar"},  // wrapped with line breaks and tabs
        {"Zm9v!Ym*Fy", "foobar"},    // stray marks skipped
        {"Zm9vYg", "foob"},          // no padding
        {"Zm9vYg=garbage", "foob"},  // the first "=" ends the data
        {"Zh", "f"},                 // bits past the last byte ignored
        {"Zm9", "fo"},               // the same with two bytes
        {"-_-_", ""},                // the other alphabet is skipped whole
        {"", ""},
        {"\r\n", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(base64DecodeLenient(c.input)), c.plain) << c.input;
        EXPECT_EQ(text(base64DecodeLenient(c.input, Base64Leftover::Fail)), c.plain) << c.input;
    }
    // One character left over cannot hold a byte: dropped or refused.
    const Case leftovers[] = {{"Zm9vY", "foo"}, {"Z", ""}, {"Zm9vY==", "foo"}, {"Zm9v\nY", "foo"}};
    for (const auto& c : leftovers) {
        EXPECT_EQ(text(base64DecodeLenient(c.input, Base64Leftover::Drop)), c.plain) << c.input;
        EXPECT_FALSE(base64DecodeLenient(c.input, Base64Leftover::Fail)) << c.input;
    }
}

TEST(Hex, RoundTripsAndRejectsBadDigits) {
    const std::vector<uint8_t> bytes{0x00, 0x7f, 0xa5, 0xff};
    EXPECT_EQ(toHex(bytes), "007fa5ff");
    EXPECT_EQ(toHex(bytes, true), "007FA5FF");
    EXPECT_EQ(fromHex("007FA5ff"), bytes);
    EXPECT_EQ(toHex(std::vector<uint8_t>{}), "");
    for (const char* bad : {"0", "0g", "zz", "12 4"}) EXPECT_FALSE(fromHex(bad)) << bad;
    EXPECT_EQ(hexDigitValue('F'), 15);
    EXPECT_EQ(hexDigitValue('g'), -1);
    char out[4];
    writeHex(bytes.data() + 2, 2, out);
    EXPECT_EQ(std::string(out, 4), "a5ff");
    // Byte values describe themselves in groups of four.
    EXPECT_EQ(Value(Bytes{0, 1, 2, 3, 4, 5, 6, 7, 0xfe}).description(), "<00010203 04050607 fe>");
    EXPECT_EQ(Value(Bytes{}).description(), "<>");
}

TEST(PercentEscape, EscapesAndUnescapes) {
    struct Case {
        std::string plain, keep, escaped;
    };
    const Case cases[] = {
        {"a b&c=d", "", "a%20b%26c%3Dd"},
        {"日", "", "%E6%97%A5"},
        {"a/b?c", "/?", "a/b?c"},
        {"it's (ok)!*", std::string(kPercentKeepMarks), "it's%20(ok)!*"},
        {"-_.~", "", "-_.~"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(percentEscape(c.plain, c.keep), c.escaped) << c.plain;
        EXPECT_EQ(percentUnescape(c.escaped), c.plain) << c.escaped;
    }
    EXPECT_EQ(percentUnescape("a+b", true), "a b");
    EXPECT_EQ(percentUnescape("a+b"), "a+b");
    for (const char* bad : {"%", "%4", "%zz", "%FF"}) EXPECT_FALSE(percentUnescape(bad)) << bad;
    // Bytes that are not UTF-8 come back from the byte form.
    EXPECT_EQ(percentUnescapeBytes("%FF%00"), std::string("\xff\0", 2));
    EXPECT_FALSE(percentUnescapeBytes("%G0"));
    // Everything but what is kept, letters and unreserved marks included.
    EXPECT_EQ(percentEscapeAllBut("ab-12；", "0123456789"), "%61%62%2D12%EF%BC%9B");
    EXPECT_EQ(percentEscapeAllBut("", "0"), "");
}

TEST(PercentEscape, LenientUnescapingKeepsWhatIsNotAnEscape) {
    const std::pair<std::string, std::string> cases[] = {
        {"/tmp/a%20b/%E6%97%A5.html", "/tmp/a b/日.html"},
        {"100%", "100%"},
        {"%4", "%4"},
        {"a%zz%41", "a%zzA"},
        {"%%41", "%A"},
        {"%FF%00", std::string("\xff\0", 2)},
        {"a+b", "a+b"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(percentUnescapeLenient(in), out) << in;
}

TEST(Error, CarriesItsCauseAndComparesTheWholeChain) {
    ErrorRef socket = Error::make("POSIX", 104, "Connection reset by peer");
    Error failure("HttpRequestErrorDomain", 1, "A connection failure occurred", socket);
    EXPECT_TRUE(failure.is("HttpRequestErrorDomain", 1));
    EXPECT_FALSE(failure.is("POSIX", 104));
    EXPECT_TRUE(failure.hasCause("POSIX", 104));
    EXPECT_FALSE(failure.hasCause("POSIX", 32));
    EXPECT_EQ(
        failure.description(),
        "A connection failure occurred (HttpRequestErrorDomain 1); caused by Connection reset by peer (POSIX 104)");

    Error same("HttpRequestErrorDomain", 1, "A connection failure occurred",
               Error::make("POSIX", 104, "Connection reset by peer"));
    EXPECT_EQ(failure, same);
    Error otherCause("HttpRequestErrorDomain", 1, "A connection failure occurred", Error::make("POSIX", 32));
    EXPECT_FALSE(failure == otherCause);
    EXPECT_FALSE(failure == Error("HttpRequestErrorDomain", 1, "A connection failure occurred"));
    EXPECT_EQ(Error("d", 0).description(), "(d 0)");
}

class Assertions : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = setAssertionHandler([this](const AssertionFailure& f) { failures_.push_back(f); });
    }
    void TearDown() override { setAssertionHandler(old_); }
    AssertionHandler old_;
    std::vector<AssertionFailure> failures_;
};

TEST_F(Assertions, ReportTheMessageConditionAndPlace) {
    int value = 3;
    QUENTA_ASSERT(value == 3, "never reported");
    QUENTA_ASSERT(value < 2, "attempt to set unsupported value (3) for cameraMode property");
    ASSERT_EQ(failures_.size(), 1u);
    const AssertionFailure& f = failures_[0];
    EXPECT_EQ(f.message, "attempt to set unsupported value (3) for cameraMode property");
    EXPECT_EQ(f.condition, "value < 2");
    EXPECT_NE(std::string(f.file).find("test_encoding.cpp"), std::string::npos);
    EXPECT_GT(f.line, 0);
    EXPECT_NE(f.text().find("value < 2"), std::string::npos);
}

TEST_F(Assertions, MainThreadCheckFailsOnlyOffTheMainThread) {
    QUENTA_ASSERT_MAIN_THREAD();
    EXPECT_TRUE(failures_.empty());
    std::thread([] { QUENTA_ASSERT_MAIN_THREAD(); }).join();
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_EQ(failures_[0].message, "UI objects are used on the main thread only");
}

#ifndef NDEBUG
TEST(AssertionsDeathTest, StopADebugBuildWithTheMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(QUENTA_ASSERT(1 + 1 == 3, "Cannot Pop empty matrix stack"),
                 "Assertion failed: .*Cannot Pop empty matrix stack \\(1 \\+ 1 == 3\\)");
}
#endif

}  // namespace
