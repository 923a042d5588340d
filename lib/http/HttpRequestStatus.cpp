// Status checks, time-outs, redirects and progress of HttpRequest.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "lib/http/HttpRequest.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Text.h"

namespace http {
namespace {
double monotonicNow() { return foundation::clock().monotonic(); }
}  // namespace

bool HttpRequest::shouldTimeOut(const TimeOutCheck& c) {
    if (!c.hasScheduledStream || !c.lastActivityKnown || c.timeOutSeconds <= 0) return false;
    if (c.idleSeconds <= c.timeOutSeconds) return false;
    if (c.postLength == 0 || (c.uploadBufferSize > 0 && c.totalBytesSent > c.uploadBufferSize)) return true;
    // The network layer reports no progress inside its first write buffer.
    return c.idleSeconds > c.timeOutSeconds * 1.5;
}

bool HttpRequest::shouldTimeOutNow() const {
    TimeOutCheck c;
    c.idleSeconds = monotonicNow() - lastActivityTime_;
    c.hasScheduledStream = readStream_ && readStreamIsScheduled_;
    c.lastActivityKnown = lastActivityTime_ > 0;
    c.timeOutSeconds = run_.connection.timeOutSeconds;
    c.postLength = postLength_;
    c.uploadBufferSize = uploadBufferSize_;
    c.totalBytesSent = totalBytesSent_;
    return shouldTimeOut(c);
}

void HttpRequest::setStatusTimer(foundation::TimerRef timer) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (statusTimer_ && statusTimer_ != timer) statusTimer_->invalidate();
    statusTimer_ = std::move(timer);
}

void HttpRequest::checkRequestStatus() {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (passIsOver(state_)) return;
    auto self = shared_from_this();
    performThrottling();
    if (shouldTimeOutNow()) {
        if (retryCount_ < run_.connection.numberOfTimesToRetryOnTimeout) {
            updatePartialDownloadSize();
            if (error_) return;
            if (partialDownloadSize_ > 0 && requestMessage_)
                requestMessage_->setHeaderField(
                    "Range", foundation::format("bytes=%llu-", (unsigned long long)partialDownloadSize_));
            ++retryCount_;
            // A stalled connection is never used again: its socket is closed
            // and its pool record dropped before the new attempt.
            auto stalled = readStream_;
            connectionCanBeReused_ = false;
            unscheduleReadStream();
            readStream_.reset();
            if (stalled) stalled->close();
            removeConnectionRecord();
            startRequest();
            return;
        }
        failWithError(requestTimedOutError());
        cancelLoad();
        return;
    }
    if (readStream_ && postLength_ > 0) {
        lastBytesSent_ = totalBytesSent_;
        totalBytesSent_ = readStream_->requestBytesWrittenCount();
        if (totalBytesSent_ > lastBytesSent_) {
            lastActivityTime_ = monotonicNow();
            incrementBandwidthUsedInLastSecond((unsigned long)(totalBytesSent_ - lastBytesSent_));
        }
    }
    if (readStream_) updateProgressIndicators();
}

// ---- redirects ----------------------------------------------------------------

int HttpRequest::redirectCount() const { return foundation::lockedRead(cancelledLock_, redirectCount_); }

std::optional<net::Url> HttpRequest::redirectURL() const {
    return foundation::lockedRead(cancelledLock_, redirectURL_);
}

bool HttpRequest::willRedirect(const net::HttpResponseHead& head) {
    const int status = head.statusCode;
    const std::string* location = head.headers.get("Location");
    if (!run_.shouldRedirect || !location || !(status == 301 || status == 302 || status == 303 || status == 307))
        return false;
    // A Location that cannot be read as a URL leaves the reply as it is.
    std::optional<net::Url> target = url_ ? url_->resolve(*location) : std::nullopt;
    if (!target || (target->scheme() != "http" && target->scheme() != "https")) return false;
    if (!error_) announce(Announcement::Redirected);

    if (!requestHeaders_) requestHeaders_.emplace();
    auto& headers = *requestHeaders_;
    bool keep =
        status == 307 || (run_.connection.shouldUseRFC2616RedirectBehaviour && (status == 301 || status == 302));
    if (keep) {
        // The Cookie header is made again for the new URL when the redirect is performed.
        headers.erase("Cookie");
    } else {
        requestMethod_ = "GET";
        postBody_.clear();
        postLength_ = 0;
        ResponseHeaders kept;
        for (const char* name : {"User-Agent", "Accept"}) {
            auto it = headers.find(name);
            if (it != headers.end()) kept.insert(*it);
        }
        headers = std::move(kept);
        haveBuiltRequestHeaders_ = false;
    }
    // Credentials meant for one origin never follow a redirect to another.
    if (url_ && (target->scheme() != url_->scheme() || target->host() != url_->host() ||
                 target->effectivePort() != url_->effectivePort())) {
        headers.erase("Authorization");
        std::lock_guard<std::mutex> props(propertyMutex_);
        serverAuth_.scheme.reset();
    }
    redirectURL_ = target;
    needsRedirect_ = true;
    requestCookies_.clear();
    return true;
}

