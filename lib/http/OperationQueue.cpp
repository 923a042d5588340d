#include "lib/http/OperationQueue.h"

#include <algorithm>
#include <vector>

#include "lib/http/HttpRequest.h"

namespace http {

OperationQueue::OperationQueue(int max) : max_(max) {}

void OperationQueue::addOperation(std::shared_ptr<HttpRequest> request) {
    request->setOperationQueue(this);  // outside the queue's lock: a finishing request takes its own lock first
    {
        std::lock_guard<std::mutex> lock(mutex_);
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
    }
    startWaiting();
}

void OperationQueue::startWaiting() {
    std::vector<std::shared_ptr<HttpRequest>> toStart;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        while (!waiting_.empty() && int(running_.size()) < max_) {
            running_.push_back(waiting_.front());
            toStart.push_back(waiting_.front());
            waiting_.pop_front();
        }
    }
    for (auto& r : toStart) r->start();
}

}  // namespace http
