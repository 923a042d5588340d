#include "platform/net/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/foundation/Background.h"

namespace net {

std::string SocketAddress::text() const {
    char buf[INET6_ADDRSTRLEN] = {0};
    if (storage.ss_family == AF_INET) {
        auto* a = reinterpret_cast<const sockaddr_in*>(&storage);
        inet_ntop(AF_INET, &a->sin_addr, buf, sizeof buf);
        return std::string(buf) + ":" + std::to_string(ntohs(a->sin_port));
    }
    if (storage.ss_family == AF_INET6) {
        auto* a = reinterpret_cast<const sockaddr_in6*>(&storage);
        inet_ntop(AF_INET6, &a->sin6_addr, buf, sizeof buf);
        std::string out = "[";
        out += buf;
        out += "]:";
        out += std::to_string(ntohs(a->sin6_port));
        return out;
    }
    return "?";
}

namespace {

std::vector<SocketAddress> numericAddress(const std::string& host, int port) {
    SocketAddress a;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&a.storage);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(uint16_t(port));
        a.length = sizeof(sockaddr_in);
        return {a};
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&a.storage);
    if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(uint16_t(port));
        a.length = sizeof(sockaddr_in6);
        return {a};
    }
    return {};
}

// A few threads that run getaddrinfo, so no run loop ever waits on DNS.
class ResolverPool {
public:
    static ResolverPool& shared() {
        static ResolverPool* pool = new ResolverPool();  // lives as long as the process
        return *pool;
    }
    void submit(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(std::move(job));
            if (idle_ == 0 && threads_ < kMaxThreads) {
                ++threads_;
                std::thread([this] {
                    foundation::setThreadName("net.resolver");
                    work();
                }).detach();
            }
        }
        cv_.notify_one();
    }

private:
    static constexpr int kMaxThreads = 4;
    void work() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (true) {
            ++idle_;
            cv_.wait(lock, [this] { return !jobs_.empty(); });
            --idle_;
            auto job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> jobs_;
    int threads_ = 0;
    int idle_ = 0;
};

}  // namespace

bool Resolver::isNumericHost(const std::string& host) { return !numericAddress(host, 0).empty(); }

void Resolver::resolve(const std::string& host, int port, Callback callback) {
    auto numeric = numericAddress(host, port);
    if (!numeric.empty()) {
        callback(std::move(numeric), StreamError{});
        return;
    }
    ResolverPool::shared().submit([host, port, callback = std::move(callback)] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* res = nullptr;
        std::string service = std::to_string(port);
        int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
        std::vector<SocketAddress> out;
        if (rc == 0) {
            for (addrinfo* p = res; p; p = p->ai_next) {
                if (p->ai_addrlen > sizeof(sockaddr_storage)) continue;
                SocketAddress a;
                std::memcpy(&a.storage, p->ai_addr, p->ai_addrlen);
                a.length = p->ai_addrlen;
                out.push_back(a);
            }
            freeaddrinfo(res);
        }
        if (out.empty()) {
            callback({}, StreamError::network(kNetworkCannotFindHost,
                                              "A server with the specified hostname could not be found: " + host));
            return;
        }
        callback(std::move(out), StreamError{});
    });
}

Socket& Socket::operator=(Socket&& o) noexcept {
    if (this != &o) {
        close();
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

void Socket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Socket Socket::startConnect(const SocketAddress& address, bool& connected, StreamError& error) {
    connected = false;
    int fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = StreamError::posix(errno);
        return Socket();
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Socket s(fd);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0) {
        connected = true;
        return s;
    }
    if (errno == EINPROGRESS) return s;
    error = StreamError::posix(errno);
    return Socket();
}

StreamError Socket::connectResult() const {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    return err ? StreamError::posix(err) : StreamError{};
}

IoResult Socket::read(void* buffer, size_t length) {
    while (true) {
        ssize_t n = ::recv(fd_, buffer, length, 0);
        if (n > 0) return {IoResult::Kind::Done, size_t(n), 0};
        if (n == 0) return {IoResult::Kind::End, 0, 0};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoResult::Kind::WouldBlock, 0, 0};
        return {IoResult::Kind::Failed, 0, errno};
    }
}

IoResult Socket::write(const void* data, size_t length) {
    while (true) {
        ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
        if (n >= 0) return {IoResult::Kind::Done, size_t(n), 0};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoResult::Kind::WouldBlock, 0, 0};
        return {IoResult::Kind::Failed, 0, errno};
    }
}

bool Socket::isIdleAndOpen() const {
    if (fd_ < 0) return false;
    char c;
    ssize_t n = ::recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;  // closed (0), unasked bytes (1) or an error
}

}  // namespace net
