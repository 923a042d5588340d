#include <gtest/gtest.h>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Time.h"

using namespace foundation;

namespace {

TEST(Time, LocalHoursAgainstGmtPlus8UnderInjectedZones) {
    // 2023-11-14 22:13:20 UTC.
    const double t = 1700000000;
    struct Case {
        int offset;
        std::string local;
    };
    const Case cases[] = {
        {0, "2023-11-14 22:13:20"},
        {9 * 3600, "2023-11-15 07:13:20"},
        {5 * 3600 + 1800, "2023-11-15 03:43:20"},
        {-5 * 3600, "2023-11-14 17:13:20"},
    };
    for (const auto& c : cases) {
        TimeZone::setLocal(TimeZone::fixed(c.offset));
        EXPECT_EQ(formatDate(t, "yyyy-MM-dd HH:mm:ss"), c.local) << c.offset;
        EXPECT_EQ(formatDate(t, "yyyy-MM-dd HH:mm:ss", TimeZone::harbin()), "2023-11-15 06:13:20");
        // The hour difference between the device and the server's zone.
        int diff = TimeZone::harbin().offsetAt(t) - TimeZone::local().offsetAt(t);
        EXPECT_EQ(diff, 8 * 3600 - c.offset);
    }
    EXPECT_EQ(TimeZone::harbin().name(), "Asia/Harbin");
}

TEST(Time, CalendarYearAndWeekBasedYear) {
    // 2012-12-31 12:00 UTC, a Monday in the week that holds 1 January 2013.
    const double t = double(daysFromCivil(2012, 12, 31)) * 86400 + 12 * 3600;
    EXPECT_EQ(formatDate(t, "yyyy-MM-dd", TimeZone::gmt()), "2012-12-31");
    EXPECT_EQ(formatDate(t, "YYYY-MM-dd", TimeZone::gmt()), "2013-12-31");
    const double midYear = double(daysFromCivil(2012, 6, 1)) * 86400;
    EXPECT_EQ(formatDate(midYear, "YYYY", TimeZone::gmt()), "2012");
}

TEST(Time, PatternsAndParsing) {
    const double t = 1700000000.25;
    EXPECT_EQ(formatDate(t, "MM-dd HH:mm:ss", TimeZone::harbin()), "11-15 06:13:20");
    EXPECT_EQ(formatDate(t, "yy/M/d h:m:s.SSS a EEE", TimeZone::gmt()), "23/11/14 10:13:20.250 PM Tue");
    EXPECT_EQ(formatDate(t, "'at' HH'h'''", TimeZone::gmt()), "at 22h'");
    EXPECT_EQ(parseDate("2023-11-15 06:13:20", "yyyy-MM-dd HH:mm:ss", TimeZone::harbin()),
              std::optional<double>(1700000000));
    EXPECT_EQ(parseDate("2023-13-15", "yyyy-MM-dd", TimeZone::gmt()), std::nullopt);
    EXPECT_EQ(parseDate("2023-11-15x", "yyyy-MM-dd", TimeZone::gmt()), std::nullopt);
    // Before 1970 and far after 2038.
    EXPECT_EQ(formatDate(-86400, "yyyy-MM-dd", TimeZone::gmt()), "1969-12-31");
    EXPECT_EQ(formatDate(20000000000.0, "yyyy-MM-dd HH:mm:ss", TimeZone::gmt()), "2603-10-11 11:33:20");
}

TEST(Clock, ManualClockMovesWallAndMonotonicTimeTogether) {
    ManualClockScope clock(1000);
    EXPECT_EQ(foundation::clock().now(), 1000);
    double mono = foundation::clock().monotonic();
    clock->advance(2.5);
    EXPECT_EQ(foundation::clock().now(), 1002.5);
    EXPECT_EQ(foundation::clock().monotonic(), mono + 2.5);
    clock->setWallTime(50);  // the user changes the phone's clock
    EXPECT_EQ(foundation::clock().nowSeconds(), 50);
    EXPECT_EQ(foundation::clock().monotonic(), mono + 2.5);
}

}  // namespace
