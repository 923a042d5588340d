#include "lib/analytics/TrkDataDispatcher.h"

#include <poll.h>

#include <algorithm>
#include <cstdlib>

#include "lib/analytics/TrkUtils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

TrkCollectorAddress trkCollectorAddress() {
    TrkCollectorAddress address;
    const char* env = std::getenv("QUENTA_ANALYTICS_URL");
    if (!env || !*env) return address;
    std::string url = env;
    size_t scheme = url.find("://");
    if (scheme != std::string::npos) url = url.substr(scheme + 3);
    size_t slash = url.find('/');
    std::string authority = url.substr(0, slash);
    std::string path = slash == std::string::npos ? "" : url.substr(slash);
    while (!path.empty() && path.back() == '/') path.pop_back();
    std::string host = authority;
    std::string port;
    if (!authority.empty() && authority.front() == '[') {
        size_t close = authority.find(']');
        if (close != std::string::npos) {
            host = authority.substr(1, close - 1);
            if (close + 1 < authority.size() && authority[close + 1] == ':') port = authority.substr(close + 2);
        }
    } else {
        size_t colon = authority.rfind(':');
        if (colon != std::string::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
    }
    if (host.empty()) return address;
    address.host = host;
    if (!port.empty()) {
        char* end = nullptr;
        long p = std::strtol(port.c_str(), &end, 10);
        if (end && *end == '\0' && p > 0 && p <= 65535) address.port = static_cast<int>(p);
    }
    address.pathPrefix = path;
    return address;
}

std::shared_ptr<TrkDataDispatcher> TrkDataDispatcher::create(TrkDataDispatcherDelegate* delegate,
                                                             const std::string& product, const std::string& version,
                                                             foundation::RunLoop* runLoop, std::recursive_mutex* lock) {
    return std::shared_ptr<TrkDataDispatcher>(new TrkDataDispatcher(delegate, product, version, runLoop, lock));
}

TrkDataDispatcher::TrkDataDispatcher(TrkDataDispatcherDelegate* delegate, const std::string& product,
                                     const std::string& version, foundation::RunLoop* runLoop,
                                     std::recursive_mutex* lock)
    : delegate_(delegate),
      responseParser_(this),
      runLoop_(runLoop ? runLoop : &foundation::RunLoop::main()),
      lock_(lock ? lock : &ownLock_) {
    TrkCollectorAddress address = trkCollectorAddress();
    destinationHost_ = address.host;
    destinationPort_ = address.port;
    destinationPathPrefix_ = address.pathPrefix;
    const foundation::DeviceInfo device = foundation::device();
    userAgent_ = foundation::format("%s/%s (%s; U; CPU %s %s like Mac OS X; %s-%s)", product.c_str(), version.c_str(),
                                    device.model.c_str(), device.systemName.c_str(), device.systemVersion.c_str(),
                                    TrkUtils::systemLanguage().c_str(), TrkUtils::systemCountry().c_str());
    socketClass_ = [this](TrkTCPSocketDelegate* d) { return TrkTCPSocket::create(d, runLoop_, lock_); };
}

TrkDataDispatcher::~TrkDataDispatcher() {
    if (backoff_) backoff_->invalidate();
    if (timeLimit_) timeLimit_->invalidate();
    if (socket_) {
        socket_->setDelegate(nullptr);
        socket_->close();
    }
}

void TrkDataDispatcher::injectSocketClass(SocketClass socketClass) {
    socketInjected_ = static_cast<bool>(socketClass);
    if (socketClass) {
        socketClass_ = std::move(socketClass);
    } else {
        socketClass_ = [this](TrkTCPSocketDelegate* d) { return TrkTCPSocket::create(d, runLoop_, lock_); };
    }
}

std::shared_ptr<TrkTCPSocket> TrkDataDispatcher::makeSocket() { return socketClass_(this); }

void TrkDataDispatcher::shutdown() {
    delegate_ = nullptr;
    if (backoff_) backoff_->invalidate();
    backoff_.reset();
    if (timeLimit_) timeLimit_->invalidate();
    timeLimit_.reset();
    closeConnection();
    pendingHits_.clear();
    responseParser_.reset();
}

void TrkDataDispatcher::dispatchHits(const std::vector<TrkHit>& hits) {
    if (isDispatching()) return;
    sendingSynchronously_ = false;
    pendingHits_.insert(pendingHits_.end(), hits.begin(), hits.end());
    if (pendingHits_.empty()) {
        finishDispatch();
        return;
    }
    sequentialRequests_ = 0;
    hitsDispatched_ = 0;
    // A server error, or a collector that could not be reached, delays the
    // next dispatch by a random part of an interval that doubles up to 256 s.
    bool backOff = !socketInjected_ && (lastStatusCode_ == 500 || lastStatusCode_ == 503 || connectFailed_);
    if (backOff) {
        double fraction = TrkUtils::random32() / 4294967295.0;
        double delay = retryInterval_ * fraction;
        if (retryInterval_ < kTrkMaxRetryInterval) retryInterval_ *= 2;
        std::weak_ptr<TrkDataDispatcher> weak = weak_from_this();
        backoff_ = runLoop_->performAfter(
            delay,
            [weak] {
                auto self = weak.lock();
                if (!self) return;
                std::lock_guard<std::recursive_mutex> guard(*self->lock_);
                if (!self->backoff_) return;
                self->backoff_.reset();
                self->dispatchPendingHits();
            },
            foundation::kDefaultMode);
        return;
    }
    retryInterval_ = kTrkInitialRetryInterval;
    dispatchPendingHits();
}

void TrkDataDispatcher::constructRequest() {
    pendingRequest_.clear();
    written_ = 0;
    size_t limit = pipelineMode_ ? kTrkMaxHitsPerBatch : 1;
    size_t n = std::min(limit, pendingHits_.size());
    for (size_t i = 0; i < n; ++i) pendingRequest_ += constructRequestFromHit(pendingHits_[i]);
}

std::string TrkDataDispatcher::constructRequestFromHit(TrkHit& hit) {
    // A hit sent again (after a fall-back to one request per connection)
    // keeps the queue time it got the first time.
    if (hit.hitString().find("&utmqt=") == std::string::npos) {
        hit.setHitString(TrkUtils::addQueueTimeParameter(hit.hitString(), TrkUtils::currentTimeMillis()));
    }
    const std::string& text = hit.hitString();
    std::string request;
    if (text.size() <= kTrkMaxGetLength) {
        request = "GET " + destinationPathPrefix_ + text + " HTTP/1.1\r\nHost: " + destinationHost_ +
                  "\r\nUser-Agent: " + userAgent_ + "\r\n\r\n";
    } else {
        size_t q = text.find('?');
        std::string path = text.substr(0, q);
        std::string body;
        if (q != std::string::npos) {
            size_t second = text.find('?', q + 1);
            body = text.substr(q + 1, second == std::string::npos ? std::string::npos : second - q - 1);
        }
        request = "POST " + destinationPathPrefix_ + "/p" + path + " HTTP/1.1\r\nHost: " + destinationHost_ +
                  "\r\nUser-Agent: " + userAgent_ +
                  "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }
    if (debug_) foundation::log(request);
    return request;
}

void TrkDataDispatcher::armTimeLimit() {
    if (timeLimit_) timeLimit_->invalidate();
    std::weak_ptr<TrkDataDispatcher> weak = weak_from_this();
    timeLimit_ = runLoop_->performAfter(
        kTrkDispatchTimeLimit,
        [weak] {
            auto self = weak.lock();
            if (!self) return;
            std::lock_guard<std::recursive_mutex> guard(*self->lock_);
            if (!self->timeLimit_) return;
            self->timeLimit_.reset();
            if (self->debug_) foundation::log("dispatch timed out");
            self->finishDispatch();
        },
        foundation::kDefaultMode);
}

void TrkDataDispatcher::dispatchPendingHits() {
    constructRequest();
    responseParser_.reset();
    ++sequentialRequests_;
    armTimeLimit();
    if (socket_) {
        sendData();
        return;
    }
    socket_ = makeSocket();
    if (!socket_) {
        connectFailed_ = true;
        finishDispatch();
        return;
    }
    socket_->connect(destinationHost_, destinationPort_, false);
}

void TrkDataDispatcher::sendData() {
    if (dryRun_) {
        unsigned limit = pipelineMode_ ? kTrkMaxHitsPerBatch : 1;
        for (unsigned i = 0; i < limit && !pendingHits_.empty(); ++i) reportHitDispatched();
        if (!pendingHits_.empty() && sequentialRequests_ < kTrkMaxBatchesPerDispatch) {
            dispatchPendingHits();
        } else {
            finishDispatch();
        }
        return;
    }
    written_ = 0;
    writeOutput();
}

void TrkDataDispatcher::writeOutput() {
    auto keepAlive = shared_from_this();
    while (socket_ && written_ < pendingRequest_.size()) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pendingRequest_.data()) + written_;
        size_t left = pendingRequest_.size() - written_;
        int n = socket_->send(bytes, static_cast<int>(std::min<size_t>(left, 1u << 30)));
        if (n < 0) {
            finishDispatch();
            return;
        }
        if (n == 0) {
            // The socket is full: go on when it has room.
            socket_->setWantsWritable(true);
            return;
        }
        written_ += static_cast<size_t>(n);
    }
}

