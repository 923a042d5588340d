#include "lib/http/HttpRequest.h"

#include "lib/http/RunLoopThread.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Text.h"

namespace http {
namespace {

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

std::optional<net::Url> HttpRequest::url() const { return foundation::lockedRead(cancelledLock_, url_); }

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
    return foundation::lockedRead(cancelledLock_, originalURL_);
}

std::string HttpRequest::requestMethod() const { return foundation::lockedRead(cancelledLock_, requestMethod_); }

void HttpRequest::setRequestMethod(const std::string& method) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (method == requestMethod_) return;
    requestMethod_ = method;
    std::lock_guard<std::mutex> props(propertyMutex_);
    if (method == "POST" || method == "PUT" || !postBody_.empty() || settings_.postBodyFilePath)
        settings_.connection.shouldAttemptPersistentConnection = false;
}

HttpRequestDelegate* HttpRequest::delegate() const { return foundation::lockedRead(cancelledLock_, delegate_); }

void HttpRequest::setDelegate(HttpRequestDelegate* delegate) {
    foundation::lockedWrite(cancelledLock_, delegate_, delegate);
}

void HttpRequest::addRequestHeader(const std::string& name, const std::string& value) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (!requestHeaders_) requestHeaders_.emplace();
    (*requestHeaders_)[name] = value;
}

std::optional<ResponseHeaders> HttpRequest::requestHeaders() const {
    return foundation::lockedRead(cancelledLock_, requestHeaders_);
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

Bytes HttpRequest::postBody() const { return foundation::lockedRead(cancelledLock_, postBody_); }

uint64_t HttpRequest::postLength() const { return foundation::lockedRead(cancelledLock_, postLength_); }

void HttpRequest::setDidStartSelector(RequestSelector s) {
    foundation::lockedWrite(cancelledLock_, didStartSelector_, std::move(s));
}
void HttpRequest::setDidFinishSelector(RequestSelector s) {
    foundation::lockedWrite(cancelledLock_, didFinishSelector_, std::move(s));
}
void HttpRequest::setDidFailSelector(RequestSelector s) {
    foundation::lockedWrite(cancelledLock_, didFailSelector_, std::move(s));
}
void HttpRequest::setDidReceiveResponseHeadersSelector(HeadersSelector s) {
    foundation::lockedWrite(cancelledLock_, didReceiveResponseHeadersSelector_, std::move(s));
}
void HttpRequest::setDidReceiveDataSelector(DataSelector s) {
    foundation::lockedWrite(cancelledLock_, didReceiveDataSelector_, std::move(s));
}
void HttpRequest::setStartedBlock(Block b) { foundation::lockedWrite(cancelledLock_, startedBlock_, std::move(b)); }
void HttpRequest::setHeadersReceivedBlock(HeadersBlock b) {
    foundation::lockedWrite(cancelledLock_, headersReceivedBlock_, std::move(b));
}
void HttpRequest::setCompletionBlock(Block b) {
    foundation::lockedWrite(cancelledLock_, completionBlock_, std::move(b));
}
void HttpRequest::setFailedBlock(Block b) { foundation::lockedWrite(cancelledLock_, failureBlock_, std::move(b)); }
void HttpRequest::setDataReceivedBlock(DataBlock b) {
    foundation::lockedWrite(cancelledLock_, dataReceivedBlock_, std::move(b));
}

std::string HttpRequest::runLoopMode() const { return foundation::lockedRead(cancelledLock_, runLoopMode_); }

HttpErrorRef HttpRequest::error() const { return foundation::lockedRead(cancelledLock_, error_); }

int HttpRequest::responseStatusCode() const { return foundation::lockedRead(cancelledLock_, responseStatusCode_); }

std::optional<std::string> HttpRequest::responseStatusMessage() const {
    return foundation::lockedRead(cancelledLock_, responseStatusMessage_);
}

std::optional<ResponseHeaders> HttpRequest::responseHeaders() const {
    return foundation::lockedRead(cancelledLock_, responseHeaders_);
}

StringEncoding HttpRequest::responseEncoding() const {
    return foundation::lockedRead(cancelledLock_, responseEncoding_);
}

uint64_t HttpRequest::contentLength() const { return foundation::lockedRead(cancelledLock_, contentLength_); }

uint64_t HttpRequest::totalBytesRead() const { return foundation::lockedRead(cancelledLock_, totalBytesRead_); }

uint64_t HttpRequest::totalBytesSent() const { return foundation::lockedRead(cancelledLock_, totalBytesSent_); }

int HttpRequest::retryCount() const { return foundation::lockedRead(cancelledLock_, retryCount_); }

bool HttpRequest::connectionCanBeReused() const {
    return foundation::lockedRead(cancelledLock_, connectionCanBeReused_);
}

std::optional<int> HttpRequest::connectionID() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (!connectionInfo_) return std::nullopt;
    return connectionInfo_->id;
}

std::optional<unsigned> HttpRequest::requestID() const { return foundation::lockedRead(cancelledLock_, requestID_); }

void HttpRequest::setOperationQueue(OperationQueue* queue) {
    foundation::lockedWrite(cancelledLock_, operationQueue_, queue);
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
    uint64_t limit;
    {
        std::lock_guard<std::mutex> props(propertyMutex_);
        inflate = settings_.shouldWaitToInflateCompressedResponses;
        limit = settings_.maxResponseBodySize;
    }
    if (inflate && compressed) {
        if (keptBodyInflated_) return inflatedResponseData_;
        HttpErrorRef error;
        return HttpDataDecompressor::uncompressData(rawResponseData_, error, limit);
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

// ---- the message and the reply -----------------------------------------------

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
        // A reply framed both by Transfer-Encoding and Content-Length leaves
        // its connection unusable: the stream closes it after the reply.
        bool framedTwice = head->headers.get("Transfer-Encoding") && head->headers.get("Content-Length");
        bool reusable = !((head->isHttp10() && lower != "keep-alive") || lower == "close" || framedTwice);
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
    if (!error_) announce(Announcement::ReceivedHeaders, *responseHeaders_);
}

void HttpRequest::parseStringEncodingFromHeaders() {
    ContentType type = parseMimeType(headerValue(responseHeaders_, "Content-Type"));
    responseEncoding_ = type.encoding ? *type.encoding : run_.defaultResponseEncoding;
}

}  // namespace http
