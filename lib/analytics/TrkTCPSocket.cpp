#include "lib/analytics/TrkTCPSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include "platform/foundation/Dispatch.h"

std::shared_ptr<TrkTCPSocket> TrkTCPSocket::create(TrkTCPSocketDelegate* delegate, foundation::RunLoop* runLoop,
                                                   std::recursive_mutex* lock) {
    return std::shared_ptr<TrkTCPSocket>(new TrkTCPSocket(delegate, runLoop, lock));
}

TrkTCPSocket::TrkTCPSocket(TrkTCPSocketDelegate* delegate, foundation::RunLoop* runLoop, std::recursive_mutex* lock)
    : delegate_(delegate), runLoop_(runLoop ? runLoop : &foundation::RunLoop::main()), lock_(lock ? lock : &ownLock_) {}

TrkTCPSocket::~TrkTCPSocket() { close(); }

namespace {

// Waits (blocking the caller, as an in-line connect does) for the resolver
// pool's answer.
std::vector<net::SocketAddress> resolveAndWait(const std::string& host, int port) {
    struct Result {
        foundation::Semaphore done;
        std::vector<net::SocketAddress> addresses;
    };
    auto result = std::make_shared<Result>();
    net::Resolver::resolve(host, port, [result](std::vector<net::SocketAddress> addresses, net::StreamError) {
        result->addresses = std::move(addresses);
        result->done.signal();
    });
    result->done.wait();
    return std::move(result->addresses);
}

}  // namespace

bool TrkTCPSocket::connect(const std::string& host, int port, bool inLine) {
    if (socket_.valid() || resolving_) return false;
    hooked_ = !inLine;
    connected_ = false;
    wantsWritable_ = false;
    addresses_.clear();
    nextAddress_ = 0;
    const uint64_t attempt = ++attempt_;
    const bool usable = port > 0 && port <= 65535 && !host.empty();

    if (inLine) {
        if (usable) addresses_ = resolveAndWait(host, port);
        for (const auto& address : addresses_) {
            bool done = false;
            net::StreamError error;
            net::Socket s = net::Socket::startConnect(address, done, error);
            if (!s.valid()) continue;
            if (!done) {
                pollfd p{s.fd(), POLLOUT, 0};
                while (::poll(&p, 1, -1) < 0 && errno == EINTR) {}
                if (s.connectResult()) continue;
            }
            // In-line use reads and writes blocking.
            ::fcntl(s.fd(), F_SETFL, ::fcntl(s.fd(), F_GETFL) & ~O_NONBLOCK);
            socket_ = std::move(s);
            connected_ = true;
            return true;
        }
        if (delegate_) delegate_->socketConnectDidFail(*this, nullptr);
        close();
        return false;
    }

    if (usable && !net::Resolver::isNumericHost(host)) {
        resolving_ = true;
        std::weak_ptr<TrkTCPSocket> weak = shared_from_this();
        foundation::RunLoop* loop = runLoop_;
        net::Resolver::resolve(host, port,
                               [weak, loop, attempt](std::vector<net::SocketAddress> addresses, net::StreamError) {
                                   loop->post(
                                       [weak, attempt, addresses = std::move(addresses)]() mutable {
                                           if (auto self = weak.lock())
                                               self->addressesResolved(attempt, std::move(addresses));
                                       },
                                       foundation::kDefaultMode);
                               });
        return true;
    }

    // A numeric address is known at once.
    if (usable) {
        net::Resolver::resolve(host, port, [this](std::vector<net::SocketAddress> addresses, net::StreamError) {
            addresses_ = std::move(addresses);
        });
    }
    startConnect();
    if (!socket_.valid()) {
        reportFailureLater();
        return false;
    }
    return true;
}

void TrkTCPSocket::addressesResolved(uint64_t attempt, std::vector<net::SocketAddress> addresses) {
    std::lock_guard<std::recursive_mutex> guard(*lock_);
    if (attempt != attempt_ || !resolving_) return;  // closed or connecting anew meanwhile
    resolving_ = false;
    addresses_ = std::move(addresses);
    nextAddress_ = 0;
    startConnect();
    if (!socket_.valid() && delegate_) delegate_->socketConnectDidFail(*this, nullptr);
}

