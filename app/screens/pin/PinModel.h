#pragma once
// The app's own lock without any view: the start-PIN snapshot of the store,
// the migration of PINs of other lengths, the four-dot entry's rules, the
// freeze's numbers and texts, and the checks of the safe phone's fields.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace pin {

// Five wrong PINs in a row freeze the app for 30 minutes of server time.
inline constexpr int kMaxFailures = 5;
inline constexpr int64_t kFreezeSeconds = 1800;

// How a stored PIN of another length was made a four-digit one.
enum class Migration { None, Longer, Shorter };

// A snapshot of the start-PIN keys of the store for one screen. Every member
// is the key's text as stored ("(null)" when the key has no row, "null"
// when unset).
struct softPwd {
    std::string isSafePwd;   // safe_password: "1" protection on
    std::string failCounts;  // faild_count
    std::string safeTime;    // safe_time: end of the freeze, server seconds
    std::string passward;    // the PIN, after migration when asked for
    std::string safePhone;   // masked safe phone or "null"

    // Reads the store. With `migrate`, a PIN of another length is made a
    // four-digit one (the store keeps the old one) and *migration says how.
    static softPwd load(bool migrate, Migration* migration = nullptr);

    bool protectionOn() const { return isSafePwd == "1"; }
    bool protectionOff() const { return isSafePwd == "0"; }
    bool frozen() const { return safeTime != "null"; }
    // The count as a number ("(null)" or junk reads 0).
    int failures() const;
};

// Longer PINs keep their first four characters, shorter ones get zeros
// appended. An empty PIN stays empty (no entry matches it).
Migration migratePin(std::string& pin);
// The notice shown for a migrated PIN.
const char* migrationNotice(Migration migration);

// The four-dot entry: what a change of the field does, from the field's
// length before it and the replacement. Only one ASCII digit at a time is a
// typed digit and the empty replacement a removal; anything else (a paste,
// another character) is refused, so the field never holds more than four.
struct DotStep {
    bool accept = false;
    int dotsShown = 0;      // dots 1..dotsShown shown, the others hidden
    bool complete = false;  // the fourth digit: check after the delay
};
DotStep fourDotStep(size_t lengthBefore, const std::string& replacement);
// Seconds between the fourth digit and the check.
inline constexpr double kCompletionDelay = 0.5;

// Whole decimal number (optional "-"), nothing else; nullopt otherwise.
std::optional<int64_t> parseWhole(const std::string& text);
// Leading digits as a count, as the store's counters are read (0 for none).
int leadingCount(const std::string& text);

// The server's time in whole seconds from a command-22 reply
// {"time": <milliseconds>}; nullopt unless "time" is a positive whole number.
std::optional<int64_t> unfreezeServerSeconds(const foundation::Value& reply);
// "MM-dd HH:mm:ss" in Beijing time (UTC+8) of seconds since 1970.
std::string beijingTime(int64_t seconds);

// Texts of the status line.
std::string countLabel(const std::string& count);       // "连续错误次数 ( 防暴力猜解 ) : %@次"
std::string frozenUntilLabel(int64_t end, bool blank);  // "您的解冻时间是(北京时间):" [" "] time
std::string remainingMessage(int64_t seconds);          // "你距离软件解冻时间还有%d分%d秒，..."

// Safe phone fields: a phone is exactly 11 ASCII digits, a de-registration
// password 1 to 10 ASCII digits.
bool isPhoneNumber(const std::string& text);
bool isDeletePassword(const std::string& text);
// "138******78": the first three and the tenth and eleventh characters.
std::string maskPhone(const std::string& phone);

}  // namespace pin
