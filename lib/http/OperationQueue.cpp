#include "lib/http/OperationQueue.h"

#include <algorithm>
#include <vector>

#include "lib/http/HttpRequest.h"

namespace http {

OperationQueue::OperationQueue(int max) : max_(max) {}

void OperationQueue::addOperation(std::shared_ptr<HttpRequest> request) { addOperation(std::move(request), 0, {}); }

void OperationQueue::addOperation(std::shared_ptr<HttpRequest> request, int priority,
                                  std::vector<std::shared_ptr<HttpRequest>> dependencies) {
    request->setOperationQueue(this);  // outside the queue's lock: a finishing request takes its own lock first
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Scheduling& sched = scheduling_[request.get()];
        sched.priority = priority;
        for (auto& d : dependencies) sched.dependencies.push_back(d);
        waiting_.push_back(std::move(request));
    }
    startWaiting();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return max_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        max_ = count;
    }
    startWaiting();
}

size_t OperationQueue::operationCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_.size() + running_.size();
}

size_t OperationQueue::runningCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_.size();
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        suspended_ = suspended;
    }
    startWaiting();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return suspended_;
}

void OperationQueue::cancelAllOperations() {
    std::vector<std::shared_ptr<HttpRequest>> all = operations();
    for (auto& r : all) r->cancel();
}

std::vector<std::shared_ptr<HttpRequest>> OperationQueue::operations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::shared_ptr<HttpRequest>> all(running_.begin(), running_.end());
    all.insert(all.end(), waiting_.begin(), waiting_.end());
    return all;
}

void OperationQueue::operationFinished(HttpRequest* request) {
    std::shared_ptr<HttpRequest> keep;  // released outside the lock
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find_if(running_.begin(), running_.end(), [&](const auto& r) { return r.get() == request; });
        if (it == running_.end()) {
            it = std::find_if(waiting_.begin(), waiting_.end(), [&](const auto& r) { return r.get() == request; });
            if (it == waiting_.end()) return;
            keep = std::move(*it);
            waiting_.erase(it);
        } else {
            keep = std::move(*it);
            running_.erase(it);
        }
        scheduling_.erase(request);
    }
    startWaiting();
}

void OperationQueue::startWaiting() {
    std::vector<std::shared_ptr<HttpRequest>> toStart;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        while (!suspended_ && !waiting_.empty() && int(running_.size()) < max_) {
            // The first waiting request of the highest priority whose
            // dependencies have all finished.
            auto best = waiting_.end();
            int bestPriority = 0;
            for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
                const Scheduling& sched = scheduling_[it->get()];
                bool ready = true;
                for (const auto& weak : sched.dependencies) {
                    auto d = weak.lock();
                    if (d && !d->isFinished()) ready = false;
                }
                if (ready && (best == waiting_.end() || sched.priority > bestPriority)) {
                    best = it;
                    bestPriority = sched.priority;
                }
            }
            if (best == waiting_.end()) break;
            running_.push_back(*best);
            toStart.push_back(*best);
            waiting_.erase(best);
        }
    }
    for (auto& r : toStart) r->start();
}

}  // namespace http
