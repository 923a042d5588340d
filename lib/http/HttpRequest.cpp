#include "lib/http/HttpRequest.h"

#include <cerrno>

#include "lib/http/ConnectionFailure.h"
#include "lib/http/RunLoopThread.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Text.h"

namespace http {
namespace {

double monotonicNow() { return foundation::clock().monotonic(); }

// Leading decimal digits of a text, 0 when none.
uint64_t leadingDecimal(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    uint64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        uint64_t next = v * 10 + uint64_t(s[i] - '0');
        if (next < v) return UINT64_MAX;
        v = next;
    }
    return v;
}

// An integer the way a scanner reads one: white space, a sign, digits.
std::optional<long> scanInt(std::string_view s, size_t& pos) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    size_t start = pos;
    if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) ++pos;
    size_t digits = pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
    if (pos == digits) {
        pos = start;
        return std::nullopt;
    }
    return std::strtol(std::string(s.substr(start, pos - start)).c_str(), nullptr, 10);
}

const std::optional<std::string> headerValue(const std::optional<ResponseHeaders>& headers, const char* name) {
    if (!headers) return std::nullopt;
    auto it = headers->find(name);
    if (it == headers->end()) return std::nullopt;
    return it->second;
}

}  // namespace

// ---- construction --------------------------------------------------------

HttpRequest::HttpRequest(const std::optional<net::Url>& url) : url_(url) {
    settings_.connection.timeOutSeconds = defaultTimeOutSeconds();
    didStartSelector_ = &HttpRequestDelegate::requestStarted;
    didFinishSelector_ = &HttpRequestDelegate::requestFinished;
    didFailSelector_ = &HttpRequestDelegate::requestFailed;
    didReceiveResponseHeadersSelector_ = [](HttpRequestDelegate& d, HttpRequest& r, const ResponseHeaders& h) {
        d.request(r, h);
    };
    settings_.downloadCache = defaultCache();
    run_ = settings_;
}

HttpRequestRef HttpRequest::requestWithURL(const std::optional<net::Url>& url) {
    return HttpRequestRef(new HttpRequest(url));
}

HttpRequestRef HttpRequest::requestWithURL(const std::string& url) { return requestWithURL(net::Url::parse(url)); }

HttpRequest::~HttpRequest() {
    if (readStream_) readStream_->close();
    closeDownloadFiles();
    if (postBodyWriteStream_) std::fclose(postBodyWriteStream_);
}

HttpRequestRef HttpRequest::copy() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    std::lock_guard<std::mutex> props(propertyMutex_);
    auto r = makeEmptyCopy();
    r->settings_ = settings_;
    // The scheme chosen for credentials sent before a challenge goes along.
    r->serverAuth_.scheme = serverAuth_.scheme;
    r->delegate_ = delegate_;
    r->requestMethod_ = requestMethod_;
    r->postBody_ = postBody_;
    r->requestHeaders_ = requestHeaders_;
    r->postLength_ = postLength_;
    r->haveBuiltPostBody_ = haveBuiltPostBody_;
    r->didStartSelector_ = didStartSelector_;
    r->didFinishSelector_ = didFinishSelector_;
    r->didFailSelector_ = didFailSelector_;
    return r;
}

HttpRequestSettings HttpRequest::settings() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    std::lock_guard<std::mutex> props(propertyMutex_);
    return settings_;
}

void HttpRequest::setSettings(HttpRequestSettings settings) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    std::lock_guard<std::mutex> props(propertyMutex_);
    settings_ = std::move(settings);
}

void HttpRequest::snapshotSettings() {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    std::lock_guard<std::mutex> props(propertyMutex_);
    run_ = settings_;
}

