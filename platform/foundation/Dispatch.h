#pragma once
// Serial queues, a shared concurrent queue, semaphores and locks.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace foundation {

// Runs tasks one at a time, in order, on a thread of its own (named after
// the label).
class SerialQueue {
public:
    explicit SerialQueue(std::string label = "");
    ~SerialQueue();  // runs what is queued, then ends the thread
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> fn);
    // Runs fn on the queue and waits for it. Called from inside this queue it
    // runs fn inline instead of waiting on itself for ever.
    void sync(const std::function<void()>& fn);
    bool isCurrent() const;
    const std::string& label() const { return label_; }

private:
    void loop();
    std::string label_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

// A process-wide pool for work that may run in parallel: the background pool
// of Background.h.
void dispatchGlobal(std::function<void()> fn);

class Semaphore {
public:
    explicit Semaphore(long count = 0) : count_(count) {}
    void signal();
    void wait();
    // Waits at most `seconds` of real time; true when signalled.
    bool waitFor(double seconds);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    long count_;
};

using RecursiveLock = std::recursive_mutex;

// Compare-and-swap: sets `target` to `desired` when it holds `expected`.
template <typename T>
bool compareAndSwap(std::atomic<T>& target, T expected, T desired) {
    return target.compare_exchange_strong(expected, desired);
}

// A condition as the screens use one: a predicate flag with lock, wait with a
// time limit and signal.
class Condition {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    // Must hold the lock. Waits at most `seconds` of real time; true when signalled.
    bool waitFor(double seconds);
    void signal() { cv_.notify_one(); }
    void broadcast() { cv_.notify_all(); }

private:
    std::mutex mutex_;
    std::condition_variable_any cv_;
};

}  // namespace foundation