bool HttpRequest::willAskDelegateToConfirmRedirect() {
    if (!redirectURL_) return false;
    // The delegate, or failing that the queue.
    auto q = queue();
    bool delegateAsks = delegate_ && delegate_->respondsToWillRedirect();
    if (!delegateAsks && !(q && q->respondsToWillRedirect())) return false;
    net::Url target = *redirectURL_;
    redirectURL_.reset();
    auto self = shared_from_this();
    foundation::performOnMainThread([self, target, delegateAsks] {
        HttpRequestDelegate* d = self->delegate();
        if (delegateAsks) {
            if (d && d->respondsToWillRedirect()) d->requestWillRedirectToURL(*self, target);
        } else if (auto q = self->queue()) {
            q->requestWillRedirectToURL(*self, target);
        }
    });
    return true;
}

// ---- progress ------------------------------------------------------------------

uint64_t HttpRequest::partialDownloadSize() const {
    return foundation::lockedRead(cancelledLock_, partialDownloadSize_);
}

uint64_t HttpRequest::uploadBufferSize() const { return foundation::lockedRead(cancelledLock_, uploadBufferSize_); }

HttpProgressDelegate* HttpRequest::uploadProgressDelegate() const {
    return foundation::lockedRead(cancelledLock_, uploadProgressDelegate_);
}
void HttpRequest::setUploadProgressDelegate(HttpProgressDelegate* d) {
    foundation::lockedWrite(cancelledLock_, uploadProgressDelegate_, d);
}
HttpProgressDelegate* HttpRequest::downloadProgressDelegate() const {
    return foundation::lockedRead(cancelledLock_, downloadProgressDelegate_);
}
void HttpRequest::setDownloadProgressDelegate(HttpProgressDelegate* d) {
    foundation::lockedWrite(cancelledLock_, downloadProgressDelegate_, d);
}
void HttpRequest::setBytesReceivedBlock(std::function<void(int64_t, uint64_t)> b) {
    foundation::lockedWrite(cancelledLock_, bytesReceivedBlock_, std::move(b));
}
void HttpRequest::setBytesSentBlock(std::function<void(int64_t, uint64_t)> b) {
    foundation::lockedWrite(cancelledLock_, bytesSentBlock_, std::move(b));
}
void HttpRequest::setDownloadSizeIncrementedBlock(SizeBlock b) {
    foundation::lockedWrite(cancelledLock_, downloadSizeIncrementedBlock_, std::move(b));
}
void HttpRequest::setUploadSizeIncrementedBlock(SizeBlock b) {
    foundation::lockedWrite(cancelledLock_, uploadSizeIncrementedBlock_, std::move(b));
}
void HttpRequest::setRequestRedirectedBlock(Block b) {
    foundation::lockedWrite(cancelledLock_, requestRedirectedBlock_, std::move(b));
}

void HttpRequest::updatePartialDownloadSize() {
    auto destination = run_.downloadDestinationPath;
    auto temporary = run_.temporaryFileDownloadPath;
    if (!run_.allowResumeForFileDownloads || !destination || !temporary) return;
    struct stat st {};
    if (::access(temporary->c_str(), F_OK) != 0) return;
    if (::stat(temporary->c_str(), &st) != 0) {
        failWithError(
            makeHttpError(kFileManagementError,
                          foundation::format("Failed to get attributes for file at path '%s'", temporary->c_str()),
                          httpErrorFromStream(net::StreamError::posix(errno))));
        return;
    }
    partialDownloadSize_ = uint64_t(st.st_size);
}

// Sends a progress call to the delegate read from the field on the main
// thread, so a delegate cleared in the meantime hears nothing.
void HttpRequest::deliverProgress(ProgressTarget target, std::function<void(HttpProgressDelegate&)> call) {
    auto self = shared_from_this();
    foundation::performOnMainThread([self, target, call] {
        HttpProgressDelegate* d =
            target == ProgressTarget::Upload ? self->uploadProgressDelegate() : self->downloadProgressDelegate();
        if (d) call(*d);
        // A queue that counts progress hears it too.
        if (auto q = std::dynamic_pointer_cast<HttpProgressDelegate>(self->queue())) call(*q);
    });
}

