#include "platform/foundation/RunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <limits>

#include "platform/foundation/Clock.h"

namespace foundation {

namespace {

// The thread that loaded the program is the main thread.
std::thread::id gMainThread = std::this_thread::get_id();
std::mutex gLoopsMutex;
std::set<RunLoop*>& liveLoops() {
    static std::set<RunLoop*> loops;
    return loops;
}

double monoNow() { return clock().monotonic(); }

// The mode names as literals: threads that run for the whole process (the
// request threads) still compare modes while the exit handlers destroy the
// global name strings.
constexpr const char* kDefaultModeName = "kCFRunLoopDefaultMode";
constexpr const char* kCommonModesName = "kCFRunLoopCommonModes";

double realNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// ---- Timer ---------------------------------------------------------------

Timer::Timer(RunLoop* loop, double fireAt, double interval, Callback cb, std::string mode)
    : loop_(loop), fireAt_(fireAt), interval_(interval), cb_(std::move(cb)), mode_(std::move(mode)) {}

void Timer::invalidate() { valid_.store(false); }

double Timer::fireDate() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fireAt_;
}

void Timer::setFireDate(double t) {
    RunLoop* loop;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fireAt_ = t;
        loop = loop_;
    }
    if (loop) loop->wake();
}

void Timer::fire() {
    if (!isValid()) return;
    auto self = shared_from_this();
    if (!repeats()) invalidate();
    if (cb_) cb_(*self);
}

// ---- FdWatch -------------------------------------------------------------

void FdWatch::cancel() { active_.store(false); }

void FdWatch::setEvents(short events) {
    events_.store(events);
    if (active_.load() && loop_) loop_->wake();
}

// ---- RunLoop -------------------------------------------------------------

RunLoop::RunLoop(std::thread::id owner) : owner_(owner) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    commonModes_.insert(kDefaultModeName);
    std::lock_guard<std::mutex> lock(gLoopsMutex);
    liveLoops().insert(this);
}

RunLoop::~RunLoop() {
    {
        std::lock_guard<std::mutex> lock(gLoopsMutex);
        liveLoops().erase(this);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& t : timers_) {
        std::lock_guard<std::mutex> tl(t->mutex_);
        t->loop_ = nullptr;
        t->valid_.store(false);
    }
    for (auto& w : watches_) {
        w->loop_ = nullptr;
        w->active_.store(false);
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

RunLoop& RunLoop::main() {
    static RunLoop* loop = new RunLoop(gMainThread);  // lives for the whole process
    return *loop;
}

RunLoop& RunLoop::current() {
    if (isMainThread()) return main();
    thread_local std::unique_ptr<RunLoop> loop;
    if (!loop) loop.reset(new RunLoop(std::this_thread::get_id()));
    return *loop;
}

bool RunLoop::isMainThread() { return std::this_thread::get_id() == gMainThread; }

void RunLoop::setMainThread() {
    gMainThread = std::this_thread::get_id();
    main().owner_ = gMainThread;
}

void RunLoop::wakeAll() {
    std::lock_guard<std::mutex> lock(gLoopsMutex);
    for (RunLoop* l : liveLoops()) l->wake();
}

void RunLoop::wake() {
    // The loop's own thread is not inside poll(): it looks at its sources
    // again before it next waits, so there is nothing to interrupt.
    if (isCurrent()) return;
    uint64_t one = 1;
    ssize_t r = ::write(wakeFd_, &one, sizeof one);
    (void)r;
}

void RunLoop::addCommonMode(const std::string& mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    commonModes_.insert(mode);
}

bool RunLoop::modeMatches(const std::string& sourceMode, const std::string& runMode) const {
    if (sourceMode == runMode) return true;
    return sourceMode == kCommonModesName && commonModes_.count(runMode) > 0;
}

std::string RunLoop::currentMode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return modeStack_.empty() ? std::string() : modeStack_.back();
}

void RunLoop::post(std::function<void()> fn, const std::string& mode) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(Task{std::move(fn), mode});
    }
    wake();
}

TimerRef RunLoop::addTimer(double delay, bool repeats, Timer::Callback cb, const std::string& mode) {
    return addTimer(delay, repeats ? std::max(delay, 0.0001) : 0.0, std::move(cb), mode);
}

TimerRef RunLoop::addTimer(double delay, double interval, Timer::Callback cb, const std::string& mode) {
    auto t = TimerRef(new Timer(this, monoNow() + std::max(delay, 0.0), interval, std::move(cb), mode));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        t->seq_ = ++timerSeq_;
        timers_.push_back(t);
    }
    wake();
    return t;
}

TimerRef RunLoop::performAfter(double delay, std::function<void()> fn, const std::string& mode) {
    return addTimer(
        delay, false, [fn = std::move(fn)](Timer&) { fn(); }, mode);
}

FdWatchRef RunLoop::watchFd(int fd, short events, FdWatch::Callback cb, const std::string& mode) {
    auto w = FdWatchRef(new FdWatch(this, fd, events, std::move(cb), mode));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        watches_.push_back(w);
    }
    wake();
    return w;
}

double RunLoop::nextTimerDate() const {
    std::lock_guard<std::mutex> lock(mutex_);
    double next = std::numeric_limits<double>::infinity();
    for (const auto& t : timers_) {
        if (t->isValid()) next = std::min(next, t->fireDate());
    }
    return next;
}

bool RunLoop::runTasks(const std::string& mode) {
    // Only the tasks queued before this pass; tasks they post wait for the next.
    std::deque<Task> ready;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::deque<Task> keep;
        for (auto& t : tasks_) {
            if (modeMatches(t.mode, mode)) {
                ready.push_back(std::move(t));
            } else {
                keep.push_back(std::move(t));
            }
        }
        tasks_.swap(keep);
    }
    for (auto& t : ready) t.fn();
    return !ready.empty();
}

