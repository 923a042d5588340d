#include "lib/urlconnection/UcURLConnectionOperation.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "lib/http/HttpRequest.h"
#include "lib/http/RunLoopThread.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace http {
namespace {

const char* keyPathFor(int state) {
    switch (state) {
        case UcURLConnectionOperation::OperationStateReady:
            return "isReady";
        case UcURLConnectionOperation::OperationStateExecuting:
            return "isExecuting";
        case UcURLConnectionOperation::OperationStateFinished:
            return "isFinished";
        default:
            return "state";
    }
}

bool transitionAllowed(int from, int to) {
    switch (from) {
        case UcURLConnectionOperation::OperationStateReady:
            return to == UcURLConnectionOperation::OperationStateExecuting;
        case UcURLConnectionOperation::OperationStateExecuting:
            return to == UcURLConnectionOperation::OperationStateFinished;
        case UcURLConnectionOperation::OperationStateFinished:
            return false;
        default:
            return true;
    }
}

class FileOutputStream : public UcOutputStream {
public:
    FileOutputStream(std::string path, bool append) : path_(std::move(path)), append_(append) {}
    ~FileOutputStream() override { close(); }
    bool open() override {
        if (!file_) file_ = std::fopen(path_.c_str(), append_ ? "ab" : "wb");
        if (!file_) error_ = std::strerror(errno);
        return file_ != nullptr;
    }
    void close() override {
        if (file_) std::fclose(file_);
        file_ = nullptr;
    }
    bool hasSpaceAvailable() override { return file_ != nullptr; }
    long write(const uint8_t* data, size_t length) override {
        if (!file_) {
            error_ = "the stream is not open";
            return -1;
        }
        size_t n = std::fwrite(data, 1, length, file_);
        if (n == 0 && length > 0) {
            error_ = std::strerror(errno ? errno : EIO);
            return -1;
        }
        return long(n);
    }
    std::string streamError() const override { return error_; }

private:
    std::string path_;
    bool append_;
    FILE* file_ = nullptr;
    std::string error_;
};

HttpErrorRef ucError(int code, std::string text) {
    return HttpError::make(kUcNetworkingErrorDomain, code, std::move(text));
}

std::string headerParameter(const std::string& header, const std::string& name) {
    std::string lower = foundation::toLower(header);
    size_t p = lower.find(name + "=");
    if (p == std::string::npos) return "";
    p += name.size() + 1;
    if (p < header.size() && header[p] == '"') {
        size_t end = header.find('"', p + 1);
        return header.substr(p + 1, end == std::string::npos ? std::string::npos : end - p - 1);
    }
    size_t end = header.find_first_of(", ", p);
    return header.substr(p, end == std::string::npos ? std::string::npos : end - p);
}

}  // namespace

std::shared_ptr<UcOutputStream> UcOutputStream::toFileAtPath(const std::string& path, bool append) {
    return std::make_shared<FileOutputStream>(path, append);
}

// ---- the operation ---------------------------------------------------------------

UcURLConnectionOperation::UcURLConnectionOperation(UcURLRequest request) : request_(std::move(request)) {}

UcURLConnectionOperation::~UcURLConnectionOperation() {
    if (connection_) connection_->close();
}

std::shared_ptr<UcURLConnectionOperation> UcURLConnectionOperation::operationWithRequest(UcURLRequest request) {
    return std::shared_ptr<UcURLConnectionOperation>(new UcURLConnectionOperation(std::move(request)));
}

foundation::RunLoop& UcURLConnectionOperation::networkRequestThread() {
    static foundation::RunLoop& loop = startRunLoopThread();
    return loop;
}

size_t UcURLConnectionOperation::accumulatorCapacityForExpectedLength(int64_t expected) {
    uint64_t magnitude = expected < 0 ? uint64_t(-(expected + 1)) + 1 : uint64_t(expected);
    return size_t(std::clamp<uint64_t>(magnitude, 1024, 8388608));
}

size_t UcURLConnectionOperation::accumulatorCapacity() const {
    return foundation::lockedRead(lock_, accumulatorCapacity_);
}

