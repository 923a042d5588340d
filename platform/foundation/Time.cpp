#include "platform/foundation/Time.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "platform/foundation/Resetters.h"

namespace foundation {

// ---- zones ---------------------------------------------------------------

TimeZone TimeZone::fixed(int offsetSeconds, std::string name) {
    TimeZone z;
    if (name.empty()) {
        int a = std::abs(offsetSeconds);
        char buf[16];
        std::snprintf(buf, sizeof buf, "GMT%c%02d%02d", offsetSeconds < 0 ? '-' : '+', a / 3600, a / 60 % 60);
        name = buf;
    }
    z.name_ = std::move(name);
    z.offset_ = [offsetSeconds](double) { return offsetSeconds; };
    return z;
}

TimeZone TimeZone::system() {
    TimeZone z;
    z.name_ = "system";
    z.offset_ = [](double t) {
        time_t secs = time_t(std::floor(t));
        struct tm parts {};
        localtime_r(&secs, &parts);
        return int(parts.tm_gmtoff);
    };
    return z;
}

TimeZone TimeZone::harbin() { return fixed(8 * 3600, "Asia/Harbin"); }

namespace {
std::mutex gZoneMutex;
std::optional<TimeZone> gLocal;
[[maybe_unused]] const bool gRegistered =
    (registerResetter("foundation.timeZone", ResetPhase::Service, [] { TimeZone::setLocal(std::nullopt); }), true);
}  // namespace

TimeZone TimeZone::local() {
    std::lock_guard<std::mutex> lock(gZoneMutex);
    return gLocal ? *gLocal : system();
}

void TimeZone::setLocal(std::optional<TimeZone> zone) {
    std::lock_guard<std::mutex> lock(gZoneMutex);
    gLocal = std::move(zone);
}

int TimeZone::offsetAt(double unixSeconds) const { return offset_ ? offset_(unixSeconds) : 0; }

// ---- calendar arithmetic -------------------------------------------------

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

namespace {

void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yy + (m <= 2));
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Weekday of day number (days since 1970-01-01, a Thursday): 1 = Sunday.
int weekdayOf(int64_t days) { return int(((days + 4) % 7 + 7) % 7) + 1; }

// Week-based year: weeks start on Sunday and week 1 is the week holding 1 January.
int weekYear(int year, int64_t days) {
    const int64_t nextJan1 = daysFromCivil(year + 1, 1, 1);
    const int64_t startOfNextWeek1 = nextJan1 - (weekdayOf(nextJan1) - 1);
    return days >= startOfNextWeek1 ? year + 1 : year;
}

}  // namespace

DateParts dateParts(double unixSeconds, const TimeZone& zone) {
    const double local = unixSeconds + zone.offsetAt(unixSeconds);
    const double whole = std::floor(local);
    int64_t secs = int64_t(whole);
    int ms = int(std::floor((local - whole) * 1000.0 + 1e-6));
    if (ms > 999) ms = 999;
    int64_t days = floorDiv(secs, 86400);
    int64_t rem = secs - days * 86400;
    DateParts p{};
    civilFromDays(days, p.year, p.month, p.day);
    p.hour = int(rem / 3600);
    p.minute = int(rem / 60 % 60);
    p.second = int(rem % 60);
    p.millisecond = ms;
    p.weekday = weekdayOf(days);
    return p;
}

namespace {

void pad(std::string& out, long value, int width) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*ld", width, value);
    out += buf;
}

const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

}  // namespace

std::string formatDate(double unixSeconds, const std::string& pattern, const TimeZone& zone) {
    const DateParts p = dateParts(unixSeconds, zone);
    const int64_t days = floorDiv(int64_t(std::floor(unixSeconds + zone.offsetAt(unixSeconds))), 86400);
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        if (c == '\'') {
            size_t end = pattern.find('\'', i + 1);
            if (end == std::string::npos) end = pattern.size();
            if (end == i + 1) {
                out += '\'';
            } else {
                out.append(pattern, i + 1, end - i - 1);
            }
            i = end + 1;
            continue;
        }
        size_t n = 1;
        while (i + n < pattern.size() && pattern[i + n] == c) ++n;
        switch (c) {
            case 'y':
                if (n == 2)
                    pad(out, p.year % 100, 2);
                else
                    pad(out, p.year, int(n));
                break;
            case 'Y': {
                int wy = weekYear(p.year, days);
                if (n == 2)
                    pad(out, wy % 100, 2);
                else
                    pad(out, wy, int(n));
                break;
            }
            case 'M':
                pad(out, p.month, n >= 2 ? 2 : 1);
                break;
            case 'd':
                pad(out, p.day, n >= 2 ? 2 : 1);
                break;
            case 'H':
                pad(out, p.hour, n >= 2 ? 2 : 1);
                break;
            case 'h':
                pad(out, p.hour % 12 == 0 ? 12 : p.hour % 12, n >= 2 ? 2 : 1);
                break;
            case 'm':
                pad(out, p.minute, n >= 2 ? 2 : 1);
                break;
            case 's':
                pad(out, p.second, n >= 2 ? 2 : 1);
                break;
            case 'S': {
                std::string msText;
                pad(msText, p.millisecond, 3);
                while (msText.size() < n) msText += '0';
                out += msText.substr(0, n);
                break;
            }
            case 'a':
                out += p.hour < 12 ? "AM" : "PM";
                break;
            case 'E':
                out += kWeekdays[p.weekday - 1];
                break;
            default:
                out.append(n, c);
                break;
        }
        i += n;
    }
    return out;
}

std::optional<double> parseDate(const std::string& text, const std::string& pattern, const TimeZone& zone) {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    size_t t = 0;
    for (size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        size_t n = 1;
        while (i + n < pattern.size() && pattern[i + n] == c) ++n;
        int* field = nullptr;
        switch (c) {
            case 'y':
                field = &year;
                break;
            case 'M':
                field = &month;
                break;
            case 'd':
                field = &day;
                break;
            case 'H':
                field = &hour;
                break;
            case 'm':
                field = &minute;
                break;
            case 's':
                field = &second;
                break;
            default:
                break;
        }
        if (field) {
            // A field of n letters takes n digits (at least one, at most n when n >= 2).
            size_t maxDigits = n >= 2 ? n : 2;
            size_t start = t;
            int v = 0;
            while (t < text.size() && t - start < maxDigits && text[t] >= '0' && text[t] <= '9') {
                v = v * 10 + (text[t] - '0');
                ++t;
            }
            if (t == start) return std::nullopt;
            *field = v;
            i += n;
        } else {
            for (size_t k = 0; k < n; ++k) {
                if (t >= text.size() || text[t] != c) return std::nullopt;
                ++t;
            }
            i += n;
        }
    }
    if (t != text.size()) return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    double local =
        double(daysFromCivil(year, unsigned(month), unsigned(day))) * 86400 + hour * 3600 + minute * 60 + second;
    // Two passes so a zone whose offset changes near the instant is honoured.
    double guess = local - zone.offsetAt(local);
    return local - zone.offsetAt(guess);
}

}  // namespace foundation
