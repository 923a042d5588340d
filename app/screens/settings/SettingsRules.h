#pragma once
// The decisions of the settings and feedback screens, without views: the
// version rule, the row texts, the feedback's input and sending rules and the
// text it sends.

#include <cstddef>
#include <optional>
#include <string>

namespace SettingsRules {

// Whether the newest version is later than the installed one. Both are split
// at "." and read part by part as integers (leading digits, 0 without any);
// a part one of them lacks reads as 0, so "3.0" and "3.0.0" are equal.
bool isNeedUpdate(const std::string& localVersion, const std::string& remoteVersion);

// The version row's subtitle.
// The newest version in the store look-up's reply: that of the last of its
// "results" ("" when it lists none); nullopt when the reply is not a look-up
// reply.
std::optional<std::string> storeVersion(const std::string& replyText);

std::string versionSubtitle(const std::string& localVersion, const std::string& remoteVersion);

// The safe-phone row's subtitle ("null" when no safe phone is set).
std::string safePhoneSubtitle(const std::string& safePhone);

// The state after the push switch's rollback: "1" becomes "0", anything else "1".
std::string flippedState(const std::string& state);

}  // namespace SettingsRules

namespace SuggestRules {

inline constexpr int kMaxCharacters = 200;
inline constexpr long long kMinSecondsBetweenSends = 600;

// Whether a send at `now` (seconds since 1970) comes too soon after the one
// stored in the table's suggestTime (decimal text; unreadable reads as 0).
bool tooSoon(long long now, const std::string& storedTime);

// Whether a change of the text (lengths in UTF-16 units, as the text view
// counts) is accepted: it must start before the 200th character and leave
// at most 200 characters, so a paste cannot carry the text past the limit.
bool acceptsChange(std::size_t currentLength, std::size_t location, std::size_t rangeLength,
                   const std::string& replacement);

// The count label after an accepted change starting at `location`.
std::string charactersLeftText(std::size_t location);

// The escaped opinion: "(model system)-Vversion: text" with ";" and ","
// made full-width, then percent-escaped as UTF-8.
std::string opinionField(const std::string& model, const std::string& systemVersion, const std::string& appVersion,
                         const std::string& text);

}  // namespace SuggestRules
