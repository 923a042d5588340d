#include "platform/foundation/Clock.h"

#include <chrono>
#include <vector>

#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"

namespace foundation {

double SystemClock::now() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

double SystemClock::monotonic() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

ManualClock::ManualClock(double wallStart, double monotonicStart) : wall_(wallStart), mono_(monotonicStart) {}

double ManualClock::now() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return wall_;
}

double ManualClock::monotonic() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mono_;
}

void ManualClock::setMonotonic(double t) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (t > mono_) {
        wall_ += t - mono_;
        mono_ = t;
    }
}

void ManualClock::setWallTime(double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    wall_ = seconds;
}

void ManualClock::advance(double seconds) {
    const double target = monotonic() + (seconds > 0 ? seconds : 0);
    if (RunLoop::isMainThread()) {
        RunLoop& loop = RunLoop::main();
        const std::string mode = loop.isRunning() ? loop.currentMode() : kDefaultMode;
        // Step through every timer that falls due on the way, in order, so a
        // repeating timer fires once per period even across a long jump.
        loop.drain(mode);
        for (;;) {
            double next = loop.nextTimerDate();
            if (next > target) break;
            setMonotonic(next);
            loop.fireDueTimers(mode);
            loop.drain(mode);
        }
        setMonotonic(target);
        loop.drain(mode);
    } else {
        setMonotonic(target);
    }
    RunLoop::wakeAll();
}

namespace {
struct ClockState {
    std::mutex mutex;
    std::shared_ptr<Clock> current;
    // Replaced clocks stay alive: another thread may still be reading one.
    std::vector<std::shared_ptr<Clock>> retired;
    SystemClock system;
};
// Never destroyed: threads that outlive main() (a run loop that never ends)
// may still read the clock while the program exits.
ClockState& clockState() {
    static ClockState* state = [] {
        auto* s = new ClockState();
        registerResetter("foundation.clock", ResetPhase::Service, [] { setClock(nullptr); });
        return s;
    }();
    return *state;
}
}  // namespace

Clock& clock() {
    ClockState& s = clockState();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.current) return *s.current;
    return s.system;
}

void setClock(std::shared_ptr<Clock> c) {
    {
        ClockState& s = clockState();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.current) s.retired.push_back(s.current);
        s.current = std::move(c);
    }
    RunLoop::wakeAll();
}

ManualClockScope::ManualClockScope(double wallStart) : clock_(std::make_shared<ManualClock>(wallStart)) {
    setClock(clock_);
}

ManualClockScope::~ManualClockScope() { setClock(nullptr); }

}  // namespace foundation