void HttpRequest::updateProgressIndicator(ProgressTarget target, uint64_t progress, uint64_t total) {
    if (total == 0) return;
    float fraction = float(double(progress) / double(total));
    deliverProgress(target, [fraction](HttpProgressDelegate& d) { d.setProgress(fraction); });
}

void HttpRequest::updateProgressIndicators() {
    if (run_.showAccurateProgress || (passIsOver(state_) && !updatedProgress_)) {
        updateUploadProgress();
        updateDownloadProgress();
    }
}

void HttpRequest::updateUploadProgress() {
    if (state_ == TransferState::Cancelled || totalBytesSent_ == 0) return;
    if (uploadBufferSize_ == 0 && totalBytesSent_ != postLength_) {
        uploadBufferSize_ = totalBytesSent_;
        incrementUploadSizeBy(-int64_t(uploadBufferSize_));
    }
    int64_t amount;
    if (run_.showAccurateProgress) {
        if (totalBytesSent_ != postLength_ && lastBytesSent_ == 0) return;
        amount = int64_t(totalBytesSent_) - int64_t(lastBytesSent_);
    } else {
        amount = 1;
        updatedProgress_ = true;
    }
    if (amount == 0) return;
    auto self = shared_from_this();
    deliverProgress(ProgressTarget::Upload,
                    [self, amount](HttpProgressDelegate& d) { d.requestDidSendBytes(*self, amount); });
    updateProgressIndicator(ProgressTarget::Upload, totalBytesSent_ - uploadBufferSize_,
                            postLength_ - uploadBufferSize_);
    if (auto block = bytesSentBlock_) {
        uint64_t total = postLength_;
        foundation::performOnMainThread([block, amount, total] { block(amount, total); });
    }
}

void HttpRequest::updateDownloadProgress() {
    if (!responseHeaders_ || needsRedirect_ || (contentLength_ == 0 && !passIsOver(state_))) return;
    uint64_t soFar = totalBytesRead_ + partialDownloadSize_;
    int64_t amount;
    if (run_.showAccurateProgress && contentLength_ > 0) {
        amount = int64_t(soFar) - int64_t(lastBytesRead_);
        if (amount == 0) return;
    } else {
        amount = 1;
        updatedProgress_ = true;
    }
    auto self = shared_from_this();
    deliverProgress(ProgressTarget::Download,
                    [self, amount](HttpProgressDelegate& d) { d.requestDidReceiveBytes(*self, amount); });
    updateProgressIndicator(ProgressTarget::Download, soFar, contentLength_ + partialDownloadSize_);
    if (auto block = bytesReceivedBlock_) {
        uint64_t total = contentLength_ + partialDownloadSize_;
        foundation::performOnMainThread([block, amount, total] { block(amount, total); });
    }
    lastBytesRead_ = soFar;
}

void HttpRequest::incrementUploadSizeBy(int64_t amount) {
    auto self = shared_from_this();
    deliverProgress(ProgressTarget::Upload,
                    [self, amount](HttpProgressDelegate& d) { d.requestIncrementUploadSizeBy(*self, amount); });
    if (auto block = uploadSizeIncrementedBlock_) foundation::performOnMainThread([block, amount] { block(amount); });
}

void HttpRequest::incrementDownloadSizeBy(int64_t amount) {
    auto self = shared_from_this();
    deliverProgress(ProgressTarget::Download,
                    [self, amount](HttpProgressDelegate& d) { d.requestIncrementDownloadSizeBy(*self, amount); });
    if (auto block = downloadSizeIncrementedBlock_) foundation::performOnMainThread([block, amount] { block(amount); });
}

void HttpRequest::removeUploadProgressSoFar() {
    int64_t amount = -int64_t(totalBytesSent_);
    auto self = shared_from_this();
    deliverProgress(ProgressTarget::Upload,
                    [self, amount](HttpProgressDelegate& d) { d.requestDidSendBytes(*self, amount); });
    updateProgressIndicator(ProgressTarget::Upload, 0, postLength_);
    if (auto block = bytesSentBlock_) {
        uint64_t total = postLength_;
        foundation::performOnMainThread([block, amount, total] { block(amount, total); });
    }
}

void HttpRequest::announceSizesForNewPass() {
    if (run_.shouldResetUploadProgress) {
        incrementUploadSizeBy(run_.showAccurateProgress ? int64_t(postLength_) : 1);
        updateProgressIndicator(ProgressTarget::Upload, 0, 1);
    }
    if (run_.shouldResetDownloadProgress && partialDownloadSize_ == 0)
        updateProgressIndicator(ProgressTarget::Download, 0, 1);
}

}  // namespace http
