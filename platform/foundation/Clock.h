#pragma once
// Every reading of the time goes through the clock, so tests can install a
// ManualClock and move time forward without sleeping.

#include <cstdint>
#include <memory>
#include <mutex>

namespace foundation {

class Clock {
public:
    virtual ~Clock() = default;
    // Wall time: seconds since 1970-01-01 UTC.
    virtual double now() const = 0;
    // Monotonic time in seconds from an arbitrary origin; never goes back.
    virtual double monotonic() const = 0;
    virtual bool isManual() const { return false; }

    int64_t nowSeconds() const { return int64_t(now()); }
    int64_t nowMilliseconds() const { return int64_t(now() * 1000.0); }
};

class SystemClock : public Clock {
public:
    double now() const override;
    double monotonic() const override;
};

// A clock that moves only when told. advance() fires, in order, every timer of
// the main run loop that falls due on the way (when called on the main
// thread) and wakes every other run loop so it sees the new time.
class ManualClock : public Clock {
public:
    explicit ManualClock(double wallStart = 1700000000.0, double monotonicStart = 1000.0);
    double now() const override;
    double monotonic() const override;
    bool isManual() const override { return true; }

    void advance(double seconds);
    // Moves wall time only (the user changed the phone's clock).
    void setWallTime(double seconds);

    // Used by the run loop while it steps through due timers.
    void setMonotonic(double t);

private:
    mutable std::mutex mutex_;
    double wall_;
    double mono_;
};

// The process-wide clock (a SystemClock unless replaced).
Clock& clock();
// Installs a clock; pass nullptr to return to the system clock.
void setClock(std::shared_ptr<Clock> c);

// Installs a fresh ManualClock for the lifetime of this object.
class ManualClockScope {
public:
    explicit ManualClockScope(double wallStart = 1700000000.0);
    ~ManualClockScope();
    ManualClock& operator*() { return *clock_; }
    ManualClock* operator->() { return clock_.get(); }

private:
    std::shared_ptr<ManualClock> clock_;
};

}  // namespace foundation
