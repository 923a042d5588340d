#include "lib/engine2d/support/GxProfiler.h"

#include <cstdio>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"

namespace engine2d {

GxProfilingTimer::GxProfilingTimer(std::string n) : name(std::move(n)) { reset(); }

void GxProfilingTimer::reset() {
    numberOfCalls = 0;
    averageTime = 0;
    totalTime = 0;
    minTime = 10000.0;
    maxTime = 0;
    startTime = foundation::clock().monotonic();
}

void GxProfilingTimer::start() { startTime = foundation::clock().monotonic(); }

void GxProfilingTimer::stop() {
    double ms = (foundation::clock().monotonic() - startTime) * 1000.0;
    ++numberOfCalls;
    totalTime += ms;
    averageTime = totalTime / numberOfCalls;
    if (ms < minTime) minTime = ms;
    if (ms > maxTime) maxTime = ms;
}

std::string GxProfilingTimer::description() const {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s ::\tavg: %fms,\tmin: %fms,\tmax: %fms,\ttotal: %.2fs,\tnr calls: %d",
                  name.c_str(), averageTime, minTime, maxTime, totalTime / 1000.0, int(numberOfCalls));
    return buf;
}

GxProfiler& GxProfiler::sharedProfiler() {
    static GxProfiler p;
    static const bool registered =
        (foundation::registerResetter("engine2d.profiler", foundation::ResetPhase::SharedObject,
                                      [] { p.releaseAllTimers(); }),
         true);
    (void)registered;
    return p;
}

GxProfilingTimer* GxProfiler::createAndAddTimerWithName(const std::string& name) {
    auto& slot = activeTimers_[name];
    slot = std::make_unique<GxProfilingTimer>(name);
    return slot.get();
}

void GxProfiler::releaseTimer(const std::string& name) { activeTimers_.erase(name); }
void GxProfiler::releaseAllTimers() { activeTimers_.clear(); }

void GxProfiler::displayTimers() const {
    for (auto& [name, t] : activeTimers_) foundation::warn("%s", t->description().c_str());
}

}  // namespace engine2d
