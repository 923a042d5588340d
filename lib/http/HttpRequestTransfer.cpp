// The transfer of HttpRequest: its states, the one place every event that
// moves it is handled, the passes over the stream, the end, and the
// announcements its listeners hear.
#include <cerrno>

#include "lib/http/ConnectionFailure.h"
#include "lib/http/HttpRequest.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Locked.h"

namespace http {
namespace {
double monotonicNow() { return foundation::clock().monotonic(); }
}  // namespace

// ---- the state machine ---------------------------------------------------------

void HttpRequest::enterState(TransferState state) {
    // Nothing moves a cancelled request on.
    if (state_ == TransferState::Cancelled) return;
    state_ = state;
}

void HttpRequest::postTransferEvent(TransferEvent event) {
    auto self = shared_from_this();
    performOnOwningThread([self, event] { self->handleTransferEvent(event); });
}

void HttpRequest::handleTransferEvent(TransferEvent event) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    auto self = shared_from_this();
    switch (event) {
        case TransferEvent::Start:
            main();
            return;
        case TransferEvent::ProxyKnown:
            startRequest();
            return;
        case TransferEvent::StreamHasBytes:
        case TransferEvent::StreamEnded:
        case TransferEvent::StreamFailed:
            if (passIsOver(state_)) return;
            if (event == TransferEvent::StreamHasBytes)
                handleBytesAvailable();
            else if (event == TransferEvent::StreamEnded)
                handleStreamComplete();
            else
                handleStreamError();
            performThrottling();
            // A pass that ended with a redirect or a challenge goes on from here.
            if (state_ == TransferState::Redirecting)
                followRedirectOrWait();
            else if (state_ == TransferState::Authenticating)
                attemptToApplyCredentialsAndResume();
            return;
        case TransferEvent::StatusTick:
            checkRequestStatus();
            if (!inProgress_) setStatusTimer(nullptr);
            return;
        case TransferEvent::RedirectConfirmed:
            performRedirect();
            return;
        case TransferEvent::CredentialsSupplied:
            if (requestMessage_)
                attemptToApplyCredentialsAndResume();
            else
                main();
            return;
        case TransferEvent::AuthenticationCancelled:
            failAuthentication();
            return;
        case TransferEvent::Cancel:
            cancelOnRequestThread();
            return;
    }
}

// ---- starting ----------------------------------------------------------------

void HttpRequest::startAsynchronous() { sharedQueue().addOperation(shared_from_this()); }

void HttpRequest::start() {
    inProgress_ = true;
    auto self = shared_from_this();
    threadForRequest().post([self] { self->handleTransferEvent(TransferEvent::Start); }, foundation::kDefaultMode);
}

void HttpRequest::startSynchronous() {
    auto self = shared_from_this();
    foundation::RunLoop& loop = foundation::RunLoop::current();
    {
        std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
        isSynchronous_ = true;
        runLoopMode_ = kHttpRequestRunLoopMode;
        ownerLoop_ = &loop;
        inProgress_ = true;
    }
    if (!isCancelled() && !complete()) {
        handleTransferEvent(TransferEvent::Start);
        while (!complete()) loop.runOnce(kHttpRequestRunLoopMode, 1e10);
    }
    inProgress_ = false;
}

void HttpRequest::main() {
    snapshotSettings();
    if (error_) {
        if (!passIsOver(state_)) enterState(TransferState::Failed);
        markAsFinished();
        return;
    }
    enterState(TransferState::Preparing);
    if (!url_) {
        failWithError(unableToCreateRequestError());
        return;
    }
    didUseCachedResponse_ = false;
    buildPostBody();
    if (error_) return;
    if (requestMethod_ != "GET") settings_.downloadCache.reset();
    requestMessage_ = net::HttpMessage::createRequest(requestMethod_, *url_,
                                                      run_.connection.useHTTPVersionOne ? "HTTP/1.0" : "HTTP/1.1");
    if (!requestMessage_) {
        failWithError(unableToCreateRequestError());
        return;
    }
    buildRequestHeaders();
    if (useCacheBeforeStart()) return;
    if (requestHeaders_) {
        for (const auto& [name, value] : *requestHeaders_) {
            // A name or value that would break the request line structure
            // (CR, LF, NUL) cannot go into a message.
            if (!requestMessage_->setHeaderField(name, value)) {
                requestMessage_.reset();
                failWithError(unableToCreateRequestError());
                return;
            }
        }
    }
    applyAuthorizationHeader();
    if (configureProxies()) handleTransferEvent(TransferEvent::ProxyKnown);
}

