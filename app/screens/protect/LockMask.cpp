#include "app/screens/protect/LockMask.h"

#include <cmath>

#include "platform/foundation/Text.h"

namespace lockmask {

namespace {

// The word and the number an hour is told with.
std::string hourWords(int h) {
    const char* word;
    int shown = h;
    if (h == 0) {
        word = "午夜";
    } else if (h <= 5) {
        word = "凌晨";
    } else if (h <= 11) {
        word = "上午";
    } else if (h == 12) {
        word = "中午";
    } else if (h <= 18) {
        word = "下午";
        shown = h - 12;
    } else {
        word = "晚上";
        shown = h - 12;
    }
    return foundation::format("%s%02d点", word, shown);
}

}  // namespace

bool hourLocked(int64_t mask, int hour) { return hour >= 0 && hour < 24 && (mask >> hour) & 1; }

int localHour(double unixSeconds, const foundation::TimeZone& zone) {
    const int64_t local = int64_t(std::floor(unixSeconds)) + zone.offsetAt(unixSeconds);
    int64_t hour = (local / 3600) % 24;
    if (hour < 0) hour += 24;
    return int(hour);
}

bool lockedAt(int64_t mask, double unixSeconds, const foundation::TimeZone& zone) {
    return mask > 0 && hourLocked(mask, localHour(unixSeconds, zone));
}

std::string periodText(int64_t mask) {
    mask &= kWholeDay;
    if (mask == 0) return "";
    if (mask == kWholeDay) return "全天锁定";
    // Runs as (start words, end words), so nothing below counts characters.
    std::string first;  // the first run, when it starts at hour 0
    std::string firstEnd;
    std::string text;
    bool open = false;
    std::string start;
    for (int h = 0; h < 24; ++h) {
        const bool locked = hourLocked(mask, h);
        if (locked && !open) {
            start = hourWords(h);
            open = true;
        } else if (!locked && open) {
            std::string run = start + "至" + hourWords(h);
            if (start == hourWords(0) && first.empty() && text.empty()) {
                first = run;
                firstEnd = hourWords(h);
            } else {
                text += (text.empty() ? "" : "，") + run;
            }
            open = false;
        }
    }
    if (open) {
        // The last run goes past midnight: into the first run when hour 0 is
        // locked, else it ends at the next midnight.
        std::string run = start + "至次日" + (first.empty() ? hourWords(0) : firstEnd);
        text += (text.empty() ? "" : "，") + run;
    } else if (!first.empty()) {
        text = first + (text.empty() ? "" : "，") + text;
    }
    return text;
}

double allDayLockEnd(double startUnixSeconds) {
    const int64_t t = int64_t(std::floor(startUnixSeconds));
    int64_t day = t % 86400;
    if (day < 0) day += 86400;
    return double(t - day + 604800);
}

std::string allDayText(double startUnixSeconds, const foundation::TimeZone& zone) {
    return "全天锁定将在" + foundation::formatDate(allDayLockEnd(startUnixSeconds), "yyyy-MM-dd HH:mm", zone) +
           "自动解除";
}

}  // namespace lockmask
