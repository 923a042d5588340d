#pragma once
// The run loop: posted tasks, timers and readiness of file descriptors, in
// named modes. Every thread can have one; RunLoop::main() belongs to the
// process's main thread, where UI work, timers and reply handlers run.

#include <poll.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace foundation {

class RunLoop;

// The default mode, and the set of "common" modes (default plus any mode
// added with addCommonMode) that sources registered in kCommonModes fire in.
inline const std::string kDefaultMode = "kCFRunLoopDefaultMode";
inline const std::string kCommonModes = "kCFRunLoopCommonModes";

class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    void invalidate();
    bool isValid() const { return valid_.load(); }
    double interval() const { return interval_; }
    bool repeats() const { return interval_ > 0; }
    // Monotonic time of the next firing.
    double fireDate() const;
    void setFireDate(double monotonicTime);
    // Fires it now (as if due); a one-shot timer is invalidated after.
    void fire();

private:
    friend class RunLoop;
    Timer(RunLoop* loop, double fireAt, double interval, Callback cb, std::string mode);
    RunLoop* loop_;
    mutable std::mutex mutex_;
    double fireAt_;
    double interval_;
    Callback cb_;
    std::string mode_;
    std::atomic<bool> valid_{true};
    uint64_t seq_ = 0;
};
using TimerRef = std::shared_ptr<Timer>;

// A watch of a file descriptor; events are POLLIN / POLLOUT bits.
class FdWatch {
public:
    using Callback = std::function<void(int fd, short revents)>;
    void cancel();
    bool isActive() const { return active_.load(); }
    void setEvents(short events);
    short events() const { return events_.load(); }

private:
    friend class RunLoop;
    FdWatch(RunLoop* loop, int fd, short events, Callback cb, std::string mode)
        : loop_(loop), fd_(fd), events_(events), cb_(std::move(cb)), mode_(std::move(mode)) {}
    RunLoop* loop_;
    int fd_;
    std::atomic<short> events_;
    Callback cb_;
    std::string mode_;
    std::atomic<bool> active_{true};
};
using FdWatchRef = std::shared_ptr<FdWatch>;

class RunLoop {
public:
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The main thread's loop. The main thread is the one that loaded the
    // program (static initialisation), unless setMainThread() says otherwise.
    static RunLoop& main();
    // This thread's loop, made on first use.
    static RunLoop& current();
    static bool isMainThread();
    // Makes the calling thread the main thread (for programs that must).
    static void setMainThread();

    // Thread-safe. Runs fn on this loop's thread in the given mode.
    void post(std::function<void()> fn, const std::string& mode = kCommonModes);
    // A timer firing `delay` seconds from now, repeating when repeats.
    TimerRef addTimer(double delay, bool repeats, Timer::Callback cb, const std::string& mode = kDefaultMode);
    TimerRef addTimer(double delay, double interval, Timer::Callback cb, const std::string& mode);
    // A delayed call that can be cancelled through the returned timer.
    TimerRef performAfter(double delay, std::function<void()> fn, const std::string& mode = kCommonModes);
    // Watches fd for the events; callbacks run on this loop's thread.
    FdWatchRef watchFd(int fd, short events, FdWatch::Callback cb, const std::string& mode = kDefaultMode);

    void addCommonMode(const std::string& mode);

    // Runs until stop() is called.
    void run(const std::string& mode = kDefaultMode);
    void stop();
    // Processes what is ready, waiting at most `timeout` seconds of real time
    // for something to happen. Returns whether anything was handled.
    bool runOnce(const std::string& mode = kDefaultMode, double timeout = 0);
    // Runs until the monotonic clock reaches `date` (the injected clock).
    void runUntilDate(double monotonicDate, const std::string& mode = kDefaultMode);
    // Runs until pred() is true or `realTimeout` seconds of real time pass.
    // Returns pred()'s last answer. For tests that wait on real sockets.
    bool runUntil(const std::function<bool()>& pred, double realTimeout = 10, const std::string& mode = kDefaultMode);
    // Handles every task and timer that is ready now, without waiting.
    void drain(const std::string& mode = kDefaultMode);

    // Wakes the loop from its wait.
    void wake();
    bool isCurrent() const { return std::this_thread::get_id() == owner_; }
    std::thread::id ownerThread() const { return owner_; }
    bool isRunning() const { return depth_.load() > 0; }
    std::string currentMode() const;

    // Earliest fire date of valid timers in any mode; +inf when none.
    double nextTimerDate() const;
    // Fires the timers that are due at the clock's current time (any mode
    // that would run under `mode`). Used by ManualClock::advance.
    bool fireDueTimers(const std::string& mode);

    // Every live loop (ManualClock wakes them all).
    static void wakeAll();

private:
    friend class Timer;
    friend class FdWatch;
    explicit RunLoop(std::thread::id owner);
    bool modeMatches(const std::string& sourceMode, const std::string& runMode) const;
    bool runTasks(const std::string& mode);
    bool pollAndDispatch(const std::string& mode, double waitSeconds);
    void rescheduleTimer(const TimerRef& t);

    std::thread::id owner_;
    int wakeFd_ = -1;
    mutable std::mutex mutex_;
    struct Task {
        std::function<void()> fn;
        std::string mode;
    };
    std::deque<Task> tasks_;
    std::vector<TimerRef> timers_;
    std::vector<FdWatchRef> watches_;
    std::set<std::string> commonModes_;
    std::vector<std::string> modeStack_;
    std::atomic<int> depth_{0};
    std::atomic<bool> stopRequested_{false};
    uint64_t timerSeq_ = 0;
};

// The two ways onto the main thread (docs/internals/threads.md):
//
// postToMain always queues fn on the main loop, also when called there: it
// runs on a later turn, after the caller has returned (use it to defer, to
// let the caller finish its state change first, or to release objects on the
// main thread).
void postToMain(std::function<void()> fn);
// performOnMainThread runs fn inline when called on the main thread;
// otherwise it is posted, and when wait is true the call returns after fn
// has run.
void performOnMainThread(std::function<void()> fn, bool wait = false);

}  // namespace foundation
