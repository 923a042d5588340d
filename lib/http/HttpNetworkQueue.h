#pragma once
// A queue for a batch of requests: it starts suspended (nothing runs until
// go()), runs at most four at once, tells one delegate about each request's
// events and about the end of the batch, sums the batch's progress, and by
// default cancels the rest of the batch when one request fails.
//
// Requests added here report to the queue (their queue()) as well as to
// their own delegate, on the main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include "lib/http/HttpRequest.h"
#include "lib/http/OperationQueue.h"
#include "platform/foundation/WeakRef.h"

namespace http {

class HttpNetworkQueue;

// What addOperation logs when given anything that is not a request.
inline const std::string kAttemptToAddInvalidRequest = "AttemptToAddInvalidRequest";
inline const std::string kAttemptToAddInvalidRequestReason =
    "Attempted to add an object that was not an HttpRequest to an HttpNetworkQueue";

class HttpNetworkQueue : public HttpRequestDelegate,
                         public HttpProgressDelegate,
                         public std::enable_shared_from_this<HttpNetworkQueue> {
public:
    using QueueSelector = std::function<void(HttpRequestDelegate&, HttpNetworkQueue&)>;
    using RedirectSelector = std::function<void(HttpRequestDelegate&, HttpRequest&, const net::Url&)>;

    // A new queue: suspended, at most 4 at once, cancels all on failure.
    static std::shared_ptr<HttpNetworkQueue> queue();
    ~HttpNetworkQueue() override;

    void go();
    // Cancels everything, clears the delegate, progress delegates and
    // selectors (not the redirect selector) and suspends the queue.
    void reset();
    // Zeroes the four counters, then cancels every request.
    void cancelAllOperations();
    void setSuspended(bool suspended);
    bool isSuspended() const;
    int maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(int count);

    // Adds a request. Anything else (a null request, another object) is a
    // programming error: logged as "AttemptToAddInvalidRequest: ..." and
    // refused (false). With accurate progress, a
    // GET added while suspended runs after a HEAD request for its size.
    bool addOperation(const HttpRequestRef& request);
    template <typename T>
    bool addOperation(const std::shared_ptr<T>& object) {
        return addOperation(std::dynamic_pointer_cast<HttpRequest>(object));
    }
    void addHEADOperation(const HttpRequestRef& request);

    HttpRequestDelegate* delegate() const;
    void setDelegate(HttpRequestDelegate* delegate);
    void setRequestDidStartSelector(RequestSelector s);
    void setRequestDidReceiveResponseHeadersSelector(HeadersSelector s);
    void setRequestWillRedirectSelector(RedirectSelector s);
    RedirectSelector requestWillRedirectSelector() const;
    void setRequestDidFinishSelector(RequestSelector s);
    void setRequestDidFailSelector(RequestSelector s);
    void setQueueDidFinishSelector(QueueSelector s);
    bool hasSelectorsOtherThanRedirect() const;

    bool shouldCancelAllRequestsOnFailure() const;
    void setShouldCancelAllRequestsOnFailure(bool on);
    bool showAccurateProgress() const;
    void setShowAccurateProgress(bool on);
    int requestsCount() const;
    uint64_t bytesUploadedSoFar() const;
    uint64_t totalBytesToUpload() const;
    uint64_t bytesDownloadedSoFar() const;
    uint64_t totalBytesToDownload() const;
    foundation::Value userInfo() const;
    void setUserInfo(foundation::Value info);

    // The whole batch's progress goes to these (not owned); setting one
    // resets it to 0.
    HttpProgressDelegate* uploadProgressDelegate() const;
    void setUploadProgressDelegate(HttpProgressDelegate* delegate);
    HttpProgressDelegate* downloadProgressDelegate() const;
    void setDownloadProgressDelegate(HttpProgressDelegate* delegate);

    // HttpProgressDelegate: progress reports of the queue's requests.
    void requestDidReceiveBytes(HttpRequest& request, int64_t amount) override;
    void requestDidSendBytes(HttpRequest& request, int64_t amount) override;
    void requestIncrementDownloadSizeBy(HttpRequest& request, int64_t amount) override;
    void requestIncrementUploadSizeBy(HttpRequest& request, int64_t amount) override;
    // A request may ask the queue about a redirect only when a redirect
    // selector and a delegate are set; about credentials only when the
    // delegate itself answers them.
    bool respondsToWillRedirect() const override;
    void requestWillRedirectToURL(HttpRequest& request, const net::Url& url) override;
    bool respondsToAuthenticationNeeded() const override;
    void authenticationNeededForRequest(HttpRequest& request) override;
    bool respondsToProxyAuthenticationNeeded() const override;
    void proxyAuthenticationNeededForRequest(HttpRequest& request) override;

    // A new suspended queue with the same delegate, selectors, flags and user info.
    std::shared_ptr<HttpNetworkQueue> copy() const;

    // HttpRequestDelegate: the requests' events.
    void requestStarted(HttpRequest& request) override;
    void request(HttpRequest& request, const ResponseHeaders& headers) override;
    void requestFinished(HttpRequest& request) override;
    void requestFailed(HttpRequest& request) override;

private:
    HttpNetworkQueue();
    // Whether the request is one of the batch (not a HEAD helper, not
    // cancelled by the queue).
    bool isMember(HttpRequest& request) const;

    // The batch's progress in one direction: bytes so far, the expected
    // total and who hears of it. Guarded by mutex_.
    enum class Direction { Upload, Download };
    struct Progress {
        uint64_t soFar = 0;
        uint64_t total = 0;
        HttpProgressDelegate* delegate = nullptr;
    };
    Progress& progress(Direction d) { return d == Direction::Upload ? upload_ : download_; }
    const Progress& progress(Direction d) const { return d == Direction::Upload ? upload_ : download_; }
    void setProgressDelegate(Direction d, HttpProgressDelegate* delegate);
    // Adds bytes done (or, with `toTotal`, to the expected total) and tells
    // the direction's delegate the fraction done.
    void addProgress(Direction d, int64_t amount, bool toTotal);

    mutable std::recursive_mutex mutex_;
    OperationQueue operations_{4};
    foundation::WeakRef<HttpRequestDelegate> delegate_;
    RequestSelector didStart_, didFinish_, didFail_;
    HeadersSelector didReceiveHeaders_;
    RedirectSelector willRedirect_;
    QueueSelector queueDidFinish_;
    bool shouldCancelAllRequestsOnFailure_ = true;
    bool showAccurateProgress_ = false;
    int requestsCount_ = 0;
    Progress upload_, download_;
    foundation::Value userInfo_;
    std::set<const HttpRequest*> members_;
    std::set<const HttpRequest*> headRequests_;
};

}  // namespace http
