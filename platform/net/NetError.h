#pragma once
// Errors of the stream layer: the foundation's error value in one of three
// domains. A POSIX error keeps the symbolic errno (compare with EPIPE,
// ECONNRESET, ... from <cerrno>, never with a raw number); the network and TLS
// domains have codes of their own. A StreamError without a domain is no error.

#include <string>

#include "platform/foundation/Error.h"

namespace net {

inline const std::string kPosixDomain = "POSIX";
inline const std::string kNetworkDomain = "Network";
inline const std::string kTlsDomain = "TLS";

// Codes of kNetworkDomain.
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
// The request body's source failed or ended before the body's length.
inline constexpr int kNetworkBodyStreamFailed = -1021;

// Codes of kTlsDomain (the secure-transport range, -9818 ... -9800).
inline constexpr int kTlsProtocolError = -9800;
inline constexpr int kTlsFatalAlert = -9802;
inline constexpr int kTlsClosedAbort = -9806;
inline constexpr int kTlsCertificateInvalid = -9807;  // chain invalid or host name mismatch
inline constexpr int kTlsBadCertificate = -9808;
inline constexpr int kTlsUnknownRootCert = -9812;
inline constexpr int kTlsNoRootCert = -9813;  // self-signed, or no trusted root
inline constexpr int kTlsCertificateExpired = -9814;
inline constexpr int kTlsCertificateNotYetValid = -9815;
inline constexpr int kTlsRangeFirst = -9818;
inline constexpr int kTlsRangeLast = -9800;

struct StreamError : foundation::Error {
    using foundation::Error::Error;

    explicit operator bool() const { return !domain.empty(); }
    bool isPosix(int errnoValue) const { return is(kPosixDomain, errnoValue); }
    bool isNetwork(int networkCode) const { return is(kNetworkDomain, networkCode); }
    bool isTls() const { return domain == kTlsDomain; }

    static StreamError posix(int errnoValue);
    static StreamError network(int code, std::string message);
    static StreamError tls(int code, std::string message);
    // The same error as a shared value; null when there is no error.
    foundation::ErrorRef asError() const;
};

}  // namespace net
