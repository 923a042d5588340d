#pragma once
// The account lock's hour mask as the screens show and edit it: bit h set
// means that the local hour h (h:00 to h:59) is locked; 0xFFFFFF is the whole
// day. The conversion to the server's hours lives in Constants.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Time.h"

namespace lockmask {

inline constexpr int64_t kWholeDay = 0xFFFFFF;

// The user-defaults keys of the lock (the mask and the start of an all-day
// lock are StoreKeys::accountlock and StoreKeys::alldayaclocktime).
inline constexpr const char* kShouldOpenLockKey = "shouldopenaclock";
inline constexpr const char* kLoginProtectionWhenLockKey = "logprotectstatewhenlock";

// Whether the mask locks the hour (0..23).
bool hourLocked(int64_t mask, int hour);

// The local hour of an instant in the zone.
int localHour(double unixSeconds, const foundation::TimeZone& zone);

// Whether the mask locks the instant's local hour (never for a mask of 0).
bool lockedAt(int64_t mask, double unixSeconds, const foundation::TimeZone& zone);

// The locked hours in words, run by run, such as "上午09点至中午12点，下午02点至下午03点".
// A run that wraps past midnight into hour 0 is told as one run ending on the
// next day ("晚上10点至次日凌晨02点"); a run that reaches hour 23 while hour 0 is
// free ends "次日午夜00点"; the whole day is "全天锁定"; no hour gives "".
std::string periodText(int64_t mask);

// When a whole-day lock that started at the instant ends by itself: seven
// days after the UTC midnight that began its first day.
double allDayLockEnd(double startUnixSeconds);

// "全天锁定将在<end, yyyy-MM-dd HH:mm in the zone>自动解除".
std::string allDayText(double startUnixSeconds, const foundation::TimeZone& zone);

}  // namespace lockmask