void HttpRequest::startRequest() {
    if (state_ == TransferState::Cancelled) return;
    auto self = shared_from_this();
    // Each pass (a redirect, a retry, an answered challenge) goes on with the
    // settings as they are now.
    snapshotSettings();
    requestStarted();

    enterState(TransferState::Transferring);
    downloadComplete_ = false;
    totalBytesRead_ = 0;
    if (redirectCount_ == 0) originalURL_ = url_;
    lastBytesRead_ = 0;
    if (lastBytesSent_ > 0) removeUploadProgressSoFar();
    lastBytesSent_ = 0;
    contentLength_ = 0;
    responseHeaders_.reset();
    responseStatusCode_ = 0;
    responseStatusMessage_.reset();
    rawResponseData_.clear();
    haveRawResponseData_ = !run_.downloadDestinationPath;
    forgetInflatedBody();
    decodedBytesRead_ = 0;
    readStreamIsScheduled_ = false;

    auto stream = makeReadStream();
    if (!stream) {
        failWithError(makeHttpError(kInternalErrorWhileBuildingRequestType, "Unable to create read stream"));
        return;
    }
    applyStreamSettings(*stream);

    std::shared_ptr<net::HttpReadStream> oldStream;
    HttpSession& session = HttpSession::shared();
    session.expirePersistentConnections();
    if (url_->host().empty() || url_->scheme().empty()) {
        connectionInfo_.reset();
        adjustSetting(&HttpConnectionSettings::shouldAttemptPersistentConnection, false);
    }
    if (run_.connection.shouldAttemptPersistentConnection) {
        if (!requestID_) requestID_ = session.nextRequestID();
        oldStream = session.useConnection(connectionInfo_, *url_, stream->route(), *requestID_, stream);
        stream->setAttemptPersistentConnection(true);
        stream->setConnectionKey(connectionInfo_->id);
    }

    announceSizesForNewPass();
    readStream_ = stream;
    // While throttled, the stream waits unscheduled until the wake-up time.
    auto wakeUp = throttleWakeUpTime();
    if (!wakeUp || *wakeUp <= monotonicNow() || !isBandwidthThrottled()) {
        scheduleReadStream();
    } else {
        readStreamLoop_ = &foundation::RunLoop::current();
    }
    bool opened = readStream_->open();
    if (oldStream && oldStream != stream) oldStream->close();
    if (!opened) {
        connectionCanBeReused_ = false;
        destroyReadStream();
        failWithError(makeHttpError(kInternalErrorWhileBuildingRequestType, "Unable to start HTTP connection"));
        return;
    }
    lastActivityTime_ = monotonicNow();
    std::weak_ptr<HttpRequest> weak = weak_from_this();
    setStatusTimer(readStreamLoop_->addTimer(
        kStatusTimerInterval, kStatusTimerInterval,
        [weak](foundation::Timer& timer) {
            if (auto self = weak.lock())
                self->handleTransferEvent(TransferEvent::StatusTick);
            else
                timer.invalidate();
        },
        runLoopMode_));
}

// ---- the stream ----------------------------------------------------------------

