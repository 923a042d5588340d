#include "lib/http/HttpNetworkQueue.h"

#include "platform/foundation/Locked.h"
#include "platform/foundation/Log.h"

namespace http {

std::shared_ptr<HttpNetworkQueue> HttpNetworkQueue::queue() {
    return std::shared_ptr<HttpNetworkQueue>(new HttpNetworkQueue());
}

HttpNetworkQueue::HttpNetworkQueue() { operations_.setSuspended(true); }

HttpNetworkQueue::~HttpNetworkQueue() {
    // No request may call back into a queue that is gone.
    for (auto& r : operations_.operations()) {
        r->setQueue(nullptr);
        r->setOperationQueue(nullptr);
    }
}

void HttpNetworkQueue::go() { operations_.setSuspended(false); }

void HttpNetworkQueue::setSuspended(bool suspended) { operations_.setSuspended(suspended); }
bool HttpNetworkQueue::isSuspended() const { return operations_.isSuspended(); }
int HttpNetworkQueue::maxConcurrentOperationCount() const { return operations_.maxConcurrentOperationCount(); }
void HttpNetworkQueue::setMaxConcurrentOperationCount(int count) { operations_.setMaxConcurrentOperationCount(count); }

void HttpNetworkQueue::reset() {
    cancelAllOperations();
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        delegate_ = nullptr;
        upload_.delegate = nullptr;
        download_.delegate = nullptr;
        didStart_ = nullptr;
        didReceiveHeaders_ = nullptr;
        didFail_ = nullptr;
        didFinish_ = nullptr;
        queueDidFinish_ = nullptr;
    }
    operations_.setSuspended(true);
}

void HttpNetworkQueue::cancelAllOperations() {
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        upload_.soFar = upload_.total = download_.soFar = download_.total = 0;
        // Requests cancelled here leave the batch: their cancellation is
        // not reported as a failure of the batch.
        members_.clear();
        requestsCount_ = 0;
    }
    operations_.cancelAllOperations();
}

bool HttpNetworkQueue::addOperation(const HttpRequestRef& request) {
    if (!request) {
        foundation::log(kAttemptToAddInvalidRequest, ": ", kAttemptToAddInvalidRequestReason);
        return false;
    }
    std::vector<HttpRequestRef> dependencies;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        ++requestsCount_;
        members_.insert(request.get());
        if (showAccurateProgress_) {
            // A GET with a body goes out as POST: only a plain GET gets a HEAD request.
            bool plainGet =
                request->requestMethod() == "GET" && request->postBody().empty() && !request->postBodyFilePath();
            if (plainGet && operations_.isSuspended()) {
                HttpRequestRef head = request->HEADRequest();
                addHEADOperation(head);
                dependencies.push_back(head);
                if (request->shouldResetDownloadProgress()) {
                    if (auto* d = download_.delegate) foundation::performOnMainThread([d] { d->setProgress(0); });
                    request->setShouldResetDownloadProgress(false);
                }
            }
            upload_.total += request->postBody().size();
        } else {
            download_.total += 1;
            upload_.total += 1;
        }
        if (request->shouldResetUploadProgress()) {
            if (auto* d = upload_.delegate) foundation::performOnMainThread([d] { d->setProgress(0); });
            request->setShouldResetUploadProgress(false);
        }
        request->setShowAccurateProgress(showAccurateProgress_);
    }
    request->setQueue(shared_from_this());
    operations_.addOperation(request, 0, dependencies);
    return true;
}

void HttpNetworkQueue::addHEADOperation(const HttpRequestRef& request) {
    if (!request) return;
    request->setRequestMethod("HEAD");
    request->setShowAccurateProgress(true);
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        headRequests_.insert(request.get());
    }
    request->setQueue(shared_from_this());
    operations_.addOperation(request, 10, {});
}

bool HttpNetworkQueue::isMember(HttpRequest& request) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return members_.count(&request) > 0;
}

// ---- accessors ------------------------------------------------------------------

