// Peak memory and time of one request against hostile replies, with and
// without a bound on the reply body: a gzip bomb (1 MB that inflates to
// 1 GiB, 4 MB that inflates to 4 GiB) and a chunked reply that goes on and on
// (stopped by this server after 1 GiB so that the unbounded run ends).
//
// The server runs in a process of its own; each request runs in a fresh
// child process, whose peak resident size the parent reads when it ends.
// Limit 0 is the client without a bound. The 4 GiB bomb is run only with a
// bound: without one it takes more memory than most machines have.
//
//   bench_httplimits            every scenario
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "lib/http/HttpRequest.h"

namespace {

// gzip of `size` zero bytes, made a piece at a time.
std::string gzipOfZeros(uint64_t size) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> zeros(1 << 20, '0'), out(1 << 16);
    std::string result;
    uint64_t left = size;
    int flush = Z_NO_FLUSH;
    do {
        size_t n = size_t(std::min<uint64_t>(left, zeros.size()));
        left -= n;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = zeros.data();
        z.avail_in = uInt(n);
        do {
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            deflate(&z, flush);
            result.append(reinterpret_cast<char*>(out.data()), out.size() - z.avail_out);
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    return result;
}

bool writeAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        data += w;
        n -= size_t(w);
    }
    return true;
}

void serveOne(int fd, const std::string& bomb1g, const std::string& bomb4g) {
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0) {
            ::close(fd);
            return;
        }
        head.append(buf, size_t(r));
    }
    auto gz = [&](const std::string& body) {
        std::string h = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(body.size()) +
                        "\r\nConnection: close\r\n\r\n";
        if (writeAll(fd, h.data(), h.size())) writeAll(fd, body.data(), body.size());
    };
    if (head.find("GET /bomb1g ") == 0) {
        gz(bomb1g);
    } else if (head.find("GET /bomb4g ") == 0) {
        gz(bomb4g);
    } else {
        std::string h = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
        std::string piece = "10000\r\n" + std::string(0x10000, 'e') + "\r\n";
        bool ok = writeAll(fd, h.data(), h.size());
        for (int i = 0; ok && i < (1 << 30) / 0x10000; ++i) ok = writeAll(fd, piece.data(), piece.size());
        if (ok) writeAll(fd, "0\r\n\r\n", 5);
    }
    ::close(fd);
}

[[noreturn]] void runServer(int listenFd) {
    const std::string bomb1g = gzipOfZeros(1ull << 30);
    const std::string bomb4g = gzipOfZeros(4ull << 30);
    std::fprintf(stderr, "server: 1 GiB bomb %zu bytes, 4 GiB bomb %zu bytes\n", bomb1g.size(), bomb4g.size());
    ::close(STDOUT_FILENO);  // tells the parent the bombs are made
    while (true) {
        int fd = ::accept(listenFd, nullptr, nullptr);
        if (fd < 0) continue;
        std::thread([fd, &bomb1g, &bomb4g] { serveOne(fd, bomb1g, bomb4g); }).detach();
    }
}

struct Scenario {
    const char* name;
    const char* path;
    uint64_t limit;
    bool waitToInflate;
};

void runClient(int port, const Scenario& s) {
    auto r = http::HttpRequest::requestWithURL("http://127.0.0.1:" + std::to_string(port) + s.path);
    r->setMaxResponseBodySize(s.limit);
    r->setShouldWaitToInflateCompressedResponses(s.waitToInflate);
    r->setTimeOutSeconds(60);
    r->startSynchronous();
    size_t body = 0;
    std::string outcome;
    if (r->error()) {
        outcome = "failed, code " + std::to_string(r->error()->code);
    } else {
        auto data = r->responseData();  // what a caller does next
        body = data ? data->size() : 0;
        outcome = "finished";
    }
    std::printf("%s|%zu\n", outcome.c_str(), body);
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace

int main() {
    int listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd, 16) != 0) {
        std::perror("listen");
        return 1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    const int port = ntohs(addr.sin_port);

    int ready[2];
    if (::pipe(ready) != 0) return 1;
    pid_t server = ::fork();
    if (server == 0) {
        ::dup2(ready[1], STDOUT_FILENO);
        ::close(ready[1]);
        ::close(ready[0]);
        runServer(listenFd);
    }
    ::close(ready[1]);
    ::close(listenFd);
    char byte;
    while (::read(ready[0], &byte, 1) > 0) {}  // the server closes its end once the bombs are made
    ::close(ready[0]);

    const Scenario scenarios[] = {
        {"gzip bomb 1 MB -> 1 GiB, inflated at the end", "/bomb1g", 0, true},
        {"gzip bomb 1 MB -> 1 GiB, inflated at the end", "/bomb1g", http::kDefaultMaxResponseBodySize, true},
        {"gzip bomb 1 MB -> 1 GiB, inflated at the end", "/bomb1g", 256 << 10, true},
        {"gzip bomb 1 MB -> 1 GiB, inflated as it comes", "/bomb1g", 0, false},
        {"gzip bomb 1 MB -> 1 GiB, inflated as it comes", "/bomb1g", 256 << 10, false},
        {"gzip bomb 4 MB -> 4 GiB, inflated at the end", "/bomb4g", http::kDefaultMaxResponseBodySize, true},
        {"gzip bomb 4 MB -> 4 GiB, inflated at the end", "/bomb4g", 256 << 10, true},
        {"endless chunked reply (1 GiB sent)", "/endless", 0, true},
        {"endless chunked reply (1 GiB sent)", "/endless", http::kDefaultMaxResponseBodySize, true},
        {"endless chunked reply (1 GiB sent)", "/endless", 256 << 10, true},
    };
    std::printf("%-48s %12s  %-18s %12s %9s %12s\n", "reply", "limit", "outcome", "body bytes", "seconds",
                "peak RSS MB");
    for (const Scenario& s : scenarios) {
        int out[2];
        if (::pipe(out) != 0) return 1;
        std::fflush(stdout);  // the child must not print what the parent still holds
        auto start = std::chrono::steady_clock::now();
        pid_t child = ::fork();
        if (child == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            runClient(port, s);
        }
        ::close(out[1]);
        std::string line;
        char buf[256];
        ssize_t r;
        while ((r = ::read(out[0], buf, sizeof buf)) > 0) line.append(buf, size_t(r));
        ::close(out[0]);
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string outcome = line.substr(0, line.find('|'));
        std::string body = line.find('|') == std::string::npos ? "-" : line.substr(line.find('|') + 1);
        if (!body.empty() && body.back() == '\n') body.pop_back();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) outcome = "process died";
        std::string limit = s.limit ? std::to_string(s.limit) : "none";
        std::printf("%-48s %12s  %-18s %12s %9.2f %12.1f\n", s.name, limit.c_str(), outcome.c_str(), body.c_str(),
                    seconds, double(usage.ru_maxrss) / 1024.0);
        std::fflush(stdout);
    }
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    return 0;
}
