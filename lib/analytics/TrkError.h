#pragma once
// Error values of the analytics client: the foundation's error with a
// domain and a signed 32-bit code (message and user info always empty).

#include <cstdint>
#include <string>

#include "platform/foundation/Error.h"

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

using TrkError = foundation::Error;

// Writes the error when the out-parameter is given. Always returns false, so
// callers can `return setError(...)`.
inline bool setTrkError(TrkError* out, const std::string& domain, int32_t code) {
    if (out) *out = TrkError{domain, code};
    return false;
}
