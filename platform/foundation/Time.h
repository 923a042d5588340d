#pragma once
// Time zones and date texts.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace foundation {

class TimeZone {
public:
    // A zone at a fixed distance from GMT, in seconds east.
    static TimeZone fixed(int offsetSeconds, std::string name = "");
    // The host's own zone as the C library sees it (TZ, /etc/localtime).
    static TimeZone system();
    // GMT+8, where the security server counts hours ("Asia/Harbin").
    static TimeZone harbin();
    static TimeZone gmt() { return fixed(0, "GMT"); }

    // The device's zone: the system zone unless a test installed another.
    static TimeZone local();
    static void setLocal(std::optional<TimeZone> zone);

    // Seconds east of GMT at the instant (seconds since 1970).
    int offsetAt(double unixSeconds) const;
    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::function<int(double)> offset_;
};

// Calendar fields of an instant in a zone.
struct DateParts {
    int year, month, day, hour, minute, second, millisecond;
    int weekday;  // 1 = Sunday ... 7 = Saturday
};
DateParts dateParts(double unixSeconds, const TimeZone& zone);

// Formats an instant with a date pattern: yyyy (calendar year), YYYY
// (week-based year: weeks start on Sunday, the week holding 1 January is the
// first), yy, MM, M, dd, d, HH, H, hh, h, mm, m, ss, s, SSS, a, EEE; text in
// single quotes is literal, other characters are copied.
std::string formatDate(double unixSeconds, const std::string& pattern, const TimeZone& zone = TimeZone::local());

// Reads a date written with the numeric fields of a pattern (yyyy, MM, dd, HH,
// mm, ss); nullopt when the text does not match.
std::optional<double> parseDate(const std::string& text, const std::string& pattern,
                                const TimeZone& zone = TimeZone::local());

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d);

}  // namespace foundation
