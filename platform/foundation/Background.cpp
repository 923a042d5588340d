#include "platform/foundation/Background.h"

#include <pthread.h>

#include <deque>
#include <thread>

#include "platform/foundation/RunLoop.h"

namespace foundation {

namespace {

constexpr const char* kIdleName = "pool";

// Worker threads that live for the whole process. A job that finds every
// thread busy starts one more, so nested waits cannot starve the pool.
class Pool {
public:
    static Pool& shared() {
        static Pool* pool = new Pool();  // its threads outlive static destruction
        return *pool;
    }

    void submit(std::string name, std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(Job{std::move(name), std::move(job)});
            if (idle_ < jobs_.size()) {
                std::thread([this] { work(); }).detach();
                ++idle_;  // counted idle until it takes a job
            }
        }
        cv_.notify_one();
    }

private:
    struct Job {
        std::string name;
        std::function<void()> fn;
    };

    void work() {
        setThreadName(kIdleName);
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            cv_.wait(lock, [this] { return !jobs_.empty(); });
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            --idle_;
            lock.unlock();
            setThreadName(job.name.empty() ? kIdleName : job.name);
            job.fn();
            job.fn = nullptr;
            setThreadName(kIdleName);
            lock.lock();
            ++idle_;
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Job> jobs_;
    size_t idle_ = 0;
};

}  // namespace

void setThreadName(const std::string& name) {
    std::string cut = name.substr(0, 15);
    pthread_setname_np(pthread_self(), cut.c_str());
}

std::string currentThreadName() {
    char buf[32] = {0};
    pthread_getname_np(pthread_self(), buf, sizeof buf);
    return buf;
}

std::shared_ptr<BackgroundTask> BackgroundTask::run(std::string name, std::function<void()> work,
                                                    std::function<void()> completion) {
    auto task = std::make_shared<BackgroundTask>(name);
    Pool::shared().submit(std::move(name),
                          [task, work = std::move(work), completion = std::move(completion)]() mutable {
                              if (work) work();
                              task->markFinished();
                              // The work and the completion travel to the main thread together, so
                              // nothing they hold is released on the pool thread.
                              postToMain([work = std::move(work), completion = std::move(completion)]() mutable {
                                  work = nullptr;
                                  if (completion) completion();
                              });
                          });
    return task;
}

void BackgroundTask::markFinished() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    cv_.notify_all();
}

void BackgroundTask::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return finished_; });
}

bool BackgroundTask::isFinished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

void dispatchBackground(std::function<void()> fn) { Pool::shared().submit(kIdleName, std::move(fn)); }

}  // namespace foundation