void TrkDataDispatcher::reportHitDispatched() {
    if (pendingHits_.empty()) return;
    lastStatusCode_ = 200;
    ++hitsDispatched_;
    TrkHit hit = std::move(pendingHits_.front());
    pendingHits_.pop_front();
    if (delegate_) delegate_->dataDispatcherDispatched(*this, hit);
}

void TrkDataDispatcher::closeConnection() {
    pendingRequest_.clear();
    written_ = 0;
    if (socket_) {
        auto s = std::move(socket_);
        socket_.reset();
        s->setDelegate(nullptr);
        s->close();
    }
}

void TrkDataDispatcher::finishDispatch() {
    auto keepAlive = shared_from_this();
    if (timeLimit_) timeLimit_->invalidate();
    timeLimit_.reset();
    closeConnection();
    pendingHits_.clear();
    // Bytes still in the parser belong to a connection that is gone.
    responseParser_.reset();
    if (delegate_) delegate_->dataDispatcherDidComplete(*this);
}

void TrkDataDispatcher::cancelDispatch() { closeConnection(); }

void TrkDataDispatcher::socketConnectDidSucceed(TrkTCPSocket& socket) {
    auto keepAlive = shared_from_this();
    std::lock_guard<std::recursive_mutex> guard(*lock_);
    if (&socket != socket_.get()) return;
    connectFailed_ = false;
    sendData();
}

