#include "platform/foundation/Dispatch.h"

#include "platform/foundation/Background.h"

#include <chrono>
#include <memory>

namespace foundation {

namespace {
thread_local const SerialQueue* tCurrentQueue = nullptr;
}

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)), thread_([this] { loop(); }) {}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();  // destroyed by its own task: let the thread end by itself
        } else {
            thread_.join();
        }
    }
}

void SerialQueue::loop() {
    tCurrentQueue = this;
    if (!label_.empty()) setThreadName(label_);
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;  // stopping and nothing left
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

void SerialQueue::async(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(fn));
    }
    cv_.notify_one();
}

void SerialQueue::sync(const std::function<void()>& fn) {
    if (isCurrent()) {
        fn();
        return;
    }
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    async([&] {
        fn();
        std::lock_guard<std::mutex> lock(m);
        done = true;
        cv.notify_one();
    });
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return done; });
}

bool SerialQueue::isCurrent() const { return tCurrentQueue == this; }

void dispatchGlobal(std::function<void()> fn) { dispatchBackground(std::move(fn)); }

void Semaphore::signal() {
    // Notified under the lock: a waiter that sees the count cannot return (and
    // destroy a semaphore on its stack) before the signaller is out of notify_one.
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
    cv_.notify_one();
}

void Semaphore::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return count_ > 0; });
    --count_;
}

bool Semaphore::waitFor(double seconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return count_ > 0; })) return false;
    --count_;
    return true;
}

bool Condition::waitFor(double seconds) {
    return cv_.wait_for(mutex_, std::chrono::duration<double>(seconds)) == std::cv_status::no_timeout;
}

}  // namespace foundation