void UcURLConnectionOperation::setCompletionBlock(std::function<void()> block) {
    foundation::lockedWrite(lock_, completionBlock_, std::move(block));
}
void UcURLConnectionOperation::setUploadProgressBlock(ProgressBlock b) {
    foundation::lockedWrite(lock_, uploadProgress_, std::move(b));
}
void UcURLConnectionOperation::setDownloadProgressBlock(ProgressBlock b) {
    foundation::lockedWrite(lock_, downloadProgress_, std::move(b));
}
void UcURLConnectionOperation::setAuthenticationChallengeBlock(AuthenticationBlock b) {
    foundation::lockedWrite(lock_, authenticationBlock_, std::move(b));
}
void UcURLConnectionOperation::setStateObserver(StateObserver o) {
    foundation::lockedWrite(lock_, stateObserver_, std::move(o));
}
void UcURLConnectionOperation::setOutputStream(std::shared_ptr<UcOutputStream> s) {
    foundation::lockedWrite(lock_, outputStream_, std::move(s));
}
UcURLRequest UcURLConnectionOperation::request() const { return foundation::lockedRead(lock_, request_); }
std::optional<UcHTTPURLResponse> UcURLConnectionOperation::response() const {
    return foundation::lockedRead(lock_, response_);
}
HttpErrorRef UcURLConnectionOperation::error() const { return foundation::lockedRead(lock_, error_); }
std::optional<Bytes> UcURLConnectionOperation::responseData() const {
    return foundation::lockedRead(lock_, responseData_);
}
int64_t UcURLConnectionOperation::totalBytesRead() const { return foundation::lockedRead(lock_, totalBytesRead_); }
void UcURLConnectionOperation::setInputStream(std::shared_ptr<net::InputStream> stream, uint64_t length) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    request_.HTTPBodyStream = std::move(stream);
    request_.HTTPBodyStreamLength = length;
    request_.HTTPBody.clear();
}

std::optional<std::string> UcURLConnectionOperation::responseString() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (responseString_) return responseString_;
    if (!response_ || !responseData_) return std::nullopt;
    StringEncoding encoding = kUTF8StringEncoding;
    if (response_->textEncodingName) {
        if (auto e = encodingForCharsetName(*response_->textEncodingName)) encoding = *e;
    }
    responseString_ = decodeText(*responseData_, encoding);
    return responseString_;
}

bool UcURLConnectionOperation::setState(State next) {
    StateObserver observer;
    int old;
    {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        old = state_.load();
        if (!transitionAllowed(old, next)) return false;
        observer = stateObserver_;
        if (observer) {
            observer(keyPathFor(next), true);
            observer(keyPathFor(old), true);
        }
        state_ = next;
        if (observer) {
            observer(keyPathFor(old), false);
            observer(keyPathFor(next), false);
        }
    }
    if (next == OperationStateExecuting)
        foundation::NotificationCenter::defaultCenter().post(kUcOperationStartNotification, this);
    if (next == OperationStateFinished)
        foundation::NotificationCenter::defaultCenter().post(kUcOperationFinishNotification, this);
    return true;
}

void UcURLConnectionOperation::start() {
    if (!setState(OperationStateExecuting)) return;
    auto self = shared_from_this();
    foundation::RunLoop& loop = networkRequestThread();
    if (loop.isCurrent()) {
        operationDidStart();
        return;
    }
    foundation::Semaphore done;
    loop.post([self, &done] {
        self->operationDidStart();
        done.signal();
    });
    done.wait();
}

void UcURLConnectionOperation::operationDidStart() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (isCancelled()) {
        finish();
        return;
    }
    keepAlive_ = shared_from_this();
    openConnection(std::nullopt);
}

