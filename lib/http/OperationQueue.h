#pragma once
// A queue that runs at most N requests at once, in the order they were added.
// Starting a request only hands its work to the request thread, so the queue
// needs no thread of its own.

#include <deque>
#include <memory>
#include <mutex>

namespace http {

class HttpRequest;

class OperationQueue {
public:
    explicit OperationQueue(int maxConcurrentOperationCount);

    void addOperation(std::shared_ptr<HttpRequest> request);
    int maxConcurrentOperationCount() const;
    // A larger limit starts waiting requests at once.
    void setMaxConcurrentOperationCount(int count);
    // Requests added and not yet finished (running or waiting).
    size_t operationCount() const;
    size_t runningCount() const;

    // Called by a request of this queue when it has finished.
    void operationFinished(HttpRequest* request);

private:
    void startWaiting();
    mutable std::mutex mutex_;
    int max_;
    std::deque<std::shared_ptr<HttpRequest>> waiting_;
    std::deque<std::shared_ptr<HttpRequest>> running_;
};

}  // namespace http
