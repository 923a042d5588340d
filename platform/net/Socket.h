#pragma once
// Non-blocking TCP sockets and name resolution that never blocks the caller.
// General pieces: the HTTP stream uses them, and so can any other client.

#include <sys/socket.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/net/NetError.h"

namespace net {

struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    std::string text() const;  // "127.0.0.1:80", "[::1]:80"
};

// Resolves names on a helper thread (numeric addresses at once, on the
// calling thread). The callback runs on whichever thread finished the work.
class Resolver {
public:
    using Callback = std::function<void(std::vector<SocketAddress> addresses, StreamError error)>;
    static void resolve(const std::string& host, int port, Callback callback);
    // True when the host is a numeric IPv4 or IPv6 address.
    static bool isNumericHost(const std::string& host);
};

// Outcome of a read or write on a non-blocking socket.
struct IoResult {
    enum class Kind { Done, WouldBlock, End, Failed } kind = Kind::Done;
    size_t bytes = 0;    // Done
    int errnoValue = 0;  // Failed
};

// An owned non-blocking TCP socket; closed when destroyed.
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { close(); }
    Socket(Socket&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Socket& operator=(Socket&& o) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Starts a non-blocking connect. Returns an invalid socket and sets `error`
    // when it failed at once; `connected` tells whether it finished at once.
    static Socket startConnect(const SocketAddress& address, bool& connected, StreamError& error);
    // After the socket became writable: the outcome of the connect.
    StreamError connectResult() const;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close();

    IoResult read(void* buffer, size_t length);
    // Never raises SIGPIPE.
    IoResult write(const void* data, size_t length);
    // For a socket that sat idle: true while the peer has neither closed it nor
    // sent anything unasked.
    bool isIdleAndOpen() const;

private:
    int fd_ = -1;
};

}  // namespace net
