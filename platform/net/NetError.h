#pragma once
// Errors of the stream layer, as values. A POSIX error keeps the symbolic
// errno (compare with EPIPE, ECONNRESET, ... from <cerrno>, never with a raw
// number); the network domain has codes of its own.

#include <string>

namespace net {

enum class ErrorDomain { None, Posix, Network };

// Codes of ErrorDomain::Network.
inline constexpr int kNetworkCannotFindHost = -1003;
inline constexpr int kNetworkCannotConnect = -1004;
// The connection ended (end of file, broken pipe, reset) before the whole
// response arrived. Usually a kept-alive socket that the server dropped; a
// client may retry once on a fresh connection.
inline constexpr int kNetworkConnectionLost = -1005;
// The peer's reply is not HTTP: a bad status line, a bad header, a bad chunk
// size, a Content-Length that is not a decimal number, a head too large.
inline constexpr int kNetworkBadServerResponse = -1011;
inline constexpr int kNetworkUnsupportedURL = -1002;

struct StreamError {
    ErrorDomain domain = ErrorDomain::None;
    int code = 0;
    std::string description;

    explicit operator bool() const { return domain != ErrorDomain::None; }
    bool isPosix(int errnoValue) const { return domain == ErrorDomain::Posix && code == errnoValue; }
    bool isNetwork(int networkCode) const { return domain == ErrorDomain::Network && code == networkCode; }

    static StreamError posix(int errnoValue);
    static StreamError network(int code, std::string description);
    // "POSIX", "Network" or "".
    std::string domainName() const;
};

}  // namespace net