std::optional<std::string> HttpRequest::authenticationScheme() const {
    std::lock_guard<std::mutex> l(propertyMutex_);
    return serverAuth_.scheme;
}
void HttpRequest::setAuthenticationScheme(std::optional<std::string> scheme) {
    std::lock_guard<std::mutex> l(propertyMutex_);
    serverAuth_.scheme = std::move(scheme);
}
std::optional<std::string> HttpRequest::authenticationRealm() const {
    std::lock_guard<std::mutex> l(propertyMutex_);
    return serverAuth_.realm;
}
void HttpRequest::setAuthenticationRealm(std::optional<std::string> realm) {
    std::lock_guard<std::mutex> l(propertyMutex_);
    serverAuth_.realm = std::move(realm);
}
std::optional<std::string> HttpRequest::proxyAuthenticationScheme() const {
    std::lock_guard<std::mutex> l(propertyMutex_);
    return proxyAuth_.scheme;
}
void HttpRequest::setProxyAuthenticationScheme(std::optional<std::string> scheme) {
    std::lock_guard<std::mutex> l(propertyMutex_);
    proxyAuth_.scheme = std::move(scheme);
}
std::optional<std::string> HttpRequest::proxyAuthenticationRealm() const {
    std::lock_guard<std::mutex> l(propertyMutex_);
    return proxyAuth_.realm;
}
void HttpRequest::setProxyAuthenticationRealm(std::optional<std::string> realm) {
    std::lock_guard<std::mutex> l(propertyMutex_);
    proxyAuth_.realm = std::move(realm);
}

// ---- accessors -------------------------------------------------------------

std::optional<net::Url> HttpRequest::url() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return url_;
}

void HttpRequest::setURL(const std::optional<net::Url>& url) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (url == url_) return;
    url_ = url;
    requestMessage_.reset();
    serverAuth_.handle.reset();
    proxyAuth_.handle.reset();
    redirectURL_.reset();
}

std::optional<net::Url> HttpRequest::originalURL() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return originalURL_;
}

std::string HttpRequest::requestMethod() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return requestMethod_;
}

void HttpRequest::setRequestMethod(const std::string& method) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (method == requestMethod_) return;
    requestMethod_ = method;
    std::lock_guard<std::mutex> props(propertyMutex_);
    if (method == "POST" || method == "PUT" || !postBody_.empty() || settings_.postBodyFilePath)
        settings_.connection.shouldAttemptPersistentConnection = false;
}

HttpRequestDelegate* HttpRequest::delegate() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return delegate_;
}

void HttpRequest::setDelegate(HttpRequestDelegate* delegate) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    delegate_ = delegate;
}

void HttpRequest::addRequestHeader(const std::string& name, const std::string& value) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (!requestHeaders_) requestHeaders_.emplace();
    (*requestHeaders_)[name] = value;
}

std::optional<ResponseHeaders> HttpRequest::requestHeaders() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return requestHeaders_;
}

void HttpRequest::noteBodyAdded() {
    if (requestMethod_ == "GET" || requestMethod_ == "DELETE" || requestMethod_ == "HEAD") requestMethod_ = "POST";
    std::lock_guard<std::mutex> props(propertyMutex_);
    settings_.connection.shouldAttemptPersistentConnection = false;
}

void HttpRequest::setPostBody(Bytes body) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    postBody_ = std::move(body);
    if (!postBody_.empty()) noteBodyAdded();
}

void HttpRequest::appendPostData(const Bytes& data) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (!data.empty()) noteBodyAdded();
    if (shouldStreamPostDataFromDisk()) {
        setupPostBody();
        if (postBodyWriteStream_ && !data.empty()) std::fwrite(data.data(), 1, data.size(), postBodyWriteStream_);
        return;
    }
    postBody_.insert(postBody_.end(), data.begin(), data.end());
}

void HttpRequest::appendPostData(const std::string& data) { appendPostData(Bytes(data.begin(), data.end())); }

Bytes HttpRequest::postBody() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return postBody_;
}

uint64_t HttpRequest::postLength() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return postLength_;
}