void UcURLConnectionOperation::openConnection(const std::optional<UcCredential>& credential) {
    auto message = net::HttpMessage::createRequest(request_.HTTPMethod, request_.url);
    bool ok = bool(message);
    for (const auto& [name, value] : request_.headers)
        if (ok) ok = message->setHeaderField(name, value);
    if (ok && credential) {
        std::string pair = credential->user + ":" + credential->password;
        ok = message->setHeaderField("Authorization",
                                     "Basic " + HttpRequest::base64forData(Bytes(pair.begin(), pair.end())));
    }
    if (!ok) {
        didFailWithError(ucError(-1000, "The request cannot be made: " + request_.url.absoluteString()));
        return;
    }
    if (request_.HTTPBodyStream)
        connection_ =
            net::HttpReadStream::createStreamed(*message, request_.HTTPBodyStream, request_.HTTPBodyStreamLength);
    else
        connection_ =
            net::HttpReadStream::create(*message, std::string(request_.HTTPBody.begin(), request_.HTTPBody.end()));
    if (!connection_) {
        didFailWithError(ucError(-1000, "The request cannot be made: " + request_.url.absoluteString()));
        return;
    }
    headSeen_ = false;
    lastBodyBytesWritten_ = 0;
    std::weak_ptr<UcURLConnectionOperation> weak = weak_from_this();
    auto stream = connection_;
    connection_->setClient(net::HttpReadStream::kEventHasBytesAvailable | net::HttpReadStream::kEventErrorOccurred |
                               net::HttpReadStream::kEventEndEncountered,
                           [weak, stream](unsigned event) {
                               auto self = weak.lock();
                               if (self && self->connection_ == stream) self->handleEvent(event);
                           });
    connection_->scheduleWithRunLoop(networkRequestThread(), foundation::kDefaultMode);
    connection_->open();
}

void UcURLConnectionOperation::handleEvent(unsigned event) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (isFinished() || isCancelled() || !connection_) return;
    auto self = shared_from_this();
    uint64_t written = connection_->requestBytesWrittenCount();
    if (written > lastBodyBytesWritten_ && uploadProgress_) {
        int64_t expected = int64_t(request_.HTTPBodyStream ? request_.HTTPBodyStreamLength : request_.HTTPBody.size());
        uploadProgress_(written - lastBodyBytesWritten_, int64_t(written), expected);
    }
    lastBodyBytesWritten_ = written;
    if (event == net::HttpReadStream::kEventErrorOccurred) {
        didFailWithError(httpErrorFromStream(connection_->error()));
        return;
    }
    if (!headSeen_) {
        const net::HttpResponseHead* head = connection_->responseHead();
        if (!head) return;
        headSeen_ = true;
        if (handleChallenge(*head)) return;
        didReceiveResponse(*head);
    }
    uint8_t buf[16384];
    long n;
    while (connection_ && (n = connection_->read(buf, sizeof buf)) > 0) {
        didReceiveData(buf, size_t(n));
        if (isFinished()) return;
    }
    if (event == net::HttpReadStream::kEventEndEncountered) didFinishLoading();
}

bool UcURLConnectionOperation::handleChallenge(const net::HttpResponseHead& head) {
    if (head.statusCode != 401) return false;
    UcAuthenticationChallenge challenge;
    challenge.previousFailureCount = previousFailureCount_;
    challenge.host = request_.url.host();
    challenge.port = request_.url.effectivePort();
    if (const std::string* www = head.headers.get("WWW-Authenticate")) {
        challenge.authenticationMethod = www->substr(0, www->find(' '));
        challenge.realm = headerParameter(*www, "realm");
    }
    std::optional<UcCredential> credential;
    if (authenticationBlock_) {
        credential = authenticationBlock_(challenge);
    } else if (previousFailureCount_ == 0 && request_.url.hasUserInfo() && !request_.url.user().empty() &&
               !request_.url.password().empty()) {
        // Credentials written in the URL serve this request only.
        credential =
            UcCredential{foundation::percentUnescape(request_.url.user()).value_or(request_.url.user()),
                         foundation::percentUnescape(request_.url.password()).value_or(request_.url.password())};
    }
    if (!credential || foundation::toLower(challenge.authenticationMethod) != "basic") return false;
    ++previousFailureCount_;
    connection_->close();
    connection_.reset();
    openConnection(credential);
    return true;
}

void UcURLConnectionOperation::didReceiveResponse(const net::HttpResponseHead& head) {
    UcHTTPURLResponse r;
    r.url = request_.url;
    r.statusCode = head.statusCode;
    r.allHeaderFields = head.headers.dictionary();
    auto type = HttpRequest::parseMimeType(head.headers.get("Content-Type")
                                               ? std::optional<std::string>(*head.headers.get("Content-Type"))
                                               : std::nullopt);
    r.MIMEType = type.mimeType.value_or("");
    if (const std::string* ct = head.headers.get("Content-Type")) {
        std::string charset = headerParameter(*ct, "charset");
        if (!charset.empty()) r.textEncodingName = charset;
    }
    if (const std::string* length = head.headers.get("Content-Length")) {
        if (auto v = net::parseContentLength(*length)) r.expectedContentLength = int64_t(*v);
    }
    response_ = r;
    if (outputStream_) {
        if (!outputStream_->open()) {
            didFailWithError(ucError(-3000, "The output stream cannot be opened: " + outputStream_->streamError()));
            return;
        }
    } else {
        accumulatorCapacity_ = accumulatorCapacityForExpectedLength(r.expectedContentLength);
        dataAccumulator_.emplace();
        dataAccumulator_->reserve(accumulatorCapacity_);
    }
}

