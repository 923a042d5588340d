#pragma once
// Memory warnings from the system. On Linux the kernel tells of memory
// pressure in two ways, and the first one this process can use is watched:
//
//  - a pressure-stall trigger on /proc/pressure/memory: the descriptor
//    becomes ready (POLLPRI) when every running task was stalled on memory
//    at once ("full" pressure: the system is thrashing, as when a phone
//    warns) for more than kStallMicroseconds within kWindowMicroseconds;
//  - the memory.events file of the process's control group (cgroup v2): it
//    changes (POLLPRI) when a count moves, and a rise of "high", "max" or
//    "oom" is pressure.
//
// Where neither is there (no pressure-stall information, a cgroup v1 host
// without write access to the trigger) no warning ever comes from the system.
//
// Each warning is handled on the main thread by ui::Application's
// receiveMemoryWarning: the application's delegate, the notification, then
// every view controller alive (the director of the 2D engine among them).

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/RunLoop.h"

namespace ui {

// A descriptor that tells of memory pressure.
class MemoryPressureSource {
public:
    // Whether the readiness (poll's revents) of the descriptor is pressure;
    // it may read from the descriptor.
    using Check = std::function<bool(int fd, short revents)>;

    // Takes the descriptor over (closes it at the end) and watches it for
    // `events`. Tests feed one they write to.
    MemoryPressureSource(int fd, short events, Check check, std::string name);
    ~MemoryPressureSource();
    MemoryPressureSource(const MemoryPressureSource&) = delete;
    MemoryPressureSource& operator=(const MemoryPressureSource&) = delete;

    // The kernel's notification for this process, the first of the two that
    // can be had; nullptr when there is none.
    static std::unique_ptr<MemoryPressureSource> system();
    // A stall trigger on the pressure file at `path`; nullptr when it cannot
    // be set.
    static std::unique_ptr<MemoryPressureSource> pressureStall(const std::string& path = "/proc/pressure/memory");
    // The memory.events file at `path`; nullptr when it cannot be read.
    static std::unique_ptr<MemoryPressureSource> cgroupEvents(const std::string& path);
    // Where this process's memory.events is ("" on a host without cgroup v2).
    static std::string cgroupEventsPath();
    // The sum of the "high", "max" and "oom" counts of a memory.events text.
    static unsigned long long pressureEventCount(const std::string& text);

    int fd() const { return fd_; }
    short events() const { return events_; }
    bool isPressure(short revents) { return check_(fd_, revents); }
    // "pressure-stall", "cgroup-events", or the test's name.
    const std::string& name() const { return name_; }

    static constexpr unsigned kStallMicroseconds = 150000;
    static constexpr unsigned kWindowMicroseconds = 2000000;

private:
    int fd_;
    short events_;
    Check check_;
    std::string name_;
};

// The watch: a source on the main run loop, each warning handed to the
// application on the main thread.
class MemoryWarnings {
public:
    static MemoryWarnings& shared();
    // Watches the source from now on, instead of the one before; false for
    // nullptr (nothing is watched then).
    bool start(std::unique_ptr<MemoryPressureSource> source);
    void stop();
    bool isWatching() const { return source_ != nullptr; }
    // The name of the source watched ("" when none).
    std::string sourceName() const { return source_ ? source_->name() : std::string(); }

private:
    MemoryWarnings() = default;
    std::unique_ptr<MemoryPressureSource> source_;
    foundation::FdWatchRef watch_;
};

}  // namespace ui
