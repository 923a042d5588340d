// The soft token: one-time passwords against the RFC 6238 SHA-1 vectors on a
// manual clock, and the nine-star path.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/core/GetOtp.h"
#include "platform/crypto/Digest.h"
#include "platform/foundation/Clock.h"

namespace {

// The RFC 6238 SHA-1 key "12345678901234567890" as hex text.
const char* kRfcKey = "3132333435363738393031323334353637383930";

std::string otpAt(double time, const std::string& key = kRfcKey, const std::string& diff = "0") {
    foundation::ManualClockScope clock(time);
    return GetOtp::otpCreate(key, diff);
}

TEST(SoftToken, RfcVectorsGiveTheLastSixDigits) {
    struct Case {
        double time;
        const char* code;
    } cases[] = {
        {59, "287082"},
        {1111111109, "081804"},
        {1111111111, "050471"},
        {1234567890, "005924"},
        {2000000000, "279037"},
        // Past January 2038: the step is computed from the full 64-bit time.
        {20000000000.0, "353130"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(otpAt(c.time), c.code) << "time " << c.time;
        // Fractions of a second do not matter.
        EXPECT_EQ(otpAt(c.time + 0.999), c.code) << "time " << c.time << ".999";
    }
}

TEST(SoftToken, EightDigitsGiveTheFullRfcValues) {
    Util util;
    std::string key = "12345678901234567890";
    const auto* bytes = reinterpret_cast<const uint8_t*>(key.data());
    struct Case {
        int64_t time;
        const char* code;
    } cases[] = {{59, "94287082"}, {1111111109, "07081804"}, {1234567890, "89005924"}, {20000000000, "65353130"}};
    for (const Case& c : cases) {
        EXPECT_EQ(util.getOtpValue_ex(bytes, key.size(), uint64_t(c.time / 30), 8), c.code);
        EXPECT_EQ(util.getOtpValue(key, uint64_t(c.time / 30), 8), c.code);
    }
    // Counter 37037036 (time 1111111109) gives 7081804: padded with one zero.
    EXPECT_EQ(util.getOtpValue(key, 37037036, 8), "07081804");
    EXPECT_EQ(util.getOtpValue(key, 1, 0), "0");
}

TEST(SoftToken, DigitCountsOutsideTheTableAreRefused) {
    Util util;
    for (int digit : {-1, 9, 10, 1000}) {
        EXPECT_EQ(util.getOtpValue("k", 1, digit), std::nullopt) << digit;
    }
}

TEST(SoftToken, TimeDifferenceShiftsTheStep) {
    struct Case {
        double time;
        const char* diff;
        const char* code;
    } cases[] = {
        {89, "-30", "287082"},  // the previous step: time 59
        {59, "30", "359152"},   // the next step
        {59, "+30", "359152"},        {1111111109 + 3600, "-3600", "081804"}, {59, "abc", "287082"},  // not a number: 0
        {59, "30 seconds", "359152"},  // the leading number counts
        {59, "", "287082"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(otpAt(c.time, kRfcKey, c.diff), c.code) << c.time << " " << c.diff;
    }
}

TEST(SoftToken, OddKeysStillGiveACode) {
    struct Case {
        const char* key;
        const char* code;
    } cases[] = {
        {"zz", "406922"},                                         // a non-hex character counts 48: the byte 0x30
        {"", "812658"},                                           // empty key
        {"3132333435363738393031323334353637383930F", "287082"},  // unpaired last character ignored
        {"3132333435363738393031323334353637383930", "287082"},
    };
    for (const Case& c : cases) EXPECT_EQ(otpAt(59, c.key), c.code) << c.key;
    // Uppercase hex digits are the same key.
    EXPECT_EQ(otpAt(100, "ABCDEF"), otpAt(100, "abcdef"));
}

TEST(SoftToken, ExtremeDifferencesDoNotOverflow) {
    foundation::ManualClockScope clock(1700000000);
    for (const char* diff : {"9223372036854775807", "-9223372036854775808", "99999999999999999999999"}) {
        std::string code = GetOtp::otpCreate(kRfcKey, diff);
        EXPECT_EQ(code.size(), 6u) << diff;
    }
    EXPECT_EQ(GetOtp::counterAt(1700000000, INT64_MAX), INT64_MAX / 30);
    EXPECT_EQ(GetOtp::counterAt(-59, 0), -1);  // truncation toward zero
}

TEST(SoftToken, HmacAgreesWithLibcryptoForEveryKeyLength) {
    Util util;
    std::array<uint8_t, 8> msg{0, 0, 0, 0, 0x03, 0x5a, 0x7f, 0xff};
    // Alternating keys also checks that a key change is seen.
    for (size_t length : {20, 0, 1, 20, 63, 64, 65, 100, 200, 20}) {
        std::vector<uint8_t> key(length);
        for (size_t i = 0; i < length; ++i) key[i] = uint8_t(i * 7 + length);
        crypto::Sha1Digest expected = crypto::hmacSha1(key.data(), key.size(), msg.data(), msg.size());
        EXPECT_EQ(util.hmac_sha1_ex(key.data(), key.size(), msg), foundation::Bytes(expected.begin(), expected.end()))
            << length;
    }
}

TEST(SoftToken, ThreadsWithDifferentKeysDoNotMix) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            Util util;
            std::string key = "key-of-thread-" + std::to_string(t);
            const auto* bytes = reinterpret_cast<const uint8_t*>(key.data());
            for (uint64_t counter = 0; counter < 2000; ++counter) {
                std::array<uint8_t, 8> msg{};
                for (int i = 0; i < 8; ++i) msg[size_t(i)] = uint8_t(counter >> (56 - 8 * i));
                crypto::Sha1Digest expected = crypto::hmacSha1(bytes, key.size(), msg.data(), 8);
                if (util.hmac_sha1_ex(bytes, key.size(), msg) != foundation::Bytes(expected.begin(), expected.end())) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(SoftToken, TextKeyStopsAtAZeroByte) {
    Util util;
    std::array<uint8_t, 8> msg{0, 0, 0, 0, 0, 0, 0, 1};
    std::string withZero("ab\0cd", 5);
    const uint8_t ab[] = {'a', 'b'};
    EXPECT_EQ(util.hmac_sha1(withZero, msg), util.hmac_sha1_ex(ab, 2, msg));
    EXPECT_EQ(util.hmac_sha1_ex(nullptr, 0, msg).size(), 20u);
}

TEST(NineStar, CodesAndTheirPaths) {
    struct Case {
        const char* code;
        const char* path;
    } cases[] = {
        {"000000", "012"},
        {"110000", "124"},
        {"999999", "012"},
        {"123456", "124"},
        {"102030", "1034"},
        {"876543", "876"},
        {"482913", "4851"},
        {"555555", "5764"},
        // First digit 9 starts in cell 0; a digit equal to the previous cell
        // moves its target on.
        {"900000", "012"},
        {"440000", "451"},
    };
    Calculate calc;
    for (const Case& c : cases) EXPECT_EQ(calc.getNums(c.code), c.path) << c.code;
}

TEST(NineStar, InputsThatAreNotCodesGiveAnEmptyPath) {
    Calculate calc;
    for (const char* bad : {"", "1", "12", "12a456", "-12345", "123 45", "１２３４５６", "/:0000"}) {
        EXPECT_EQ(calc.getNums(bad), "") << bad;
    }
    // Three digits are enough; longer codes keep their first cells.
    EXPECT_EQ(calc.getNums("123"), "124");
    EXPECT_EQ(calc.getNums("1234567890"), "124");
    EXPECT_EQ(calc.getNums("1244567890").size(), 4u);
}

TEST(NineStar, EverySixDigitCodeGivesAKingsPath) {
    Calculate calc;
    char code[7] = {};
    int failures = 0;
    for (int v = 0; v < 1000000 && failures < 10; ++v) {
        std::snprintf(code, sizeof code, "%06d", v);
        std::string path = calc.getNums(code);
        char third = code[2];
        size_t expected = (third == '2' || third == '4' || third == '5' || third == '7') ? 4 : 3;
        bool ok = path.size() == expected;
        bool seen[9] = {};
        for (size_t i = 0; ok && i < path.size(); ++i) {
            int cell = path[i] - '0';
            ok = cell >= 0 && cell < 9 && !seen[cell];
            if (!ok) break;
            seen[cell] = true;
            if (i == 0) {
                ok = cell == (code[0] - '0') % 9;
            } else {
                int prev = path[i - 1] - '0';
                ok = std::abs(cell / 3 - prev / 3) <= 1 && std::abs(cell % 3 - prev % 3) <= 1;
            }
        }
        if (!ok) {
            ++failures;
            ADD_FAILURE() << code << " gives " << path;
        }
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
