#pragma once
// Background work: a pool of named threads that runs work off the main
// thread, with its completion brought back to the main loop. The overlay's
// task, the command cycle's worker, and decoding and loading jobs all start
// here rather than on threads of their own (docs/internals/threads.md).

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace foundation {

// Names the calling thread as tools (top, gdb, /proc) show it; the system
// keeps at most 15 bytes.
void setThreadName(const std::string& name);
// The calling thread's name.
std::string currentThreadName();

class BackgroundTask {
public:
    // Runs `work` on a pool thread named after the task (`name`, cut to 15
    // bytes) while it runs. Afterwards, on the main loop and always on a later
    // turn: first the work function itself is released (so what it captured
    // goes on the main thread), then `completion` runs. The pool grows when
    // every thread is busy, so a task may wait for another one it started.
    static std::shared_ptr<BackgroundTask> run(std::string name, std::function<void()> work,
                                               std::function<void()> completion = {});

    const std::string& name() const { return name_; }
    // Blocks until the work has returned (not the completion). Never call it
    // from the task's own work.
    void wait();
    bool isFinished() const;

    explicit BackgroundTask(std::string name) : name_(std::move(name)) {}

private:
    void markFinished();
    std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool finished_ = false;
};

// Runs fn on the background pool with no completion (thread name "pool").
void dispatchBackground(std::function<void()> fn);

}  // namespace foundation
