#include "lib/analytics/TrkTCPSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::shared_ptr<TrkTCPSocket> TrkTCPSocket::create(TrkTCPSocketDelegate* delegate, foundation::RunLoop* runLoop,
                                                   std::recursive_mutex* lock) {
    return std::shared_ptr<TrkTCPSocket>(new TrkTCPSocket(delegate, runLoop, lock));
}

TrkTCPSocket::TrkTCPSocket(TrkTCPSocketDelegate* delegate, foundation::RunLoop* runLoop, std::recursive_mutex* lock)
    : delegate_(delegate), runLoop_(runLoop ? runLoop : &foundation::RunLoop::main()), lock_(lock ? lock : &ownLock_) {}

TrkTCPSocket::~TrkTCPSocket() { close(); }

bool TrkTCPSocket::connect(const std::string& host, int port, bool inLine) {
    if (fd_ >= 0) return false;
    hooked_ = !inLine;
    connected_ = false;
    wantsWritable_ = false;
    addresses_.clear();
    nextAddress_ = 0;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (port > 0 && port <= 65535 && !host.empty() && getaddrinfo(host.c_str(), service.c_str(), &hints, &list) == 0) {
        for (addrinfo* a = list; a; a = a->ai_next) {
            const uint8_t* p = reinterpret_cast<const uint8_t*>(a->ai_addr);
            addresses_.emplace_back(std::vector<uint8_t>(p, p + a->ai_addrlen), static_cast<unsigned>(a->ai_family));
        }
        freeaddrinfo(list);
    }

    if (inLine) {
        for (const auto& [addr, family] : addresses_) {
            int s = ::socket(static_cast<int>(family), SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (s < 0) continue;
            if (::connect(s, reinterpret_cast<const sockaddr*>(addr.data()), static_cast<socklen_t>(addr.size())) ==
                0) {
                int one = 1;
                setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                fd_ = s;
                connected_ = true;
                return true;
            }
            ::close(s);
        }
        if (delegate_) delegate_->socketConnectDidFail(*this, nullptr);
        close();
        return false;
    }

    startConnect();
    if (fd_ < 0) {
        reportFailureLater();
        return false;
    }
    return true;
}

void TrkTCPSocket::startConnect() {
    while (nextAddress_ < addresses_.size()) {
        const auto& [addr, family] = addresses_[nextAddress_++];
        int s = ::socket(static_cast<int>(family), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s < 0) continue;
        int one = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int rc = ::connect(s, reinterpret_cast<const sockaddr*>(addr.data()), static_cast<socklen_t>(addr.size()));
        if (rc == 0 || errno == EINPROGRESS) {
            fd_ = s;
            std::weak_ptr<TrkTCPSocket> weak = shared_from_this();
            int fd = s;
            watch_ = runLoop_->watchFd(
                fd, POLLOUT,
                [weak, fd](int, short revents) {
                    auto self = weak.lock();
                    if (!self) return;
                    std::lock_guard<std::recursive_mutex> guard(*self->lock_);
                    if (self->fd_ != fd) return;
                    self->handleEvents(revents);
                },
                foundation::kDefaultMode);
            return;
        }
        ::close(s);
    }
}

void TrkTCPSocket::reportFailureLater() {
    std::weak_ptr<TrkTCPSocket> weak = shared_from_this();
    runLoop_->post(
        [weak] {
            auto self = weak.lock();
            if (!self) return;
            std::lock_guard<std::recursive_mutex> guard(*self->lock_);
            if (self->fd_ < 0 && self->delegate_) self->delegate_->socketConnectDidFail(*self, nullptr);
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
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        if (err == 0 && (revents & POLLOUT)) {
            connected_ = true;
            // Connected is reported once; from now on the socket reports reads.
            updateWatch();
            if (delegate_) delegate_->socketConnectDidSucceed(*this);
            return;
        }
        if (err == 0 && !(revents & (POLLERR | POLLHUP))) return;
        // This address failed; try the next one, else report the failure.
        if (watch_) watch_->cancel();
        watch_.reset();
        ::close(fd_);
        fd_ = -1;
        startConnect();
        if (fd_ < 0 && delegate_) delegate_->socketConnectDidFail(*this, nullptr);
        return;
    }
    int fd = fd_;
    if ((revents & POLLOUT) && wantsWritable_) {
        wantsWritable_ = false;
        updateWatch();
        if (delegate_) delegate_->socketBecameWritable(*this);
    }
    if (fd_ != fd) return;  // closed by the delegate
    if (revents & (POLLIN | POLLERR | POLLHUP)) {
        if (delegate_) delegate_->socketBecameReadable(*this);
    }
}

bool TrkTCPSocket::readyToRead() {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLERR | POLLHUP));
}

void TrkTCPSocket::waitReadable(int timeoutMs) {
    if (fd_ < 0) return;
    pollfd p{fd_, POLLIN, 0};
    ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
}

int TrkTCPSocket::read(uint8_t* buffer, int length) {
    if (fd_ < 0 || !buffer || length <= 0) return -1;
    while (true) {
        ssize_t n = ::recv(fd_, buffer, static_cast<size_t>(length), 0);
        if (n >= 0) return static_cast<int>(n);
        if (errno != EINTR) return -1;
    }
}

int TrkTCPSocket::send(const uint8_t* bytes, int length) {
    if (fd_ < 0) return -1;
    if (length <= 0) return 0;
    while (true) {
        ssize_t n = ::send(fd_, bytes, static_cast<size_t>(length), MSG_NOSIGNAL);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

void TrkTCPSocket::setWantsWritable(bool wants) {
    if (wantsWritable_ == wants) return;
    wantsWritable_ = wants;
    if (connected_) updateWatch();
}

void TrkTCPSocket::close() {
    if (watch_) watch_->cancel();
    watch_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    connected_ = false;
    wantsWritable_ = false;
}