void HttpRequest::scheduleReadStream() {
    if (!readStream_ || readStreamIsScheduled_) return;
    lastActivityTime_ = monotonicNow();
    std::weak_ptr<HttpRequest> weak = weak_from_this();
    readStream_->setClient(net::HttpReadStream::kEventHasBytesAvailable | net::HttpReadStream::kEventErrorOccurred |
                               net::HttpReadStream::kEventEndEncountered,
                           [weak](unsigned event) {
                               auto self = weak.lock();
                               if (!self) return;
                               if (event == net::HttpReadStream::kEventHasBytesAvailable)
                                   self->handleTransferEvent(TransferEvent::StreamHasBytes);
                               else if (event == net::HttpReadStream::kEventEndEncountered)
                                   self->handleTransferEvent(TransferEvent::StreamEnded);
                               else if (event == net::HttpReadStream::kEventErrorOccurred)
                                   self->handleTransferEvent(TransferEvent::StreamFailed);
                           });
    readStreamLoop_ = &foundation::RunLoop::current();
    readStream_->scheduleWithRunLoop(*readStreamLoop_, runLoopMode_);
    readStreamIsScheduled_ = true;
    noteStreamScheduled(true);
}

void HttpRequest::unscheduleReadStream() {
    if (!readStream_ || !readStreamIsScheduled_) return;
    readStream_->setClient(0, nullptr);
    readStream_->unscheduleFromRunLoop(*readStreamLoop_, runLoopMode_);
    readStreamIsScheduled_ = false;
    noteStreamScheduled(false);
}

void HttpRequest::destroyReadStream() {
    if (!readStream_) return;
    unscheduleReadStream();
    // A stream whose connection may be reused stays open: its pool record
    // holds it, and the next request on the record takes the socket over.
    if (!connectionCanBeReused_) readStream_->close();
    readStream_.reset();
}

void HttpRequest::handleBytesAvailable() {
    if (!responseHeaders_) readResponseHeaders();
    if (passIsOver(state_) || !readStream_) return;
    if (!readStream_->hasBytesAvailable()) return;

    size_t bufferSize = 16384;
    if (contentLength_ > 262144)
        bufferSize = 262144;
    else if (contentLength_ > 65536)
        bufferSize = 65536;
    bufferSize = throttledReadLength(bufferSize);
    if (readBufferSize_ < bufferSize) {
        readBuffer_.reset(new uint8_t[bufferSize]);
        readBufferSize_ = bufferSize;
    }
    long n = readStream_->read(readBuffer_.get(), bufferSize);
    if (n < 0) {
        handleStreamError();
        return;
    }
    if (n == 0) return;

    std::optional<Bytes> inflated;
    bool inflating = isResponseCompressed() && !run_.shouldWaitToInflateCompressedResponses;
    if (inflating) {
        if (!dataDecompressor_) {
            dataDecompressor_ = HttpDataDecompressor::decompressor();
            dataDecompressor_->setOutputLimit(run_.maxResponseBodySize);
        }
        HttpErrorRef error;
        inflated = dataDecompressor_->uncompressBytes(readBuffer_.get(), size_t(n), error);
        if (error) {
            if (error->code == kResponseTooLargeErrorType) cancelLoad();
            failWithError(error);
            return;
        }
        if (!inflated) inflated.emplace();
    }
    // The body is measured as it comes, before any of it is kept: a reply
    // that would go past the limit (a bomb, an endless body) ends here.
    decodedBytesRead_ += inflating ? inflated->size() : uint64_t(n);
    if (run_.maxResponseBodySize > 0 && decodedBytesRead_ > run_.maxResponseBodySize) {
        cancelLoad();
        failWithError(responseTooLargeError(run_.maxResponseBodySize));
        return;
    }
    totalBytesRead_ += uint64_t(n);
    lastActivityTime_ = monotonicNow();
    incrementBandwidthUsedInLastSecond((unsigned long)n);

    if (dataReceivedBlock_ || (didReceiveDataSelector_ && delegate_)) {
        announce(Announcement::ReceivedData, {},
                 inflating ? *inflated : Bytes(readBuffer_.get(), readBuffer_.get() + n));
    } else if (run_.downloadDestinationPath) {
        if (!writeDownloadBytes(readBuffer_.get(), size_t(n), inflating ? &*inflated : nullptr)) return;
    } else if (inflating) {
        rawResponseData_.insert(rawResponseData_.end(), inflated->begin(), inflated->end());
    } else {
        // The announced length sizes the buffer once (bounded, in case it lies).
        if (rawResponseData_.empty() && contentLength_ > 0)
            rawResponseData_.reserve(size_t(std::min<uint64_t>(contentLength_, 64u << 20)));
        rawResponseData_.insert(rawResponseData_.end(), readBuffer_.get(), readBuffer_.get() + n);
    }
}