void TrkDataDispatcher::socketConnectDidFail(TrkTCPSocket& socket, const void*) {
    auto keepAlive = shared_from_this();
    std::lock_guard<std::recursive_mutex> guard(*lock_);
    if (&socket != socket_.get()) return;
    if (sendingSynchronously_) return;
    connectFailed_ = true;
    finishDispatch();
}

void TrkDataDispatcher::socketBecameWritable(TrkTCPSocket& socket) {
    auto keepAlive = shared_from_this();
    std::lock_guard<std::recursive_mutex> guard(*lock_);
    if (&socket != socket_.get()) return;
    writeOutput();
}

void TrkDataDispatcher::socketBecameReadable(TrkTCPSocket& socket) {
    auto keepAlive = shared_from_this();
    std::lock_guard<std::recursive_mutex> guard(*lock_);
    if (&socket != socket_.get()) return;
    uint8_t buffer[1024];
    int n = socket_->read(buffer, sizeof buffer);
    if (n <= 0) {
        finishDispatch();
        return;
    }
    responseParser_.parseResponse(buffer, n);
}

void TrkDataDispatcher::responseParsed(TrkHTTPResponseParser&, bool persistentConnection) {
    if (pendingHits_.empty()) return;
    reportHitDispatched();
    if (!persistentConnection && pipelineMode_) pipelineMode_ = false;
    if (sendingSynchronously_) return;
    if (pendingHits_.empty()) {
        finishDispatch();
        return;
    }
    if (!pipelineMode_) {
        closeConnection();
    } else if (hitsDispatched_ % kTrkMaxHitsPerBatch != 0) {
        return;  // more responses of this batch to come
    }
    if (sequentialRequests_ < kTrkMaxBatchesPerDispatch) {
        dispatchPendingHits();
    } else {
        finishDispatch();
    }
}