void HttpRequest::setDidStartSelector(RequestSelector s) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    didStartSelector_ = std::move(s);
}
void HttpRequest::setDidFinishSelector(RequestSelector s) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    didFinishSelector_ = std::move(s);
}
void HttpRequest::setDidFailSelector(RequestSelector s) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    didFailSelector_ = std::move(s);
}
void HttpRequest::setDidReceiveResponseHeadersSelector(HeadersSelector s) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    didReceiveResponseHeadersSelector_ = std::move(s);
}
void HttpRequest::setDidReceiveDataSelector(DataSelector s) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    didReceiveDataSelector_ = std::move(s);
}
void HttpRequest::setStartedBlock(Block b) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    startedBlock_ = std::move(b);
}
void HttpRequest::setHeadersReceivedBlock(HeadersBlock b) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    headersReceivedBlock_ = std::move(b);
}
void HttpRequest::setCompletionBlock(Block b) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    completionBlock_ = std::move(b);
}
void HttpRequest::setFailedBlock(Block b) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    failureBlock_ = std::move(b);
}
void HttpRequest::setDataReceivedBlock(DataBlock b) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    dataReceivedBlock_ = std::move(b);
}

std::string HttpRequest::runLoopMode() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return runLoopMode_;
}

HttpErrorRef HttpRequest::error() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return error_;
}

int HttpRequest::responseStatusCode() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return responseStatusCode_;
}

std::optional<std::string> HttpRequest::responseStatusMessage() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return responseStatusMessage_;
}

std::optional<ResponseHeaders> HttpRequest::responseHeaders() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return responseHeaders_;
}

StringEncoding HttpRequest::responseEncoding() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return responseEncoding_;
}

uint64_t HttpRequest::contentLength() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return contentLength_;
}

uint64_t HttpRequest::totalBytesRead() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return totalBytesRead_;
}

uint64_t HttpRequest::totalBytesSent() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return totalBytesSent_;
}

int HttpRequest::retryCount() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return retryCount_;
}

bool HttpRequest::connectionCanBeReused() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return connectionCanBeReused_;
}

std::optional<int> HttpRequest::connectionID() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (!connectionInfo_) return std::nullopt;
    return connectionInfo_->id;
}

std::optional<unsigned> HttpRequest::requestID() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return requestID_;
}

void HttpRequest::setOperationQueue(OperationQueue* queue) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    operationQueue_ = queue;
}

bool HttpRequest::isResponseCompressed() const {
    auto encoding = headerValue(responseHeaders(), "Content-Encoding");
    return encoding && encoding->find("gzip") != std::string::npos;
}

std::optional<Bytes> HttpRequest::responseData() const {
    bool compressed = isResponseCompressed();
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (!haveRawResponseData_) return std::nullopt;
    bool inflate;
    {
        std::lock_guard<std::mutex> props(propertyMutex_);
        inflate = settings_.shouldWaitToInflateCompressedResponses;
    }
    if (inflate && compressed) {
        HttpErrorRef error;
        return HttpDataDecompressor::uncompressData(rawResponseData_, error);
    }
    return rawResponseData_;
}

std::optional<std::string> HttpRequest::responseString() const {
    auto data = responseData();
    if (!data) return std::nullopt;
    return decodeText(*data, responseEncoding());
}

// ---- the request thread and the shared queue --------------------------------

foundation::RunLoop& HttpRequest::threadForRequest() {
    static foundation::RunLoop& loop = startRunLoopThread();
    return loop;
}

OperationQueue& HttpRequest::sharedQueue() {
    static OperationQueue* queue = new OperationQueue(4);
    return *queue;
}

std::vector<ConnectionRecord> HttpRequest::connectionPoolSnapshot() {
    return HttpSession::shared().connectionPoolSnapshot();
}

void HttpRequest::expirePersistentConnections() { HttpSession::shared().expirePersistentConnections(); }

void HttpRequest::performOnOwningThread(std::function<void()> fn) {
    foundation::RunLoop* owner;
    std::string mode;
    {
        std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
        owner = isSynchronous_ ? ownerLoop_ : nullptr;
        mode = runLoopMode_;
    }
    if (owner)
        owner->post(std::move(fn), mode);
    else
        threadForRequest().post(std::move(fn), foundation::kDefaultMode);
}

// ---- starting ----------------------------------------------------------------

void HttpRequest::startAsynchronous() { sharedQueue().addOperation(shared_from_this()); }