void TrkTCPSocket::startConnect() {
    while (nextAddress_ < addresses_.size()) {
        bool done = false;
        net::StreamError error;
        net::Socket s = net::Socket::startConnect(addresses_[nextAddress_++], done, error);
        if (!s.valid()) continue;
        socket_ = std::move(s);
        const int fd = socket_.fd();
        std::weak_ptr<TrkTCPSocket> weak = shared_from_this();
        watch_ = runLoop_->watchFd(
            fd, POLLOUT,
            [weak, fd](int, short revents) {
                auto self = weak.lock();
                if (!self) return;
                std::lock_guard<std::recursive_mutex> guard(*self->lock_);
                if (self->socket_.fd() != fd) return;
                self->handleEvents(revents);
            },
            foundation::kDefaultMode);
        return;
    }
}

void TrkTCPSocket::reportFailureLater() {
    std::weak_ptr<TrkTCPSocket> weak = shared_from_this();
    runLoop_->post(
        [weak] {
            auto self = weak.lock();
            if (!self) return;
            std::lock_guard<std::recursive_mutex> guard(*self->lock_);
            if (!self->socket_.valid() && self->delegate_) self->delegate_->socketConnectDidFail(*self, nullptr);
        },
        foundation::kDefaultMode);
}

void TrkTCPSocket::updateWatch() {
    if (!watch_) return;
    short events = POLLIN;
    if (wantsWritable_) events |= POLLOUT;
    watch_->setEvents(events);
}

void TrkTCPSocket::handleEvents(short revents) {
    auto keepAlive = shared_from_this();
    if (!connected_) {
        net::StreamError err = socket_.connectResult();
        if (!err && (revents & POLLOUT)) {
            connected_ = true;
            // Connected is reported once; from now on the socket reports reads.
            updateWatch();
            if (delegate_) delegate_->socketConnectDidSucceed(*this);
            return;
        }
        if (!err && !(revents & (POLLERR | POLLHUP))) return;
        // This address failed; try the next one, else report the failure.
        if (watch_) watch_->cancel();
        watch_.reset();
        socket_.close();
        startConnect();
        if (!socket_.valid() && delegate_) delegate_->socketConnectDidFail(*this, nullptr);
        return;
    }
    int fd = socket_.fd();
    if ((revents & POLLOUT) && wantsWritable_) {
        wantsWritable_ = false;
        updateWatch();
        if (delegate_) delegate_->socketBecameWritable(*this);
    }
    if (socket_.fd() != fd) return;  // closed by the delegate
    if (revents & (POLLIN | POLLERR | POLLHUP)) {
        if (delegate_) delegate_->socketBecameReadable(*this);
    }
}

bool TrkTCPSocket::readyToRead() {
    if (!socket_.valid()) return false;
    pollfd p{socket_.fd(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLERR | POLLHUP));
}

void TrkTCPSocket::waitReadable(int timeoutMs) {
    if (!socket_.valid()) return;
    pollfd p{socket_.fd(), POLLIN, 0};
    ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
}

int TrkTCPSocket::read(uint8_t* buffer, int length) {
    if (!socket_.valid() || !buffer || length <= 0) return -1;
    net::IoResult r = socket_.read(buffer, static_cast<size_t>(length));
    switch (r.kind) {
        case net::IoResult::Kind::Done:
            return static_cast<int>(r.bytes);
        case net::IoResult::Kind::End:
            return 0;
        default:
            return -1;
    }
}

int TrkTCPSocket::send(const uint8_t* bytes, int length) {
    if (!socket_.valid()) return -1;
    if (length <= 0) return 0;
    net::IoResult r = socket_.write(bytes, static_cast<size_t>(length));
    switch (r.kind) {
        case net::IoResult::Kind::Done:
            return static_cast<int>(r.bytes);
        case net::IoResult::Kind::WouldBlock:
            return 0;
        default:
            return -1;
    }
}

void TrkTCPSocket::setWantsWritable(bool wants) {
    if (wantsWritable_ == wants) return;
    wantsWritable_ = wants;
    if (connected_) updateWatch();
}

void TrkTCPSocket::close() {
    ++attempt_;
    resolving_ = false;
    if (watch_) watch_->cancel();
    watch_.reset();
    socket_.close();
    connected_ = false;
    wantsWritable_ = false;
}