void TrkDataDispatcher::parseError(TrkHTTPResponseParser&, int statusCode) {
    lastStatusCode_ = statusCode;
    syncStatusError_ = true;
    if (!sendingSynchronously_) finishDispatch();
}

bool TrkDataDispatcher::writeAllInLine() {
    size_t done = 0;
    while (socket_ && done < pendingRequest_.size()) {
        int n = socket_->send(reinterpret_cast<const uint8_t*>(pendingRequest_.data()) + done,
                              static_cast<int>(std::min<size_t>(pendingRequest_.size() - done, 1u << 30)));
        if (n <= 0) return false;  // a blocking socket that takes nothing is broken
        done += static_cast<size_t>(n);
    }
    return socket_ != nullptr;
}

bool TrkDataDispatcher::dispatchHitsSynchronously(const std::vector<TrkHit>& hits, double timeoutSeconds) {
    if (isDispatching()) return false;
    auto keepAlive = shared_from_this();
    sendingSynchronously_ = true;
    const int64_t deadline = TrkUtils::currentTimeMillis() + static_cast<int64_t>(timeoutSeconds * 1000);
    socket_ = makeSocket();
    if (!socket_ || !socket_->connect(destinationHost_, destinationPort_, true)) {
        sendingSynchronously_ = false;
        socket_.reset();
        foundation::log("connect failed");
        return false;
    }
    sequentialRequests_ = 0;
    hitsDispatched_ = 0;
    pendingHits_.insert(pendingHits_.end(), hits.begin(), hits.end());
    const size_t total = pendingHits_.size();
    if (total == 0) {
        sendingSynchronously_ = false;
        finishDispatch();
        return true;
    }
    constructRequest();
    responseParser_.reset();
    if (dryRun_) {
        while (!pendingHits_.empty() && hitsDispatched_ < kTrkMaxHitsPerBatch) reportHitDispatched();
    } else if (writeAllInLine()) {
        while (hitsDispatched_ < total && TrkUtils::currentTimeMillis() < deadline && socket_) {
            if (!socket_->readyToRead()) {
                // Waits for bytes at most 0.1 s at a time.
                int64_t left = deadline - TrkUtils::currentTimeMillis();
                socket_->waitReadable(static_cast<int>(std::clamp<int64_t>(left, 0, 100)));
                continue;
            }
            uint8_t buffer[1024];
            int n = socket_->read(buffer, sizeof buffer);
            if (n <= 0) break;  // the collector closed the connection: nothing more comes
            unsigned before = hitsDispatched_;
            syncStatusError_ = false;
            responseParser_.parseResponse(buffer, n);
            // After a failing status later answers can no longer be matched
            // to their hits.
            if (syncStatusError_) break;
            if (!pipelineMode_ && !pendingHits_.empty() && hitsDispatched_ > before) {
                closeConnection();
                socket_ = makeSocket();
                if (!socket_ || !socket_->connect(destinationHost_, destinationPort_, true)) {
                    sendingSynchronously_ = false;
                    foundation::log("connect failed in loop");
                    finishDispatch();
                    return false;
                }
                constructRequest();
                responseParser_.reset();
                if (!writeAllInLine()) foundation::log("error on send in loop");
            }
        }
    }
    sendingSynchronously_ = false;
    bool allConfirmed = hitsDispatched_ == total;
    finishDispatch();
    return allConfirmed;
}