void HttpRequest::start() {
    inProgress_ = true;
    auto self = shared_from_this();
    threadForRequest().post([self] { self->main(); }, foundation::kDefaultMode);
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
        main();
        while (!complete()) loop.runOnce(kHttpRequestRunLoopMode, 1e10);
    }
    inProgress_ = false;
}

void HttpRequest::main() {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    auto self = shared_from_this();
    snapshotSettings();
    if (error_) {
        complete_ = true;
        markAsFinished();
        return;
    }
    complete_ = false;
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
    if (configureProxies()) startRequest();
}

void HttpRequest::buildPostBody() {
    if (haveBuiltPostBody_) return;
    if (buildSpecialPostBody()) return;
    postLength_ = postBody_.size();
    if (postLength_ > 0) {
        if (requestMethod_ == "GET" || requestMethod_ == "DELETE" || requestMethod_ == "HEAD") requestMethod_ = "POST";
        if (!requestHeaders_) requestHeaders_.emplace();
        (*requestHeaders_)["Content-Length"] = std::to_string(postLength_);
    }
    haveBuiltPostBody_ = true;
}

void HttpRequest::buildRequestHeaders() {
    if (haveBuiltRequestHeaders_) return;
    haveBuiltRequestHeaders_ = true;
    if (!requestHeaders_) requestHeaders_.emplace();
    applyCookieHeader();
    auto& headers = *requestHeaders_;
    if (headers.find("User-Agent") == headers.end()) {
        std::optional<std::string> agent = run_.userAgentString;
        if (!agent) agent = defaultUserAgentString();
        if (agent) headers["User-Agent"] = *agent;
    }
    if (run_.connection.allowCompressedResponse) headers["Accept-Encoding"] = "gzip";
    addBodyAndRangeHeaders();
}

void HttpRequest::startRequest() {
    if (cancelled_) return;
    auto self = shared_from_this();
    // Each pass (a redirect, a retry, an answered challenge) goes on with the
    // settings as they are now.
    snapshotSettings();
    requestStarted();

    downloadComplete_ = false;
    complete_ = false;
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
                self->updateStatus();
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
                               if (auto self = weak.lock()) self->handleNetworkEvent(event);
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

void HttpRequest::handleNetworkEvent(unsigned event) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (complete_ || cancelled_) return;
    auto self = shared_from_this();
    switch (event) {
        case net::HttpReadStream::kEventEndEncountered:
            handleStreamComplete();
            break;
        case net::HttpReadStream::kEventErrorOccurred:
            handleStreamError();
            break;
        case net::HttpReadStream::kEventHasBytesAvailable:
            handleBytesAvailable();
            break;
        default:
            break;
    }
    afterNetworkEvent();
}

