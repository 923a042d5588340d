#include "tests/support/net/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace testnet {

Action send(std::string bytes) { return Action{Action::Kind::Send, std::move(bytes), 0}; }
Action delay(int ms) { return Action{Action::Kind::Delay, {}, ms}; }
Action closeConnection() { return Action{Action::Kind::Close, {}, 0}; }
Action resetConnection() { return Action{Action::Kind::Reset, {}, 0}; }
Action silence() { return Action{Action::Kind::Silence, {}, 0}; }

std::string response(int status, const std::vector<std::pair<std::string, std::string>>& headers,
                     const std::string& body, const std::string& version) {
    std::string out = version + " " + std::to_string(status) + " " + (status == 200 ? "OK" : "Status") + "\r\n";
    bool framed = false;
    for (const auto& [n, v] : headers) {
        out += n + ": " + v + "\r\n";
        if (strcasecmp(n.c_str(), "Transfer-Encoding") == 0 || strcasecmp(n.c_str(), "Content-Length") == 0)
            framed = true;
    }
    if (!framed) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "\r\n";
    out += body;
    return out;
}

std::string chunked(const std::string& body, size_t pieceSize) {
    std::string out;
    char size[32];
    for (size_t i = 0; i < body.size(); i += pieceSize) {
        size_t n = std::min(pieceSize, body.size() - i);
        snprintf(size, sizeof size, "%zx\r\n", n);
        out += size;
        out += body.substr(i, n);
        out += "\r\n";
    }
    out += "0\r\n\r\n";
    return out;
}

std::string gzip(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, data.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    int rc = deflate(&z, Z_FINISH);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    return out;
}

LoopbackHttpServer::LoopbackHttpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 64) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() { stop(); }

void LoopbackHttpServer::stop() {
    if (stopping_.exchange(true)) return;
    if (acceptThread_.joinable()) acceptThread_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& t : threads_) t.join();
    ::close(listenFd_);
}

std::string LoopbackHttpServer::url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

void LoopbackHttpServer::on(const std::string& path, Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[path] = std::move(handler);
}

int LoopbackHttpServer::requestCount() const { return requestCount_.load(); }

std::vector<ServerRequest> LoopbackHttpServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool LoopbackHttpServer::waitForFinishedConnections(int count, double seconds) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return finished_.load() >= count; });
}

void LoopbackHttpServer::acceptLoop() {
    while (!stopping_.load()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int ordinal = ++connections_;
        std::lock_guard<std::mutex> lock(mutex_);
        openFds_.push_back(fd);
        threads_.emplace_back([this, fd, ordinal] { serve(fd, ordinal); });
    }
}

namespace {

// Waits for the fd to be readable; false when the server stops first.
bool waitReadable(int fd, const std::atomic<bool>& stopping) {
    while (!stopping.load()) {
        pollfd p{fd, POLLIN, 0};
        int n = ::poll(&p, 1, 20);
        if (n > 0) return true;
    }
    return false;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool LoopbackHttpServer::readRequest(int fd, std::string& buffer, ServerRequest& out) {
    size_t end;
    while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (!waitReadable(fd, stopping_)) return false;
        char chunk[16384];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer.append(chunk, size_t(n));
    }
    out.rawHead = buffer.substr(0, end + 4);
    std::string head = buffer.substr(0, end);
    buffer.erase(0, end + 4);
    size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    size_t s1 = requestLine.find(' '), s2 = requestLine.rfind(' ');
    if (s1 == std::string::npos || s2 == s1) return false;
    out.method = requestLine.substr(0, s1);
    out.target = requestLine.substr(s1 + 1, s2 - s1 - 1);
    out.version = requestLine.substr(s2 + 1);
    out.path = out.target.substr(0, out.target.find('?'));
    // A request meant for a proxy names the whole URL: its path is what follows the authority.
    if (size_t scheme = out.path.find("://"); scheme != std::string::npos && out.path[0] != '/') {
        size_t slash = out.path.find('/', scheme + 3);
        out.path = slash == std::string::npos ? "/" : out.path.substr(slash);
    }
    size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        size_t e = head.find("\r\n", pos);
        if (e == std::string::npos) e = head.size();
        std::string line = head.substr(pos, e - pos);
        size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            out.headers.add(line.substr(0, colon), value);
        }
        pos = e + 2;
    }
    size_t length = 0;
    if (const std::string* cl = out.headers.get("Content-Length")) length = std::stoul(*cl);
    while (buffer.size() < length) {
        if (!waitReadable(fd, stopping_)) return false;
        char chunk[16384];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer.append(chunk, size_t(n));
    }
    out.body = buffer.substr(0, length);
    buffer.erase(0, length);
    return true;
}

void LoopbackHttpServer::serve(int fd, int ordinal) {
    std::string buffer;
    int index = 0;
    bool open = true;
    while (open && !stopping_.load()) {
        ServerRequest req;
        if (!readRequest(fd, buffer, req)) break;
        req.connection = ordinal;
        req.indexOnConnection = ++index;
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (record_) requests_.push_back(req);
            ++requestCount_;
            auto it = handlers_.find(req.path);
            if (it != handlers_.end()) handler = it->second;
        }
        std::vector<Action> actions =
            handler ? handler(req) : std::vector<Action>{send(response(404, {}, "no handler"))};
        for (const auto& a : actions) {
            if (!open) break;
            switch (a.kind) {
                case Action::Kind::Send:
                    if (!writeAll(fd, a.bytes)) open = false;
                    break;
                case Action::Kind::Delay: {
                    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(a.milliseconds);
                    while (!stopping_.load() && std::chrono::steady_clock::now() < until)
                        std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    break;
                }
                case Action::Kind::Close:
                    ::shutdown(fd, SHUT_WR);
                    open = false;
                    break;
                case Action::Kind::Reset: {
                    linger l{1, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
                    open = false;
                    break;
                }
                case Action::Kind::Silence: {
                    char c;
                    while (waitReadable(fd, stopping_) && ::recv(fd, &c, 1, 0) > 0) {}
                    open = false;
                    break;
                }
            }
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
        ::close(fd);
        ++finished_;
    }
    cv_.notify_all();
}

}  // namespace testnet