void HttpRequest::handleStreamComplete() {
    setStatusTimer(nullptr);
    downloadComplete_ = true;
    if (!responseHeaders_) readResponseHeaders();
    lastBytesSent_ = totalBytesSent_;
    totalBytesSent_ = readStream_ ? readStream_->requestBytesWrittenCount() : 0;
    // The pass is over: what comes next is the reply's to say.
    enterState(needsRedirect_          ? TransferState::Redirecting
               : authenticationNeeded_ ? TransferState::Authenticating
                                       : TransferState::Finished);
    if (contentLength_ == 0) contentLength_ = totalBytesRead_;
    updateProgressIndicators();
    dataDecompressor_.reset();
    if (!authenticationNeeded_ && (didCreateTemporaryPostDataFile_ || compressedPostBodyFilePath_))
        removeTemporaryUploadFiles();
    // A compressed body kept in memory is inflated now, within the limit, so
    // that a bomb fails the request instead of reaching its reader.
    HttpErrorRef fileError = state_ == TransferState::Finished ? inflateKeptBody() : nullptr;
    // The body of a redirect is not kept when the download may resume.
    if (!fileError && !(run_.shouldRedirect && needsRedirect_ && run_.allowResumeForFileDownloads))
        fileError = finishDownloadFile();
    if (!fileError) storeInCache();
    HttpSession::shared().withConnectionsLocked([&] {
        if (!connectionCanBeReused_) unscheduleReadStream();
        if (connectionInfo_)
            HttpSession::shared().releaseConnection(*connectionInfo_,
                                                    run_.connection.persistentConnectionTimeoutSeconds);
    });
    // A challenged stream stays until the credentials are sorted out: its
    // response holds the challenge.
    if (!authenticationNeeded_) destroyReadStream();
    // A redirect or an authentication retry goes on in handleTransferEvent.
    if (state_ != TransferState::Finished) return;
    if (fileError)
        failWithError(fileError);
    else
        requestFinished();
    markAsFinished();
}

void HttpRequest::handleStreamError() {
    net::StreamError underlying = readStream_ ? readStream_->error() : net::StreamError{};
    if (error_) {
        cancelLoad();
        return;
    }
    // A kept-alive connection the server dropped while it was idle breaks
    // before any byte of the reply: the request gets one more try on a new
    // connection. A fresh connection, or one that had begun to answer, may
    // have delivered the request to the server: it is never sent again.
    bool lostConnection =
        underlying.isPosix(ENOTCONN) || underlying.isPosix(EPIPE) || underlying.isNetwork(net::kNetworkConnectionLost);
    bool nothingAnswered = readStream_ && readStream_->usedParkedConnection() &&
                           readStream_->responseBytesReceived() == 0 && !responseHeaders_;
    if (lostConnection && nothingAnswered) {
        if (retryUsingNewConnection()) return;
    }
    cancelLoad();
    failWithError(makeHttpError(kConnectionFailureErrorType, connectionFailureReason(underlying),
                                httpErrorFromStream(underlying)));
}

HttpErrorRef HttpRequest::inflateKeptBody() {
    // Without a limit the body is inflated when it is read, as it always was.
    if (run_.maxResponseBodySize == 0 || !haveRawResponseData_ || !run_.shouldWaitToInflateCompressedResponses ||
        !isResponseCompressed())
        return nullptr;
    HttpErrorRef error;
    inflatedResponseData_ = HttpDataDecompressor::uncompressData(rawResponseData_, error, run_.maxResponseBodySize);
    keptBodyInflated_ = true;
    if (!error || error->code != kResponseTooLargeErrorType) return nullptr;  // corrupt data: no body, as before
    rawResponseData_.clear();
    rawResponseData_.shrink_to_fit();
    haveRawResponseData_ = false;
    return error;
}

void HttpRequest::forgetInflatedBody() {
    inflatedResponseData_.reset();
    keptBodyInflated_ = false;
}