void HttpRequest::handleBytesAvailable() {
    if (!responseHeaders_) readResponseHeaders();
    if (complete_ || !readStream_) return;
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
        if (!dataDecompressor_) dataDecompressor_ = HttpDataDecompressor::decompressor();
        HttpErrorRef error;
        inflated = dataDecompressor_->uncompressBytes(readBuffer_.get(), size_t(n), error);
        if (error) {
            failWithError(error);
            return;
        }
        if (!inflated) inflated.emplace();
    }
    totalBytesRead_ += uint64_t(n);
    lastActivityTime_ = monotonicNow();
    incrementBandwidthUsedInLastSecond((unsigned long)n);

    if (dataReceivedBlock_ || (didReceiveDataSelector_ && delegate_)) {
        passOnReceivedData(inflating ? *inflated : Bytes(readBuffer_.get(), readBuffer_.get() + n));
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
    complete_ = true;
    if (contentLength_ == 0) contentLength_ = totalBytesRead_;
    updateProgressIndicators();
    dataDecompressor_.reset();
    if (!authenticationNeeded_ && (didCreateTemporaryPostDataFile_ || compressedPostBodyFilePath_))
        removeTemporaryUploadFiles();
    HttpErrorRef fileError;
    // The body of a redirect is not kept when the download may resume.
    if (!(run_.shouldRedirect && needsRedirect_ && run_.allowResumeForFileDownloads)) fileError = finishDownloadFile();
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
    // A redirect or an authentication retry goes on from handleNetworkEvent.
    if (needsRedirect_ || authenticationNeeded_) return;
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

bool HttpRequest::retryUsingNewConnection() {
    if (retryCount_ != 0) return false;
    willRetryRequest_ = true;
    auto failed = readStream_;
    cancelLoad();
    willRetryRequest_ = false;
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

void HttpRequest::readResponseHeaders() {
    authenticationNeeded_ = 0;
    const net::HttpResponseHead* head = readStream_ ? readStream_->responseHead() : nullptr;
    if (!head) return;
    responseHeaders_ = head->headers.dictionary();
    responseStatusCode_ = head->statusCode;
    responseStatusMessage_ = head->statusLine;
    lastResponseHead_ = *head;
    if (answerFromCacheAfterHeaders()) return;

    readCookiesAndChallenge(*head);
    parseStringEncodingFromHeaders();

    if (!willRedirect(*head)) {
        auto length = headerValue(responseHeaders_, "Content-Length");
        if (length) contentLength_ = leadingDecimal(*length);
        if (run_.showAccurateProgress && run_.shouldResetDownloadProgress) {
            if (length) {
                incrementDownloadSizeBy(int64_t(contentLength_ + partialDownloadSize_));
            } else {
                adjustSetting(&HttpRequestSettings::showAccurateProgress, false);
                incrementDownloadSizeBy(1);
            }
        }
    }

    connectionCanBeReused_ = false;
    if (run_.connection.shouldAttemptPersistentConnection) {
        auto connection = headerValue(responseHeaders_, "Connection");
        std::string lower = connection ? foundation::toLower(*connection) : std::string();
        bool reusable = !((head->isHttp10() && lower != "keep-alive") || lower == "close");
        if (reusable) {
            if (auto keepAlive = headerValue(responseHeaders_, "Keep-Alive")) {
                // "timeout=15, max=100": reusable only when more than 5 requests remain.
                std::string_view s = *keepAlive;
                size_t pos = 0;
                long timeout = 0, max = 0;
                while (pos < s.size() && s[pos] == ' ') ++pos;
                if (s.substr(pos, 8) == "timeout=") {
                    pos += 8;
                    timeout = scanInt(s, pos).value_or(0);
                }
                size_t m = s.find("max=", pos);
                if (m != std::string_view::npos) {
                    pos = m + 4;
                    max = scanInt(s, pos).value_or(0);
                }
                if (max > 5) {
                    connectionCanBeReused_ = true;
                    adjustSetting(&HttpConnectionSettings::persistentConnectionTimeoutSeconds, double(timeout));
                }
            } else {
                connectionCanBeReused_ = true;
            }
        }
    }
    requestReceivedResponseHeaders(*responseHeaders_);
}

void HttpRequest::parseStringEncodingFromHeaders() {
    ContentType type = parseMimeType(headerValue(responseHeaders_, "Content-Type"));
    responseEncoding_ = type.encoding ? *type.encoding : run_.defaultResponseEncoding;
}

// ---- ending ------------------------------------------------------------------

void HttpRequest::cancel() {
    auto self = shared_from_this();
    performOnOwningThread([self] { self->cancelOnRequestThread(); });
}

void HttpRequest::cancelOnRequestThread() {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    // A request waiting for its delegate (to confirm a redirect or to supply
    // credentials) has completed its last pass but not ended: it can be cancelled.
    bool waiting = complete_ && !error_ && inProgress_ && (needsRedirect_ || authenticationNeeded_);
    if (cancelled_ || (complete_ && !waiting)) return;
    auto self = shared_from_this();
    failWithError(requestCancelledError());
    complete_ = true;
    cancelLoad();
    cancelled_ = true;
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

void HttpRequest::cancelLoad() {
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
    if (!complete_) {
        rawResponseData_.clear();
        haveRawResponseData_ = false;
    }
    // A download that did not finish leaves no temporary file behind (unless it may resume).
    if (run_.downloadDestinationPath && !downloadComplete_)
        removeTemporaryDownloadFiles();
    else
        closeDownloadFiles();
    if (!willRetryRequest_ && authenticationNeeded_ == 0) removeTemporaryUploadFiles();
}

void HttpRequest::failWithError(HttpErrorRef error) {
    auto self = shared_from_this();
    complete_ = true;
    if (error && error->code != kAuthenticationErrorType && error->code != kTooMuchRedirectionErrorType) {
        // A failed request's connection is never used again.
        if (readStream_) readStream_->close();
        HttpSession::shared().removeConnection(connectionInfo_, false);
        destroyReadStream();
    }
    if (connectionCanBeReused_ && connectionInfo_)
        HttpSession::shared().extendConnection(*connectionInfo_, run_.connection.persistentConnectionTimeoutSeconds);
    if (cancelled_ || error_) return;
    if (fallBackToCache()) return;
    error_ = std::move(error);
    reportFailure();
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

// ---- callbacks on the main thread -----------------------------------------------

void HttpRequest::requestStarted() {
    if (error_) return;
    auto self = shared_from_this();
    foundation::performOnMainThread([self] {
        RequestSelector selector;
        HttpRequestDelegate* delegate;
        Block block;
        {
            std::lock_guard<std::recursive_mutex> lock(self->cancelledLock_);
            selector = self->didStartSelector_;
            delegate = self->delegate_;
            block = self->startedBlock_;
        }
        if (delegate && selector) selector(*delegate, *self);
        if (block) block();
        if (auto queue = self->queue()) queue->requestStarted(*self);
    });
}

void HttpRequest::requestReceivedResponseHeaders(const ResponseHeaders& headers) {
    if (error_) return;
    auto self = shared_from_this();
    foundation::performOnMainThread([self, headers] {
        HeadersSelector selector;
        HttpRequestDelegate* delegate;
        HeadersBlock block;
        {
            std::lock_guard<std::recursive_mutex> lock(self->cancelledLock_);
            selector = self->didReceiveResponseHeadersSelector_;
            delegate = self->delegate_;
            block = self->headersReceivedBlock_;
        }
        if (delegate && selector) selector(*delegate, *self, headers);
        if (block) block(headers);
        if (auto queue = self->queue()) queue->request(*self, headers);
    });
}

void HttpRequest::requestFinished() {
    if (error_) return;
    auto self = shared_from_this();
    foundation::performOnMainThread([self] { self->reportFinished(); });
}

void HttpRequest::reportFinished() {
    RequestSelector selector;
    HttpRequestDelegate* delegate;
    Block block;
    {
        std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
        selector = didFinishSelector_;
        delegate = delegate_;
        block = completionBlock_;
    }
    if (delegate && selector) selector(*delegate, *this);
    if (block) block();
    if (auto q = queue()) q->requestFinished(*this);
}

void HttpRequest::reportFailure() {
    auto self = shared_from_this();
    foundation::performOnMainThread([self] {
        RequestSelector selector;
        HttpRequestDelegate* delegate;
        Block block;
        {
            std::lock_guard<std::recursive_mutex> lock(self->cancelledLock_);
            selector = self->didFailSelector_;
            delegate = self->delegate_;
            block = self->failureBlock_;
        }
        if (delegate && selector) selector(*delegate, *self);
        if (block) block();
        if (auto queue = self->queue()) queue->requestFailed(*self);
    });
}

void HttpRequest::passOnReceivedData(const Bytes& data) {
    auto self = shared_from_this();
    foundation::performOnMainThread([self, data] {
        DataSelector selector;
        HttpRequestDelegate* delegate;
        DataBlock block;
        {
            std::lock_guard<std::recursive_mutex> lock(self->cancelledLock_);
            selector = self->didReceiveDataSelector_;
            delegate = self->delegate_;
            block = self->dataReceivedBlock_;
        }
        if (delegate && selector) selector(*delegate, *self, data);
        if (block) block(data);
    });
}

}  // namespace http
