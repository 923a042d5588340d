#pragma once
// A queue that runs at most N requests at once, in the order they were added.
// Starting a request only hands its work to the request thread, so the queue
// needs no thread of its own.

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace http {

class HttpRequest;

class OperationQueue {
public:
    explicit OperationQueue(int maxConcurrentOperationCount);

    void addOperation(std::shared_ptr<HttpRequest> request);
    // Among waiting requests, a higher priority starts first (equal ones in
    // the order added); a request starts only after its dependencies have
    // finished.
    void addOperation(std::shared_ptr<HttpRequest> request, int priority,
                      std::vector<std::shared_ptr<HttpRequest>> dependencies);
    // A suspended queue starts nothing (running requests go on).
    void setSuspended(bool suspended);
    bool isSuspended() const;
    // Cancels every request of the queue, running or waiting (a waiting one
    // still starts, only to end at once).
    void cancelAllOperations();
    std::vector<std::shared_ptr<HttpRequest>> operations() const;
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
    bool suspended_ = false;
    struct Scheduling {
        int priority = 0;
        std::vector<std::weak_ptr<HttpRequest>> dependencies;
    };
    std::map<const HttpRequest*, Scheduling> scheduling_;
};

}  // namespace http