bool HttpRequest::retryUsingNewConnection() {
    if (retryCount_ != 0) return false;
    auto failed = readStream_;
    cancelLoad(true);
    if (failed) failed->close();
    removeConnectionRecord();
    ++retryCount_;
    startRequest();
    return true;
}

// Takes the request's record out of the pool and closes the socket it holds.
void HttpRequest::removeConnectionRecord() {
    HttpSession::shared().removeConnection(connectionInfo_, true);
    connectionInfo_.reset();
}

// ---- redirects and credentials from the delegate -----------------------------------

void HttpRequest::followRedirectOrWait() {
    if (willAskDelegateToConfirmRedirect())
        enterState(TransferState::AwaitingRedirect);
    else
        performRedirect();
}

void HttpRequest::redirectToURL(const net::Url& url) {
    foundation::lockedWrite(cancelledLock_, redirectURL_, url);
    postTransferEvent(TransferEvent::RedirectConfirmed);
}

void HttpRequest::performRedirect() {
    if (state_ == TransferState::Cancelled || error_ || !redirectURL_) return;
    net::Url target = *redirectURL_;
    setURL(target);
    redirectURL_.reset();
    enterState(TransferState::Redirecting);
    needsRedirect_ = false;
    ++redirectCount_;
    if (redirectCount_ > kRedirectLimit) {
        failWithError(tooMuchRedirectionError());
        return;
    }
    if (haveBuiltRequestHeaders_ && requestHeaders_) {
        requestHeaders_->erase("Cookie");
        applyCookieHeader();
    }
    main();
}

void HttpRequest::retryUsingSuppliedCredentials() { postTransferEvent(TransferEvent::CredentialsSupplied); }

void HttpRequest::cancelAuthentication() { postTransferEvent(TransferEvent::AuthenticationCancelled); }

void HttpRequest::failAuthentication() {
    if (error_ || state_ == TransferState::Cancelled) return;
    cancelLoad();
    failWithError(authenticationError());
}

// ---- ending ------------------------------------------------------------------

void HttpRequest::cancel() { postTransferEvent(TransferEvent::Cancel); }

void HttpRequest::cancelOnRequestThread() {
    // A request waiting for its delegate (to confirm a redirect or to supply
    // credentials) has completed its last pass but not ended: it can be cancelled.
    bool waiting = waitsForDelegate(state_) && !error_ && inProgress_;
    if (state_ == TransferState::Cancelled || (passIsOver(state_) && !waiting)) return;
    failWithError(requestCancelledError());
    cancelLoad();
    enterState(TransferState::Cancelled);
}

void HttpRequest::clearDelegatesAndCancel() {
    {
        std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
        delegate_ = nullptr;
        startedBlock_ = nullptr;
        headersReceivedBlock_ = nullptr;
        completionBlock_ = nullptr;
        failureBlock_ = nullptr;
        dataReceivedBlock_ = nullptr;
    }
    cancel();
}

void HttpRequest::cancelLoad(bool keepUploadFiles) {
    if (PACFileFd_ >= 0) {
        finishPACFileRead(false);  // stops the script read without running anything
    } else if (PACFileRequest_) {
        HttpRequestRef pac = std::move(PACFileRequest_);
        pac->setDelegate(nullptr);
        pac->setDidFinishSelector(nullptr);
        pac->setDidFailSelector(nullptr);
        pac->cancel();
        if (PACQueueLimitRaised_) {
            PACQueueLimitRaised_ = false;
            HttpSession::shared().changeSharedQueueLimit(-1);
        }
    }
    destroyReadStream();
    if (!passIsOver(state_)) {
        rawResponseData_.clear();
        haveRawResponseData_ = false;
        forgetInflatedBody();
    }
    // A download that did not finish leaves no temporary file behind (unless it may resume).
    if (run_.downloadDestinationPath && !downloadComplete_)
        removeTemporaryDownloadFiles();
    else
        closeDownloadFiles();
    if (!keepUploadFiles && authenticationNeeded_ == 0) removeTemporaryUploadFiles();
}