void UcURLConnectionOperation::didReceiveData(const uint8_t* data, size_t length) {
    totalBytesRead_ += int64_t(length);
    if (outputStream_) {
        // Every byte goes to the stream, or the operation fails: nothing is
        // dropped silently.
        size_t done = 0;
        while (done < length) {
            long n = outputStream_->hasSpaceAvailable() ? outputStream_->write(data + done, length - done) : -1;
            if (n <= 0) {
                didFailWithError(
                    ucError(-3001, "The output stream did not take the data: " + outputStream_->streamError()));
                return;
            }
            done += size_t(n);
        }
    } else if (dataAccumulator_) {
        dataAccumulator_->insert(dataAccumulator_->end(), data, data + length);
    }
    if (downloadProgress_)
        downloadProgress_(length, totalBytesRead_, response_ ? response_->expectedContentLength : -1);
}

void UcURLConnectionOperation::didFinishLoading() {
    if (outputStream_) {
        outputStream_->close();
    } else {
        responseData_ = dataAccumulator_ ? std::move(*dataAccumulator_) : Bytes();
        dataAccumulator_.reset();
    }
    finish();
}

void UcURLConnectionOperation::didFailWithError(HttpErrorRef error) {
    error_ = std::move(error);
    if (outputStream_)
        outputStream_->close();
    else
        dataAccumulator_.reset();
    finish();
}

void UcURLConnectionOperation::finish() {
    if (connection_) {
        connection_->close();
        connection_.reset();
    }
    if (!setState(OperationStateFinished)) return;
    operationDidFinish();
    std::function<void()> completion;
    {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        completion = std::move(completionBlock_);
        completionBlock_ = nullptr;  // the block no longer holds the operation
    }
    if (completion) completion();
    auto keep = std::move(keepAlive_);
}

void UcURLConnectionOperation::cancel() {
    if (isFinished()) return;
    auto self = shared_from_this();
    {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        StateObserver observer = stateObserver_;
        if (observer) observer("isCancelled", true);
        cancelled_ = true;
        if (observer) observer("isCancelled", false);
    }
    if (!isExecuting()) return;  // a ready operation finishes when it is started
    networkRequestThread().post([self] {
        std::lock_guard<std::recursive_mutex> lock(self->lock_);
        self->finish();
    });
}

// ---- HTTP rules --------------------------------------------------------------------

UcHTTPRequestOperation::UcHTTPRequestOperation(UcURLRequest request) : UcURLConnectionOperation(std::move(request)) {}

std::shared_ptr<UcHTTPRequestOperation> UcHTTPRequestOperation::operationWithRequest(UcURLRequest request) {
    return std::shared_ptr<UcHTTPRequestOperation>(new UcHTTPRequestOperation(std::move(request)));
}

std::vector<std::pair<int, int>> UcHTTPRequestOperation::acceptableStatusCodes() const {
    std::lock_guard<std::mutex> lock(httpMutex_);
    return acceptableStatusCodes_;
}
void UcHTTPRequestOperation::setAcceptableStatusCodes(std::vector<std::pair<int, int>> ranges) {
    std::lock_guard<std::mutex> lock(httpMutex_);
    acceptableStatusCodes_ = std::move(ranges);
}
std::optional<std::set<std::string>> UcHTTPRequestOperation::acceptableContentTypes() const {
    std::lock_guard<std::mutex> lock(httpMutex_);
    return acceptableContentTypes_;
}
void UcHTTPRequestOperation::setAcceptableContentTypes(std::optional<std::set<std::string>> types) {
    std::lock_guard<std::mutex> lock(httpMutex_);
    acceptableContentTypes_ = std::move(types);
}

bool UcHTTPRequestOperation::hasAcceptableStatusCode() const {
    auto r = response();
    if (!r) return false;
    for (const auto& [lo, hi] : acceptableStatusCodes())
        if (r->statusCode >= lo && r->statusCode <= hi) return true;
    return false;
}

