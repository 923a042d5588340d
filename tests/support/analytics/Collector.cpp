#include "tests/support/analytics/Collector.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <stdexcept>

namespace testcollector {

Reply ok(const std::string& version) {
    // The body a real collector sends is a small picture; 35 bytes here.
    std::string body(35, 'G');
    return Reply{version + " 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 35\r\n\r\n" + body, false, false};
}

Reply status(int code, const std::string& reason) {
    return Reply{"HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\nContent-Length: 0\r\n\r\n", false, false};
}

Collector::Collector(ReplyRule rule) : rule_(std::move(rule)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 64) != 0) {
        throw std::runtime_error("collector: bind/listen failed");
    }
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { loop(); });
}

Collector::~Collector() {
    uint64_t v = 1;
    (void)::write(stopFd_, &v, sizeof v);
    thread_.join();
    ::close(stopFd_);
    ::close(listenFd_);
}

void Collector::setRule(ReplyRule rule) {
    std::lock_guard<std::mutex> lock(mutex_);
    rule_ = std::move(rule);
}

void Collector::setReading(bool reading) { reading_ = reading; }

std::vector<Request> Collector::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

size_t Collector::requestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

int Collector::connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

std::vector<std::string> Collector::connectionBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connectionBytes_;
}

namespace {

struct Connection {
    int fd;
    int number;
    std::string buffer;
    int answered = 0;    // requests seen on this connection
    bool ended = false;  // no more answers
};

// A complete request at the front of the buffer: its length, or 0.
size_t completeRequest(const std::string& buffer, Request& out) {
    size_t headerEnd = buffer.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return 0;
    size_t bodyLength = 0;
    std::string head = buffer.substr(0, headerEnd);
    size_t cl = head.find("\r\nContent-Length: ");
    if (cl != std::string::npos) bodyLength = std::strtoul(head.c_str() + cl + 18, nullptr, 10);
    size_t total = headerEnd + 4 + bodyLength;
    if (buffer.size() < total) return 0;
    out.raw = buffer.substr(0, total);
    size_t sp1 = head.find(' ');
    size_t sp2 = head.find(' ', sp1 + 1);
    out.method = head.substr(0, sp1);
    out.target = head.substr(sp1 + 1, sp2 - sp1 - 1);
    out.body = buffer.substr(headerEnd + 4, bodyLength);
    return total;
}

void writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

}  // namespace

void Collector::loop() {
    std::map<int, Connection> conns;
    int total = 0;
    while (true) {
        std::vector<pollfd> fds{{stopFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        bool reading = reading_.load();
        for (auto& [fd, c] : conns) fds.push_back({fd, static_cast<short>(reading ? POLLIN : 0), 0});
        ::poll(fds.data(), fds.size(), 20);
        if (fds[0].revents) break;
        if (fds[1].revents & POLLIN) {
            int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                int one = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                std::lock_guard<std::mutex> lock(mutex_);
                ++connections_;
                connectionBytes_.emplace_back();
                conns.emplace(fd, Connection{fd, connections_, {}});
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Connection& c = conns.at(fds[i].fd);
            char buf[65536];
            ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
            if (n <= 0) {
                ::close(c.fd);
                conns.erase(c.fd);
                continue;
            }
            c.buffer.append(buf, static_cast<size_t>(n));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                connectionBytes_[static_cast<size_t>(c.number - 1)].append(buf, static_cast<size_t>(n));
            }
            bool closed = false;
            while (!c.ended) {
                Request r;
                size_t used = completeRequest(c.buffer, r);
                if (!used) break;
                c.buffer.erase(0, used);
                r.connection = c.number;
                ReplyRule rule;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    requests_.push_back(r);
                    rule = rule_;
                }
                Reply reply = rule ? rule(r, total, c.answered) : ok();
                ++total;
                ++c.answered;
                writeAll(c.fd, reply.bytes);
                if (reply.closeAfter) {
                    ::close(c.fd);
                    conns.erase(c.fd);
                    closed = true;
                    break;
                }
                if (reply.endAfter) {
                    ::shutdown(c.fd, SHUT_WR);
                    c.ended = true;
                }
            }
            (void)closed;
        }
    }
    for (auto& [fd, c] : conns) ::close(fd);
}

}  // namespace testcollector
