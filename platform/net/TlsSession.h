#pragma once
// TLS for the stream layer, on OpenSSL: a client session over a connected
// non-blocking socket, the settings that decide how the server is checked,
// and client identities (a certificate with its private key).
//
// By default the server's chain must lead to a root of the system store
// (ca-certificates) and its certificate must name the host (the URL's, or the
// peer name set). Failures are errors of kTlsDomain with the codes of
// NetError.h.
//
// Sessions share their OpenSSL context: one per configuration (checking the
// chain or not), so the system's store is read once, not per connection.
// The per-connection settings (names, leniency, client identity) live on
// each session.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/NetError.h"
#include "platform/net/Socket.h"

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;
typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace net {

// Loading a certificate or an identity fails with an error of the TLS domain
// (kTlsDomain): kTlsBadCertificate for a file that is not what it should be
// (the OpenSSL reason in the message), kTlsCertificateInvalid for a key that
// does not belong to its certificate; or of the POSIX domain when the file
// cannot be opened.

// A certificate (PEM or DER file).
class TlsCertificate {
public:
    static std::shared_ptr<const TlsCertificate> fromFile(const std::string& path,
                                                          foundation::ErrorRef* error = nullptr);
    ~TlsCertificate();
    TlsCertificate(const TlsCertificate&) = delete;
    TlsCertificate& operator=(const TlsCertificate&) = delete;
    X509* x509() const { return cert_; }

private:
    explicit TlsCertificate(X509* cert) : cert_(cert) {}
    X509* cert_;
};

// A client identity: certificate, private key and the further certificates
// of its chain that came with it.
class TlsIdentity {
public:
    // From a PKCS#12 file and its passphrase.
    static std::shared_ptr<const TlsIdentity> fromPKCS12(const std::string& path, const std::string& passphrase,
                                                         foundation::ErrorRef* error = nullptr);
    // From PEM files: the certificate (further chain certificates may follow
    // it in the same file) and the unencrypted private key.
    static std::shared_ptr<const TlsIdentity> fromPEM(const std::string& certificatePath, const std::string& keyPath,
                                                      foundation::ErrorRef* error = nullptr);
    ~TlsIdentity();
    TlsIdentity(const TlsIdentity&) = delete;
    TlsIdentity& operator=(const TlsIdentity&) = delete;
    X509* certificate() const { return cert_; }
    EVP_PKEY* key() const { return key_; }
    const std::vector<X509*>& chain() const { return chain_; }

private:
    TlsIdentity() = default;
    X509* cert_ = nullptr;
    EVP_PKEY* key_ = nullptr;
    std::vector<X509*> chain_;
};

// How a TLS connection checks its server and presents itself. Set as a whole
// on a stream; a new value replaces every field of the old one.
struct SslSettings {
    bool allowsExpiredCertificates = false;
    bool allowsAnyRoot = false;
    bool validatesCertificateChain = true;
    // Unset: the certificate must name the URL's host. Set to nullopt: no
    // name is checked. Set to a name: the certificate must name that one.
    std::optional<std::optional<std::string>> peerName;
    // The client identity and further certificates sent after it.
    std::shared_ptr<const TlsIdentity> identity;
    std::vector<std::shared_ptr<const TlsCertificate>> certificates;
    // Same checks and the very same identity objects: a connection made
    // under one may serve the other.
    bool operator==(const SslSettings&) const = default;
};

class TlsSession {
public:
    // A session for the socket, to talk to `host` (also the server name
    // indication, unless it is a numeric address). nullptr with `error` set
    // when OpenSSL refuses the settings (e.g. a key that does not match).
    static std::unique_ptr<TlsSession> create(int fd, const std::string& host, const SslSettings& settings,
                                              StreamError& error);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Each returns Done, WouldBlock (see wantedEvents()), End (the peer closed
    // the session; read only) or Failed with `error` set.
    IoResult handshake(StreamError& error);
    IoResult read(void* buffer, size_t length, StreamError& error);
    IoResult write(const void* data, size_t length, StreamError& error);
    // POLLIN or POLLOUT: what the last WouldBlock waits for.
    short wantedEvents() const { return want_; }
    // Decrypted bytes waiting inside the session (no socket event will come
    // for them).
    bool hasPendingBytes() const;

    // Adds a file of trusted root certificates (PEM) to the system store for
    // every later session of the process (for private certificate
    // authorities).
    static void addTrustedRootsFile(const std::string& path);
    // The shared context the session was made from (for inspection).
    const SSL_CTX* context() const { return ctx_.get(); }

private:
    TlsSession() = default;
    IoResult failure(int ret, StreamError& error);
    std::shared_ptr<SSL_CTX> ctx_;
    SSL* ssl_ = nullptr;
    short want_ = 0;
    bool handshakeDone_ = false;
};

}  // namespace net