HttpRequestDelegate* HttpNetworkQueue::delegate() const { return foundation::lockedRead(mutex_, delegate_); }
void HttpNetworkQueue::setDelegate(HttpRequestDelegate* d) { foundation::lockedWrite(mutex_, delegate_, d); }
void HttpNetworkQueue::setRequestDidStartSelector(RequestSelector s) {
    foundation::lockedWrite(mutex_, didStart_, std::move(s));
}
void HttpNetworkQueue::setRequestDidReceiveResponseHeadersSelector(HeadersSelector s) {
    foundation::lockedWrite(mutex_, didReceiveHeaders_, std::move(s));
}
void HttpNetworkQueue::setRequestWillRedirectSelector(RedirectSelector s) {
    foundation::lockedWrite(mutex_, willRedirect_, std::move(s));
}
HttpNetworkQueue::RedirectSelector HttpNetworkQueue::requestWillRedirectSelector() const {
    return foundation::lockedRead(mutex_, willRedirect_);
}
void HttpNetworkQueue::setRequestDidFinishSelector(RequestSelector s) {
    foundation::lockedWrite(mutex_, didFinish_, std::move(s));
}
void HttpNetworkQueue::setRequestDidFailSelector(RequestSelector s) {
    foundation::lockedWrite(mutex_, didFail_, std::move(s));
}
void HttpNetworkQueue::setQueueDidFinishSelector(QueueSelector s) {
    foundation::lockedWrite(mutex_, queueDidFinish_, std::move(s));
}
bool HttpNetworkQueue::hasSelectorsOtherThanRedirect() const {
    return foundation::lockedRead(mutex_, didStart_ || didReceiveHeaders_ || didFinish_ || didFail_ || queueDidFinish_);
}
bool HttpNetworkQueue::shouldCancelAllRequestsOnFailure() const {
    return foundation::lockedRead(mutex_, shouldCancelAllRequestsOnFailure_);
}
void HttpNetworkQueue::setShouldCancelAllRequestsOnFailure(bool on) {
    foundation::lockedWrite(mutex_, shouldCancelAllRequestsOnFailure_, on);
}
bool HttpNetworkQueue::showAccurateProgress() const { return foundation::lockedRead(mutex_, showAccurateProgress_); }
void HttpNetworkQueue::setShowAccurateProgress(bool on) { foundation::lockedWrite(mutex_, showAccurateProgress_, on); }
int HttpNetworkQueue::requestsCount() const { return foundation::lockedRead(mutex_, requestsCount_); }
uint64_t HttpNetworkQueue::bytesUploadedSoFar() const { return foundation::lockedRead(mutex_, upload_.soFar); }
uint64_t HttpNetworkQueue::totalBytesToUpload() const { return foundation::lockedRead(mutex_, upload_.total); }
uint64_t HttpNetworkQueue::bytesDownloadedSoFar() const { return foundation::lockedRead(mutex_, download_.soFar); }
uint64_t HttpNetworkQueue::totalBytesToDownload() const { return foundation::lockedRead(mutex_, download_.total); }
foundation::Value HttpNetworkQueue::userInfo() const { return foundation::lockedRead(mutex_, userInfo_); }
void HttpNetworkQueue::setUserInfo(foundation::Value info) {
    foundation::lockedWrite(mutex_, userInfo_, std::move(info));
}

HttpProgressDelegate* HttpNetworkQueue::uploadProgressDelegate() const {
    return foundation::lockedRead(mutex_, upload_.delegate);
}
HttpProgressDelegate* HttpNetworkQueue::downloadProgressDelegate() const {
    return foundation::lockedRead(mutex_, download_.delegate);
}
void HttpNetworkQueue::setUploadProgressDelegate(HttpProgressDelegate* d) { setProgressDelegate(Direction::Upload, d); }
void HttpNetworkQueue::setDownloadProgressDelegate(HttpProgressDelegate* d) {
    setProgressDelegate(Direction::Download, d);
}
void HttpNetworkQueue::setProgressDelegate(Direction direction, HttpProgressDelegate* d) {
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        progress(direction).delegate = d;
    }
    if (d) foundation::performOnMainThread([d] { d->setProgress(0); });
}

// The requests report progress on the main thread; so does the queue.
void HttpNetworkQueue::requestDidReceiveBytes(HttpRequest&, int64_t amount) {
    addProgress(Direction::Download, amount, false);
}
void HttpNetworkQueue::requestDidSendBytes(HttpRequest&, int64_t amount) {
    addProgress(Direction::Upload, amount, false);
}
void HttpNetworkQueue::requestIncrementDownloadSizeBy(HttpRequest&, int64_t amount) {
    addProgress(Direction::Download, amount, true);
}
void HttpNetworkQueue::requestIncrementUploadSizeBy(HttpRequest&, int64_t amount) {
    addProgress(Direction::Upload, amount, true);
}
void HttpNetworkQueue::addProgress(Direction direction, int64_t amount, bool toTotal) {
    HttpProgressDelegate* d;
    float fraction = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        Progress& p = progress(direction);
        if (toTotal) {
            p.total += uint64_t(amount);
            return;
        }
        p.soFar += uint64_t(amount);
        d = p.delegate;
        if (p.total > 0) fraction = float(double(p.soFar) / double(p.total));
    }
    if (d) d->setProgress(fraction);
}

