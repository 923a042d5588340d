#include <gtest/gtest.h>

#include "app/core/CoreConstants.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Time.h"

using foundation::TimeZone;

namespace {

TEST(ConstantsHourMask, ConversionTableUnderInjectedZones) {
    struct Case {
        int offset;     // device zone, seconds east of GMT
        int64_t local;  // local mask
        int64_t gmt8;   // the same hours counted in GMT+8
    };
    const Case cases[] = {
        {8 * 3600, 0x000001, 0x000001},         // same zone: unchanged
        {8 * 3600 + 2700, 0x800001, 0x800001},  // +8:45, less than an hour apart: unchanged
        {7 * 3600, 0x000001, 0x000002},         // local 0:00 is 1:00 in GMT+8
        {7 * 3600, 0x800000, 0x000001},         // local 23:00 is 0:00
        {9 * 3600, 0x000001, 0x800000},         // local 0:00 is 23:00 the day before
        {0, 0x000001, 0x000100},                // GMT: eight hours on
        {5 * 3600 + 1800, 0x000001, 0x000004},  // +5:30: two whole hours (fraction dropped)
        {9 * 3600 + 1800, 0x000001, 0x800000},  // +9:30: -1:30 counts as one hour back
        {0, 0xFFFFFF, 0xFFFFFF},                // all day stays all day
    };
    for (const auto& c : cases) {
        TimeZone::setLocal(TimeZone::fixed(c.offset));
        EXPECT_EQ(CoreConstants::localLockValueToGMT8(c.local), c.gmt8) << c.offset;
        EXPECT_EQ(CoreConstants::gmt8ValueToLocalValue(c.gmt8), c.local) << c.offset;
    }
    // Bits above 23 are ignored.
    TimeZone::setLocal(TimeZone::fixed(7 * 3600));
    EXPECT_EQ(CoreConstants::localLockValueToGMT8(0x1000000 | 0x1), 0x2);
}

TEST(ConstantsText, NameMaskingAndShortening) {
    const std::pair<std::string, std::string> masks[] = {
        {"abcdef@mail.example.com", "abc***@****.example.com"},
        {"a@b.cn", "a@*.cn"},
        {"ab@localhost", "a*@****lhost"},
        {"abc@x", "a**@x"},
        {"13812345678", "138****5678"},
        {"ab", "a*"},
        {"a", "a"},
        {"张三丰收", "张三**"},
        {"abcde", "ab***"},
    };
    for (const auto& [in, want] : masks) EXPECT_EQ(CoreConstants::hideKorvexName(in), want) << in;

    const std::pair<std::string, std::string> shorts[] = {
        {"abcdefgh", "abcdefgh"},
        {"abcdefghi", "abcdefhi"},
        {"禾川账号安全中心网站", "禾川账号安全网站"},  // counts characters, not bytes
        {"ab\U0001F600cdefgh", "ab\U0001F600cdegh"},   // an emoji is one character, never split
        {"abcdefg\U0001F600\U0001F601", "abcdef\U0001F600\U0001F601"},
    };
    for (const auto& [in, want] : shorts) EXPECT_EQ(CoreConstants::subStringOfTooLongName(in), want) << in;
}

TEST(ConstantsText, DateTextAndValidity) {
    TimeZone::setLocal(TimeZone::fixed(8 * 3600));
    EXPECT_EQ(CoreConstants::longlongDateToString("0"), "未知");
    EXPECT_EQ(CoreConstants::longlongDateToString("abc"), "未知");
    EXPECT_EQ(CoreConstants::longlongDateToString("1700000000000"), "2023-11-15 06:13:20");
    // 2012-12-31 at +08:00 is written with its calendar year.
    EXPECT_EQ(CoreConstants::longlongDateToString("1356912000000"), "2012-12-31 08:00:00");
    EXPECT_FALSE(CoreConstants::testResultIsValid(std::nullopt));
    EXPECT_FALSE(CoreConstants::testResultIsValid(std::string()));
    EXPECT_FALSE(CoreConstants::testResultIsValid(std::string("(null)")));
    EXPECT_TRUE(CoreConstants::testResultIsValid(std::string("null")));
    EXPECT_EQ(CoreConstants::serviceProvider(), std::nullopt);
    foundation::DeviceInfo d;
    d.carrierName = "中国移动";
    foundation::setDevice(d);
    EXPECT_EQ(CoreConstants::serviceProvider(), std::optional<std::string>("中国移动"));
}

}  // namespace