bool UcHTTPRequestOperation::hasAcceptableContentType() const {
    auto types = acceptableContentTypes();
    auto r = response();
    return !types || (r && types->count(r->MIMEType) > 0);
}

bool UcHTTPRequestOperation::hasContent() const {
    auto d = responseData();
    return d && !d->empty();
}

std::string UcHTTPRequestOperation::describeRanges(const std::vector<std::pair<int, int>>& ranges) {
    std::string out = "(";
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (i) out += ", ";
        out += std::to_string(ranges[i].first);
        if (ranges[i].second != ranges[i].first) out += "-" + std::to_string(ranges[i].second);
    }
    return out + ")";
}

std::string UcHTTPRequestOperation::describeTypes(const std::set<std::string>& types) {
    std::string out = "(";
    for (const auto& t : types) out += (out.size() > 1 ? ", " : "") + t;
    return out + ")";
}

HttpErrorRef UcHTTPRequestOperation::error() const {
    std::lock_guard<std::mutex> lock(httpMutex_);
    auto r = response();
    if (r && !HTTPError_) {
        bool statusOk = false;
        for (const auto& [lo, hi] : acceptableStatusCodes_)
            if (r->statusCode >= lo && r->statusCode <= hi) statusOk = true;
        auto data = responseData();
        if (!statusOk) {
            HTTPError_ =
                ucError(kUcErrorBadStatusCode, "Expected status code " + describeRanges(acceptableStatusCodes_) +
                                                   ", got " + std::to_string(r->statusCode));
        } else if (data && !data->empty() && acceptableContentTypes_ && !acceptableContentTypes_->count(r->MIMEType)) {
            HTTPError_ =
                ucError(kUcErrorBadContentType,
                        "Expected content type " + describeTypes(*acceptableContentTypes_) + ", got " + r->MIMEType);
        }
    }
    if (HTTPError_) return HTTPError_;
    return UcURLConnectionOperation::error();
}

void UcHTTPRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) {
    std::weak_ptr<UcURLConnectionOperation> weak = weak_from_this();
    setCompletionBlock([weak, success, failure] {
        auto base = weak.lock();
        if (!base || base->isCancelled()) return;
        auto self = std::static_pointer_cast<UcHTTPRequestOperation>(base);
        if (auto e = self->error()) {
            if (failure) foundation::performOnMainThread([self, failure, e] { failure(*self, e); });
        } else if (success) {
            Bytes data = self->responseData().value_or(Bytes());
            foundation::performOnMainThread([self, success, data] { success(*self, data); });
        }
    });
}

// ---- the activity indicator ------------------------------------------------------------

UcNetworkActivityIndicatorManager& UcNetworkActivityIndicatorManager::sharedManager() {
    static auto* m = [] {
        auto* made = new UcNetworkActivityIndicatorManager();
        // Nothing in flight, nothing shown, and observing again: the
        // notification centre forgot every observer before this runs.
        foundation::registerResetter("urlconnection.activityIndicator", foundation::ResetPhase::SharedObject, [made] {
            std::lock_guard<std::recursive_mutex> lock(made->mutex_);
            if (made->timer_) made->timer_->invalidate();
            made->timer_.reset();
            made->activityCount_ = 0;
            made->shown_ = false;
            made->handler_ = nullptr;
            made->observe();
        });
        return made;
    }();
    return *m;
}

UcNetworkActivityIndicatorManager::UcNetworkActivityIndicatorManager() { observe(); }

void UcNetworkActivityIndicatorManager::observe() {
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.removeObserver(this);
    center.addObserver(this, kUcOperationStartNotification,
                       [this](const foundation::Notification&) { incrementActivityCount(); });
    center.addObserver(this, kUcOperationFinishNotification,
                       [this](const foundation::Notification&) { decrementActivityCount(); });
}

UcNetworkActivityIndicatorManager::~UcNetworkActivityIndicatorManager() {
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    if (timer_) timer_->invalidate();
}