void HttpRequest::failWithError(HttpErrorRef error) {
    auto self = shared_from_this();
    if (state_ != TransferState::Cancelled) enterState(TransferState::Failed);
    if (error && error->code != kAuthenticationErrorType && error->code != kTooMuchRedirectionErrorType) {
        // A failed request's connection is never used again.
        if (readStream_) readStream_->close();
        HttpSession::shared().removeConnection(connectionInfo_, false);
        destroyReadStream();
    }
    if (connectionCanBeReused_ && connectionInfo_)
        HttpSession::shared().extendConnection(*connectionInfo_, run_.connection.persistentConnectionTimeoutSeconds);
    if (state_ == TransferState::Cancelled || error_) return;
    if (fallBackToCache()) return;
    error_ = std::move(error);
    announce(Announcement::Failed);
    if (inProgress_) markAsFinished();
}

void HttpRequest::markAsFinished() {
    auto self = shared_from_this();
    setStatusTimer(nullptr);
    requestMessage_.reset();
    serverAuth_.handle.reset();
    proxyAuth_.handle.reset();
    inProgress_ = false;
    finished_ = true;
    OperationQueue* queue = operationQueue_;
    operationQueue_ = nullptr;
    if (queue) queue->operationFinished(this);
}

// ---- announcements on the main thread ---------------------------------------------

void HttpRequest::requestStarted() {
    if (!error_) announce(Announcement::Started);
}

void HttpRequest::requestFinished() {
    if (!error_) announce(Announcement::Finished);
}

void HttpRequest::announce(Announcement what, ResponseHeaders headers, Bytes data) {
    auto self = shared_from_this();
    foundation::performOnMainThread(
        [self, what, headers = std::move(headers), data = std::move(data)] { self->deliver(what, headers, data); });
}

// The listeners are read when the announcement arrives, so one cleared in
// the meantime hears nothing; the queue is read last, after the block ran.
void HttpRequest::deliver(Announcement what, const ResponseHeaders& headers, const Bytes& data) {
    std::function<void()> toDelegate, toBlock, toQueue;
    {
        std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
        HttpRequestDelegate* d = delegate_;
        auto bind = [&](const RequestSelector& selector) -> std::function<void()> {
            if (!d || !selector) return nullptr;
            return [this, d, selector] { selector(*d, *this); };
        };
        switch (what) {
            case Announcement::Started:
                toDelegate = bind(didStartSelector_);
                toBlock = startedBlock_;
                toQueue = [this] {
                    if (auto q = queue()) q->requestStarted(*this);
                };
                break;
            case Announcement::ReceivedHeaders:
                if (d && didReceiveResponseHeadersSelector_)
                    toDelegate = [this, d, s = didReceiveResponseHeadersSelector_, &headers] { s(*d, *this, headers); };
                if (headersReceivedBlock_) toBlock = [b = headersReceivedBlock_, &headers] { b(headers); };
                toQueue = [this, &headers] {
                    if (auto q = queue()) q->request(*this, headers);
                };
                break;
            case Announcement::ReceivedData:
                if (d && didReceiveDataSelector_)
                    toDelegate = [this, d, s = didReceiveDataSelector_, &data] { s(*d, *this, data); };
                if (dataReceivedBlock_) toBlock = [b = dataReceivedBlock_, &data] { b(data); };
                break;
            case Announcement::Redirected:
                if (d) toDelegate = [this, d] { d->requestRedirected(*this); };
                toBlock = requestRedirectedBlock_;
                break;
            case Announcement::Finished:
                toDelegate = bind(didFinishSelector_);
                toBlock = completionBlock_;
                toQueue = [this] {
                    if (auto q = queue()) q->requestFinished(*this);
                };
                break;
            case Announcement::Failed:
                toDelegate = bind(didFailSelector_);
                toBlock = failureBlock_;
                toQueue = [this] {
                    if (auto q = queue()) q->requestFailed(*this);
                };
                break;
        }
    }
    if (toDelegate) toDelegate();
    if (toBlock) toBlock();
    if (toQueue) toQueue();
}

}  // namespace http
