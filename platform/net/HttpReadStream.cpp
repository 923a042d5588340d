#include "platform/net/HttpReadStream.h"

#include <poll.h>

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>

namespace net {
namespace {

constexpr size_t kReadChunk = 64 * 1024;
// Above this many unread body bytes the socket is not read until the client
// catches up.
constexpr size_t kHighWater = 256 * 1024;

StreamError ioError(int errnoValue, bool beforeEnd = true) {
    if (beforeEnd && (errnoValue == EPIPE || errnoValue == ECONNRESET || errnoValue == ENOTCONN))
        return StreamError::network(kNetworkConnectionLost, "The network connection was lost.");
    return StreamError::posix(errnoValue);
}

}  // namespace

std::shared_ptr<HttpReadStream> HttpReadStream::create(const HttpMessage& message, std::string body) {
    if (message.url().scheme() != "http" && message.url().scheme() != "https") return nullptr;
    if (const std::string* declared = message.headerField("Content-Length")) {
        auto length = parseContentLength(*declared);
        if (!length || *length != body.size()) return nullptr;
    }
    std::string out = message.serializeHead(body.empty() ? std::nullopt : std::optional<size_t>(body.size()));
    size_t headLength = out.size();
    out += body;
    return std::shared_ptr<HttpReadStream>(new HttpReadStream(message, std::move(out), headLength));
}

std::shared_ptr<HttpReadStream> HttpReadStream::createStreamed(const HttpMessage& message,
                                                               std::shared_ptr<InputStream> body, uint64_t length) {
    if (!body) return create(message);
    if (message.url().scheme() != "http" && message.url().scheme() != "https") return nullptr;
    if (const std::string* declared = message.headerField("Content-Length")) {
        auto declaredLength = parseContentLength(*declared);
        if (!declaredLength || *declaredLength != length) return nullptr;
    }
    std::string out = message.serializeHead(std::optional<size_t>(size_t(length)));
    size_t headLength = out.size();
    auto stream = std::shared_ptr<HttpReadStream>(new HttpReadStream(message, std::move(out), headLength));
    stream->bodySource_ = std::move(body);
    stream->bodyLength_ = length;
    return stream;
}

HttpReadStream::HttpReadStream(const HttpMessage& message, std::string out, size_t headLength)
    : message_(message), out_(std::move(out)), headLength_(headLength), parser_(message.method()) {}

HttpReadStream::~HttpReadStream() { close(); }

std::string HttpReadStream::route() const {
    if (usesSocksProxy()) return "socks " + socksProxy_.host + ":" + std::to_string(socksProxy_.port);
    if (usesHttpProxy()) return "http-proxy " + connectHost() + ":" + std::to_string(connectPort());
    return "direct";
}

ConnectionIdentity HttpReadStream::identity() const {
    const Url& u = message_.url();
    return ConnectionIdentity{
        key_, u.scheme(), u.host(), u.effectivePort(), route(), u.scheme() == "https" ? ssl_ : SslSettings{}};
}

bool HttpReadStream::setClient(unsigned mask, Client client) {
    if (mask == 0 || !client) {
        mask_ = 0;
        client_ = nullptr;
        return true;
    }
    mask_ = mask;
    client_ = std::move(client);
    postPump();
    return true;
}

void HttpReadStream::scheduleWithRunLoop(foundation::RunLoop& loop, const std::string& mode) {
    if (phase_ == Phase::Closed) return;
    if (scheduled_ && loop_ == &loop && mode_ == mode) return;
    if (watch_) {
        watch_->cancel();
        watch_.reset();
    }
    loop_ = &loop;
    mode_ = mode;
    {
        std::lock_guard<std::mutex> lock(resolveTarget_->mutex);
        resolveTarget_->loop = &loop;
        resolveTarget_->mode = mode;
    }
    scheduled_ = true;
    pumpPosted_ = false;
    // Body bytes buffered while unscheduled are announced again.
    if (hasBytesAvailable()) newBodyBytes_ = true;
    updateWatch();
    if (phase_ != Phase::Idle) postPump();
}

void HttpReadStream::unscheduleFromRunLoop(foundation::RunLoop& loop, const std::string& mode) {
    if (!scheduled_ || loop_ != &loop || mode_ != mode) return;
    scheduled_ = false;
    if (watch_) {
        watch_->cancel();
        watch_.reset();
    }
}

bool HttpReadStream::open() {
    if (phase_ != Phase::Idle) return false;
    phase_ = Phase::Waiting;
    if (persistent_ && hasKey_) {
        if (auto parked = ConnectionCache::shared().take(identity())) parked_ = std::move(*parked);
    }
    if (scheduled_ && loop_->isCurrent()) {
        // Start at once; events still wait for the loop, never inside open().
        advance();
        if (phase_ == Phase::Failed) postPump();
    } else {
        postPump();
    }
    return true;
}

void HttpReadStream::postPump() {
    if (!scheduled_ || pumpPosted_ || !loop_) return;
    pumpPosted_ = true;
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    foundation::RunLoop* loop = loop_;
    loop_->post(
        [weak, loop] {
            auto self = weak.lock();
            if (!self || self->loop_ != loop) return;
            self->pumpPosted_ = false;
            self->pump();
        },
        mode_);
}

void HttpReadStream::pump() {
    if (!scheduled_) return;
    advance();
    if (scheduled_) deliver();
}

void HttpReadStream::advance() {
    if (phase_ == Phase::Waiting) start();
    if (phase_ == Phase::Receiving && conn_.tls && conn_.tls->hasPendingBytes()) receiveSome();
    // A stage waiting for no socket event (the name look-up) is asked again.
    if (phase_ == Phase::Connecting && stageIndex_ < stages_.size() && stageEvents_ == 0) runStages(0);
}

bool HttpReadStream::usesHttpProxy() const {
    if (usesSocksProxy()) return false;
    if (message_.url().scheme() == "https") return !httpProxy_.httpsHost.empty() && httpProxy_.httpsPort > 0;
    return !httpProxy_.httpHost.empty() && httpProxy_.httpPort > 0;
}

std::string HttpReadStream::connectHost() const {
    if (usesSocksProxy()) return socksProxy_.host;
    if (usesHttpProxy()) return message_.url().scheme() == "https" ? httpProxy_.httpsHost : httpProxy_.httpHost;
    return message_.url().host();
}

int HttpReadStream::connectPort() const {
    if (usesSocksProxy()) return socksProxy_.port;
    if (usesHttpProxy()) return message_.url().scheme() == "https" ? httpProxy_.httpsPort : httpProxy_.httpPort;
    return message_.url().effectivePort();
}

void HttpReadStream::start() {
    if (usesHttpProxy() && message_.url().scheme() == "http") {
        // To a proxy the request line names the whole URL.
        size_t first = out_.find(' ');
        size_t second = first == std::string::npos ? std::string::npos : out_.find(' ', first + 1);
        if (second != std::string::npos) {
            const Url& u = message_.url();
            std::string target = u.scheme() + "://" + u.hostHeader() + u.requestTarget();
            size_t before = second - first - 1;
            out_.replace(first + 1, before, target);
            headLength_ = headLength_ + target.size() - before;
        }
    }
    if (parked_.socket.valid()) {
        Connection parked = std::move(parked_);
        if (parked.isIdleAndOpen()) {  // the server may have closed it while idle
            conn_ = std::move(parked);
            reused_ = true;
            beginExchange();
            return;
        }
    }
    planStages();
    runStages(0);
}

// The transport stages this request needs on a new connection.
void HttpReadStream::planStages() {
    const Url& u = message_.url();
    stages_.clear();
    // The answer is delivered on the loop the stream is scheduled on; once
    // the stream is closed, a late answer reaches nothing.
    auto addresses = std::make_shared<ResolvedAddresses>();
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    std::shared_ptr<ResolveTarget> target = resolveTarget_;
    auto wake = [weak, target] {
        std::lock_guard<std::mutex> lock(target->mutex);
        if (!target->loop || target->loop->isCurrent()) return;  // closed, or answered within the step
        target->loop->post(
            [weak] {
                if (auto self = weak.lock())
                    if (self->scheduled_) self->pump();
            },
            target->mode);
    };
    stages_.push_back(std::make_unique<ResolveStage>(connectHost(), connectPort(), addresses, std::move(wake)));
    stages_.push_back(std::make_unique<ConnectStage>(addresses));
    if (usesSocksProxy())
        stages_.push_back(std::make_unique<SocksStage>(u.host(), u.effectivePort()));
    else if (usesHttpProxy() && u.scheme() == "https")
        stages_.push_back(std::make_unique<ConnectTunnelStage>(u.host(), u.effectivePort(),
                                                               message_.headerField("Proxy-Authorization")));
    if (u.scheme() == "https") stages_.push_back(std::make_unique<TlsStage>(u.host(), ssl_));
    stageIndex_ = 0;
    phase_ = Phase::Connecting;
}

void HttpReadStream::runStages(short revents) {
    while (stageIndex_ < stages_.size()) {
        // Connecting may move on to another address (and file descriptor):
        // its watch is made anew for each wait.
        if (stages_[stageIndex_]->opensSockets() && watch_) {
            watch_->cancel();
            watch_.reset();
        }
        StageResult r = stages_[stageIndex_]->step(conn_, revents);
        revents = 0;
        switch (r.kind) {
            case StageResult::Kind::Wait:
                stageEvents_ = r.events;
                updateWatch();
                return;
            case StageResult::Kind::Failed:
                stages_.clear();
                fail(std::move(r.error));
                return;
            case StageResult::Kind::Answered:
                stages_.clear();
                takeProxyAnswer(std::move(r.reply));
                return;
            case StageResult::Kind::Done:
                ++stageIndex_;
                break;
        }
    }
    stages_.clear();
    beginExchange();
}

void HttpReadStream::beginExchange() {
    phase_ = Phase::Sending;
    sendSome();
}

void HttpReadStream::takeProxyAnswer(std::string reply) {
    // The connection is the proxy's, not the origin's: it is not kept.
    noReuse_ = true;
    responseBytesReceived_ += reply.size();
    std::string().swap(out_);
    phase_ = Phase::Receiving;
    parser_.feed(reply.data(), reply.size(), body_);
    if (parser_.state() == HttpResponseParser::State::Failed) {
        fail(parser_.error());
        return;
    }
    if (parser_.done()) {
        finishSocket();
        return;
    }
    receiveSome();
}

IoResult HttpReadStream::ioRead(void* buffer, size_t length) {
    ioError_ = StreamError{};
    return conn_.read(buffer, length, ioError_);
}

IoResult HttpReadStream::ioWrite(const void* data, size_t length) {
    ioError_ = StreamError{};
    return conn_.write(data, length, ioError_);
}

bool HttpReadStream::refillBody() {
    if (!bodySource_ || bodyRead_ >= bodyLength_) return false;
    size_t want = size_t(std::min<uint64_t>(kReadChunk, bodyLength_ - bodyRead_));
    std::string chunk(want, '\0');
    long n = bodySource_->read(reinterpret_cast<uint8_t*>(chunk.data()), want);
    if (n <= 0) {
        fail(StreamError::network(kNetworkBodyStreamFailed, n < 0 ? "The request body could not be read"
                                                                  : "The request body ended before its length"));
        return false;
    }
    chunk.resize(size_t(n));
    bodyRead_ += uint64_t(n);
    out_ = std::move(chunk);
    written_ = 0;
    return true;
}

void HttpReadStream::onSocketEvent(short revents) {
    if (!scheduled_) return;
    switch (phase_) {
        case Phase::Connecting:
            runStages(revents);
            break;
        case Phase::Sending:
            sendSome();
            break;
        case Phase::Receiving:
            receiveSome();
            break;
        default:
            break;
    }
    if (scheduled_) deliver();
}

void HttpReadStream::sendSome() {
    while (written_ < out_.size() || refillBody()) {
        IoResult r = ioWrite(out_.data() + written_, out_.size() - written_);
        if (r.kind == IoResult::Kind::WouldBlock) {
            updateWatch();
            return;
        }
        if (r.kind == IoResult::Kind::Failed || r.kind == IoResult::Kind::End) {
            fail(ioError_ ? ioError_ : ioError(r.errnoValue ? r.errnoValue : EPIPE, true));
            return;
        }
        written_ += r.bytes;
        totalWritten_ += r.bytes;
        bodyBytesWritten_ = totalWritten_ > headLength_ ? totalWritten_ - headLength_ : 0;
    }
    if (phase_ != Phase::Sending) return;  // the body source failed
    bodySource_.reset();                   // the whole body is out
    std::string().swap(out_);
    phase_ = Phase::Receiving;
    updateWatch();
}

void HttpReadStream::receiveSome() {
    if (!readBuffer_) readBuffer_.reset(new char[kReadChunk]);
    while (phase_ == Phase::Receiving && body_.size() - bodyOffset_ < kHighWater) {
        IoResult r = ioRead(readBuffer_.get(), kReadChunk);
        if (r.kind == IoResult::Kind::WouldBlock) break;
        if (r.kind == IoResult::Kind::Failed) {
            fail(ioError_ ? ioError_ : ioError(r.errnoValue, true));
            return;
        }
        if (r.kind == IoResult::Kind::End) {
            parser_.feedEnd();
            if (parser_.state() == HttpResponseParser::State::Failed)
                fail(parser_.error());
            else
                finishSocket();
            return;
        }
        responseBytesReceived_ += r.bytes;
        size_t before = body_.size() - bodyOffset_;
        size_t used = 0;
        while (used < r.bytes && parser_.state() != HttpResponseParser::State::Done &&
               parser_.state() != HttpResponseParser::State::Failed)
            used += parser_.feed(readBuffer_.get() + used, r.bytes - used, body_);
        if (body_.size() - bodyOffset_ > before) newBodyBytes_ = true;
        if (parser_.state() == HttpResponseParser::State::Failed) {
            fail(parser_.error());
            return;
        }
        if (parser_.done()) {
            extraBytes_ = used < r.bytes;
            finishSocket();
            return;
        }
    }
    updateWatch();
}

void HttpReadStream::finishSocket() {
    phase_ = Phase::Finished;
    if (watch_) {
        watch_->cancel();
        watch_.reset();
    }
    const HttpResponseHead& head = parser_.head();
    bool keep = persistent_ && hasKey_ && !noReuse_ && !extraBytes_ && head.allowsKeepAlive() &&
                parser_.framing() != HttpResponseParser::Framing::UntilClose && !parser_.framingConflicts();
    if (keep)
        parkToken_ = ConnectionCache::shared().park(identity(), std::move(conn_));
    else
        conn_.close();
}

void HttpReadStream::fail(StreamError error) {
    phase_ = Phase::Failed;
    error_ = std::move(error);
    if (watch_) {
        watch_->cancel();
        watch_.reset();
    }
    conn_.close();
}

void HttpReadStream::updateWatch() {
    short events = 0;
    if (scheduled_ && conn_.socket.valid()) {
        if (phase_ == Phase::Connecting) events = stageEvents_;
        if (phase_ == Phase::Sending) events = POLLOUT;
        if (phase_ == Phase::Receiving && body_.size() - bodyOffset_ < kHighWater) events = POLLIN;
        if (conn_.tls && phase_ != Phase::Connecting && events && conn_.tls->wantedEvents())
            events = conn_.tls->wantedEvents();
    }
    if (events == 0) {
        if (watch_) {
            watch_->cancel();
            watch_.reset();
        }
        return;
    }
    if (watch_ && watchedFd_ == conn_.socket.fd() && watch_->isActive()) {
        if (watch_->events() != events) watch_->setEvents(events);
        return;
    }
    if (watch_) watch_->cancel();
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    watchedFd_ = conn_.socket.fd();
    watch_ = loop_->watchFd(
        watchedFd_, events,
        [weak](int, short revents) {
            if (auto self = weak.lock()) self->onSocketEvent(revents);
        },
        mode_);
}

void HttpReadStream::emit(unsigned event) {
    if (!client_ || !(mask_ & event)) return;
    Client client = client_;  // the client may replace itself or close the stream
    client(event);
}

void HttpReadStream::deliver() {
    if (!scheduled_ || !client_) return;
    auto self = shared_from_this();
    if (phase_ == Phase::Failed) {
        if (!errorDelivered_) {
            errorDelivered_ = true;
            emit(kEventErrorOccurred);
        }
        return;
    }
    if (phase_ != Phase::Receiving && phase_ != Phase::Finished) return;
    if (!parser_.headComplete()) return;
    bool signal = false;
    if (!headDelivered_) {
        headDelivered_ = true;
        signal = true;
    } else if (newBodyBytes_ && hasBytesAvailable()) {
        signal = true;
    }
    if (signal) {
        newBodyBytes_ = false;
        size_t before = bodyOffset_;
        delivering_ = true;
        emit(kEventHasBytesAvailable);
        delivering_ = false;
        if (phase_ == Phase::Closed || !scheduled_) return;
        if (hasBytesAvailable() && bodyOffset_ != before) {
            // The client took some: tell it again about the rest on the next turn.
            newBodyBytes_ = true;
            postPump();
            return;
        }
    }
    if (phase_ == Phase::Finished && !hasBytesAvailable() && !endDelivered_) {
        endDelivered_ = true;
        emit(kEventEndEncountered);
    }
}

long HttpReadStream::read(uint8_t* buffer, size_t maxLength) {
    if (phase_ == Phase::Failed) return -1;
    size_t available = body_.size() - bodyOffset_;
    size_t n = std::min(available, maxLength);
    if (n > 0) {
        std::memcpy(buffer, body_.data() + bodyOffset_, n);
        bodyOffset_ += n;
        if (bodyOffset_ == body_.size()) {
            body_.clear();
            bodyOffset_ = 0;
        } else if (bodyOffset_ > kHighWater) {
            body_.erase(0, bodyOffset_);
            bodyOffset_ = 0;
        }
    }
    if (phase_ == Phase::Receiving && !watch_) updateWatch();
    if (phase_ == Phase::Receiving && conn_.tls && conn_.tls->hasPendingBytes()) postPump();
    // Inside deliver() the end follows at once; otherwise it needs a turn.
    if (phase_ == Phase::Finished && !hasBytesAvailable() && !endDelivered_ && !delivering_) postPump();
    return long(n);
}

const HttpResponseHead* HttpReadStream::responseHead() const {
    return parser_.headComplete() ? &parser_.head() : nullptr;
}

HttpReadStream::Status HttpReadStream::status() const {
    switch (phase_) {
        case Phase::Idle:
            return Status::NotOpen;
        case Phase::Waiting:
        case Phase::Connecting:
        case Phase::Sending:
            return Status::Opening;
        case Phase::Receiving:
            return Status::Open;
        case Phase::Finished:
            return hasBytesAvailable() ? Status::Open : Status::AtEnd;
        case Phase::Failed:
            return Status::Error;
        case Phase::Closed:
            return Status::Closed;
    }
    return Status::Closed;
}

void HttpReadStream::close() {
    if (phase_ == Phase::Closed) return;
    phase_ = Phase::Closed;
    scheduled_ = false;
    {
        std::lock_guard<std::mutex> lock(resolveTarget_->mutex);
        resolveTarget_->loop = nullptr;
    }
    if (watch_) {
        watch_->cancel();
        watch_.reset();
    }
    stages_.clear();
    conn_.close();
    parked_.close();
    if (parkToken_) {
        ConnectionCache::shared().closeParked(parkToken_);
        parkToken_ = 0;
    }
    client_ = nullptr;
    mask_ = 0;
}

}  // namespace net
