#pragma once
// Error values of the analytics client: a domain, a signed 32-bit code and an
// (always empty) user info.

#include <cstdint>
#include <string>

inline const std::string kTrkTrackerErrorDomain = "org.trkanalytics.TrkTrackerError";
inline const std::string kTrkPersistentEventStoreErrorDomain = "org.trkanalytics.TrkPersistentEventStoreError";

// The tracker is not started.
inline constexpr int32_t kTrkNotStartedError = 0xBADA55;
// An argument is missing or out of range (also: the hit store is full).
inline constexpr int32_t kTrkInvalidInputError = 0xBADE7A9;
// More than 500 events since the tracker started.
inline constexpr int32_t kTrkEventsPerSessionLimitError = int32_t(0xBAD5704E);
// A referrer was given while the hit store has no open database.
inline constexpr int32_t kTrkNoDatabaseError = int32_t(0xBADBADDB);
// The hit store has no open database.
inline constexpr int32_t kTrkDatabaseNotOpenError = int32_t(0xDEADC0DE);

struct TrkError {
    std::string domain;
    int32_t code = 0;
    bool operator==(const TrkError&) const = default;
};

// Writes the error when the out-parameter is given. Always returns false, so
// callers can `return setError(...)`.
inline bool setTrkError(TrkError* out, const std::string& domain, int32_t code) {
    if (out) *out = TrkError{domain, code};
    return false;
}