bool HttpNetworkQueue::respondsToWillRedirect() const {
    return foundation::lockedRead(mutex_, willRedirect_ && delegate_);
}
bool HttpNetworkQueue::respondsToAuthenticationNeeded() const {
    return foundation::lockedRead(mutex_, delegate_ && delegate_->respondsToAuthenticationNeeded());
}
bool HttpNetworkQueue::respondsToProxyAuthenticationNeeded() const {
    return foundation::lockedRead(mutex_, delegate_ && delegate_->respondsToProxyAuthenticationNeeded());
}

void HttpNetworkQueue::requestWillRedirectToURL(HttpRequest& request, const net::Url& url) {
    RedirectSelector s;
    HttpRequestDelegate* d;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        s = willRedirect_;
        d = delegate_;
    }
    if (s && d) s(*d, request, url);
}

void HttpNetworkQueue::authenticationNeededForRequest(HttpRequest& request) {
    HttpRequestDelegate* d = delegate();
    if (d && d->respondsToAuthenticationNeeded()) d->authenticationNeededForRequest(request);
}

void HttpNetworkQueue::proxyAuthenticationNeededForRequest(HttpRequest& request) {
    HttpRequestDelegate* d = delegate();
    if (d && d->respondsToProxyAuthenticationNeeded()) d->proxyAuthenticationNeededForRequest(request);
}

std::shared_ptr<HttpNetworkQueue> HttpNetworkQueue::copy() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto q = queue();
    q->delegate_ = delegate_;
    q->didStart_ = didStart_;
    q->didReceiveHeaders_ = didReceiveHeaders_;
    q->willRedirect_ = willRedirect_;
    q->didFinish_ = didFinish_;
    q->didFail_ = didFail_;
    q->queueDidFinish_ = queueDidFinish_;
    q->shouldCancelAllRequestsOnFailure_ = shouldCancelAllRequestsOnFailure_;
    q->upload_.delegate = upload_.delegate;
    q->download_.delegate = download_.delegate;
    q->showAccurateProgress_ = showAccurateProgress_;
    q->userInfo_ = userInfo_;
    return q;
}

// ---- events ---------------------------------------------------------------------

void HttpNetworkQueue::requestStarted(HttpRequest& request) {
    if (!isMember(request)) return;
    RequestSelector s;
    HttpRequestDelegate* d;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        s = didStart_;
        d = delegate_;
    }
    if (s && d) s(*d, request);
}

void HttpNetworkQueue::request(HttpRequest& request, const ResponseHeaders& headers) {
    if (!isMember(request)) return;
    HeadersSelector s;
    HttpRequestDelegate* d;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        s = didReceiveHeaders_;
        d = delegate_;
    }
    if (s && d) s(*d, request, headers);
}

void HttpNetworkQueue::requestFinished(HttpRequest& request) {
    RequestSelector s;
    QueueSelector done;
    HttpRequestDelegate* d;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (!members_.erase(&request)) return;
        --requestsCount_;
        s = didFinish_;
        d = delegate_;
        if (requestsCount_ == 0) done = queueDidFinish_;
    }
    auto keep = shared_from_this();
    if (s && d) s(*d, request);
    if (done && d) done(*d, *this);
}

void HttpNetworkQueue::requestFailed(HttpRequest& request) {
    RequestSelector s;
    QueueSelector done;
    HttpRequestDelegate* d;
    bool cancelRest;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (!members_.erase(&request)) return;
        --requestsCount_;
        s = didFail_;
        d = delegate_;
        if (requestsCount_ == 0) done = queueDidFinish_;
        cancelRest = shouldCancelAllRequestsOnFailure_ && requestsCount_ > 0;
    }
    auto keep = shared_from_this();
    if (s && d) s(*d, request);
    if (done && d) done(*d, *this);
    if (cancelRest) cancelAllOperations();
}

}  // namespace http