bool RunLoop::fireDueTimers(const std::string& mode) {
    const double now = monoNow();
    std::vector<TimerRef> due;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [](const TimerRef& t) { return !t->isValid(); }),
                      timers_.end());
        for (const auto& t : timers_) {
            if (modeMatches(t->mode_, mode) && t->fireDate() <= now) due.push_back(t);
        }
    }
    std::sort(due.begin(), due.end(), [](const TimerRef& a, const TimerRef& b) {
        double fa = a->fireDate(), fb = b->fireDate();
        return fa != fb ? fa < fb : a->seq_ < b->seq_;
    });
    for (const auto& t : due) {
        if (!t->isValid()) continue;
        if (t->repeats()) {
            // Next firing on the period's grid after now; missed periods are skipped.
            std::lock_guard<std::mutex> lock(t->mutex_);
            double next = t->fireAt_ + t->interval_;
            if (next <= now) next += std::ceil((now - next) / t->interval_ + 1e-9) * t->interval_;
            if (next <= now) next = now + t->interval_;
            t->fireAt_ = next;
        } else {
            t->valid_.store(false);
        }
        if (t->cb_) t->cb_(*t);
    }
    return !due.empty();
}

bool RunLoop::pollAndDispatch(const std::string& mode, double waitSeconds) {
    std::vector<FdWatchRef> active;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        watches_.erase(
            std::remove_if(watches_.begin(), watches_.end(), [](const FdWatchRef& w) { return !w->isActive(); }),
            watches_.end());
        for (const auto& w : watches_) {
            if (modeMatches(w->mode_, mode) && w->events() != 0) active.push_back(w);
        }
    }
    std::vector<pollfd> fds;
    fds.reserve(active.size() + 1);
    fds.push_back(pollfd{wakeFd_, POLLIN, 0});
    for (const auto& w : active) fds.push_back(pollfd{w->fd_, w->events(), 0});

    int timeoutMs;
    if (waitSeconds <= 0) {
        timeoutMs = 0;
    } else if (std::isinf(waitSeconds)) {
        timeoutMs = -1;
    } else {
        timeoutMs = int(std::min(waitSeconds * 1000.0 + 0.999, 1e9));
    }
    int n = ::poll(fds.data(), fds.size(), timeoutMs);
    if (n <= 0) return false;
    if (fds[0].revents) {
        uint64_t v;
        while (::read(wakeFd_, &v, sizeof v) > 0) {}
    }
    bool handled = false;
    for (size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents && active[i - 1]->isActive()) {
            handled = true;
            active[i - 1]->cb_(fds[i].fd, fds[i].revents);
        }
    }
    return handled;
}

bool RunLoop::runOnce(const std::string& mode, double timeout) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        modeStack_.push_back(mode);
    }
    ++depth_;
    const double deadline = std::isinf(timeout) ? timeout : realNow() + std::max(timeout, 0.0);
    bool handled = false;
    for (;;) {
        handled |= runTasks(mode);
        handled |= fireDueTimers(mode);
        double wait = handled ? 0 : deadline - realNow();
        if (wait > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            bool pending =
                std::any_of(tasks_.begin(), tasks_.end(), [&](const Task& t) { return modeMatches(t.mode, mode); });
            if (pending) wait = 0;
        }
        if (wait > 0 && !clock().isManual()) {
            double next = nextTimerDate();
            if (!std::isinf(next)) wait = std::min(wait, std::max(0.0, next - monoNow()));
        }
        handled |= pollAndDispatch(mode, std::max(wait, 0.0));
        if (handled || stopRequested_.load() || realNow() >= deadline) break;
        // Woken without work (a new source, a clock change): look again.
        handled |= runTasks(mode);
        handled |= fireDueTimers(mode);
        if (handled) break;
    }
    --depth_;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        modeStack_.pop_back();
    }
    return handled;
}

void RunLoop::run(const std::string& modeName) {
    const std::string mode = modeName;  // the caller's string may not outlive the loop
    stopRequested_.store(false);
    while (!stopRequested_.load()) {
        runOnce(mode, std::numeric_limits<double>::infinity());
    }
    stopRequested_.store(false);
}

void RunLoop::stop() {
    stopRequested_.store(true);
    wake();
}

void RunLoop::runUntilDate(double monotonicDate, const std::string& mode) {
    while (monoNow() < monotonicDate && !stopRequested_.load()) {
        double left = monotonicDate - monoNow();
        runOnce(mode, clock().isManual() ? 0.05 : left);
    }
}

bool RunLoop::runUntil(const std::function<bool()>& pred, double realTimeout, const std::string& mode) {
    const double deadline = realNow() + realTimeout;
    while (!pred()) {
        double left = deadline - realNow();
        if (left <= 0) return pred();
        runOnce(mode, std::min(left, 0.05));
    }
    return true;
}

void RunLoop::drain(const std::string& mode) {
    for (int i = 0; i < 10000; ++i) {
        if (!runOnce(mode, 0)) break;
    }
}

void postToMain(std::function<void()> fn) { RunLoop::main().post(std::move(fn)); }

void performOnMainThread(std::function<void()> fn, bool wait) {
    if (RunLoop::isMainThread()) {
        fn();
        return;
    }
    if (!wait) {
        RunLoop::main().post(std::move(fn));
        return;
    }
    std::promise<void> done;
    auto future = done.get_future();
    RunLoop::main().post([&] {
        fn();
        done.set_value();
    });
    future.wait();
}

}  // namespace foundation
