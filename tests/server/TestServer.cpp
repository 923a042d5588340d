#include "tests/server/TestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace testserver {

namespace {

std::string serverScript() { return std::string(QUENTA_SOURCE_DIR) + "/tests/server/security_server.py"; }

void writeAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) throw std::runtime_error("send failed");
        sent += size_t(n);
    }
}

}  // namespace

HttpReply httpRequest(int port, const std::string& method, const std::string& target, const std::string& body) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    // A guard against a hung test, not a measurement.
    timeval guard{60, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        throw std::runtime_error("connect to 127.0.0.1:" + std::to_string(port) + " failed");
    }
    std::string request =
        method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nConnection: close\r\n";
    if (!body.empty() || method == "POST") {
        request += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    }
    request += "\r\n" + body;
    std::string raw;
    try {
        writeAll(fd, request);
        char buf[8192];
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) raw.append(buf, size_t(n));
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);

    HttpReply reply;
    size_t headerEnd = raw.find("\r\n\r\n");
    if (raw.compare(0, 5, "HTTP/") != 0 || headerEnd == std::string::npos) return reply;
    size_t space = raw.find(' ');
    reply.status = std::atoi(raw.c_str() + space + 1);
    reply.body = raw.substr(headerEnd + 4);
    return reply;
}

HttpReply httpGet(const std::string& url) {
    const std::string prefix = "http://127.0.0.1:";
    if (url.compare(0, prefix.size(), prefix) != 0) throw std::runtime_error("not a local address: " + url);
    size_t slash = url.find('/', prefix.size());
    int port = std::atoi(url.substr(prefix.size(), slash - prefix.size()).c_str());
    return httpRequest(port, "GET", slash == std::string::npos ? "/" : url.substr(slash));
}

SecurityServer::SecurityServer() {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string script = serverScript();
    std::vector<char*> argv = {const_cast<char*>("python3"), const_cast<char*>("-B"), script.data(),
                               const_cast<char*>("--port"),  const_cast<char*>("0"),  nullptr};
    int rc = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    if (rc != 0) {
        pid_ = -1;
        ::close(out[0]);
        ::close(stdinFd_);
        throw std::runtime_error("cannot start python3");
    }
    // Read "READY <port>".
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos) {
        if (::poll(&p, 1, 60000) <= 0) break;
        char buf[256];
        ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, size_t(n));
    }
    ::close(out[0]);
    if (line.compare(0, 6, "READY ") == 0) port_ = std::atoi(line.c_str() + 6);
    if (port_ <= 0) {
        stop();
        throw std::runtime_error("the test security server did not start: " + line);
    }
}

SecurityServer::~SecurityServer() { stop(); }

void SecurityServer::stop() {
    if (stdinFd_ >= 0) {
        ::close(stdinFd_);
        stdinFd_ = -1;
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

std::string SecurityServer::baseAddress() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/safeCenter.do?";
}

void SecurityServer::useAsDeploymentServer() const { ::setenv("QUENTA_SERVER_URL", baseAddress().c_str(), 1); }

std::string SecurityServer::control(const std::string& name, const std::string& json) const {
    HttpReply r = httpRequest(port_, "POST", "/_control/" + name, json);
    if (r.status != 200)
        throw std::runtime_error("control " + name + " answered " + std::to_string(r.status) + ": " + r.body);
    return r.body;
}

std::string SecurityServer::controlGet(const std::string& name) const {
    HttpReply r = httpRequest(port_, "GET", "/_control/" + name);
    if (r.status != 200) throw std::runtime_error("control " + name + " answered " + std::to_string(r.status));
    return r.body;
}

}  // namespace testserver
