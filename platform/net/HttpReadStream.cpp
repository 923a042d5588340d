#include "platform/net/HttpReadStream.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

namespace net {
namespace {

constexpr size_t kReadChunk = 64 * 1024;
// Above this many unread body bytes the socket is not read until the client
// catches up.
constexpr size_t kHighWater = 256 * 1024;

StreamError ioError(int errnoValue, bool beforeEnd) {
    if (beforeEnd && (errnoValue == EPIPE || errnoValue == ECONNRESET || errnoValue == ENOTCONN))
        return StreamError::network(kNetworkConnectionLost, "The network connection was lost.");
    return StreamError::posix(errnoValue);
}

}  // namespace

std::shared_ptr<HttpReadStream> HttpReadStream::create(const HttpMessage& message, std::string body) {
    if (message.url().scheme() != "http") return nullptr;
    if (const std::string* declared = message.headerField("Content-Length")) {
        auto length = parseContentLength(*declared);
        if (!length || *length != body.size()) return nullptr;
    }
    std::string out = message.serializeHead(body.empty() ? std::nullopt : std::optional<size_t>(body.size()));
    size_t headLength = out.size();
    out += body;
    return std::shared_ptr<HttpReadStream>(new HttpReadStream(message, std::move(out), headLength));
}

HttpReadStream::HttpReadStream(const HttpMessage& message, std::string out, size_t headLength)
    : message_(message), out_(std::move(out)), headLength_(headLength), parser_(message.method()) {}

HttpReadStream::~HttpReadStream() { close(); }

ConnectionIdentity HttpReadStream::identity() const {
    return ConnectionIdentity{key_, message_.url().scheme(), message_.url().host(), message_.url().effectivePort()};
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
    if (phase_ == Phase::Resolving && resolved_) {
        if (resolveError_)
            fail(resolveError_);
        else
            connectNext();
    }
}

void HttpReadStream::start() {
    if (parked_.valid()) {
        Socket parked = std::move(parked_);
        if (parked.isIdleAndOpen()) {  // the server may have closed it while idle
            socket_ = std::move(parked);
            reused_ = true;
            onConnected();
            return;
        }
    }
    phase_ = Phase::Resolving;
    startResolve();
}

void HttpReadStream::startResolve() {
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    std::shared_ptr<ResolveTarget> target = resolveTarget_;
    Resolver::resolve(message_.url().host(), message_.url().effectivePort(),
                      [weak, target](std::vector<SocketAddress> addresses, StreamError error) {
                          std::lock_guard<std::mutex> lock(target->mutex);
                          if (!target->loop) return;  // the stream was closed
                          if (target->loop->isCurrent()) {  // answered at once, on the stream's thread
                              if (auto self = weak.lock()) self->onResolved(std::move(addresses), std::move(error));
                              return;
                          }
                          target->loop->post(
                              [weak, addresses = std::move(addresses), error = std::move(error)]() mutable {
                                  if (auto self = weak.lock()) {
                                      self->onResolved(std::move(addresses), std::move(error));
                                      if (self->scheduled_) self->pump();
                                  }
                              },
                              target->mode);
                      });
}

void HttpReadStream::onResolved(std::vector<SocketAddress> addresses, StreamError error) {
    if (phase_ != Phase::Resolving || resolved_) return;
    resolved_ = true;
    addresses_ = std::move(addresses);
    resolveError_ = std::move(error);
    addressIndex_ = 0;
}

void HttpReadStream::connectNext() {
    while (addressIndex_ < addresses_.size()) {
        bool connected = false;
        StreamError err;
        Socket s = Socket::startConnect(addresses_[addressIndex_], connected, err);
        if (!s.valid()) {
            lastConnectError_ = err;
            ++addressIndex_;
            continue;
        }
        socket_ = std::move(s);
        if (connected) {
            onConnected();
        } else {
            phase_ = Phase::Connecting;
            updateWatch();
        }
        return;
    }
    fail(lastConnectError_ ? lastConnectError_
                           : StreamError::network(kNetworkCannotConnect, "Could not connect to the server."));
}

void HttpReadStream::onConnected() {
    phase_ = Phase::Sending;
    sendSome();
}

void HttpReadStream::onSocketEvent(short revents) {
    if (!scheduled_) return;
    switch (phase_) {
    case Phase::Connecting:
        if (revents & (POLLOUT | POLLERR | POLLHUP)) {
            StreamError err = socket_.connectResult();
            if (err) {
                if (watch_) {
                    watch_->cancel();
                    watch_.reset();
                }
                socket_.close();
                lastConnectError_ = err;
                ++addressIndex_;
                connectNext();
            } else {
                onConnected();
            }
        }
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
    while (written_ < out_.size()) {
        IoResult r = socket_.write(out_.data() + written_, out_.size() - written_);
        if (r.kind == IoResult::Kind::WouldBlock) {
            updateWatch();
            return;
        }
        if (r.kind == IoResult::Kind::Failed) {
            fail(ioError(r.errnoValue, true));
            return;
        }
        written_ += r.bytes;
        bodyBytesWritten_ = written_ > headLength_ ? written_ - headLength_ : 0;
    }
    std::string().swap(out_);
    phase_ = Phase::Receiving;
    updateWatch();
}

void HttpReadStream::receiveSome() {
    if (!readBuffer_) readBuffer_.reset(new char[kReadChunk]);
    while (phase_ == Phase::Receiving && body_.size() - bodyOffset_ < kHighWater) {
        IoResult r = socket_.read(readBuffer_.get(), kReadChunk);
        if (r.kind == IoResult::Kind::WouldBlock) break;
        if (r.kind == IoResult::Kind::Failed) {
            fail(ioError(r.errnoValue, true));
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
    bool keep = persistent_ && hasKey_ && !extraBytes_ && head.allowsKeepAlive() &&
                parser_.framing() != HttpResponseParser::Framing::UntilClose;
    if (keep)
        parkToken_ = ConnectionCache::shared().park(identity(), std::move(socket_));
    else
        socket_.close();
}

void HttpReadStream::fail(StreamError error) {
    phase_ = Phase::Failed;
    error_ = std::move(error);
    if (watch_) {
        watch_->cancel();
        watch_.reset();
    }
    socket_.close();
}

void HttpReadStream::updateWatch() {
    short events = 0;
    if (scheduled_ && socket_.valid()) {
        if (phase_ == Phase::Connecting || phase_ == Phase::Sending) events = POLLOUT;
        if (phase_ == Phase::Receiving && body_.size() - bodyOffset_ < kHighWater) events = POLLIN;
    }
    if (events == 0) {
        if (watch_) {
            watch_->cancel();
            watch_.reset();
        }
        return;
    }
    if (watch_ && watchedFd_ == socket_.fd() && watch_->isActive()) {
        if (watch_->events() != events) watch_->setEvents(events);
        return;
    }
    if (watch_) watch_->cancel();
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    watchedFd_ = socket_.fd();
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
    // Inside deliver() the end follows at once; otherwise it needs a turn.
    if (phase_ == Phase::Finished && !hasBytesAvailable() && !endDelivered_ && !delivering_) postPump();
    return long(n);
}

const HttpResponseHead* HttpReadStream::responseHead() const {
    return parser_.headComplete() ? &parser_.head() : nullptr;
}

HttpReadStream::Status HttpReadStream::status() const {
    switch (phase_) {
    case Phase::Idle: return Status::NotOpen;
    case Phase::Waiting:
    case Phase::Resolving:
    case Phase::Connecting:
    case Phase::Sending: return Status::Opening;
    case Phase::Receiving: return Status::Open;
    case Phase::Finished: return hasBytesAvailable() ? Status::Open : Status::AtEnd;
    case Phase::Failed: return Status::Error;
    case Phase::Closed: return Status::Closed;
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
    socket_.close();
    parked_.close();
    if (parkToken_) {
        ConnectionCache::shared().closeParked(parkToken_);
        parkToken_ = 0;
    }
    client_ = nullptr;
    mask_ = 0;
}

}  // namespace net