bool UcNetworkActivityIndicatorManager::isEnabled() const { return foundation::lockedRead(mutex_, enabled_); }
void UcNetworkActivityIndicatorManager::setEnabled(bool on) { foundation::lockedWrite(mutex_, enabled_, on); }
int UcNetworkActivityIndicatorManager::activityCount() const { return foundation::lockedRead(mutex_, activityCount_); }
bool UcNetworkActivityIndicatorManager::isNetworkActivityIndicatorVisible() const { return activityCount() > 0; }
bool UcNetworkActivityIndicatorManager::indicatorShown() const { return foundation::lockedRead(mutex_, shown_); }
void UcNetworkActivityIndicatorManager::setIndicatorHandler(std::function<void(bool)> handler) {
    foundation::lockedWrite(mutex_, handler_, std::move(handler));
}

void UcNetworkActivityIndicatorManager::setActivityCount(int count) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    activityCount_ = std::max(0, count);
    countChanged();
}
void UcNetworkActivityIndicatorManager::incrementActivityCount() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ++activityCount_;
    countChanged();
}
void UcNetworkActivityIndicatorManager::decrementActivityCount() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    activityCount_ = std::max(0, activityCount_ - 1);
    countChanged();
}

void UcNetworkActivityIndicatorManager::countChanged() {
    if (!enabled_) return;
    if (isNetworkActivityIndicatorVisible()) {
        updateNetworkActivityIndicatorVisibility();
        return;
    }
    if (timer_) timer_->invalidate();
    timer_ = foundation::RunLoop::current().addTimer(
        0.25, false, [this](foundation::Timer&) { updateNetworkActivityIndicatorVisibility(); },
        foundation::kCommonModes);
}

void UcNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibility() {
    std::function<void(bool)> handler;
    bool visible;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        visible = activityCount_ > 0;
        if (visible == shown_) return;
        shown_ = visible;
        handler = handler_;
    }
    if (handler) handler(visible);
}

// ---- the loader ------------------------------------------------------------------------------

namespace {
std::mutex& queueMutex() {
    static std::mutex* m = new std::mutex();
    return *m;
}
std::vector<std::shared_ptr<UcHTTPRequestOperation>>& sharedOperations() {
    static auto* ops = [] {
        UcNetworkActivityIndicatorManager::sharedManager().setEnabled(true);
        auto* made = new std::vector<std::shared_ptr<UcHTTPRequestOperation>>();
        // Loads a case left running are cancelled without answering it.
        foundation::registerResetter("urlconnection.loads", foundation::ResetPhase::SharedObject, [made] {
            std::vector<std::shared_ptr<UcHTTPRequestOperation>> running;
            {
                std::lock_guard<std::mutex> lock(queueMutex());
                running.swap(*made);
            }
            for (auto& op : running) {
                op->setCompletionBlockWithSuccess(nullptr, nullptr);  // the case that waited is over
                op->cancel();
            }
        });
        return made;
    }();
    return *ops;
}
void forget(UcHTTPRequestOperation* op) {
    std::lock_guard<std::mutex> lock(queueMutex());
    std::erase_if(sharedOperations(), [op](const auto& o) { return o.get() == op; });
}
}  // namespace

std::function<void()> NetworkQueue::loadWithURLRequest(const UcURLRequest& request, Completion completion) {
    auto op = UcHTTPRequestOperation::operationWithRequest(request);
    op->setCompletionBlockWithSuccess(
        [completion](UcHTTPRequestOperation& o, const Bytes& data) {
            forget(&o);
            if (completion) completion(o.request(), o.response(), data, nullptr);
        },
        [completion](UcHTTPRequestOperation& o, HttpErrorRef error) {
            forget(&o);
            if (completion) completion(o.request(), o.response(), std::nullopt, error);
        });
    {
        std::lock_guard<std::mutex> lock(queueMutex());
        sharedOperations().push_back(op);
    }
    op->start();
    std::weak_ptr<UcHTTPRequestOperation> weak = op;
    return [weak] {
        if (auto o = weak.lock()) {
            o->cancel();
            forget(o.get());
        }
    };
}

void NetworkQueue::cancelAll() {
    std::vector<std::shared_ptr<UcHTTPRequestOperation>> all;
    {
        std::lock_guard<std::mutex> lock(queueMutex());
        all.swap(sharedOperations());
    }
    for (auto& o : all) o->cancel();
}

size_t NetworkQueue::operationCount() {
    std::lock_guard<std::mutex> lock(queueMutex());
    return sharedOperations().size();
}

}  // namespace http
