#include "platform/net/TlsSession.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "platform/foundation/Resetters.h"

namespace net {
namespace {

std::string lastOpenSslError() {
    unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (!e) return "unknown error";
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    return buf;
}

std::mutex& trustMutex() {
    static std::mutex* m = new std::mutex();
    return *m;
}
// The client contexts in use: one that checks chains (the system's store and
// the added roots, loaded when it is made) and one that does not. Adding a
// roots file makes the next session start a new checking context; sessions
// of the old one keep it alive until they end. Guarded by trustMutex().
struct SharedContexts {
    std::shared_ptr<SSL_CTX> checking, loose;
};
SharedContexts& sharedContexts() {
    static auto* contexts = new SharedContexts();
    return *contexts;
}

std::vector<std::string>& trustFiles() {
    static auto* files = [] {
        auto* f = new std::vector<std::string>();
        // Roots a case added are not trusted in the next one.
        foundation::registerResetter("net.trustedRoots", foundation::ResetPhase::Service, [f] {
            std::lock_guard<std::mutex> lock(trustMutex());
            f->clear();
            sharedContexts().checking.reset();
        });
        return f;
    }();
    return *files;
}

std::shared_ptr<SSL_CTX> makeClientContext(bool validates) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) return nullptr;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (validates) {
        SSL_CTX_set_default_verify_paths(ctx);
        for (const auto& file : trustFiles()) SSL_CTX_load_verify_locations(ctx, file.c_str(), nullptr);
        ERR_clear_error();
    }
    return std::shared_ptr<SSL_CTX>(ctx, SSL_CTX_free);
}

std::shared_ptr<SSL_CTX> clientContext(bool validates) {
    std::lock_guard<std::mutex> lock(trustMutex());
    auto& slot = validates ? sharedContexts().checking : sharedContexts().loose;
    if (!slot) slot = makeClientContext(validates);
    return slot;
}

// Index of the session's settings in the SSL object's extra data.
int settingsIndex() {
    static int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

bool isExpiryError(int e) {
    return e == X509_V_ERR_CERT_HAS_EXPIRED || e == X509_V_ERR_CERT_NOT_YET_VALID || e == X509_V_ERR_CRL_HAS_EXPIRED ||
           e == X509_V_ERR_CRL_NOT_YET_VALID;
}

bool isRootError(int e) {
    return e == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT || e == X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN ||
           e == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY || e == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT ||
           e == X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE || e == X509_V_ERR_CERT_UNTRUSTED;
}

int verifyCallback(int ok, X509_STORE_CTX* store) {
    if (ok) return 1;
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* settings = ssl ? static_cast<const SslSettings*>(SSL_get_ex_data(ssl, settingsIndex())) : nullptr;
    if (!settings) return 0;
    int e = X509_STORE_CTX_get_error(store);
    if ((settings->allowsExpiredCertificates && isExpiryError(e)) || (settings->allowsAnyRoot && isRootError(e))) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    return 0;
}

StreamError verifyError(long result) {
    std::string text =
        std::string("The certificate for this server is invalid: ") + X509_verify_cert_error_string(result);
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return StreamError::tls(kTlsCertificateExpired, text);
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return StreamError::tls(kTlsCertificateNotYetValid, text);
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return StreamError::tls(kTlsNoRootCert, text);
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return StreamError::tls(kTlsUnknownRootCert, text);
        default:
            return StreamError::tls(kTlsCertificateInvalid, text);
    }
}

}  // namespace

// ---- certificates and identities ----------------------------------------------

TlsCertificate::~TlsCertificate() { X509_free(cert_); }

std::shared_ptr<const TlsCertificate> TlsCertificate::fromFile(const std::string& path, foundation::ErrorRef* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) *error = foundation::Error::make(kPosixDomain, errno, "cannot open " + path);
        return nullptr;
    }
    X509* cert = PEM_read_X509(f, nullptr, nullptr, nullptr);
    if (!cert) {
        ERR_clear_error();
        std::rewind(f);
        cert = d2i_X509_fp(f, nullptr);
    }
    std::fclose(f);
    if (!cert) {
        if (error)
            *error =
                foundation::Error::make(kTlsDomain, kTlsBadCertificate, "not a certificate: " + lastOpenSslError());
        return nullptr;
    }
    return std::shared_ptr<const TlsCertificate>(new TlsCertificate(cert));
}

TlsIdentity::~TlsIdentity() {
    X509_free(cert_);
    EVP_PKEY_free(key_);
    for (X509* c : chain_) X509_free(c);
}

std::shared_ptr<const TlsIdentity> TlsIdentity::fromPKCS12(const std::string& path, const std::string& passphrase,
                                                           foundation::ErrorRef* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) *error = foundation::Error::make(kPosixDomain, errno, "cannot open " + path);
        return nullptr;
    }
    PKCS12* p12 = d2i_PKCS12_fp(f, nullptr);
    std::fclose(f);
    if (!p12) {
        if (error)
            *error =
                foundation::Error::make(kTlsDomain, kTlsBadCertificate, "not a PKCS#12 file: " + lastOpenSslError());
        return nullptr;
    }
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    STACK_OF(X509)* ca = nullptr;
    int ok = PKCS12_parse(p12, passphrase.c_str(), &key, &cert, &ca);
    PKCS12_free(p12);
    if (!ok || !cert || !key) {
        if (error)
            *error = foundation::Error::make(kTlsDomain, kTlsBadCertificate,
                                             "cannot read the PKCS#12 file (wrong passphrase?): " + lastOpenSslError());
        EVP_PKEY_free(key);
        X509_free(cert);
        sk_X509_pop_free(ca, X509_free);
        return nullptr;
    }
    std::shared_ptr<TlsIdentity> id(new TlsIdentity());
    id->cert_ = cert;
    id->key_ = key;
    if (ca) {
        for (int i = 0; i < sk_X509_num(ca); ++i) id->chain_.push_back(sk_X509_value(ca, i));
        sk_X509_free(ca);  // the certificates now belong to the identity
    }
    return id;
}

std::shared_ptr<const TlsIdentity> TlsIdentity::fromPEM(const std::string& certificatePath, const std::string& keyPath,
                                                        foundation::ErrorRef* error) {
    FILE* f = std::fopen(certificatePath.c_str(), "rb");
    if (!f) {
        if (error) *error = foundation::Error::make(kPosixDomain, errno, "cannot open " + certificatePath);
        return nullptr;
    }
    std::shared_ptr<TlsIdentity> id(new TlsIdentity());
    id->cert_ = PEM_read_X509(f, nullptr, nullptr, nullptr);
    while (id->cert_) {
        X509* more = PEM_read_X509(f, nullptr, nullptr, nullptr);
        if (!more) break;
        id->chain_.push_back(more);
    }
    ERR_clear_error();
    std::fclose(f);
    FILE* k = std::fopen(keyPath.c_str(), "rb");
    if (k) {
        id->key_ = PEM_read_PrivateKey(k, nullptr, nullptr, nullptr);
        std::fclose(k);
    }
    if (!id->cert_ || !id->key_) {
        if (error)
            *error = foundation::Error::make(kTlsDomain, kTlsBadCertificate,
                                             "cannot read the certificate or key: " + lastOpenSslError());
        return nullptr;
    }
    if (X509_check_private_key(id->cert_, id->key_) != 1) {
        if (error)
            *error = foundation::Error::make(kTlsDomain, kTlsCertificateInvalid,
                                             "the key does not belong to the certificate");
        ERR_clear_error();
        return nullptr;
    }
    return id;
}

// ---- the session --------------------------------------------------------------

void TlsSession::addTrustedRootsFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(trustMutex());
    trustFiles().push_back(path);
    sharedContexts().checking.reset();
}

std::unique_ptr<TlsSession> TlsSession::create(int fd, const std::string& host, const SslSettings& settings,
                                               StreamError& error) {
    std::unique_ptr<TlsSession> s(new TlsSession());
    s->ctx_ = clientContext(settings.validatesCertificateChain);
    if (!s->ctx_) {
        error = StreamError::tls(kTlsProtocolError, "TLS set-up failed: " + lastOpenSslError());
        return nullptr;
    }
    s->ssl_ = SSL_new(s->ctx_.get());
    if (!s->ssl_ || SSL_set_fd(s->ssl_, fd) != 1) {
        error = StreamError::tls(kTlsProtocolError, "TLS set-up failed: " + lastOpenSslError());
        return nullptr;
    }
    // The settings live in the session for the verify callback.
    auto* copy = new SslSettings(settings);
    SSL_set_ex_data(s->ssl_, settingsIndex(), copy);

    bool numeric = Resolver::isNumericHost(host);
    if (!numeric && !host.empty()) SSL_set_tlsext_host_name(s->ssl_, host.c_str());

    if (settings.validatesCertificateChain) {
        SSL_set_verify(s->ssl_, SSL_VERIFY_PEER, verifyCallback);
        std::optional<std::string> name = host;
        if (settings.peerName) name = *settings.peerName;
        if (name && !name->empty()) {
            X509_VERIFY_PARAM* param = SSL_get0_param(s->ssl_);
            X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            int ok = Resolver::isNumericHost(*name) ? X509_VERIFY_PARAM_set1_ip_asc(param, name->c_str())
                                                    : X509_VERIFY_PARAM_set1_host(param, name->c_str(), 0);
            if (ok != 1) {
                error = StreamError::tls(kTlsCertificateInvalid, "Cannot check the server name " + *name);
                return nullptr;
            }
        }
    } else {
        SSL_set_verify(s->ssl_, SSL_VERIFY_NONE, nullptr);
    }

    if (settings.identity) {
        if (SSL_use_certificate(s->ssl_, settings.identity->certificate()) != 1 ||
            SSL_use_PrivateKey(s->ssl_, settings.identity->key()) != 1 || SSL_check_private_key(s->ssl_) != 1) {
            error =
                StreamError::tls(kTlsBadCertificate, "The client certificate cannot be used: " + lastOpenSslError());
            return nullptr;
        }
        for (X509* c : settings.identity->chain()) SSL_add1_chain_cert(s->ssl_, c);
        for (const auto& c : settings.certificates)
            if (c) SSL_add1_chain_cert(s->ssl_, c->x509());
    }
    return s;
}

TlsSession::~TlsSession() {
    if (ssl_) {
        delete static_cast<SslSettings*>(SSL_get_ex_data(ssl_, settingsIndex()));
        SSL_free(ssl_);
    }
}

IoResult TlsSession::failure(int ret, StreamError& error) {
    int e = SSL_get_error(ssl_, ret);
    switch (e) {
        case SSL_ERROR_WANT_READ:
            want_ = POLLIN;
            return {IoResult::Kind::WouldBlock, 0, 0};
        case SSL_ERROR_WANT_WRITE:
            want_ = POLLOUT;
            return {IoResult::Kind::WouldBlock, 0, 0};
        case SSL_ERROR_ZERO_RETURN:
            ERR_clear_error();
            return {IoResult::Kind::End, 0, 0};
        case SSL_ERROR_SYSCALL: {
            int err = errno;
            std::string detail = lastOpenSslError();
            if (!handshakeDone_) {
                error = StreamError::tls(kTlsClosedAbort, "The server closed the connection during the TLS handshake");
                return {IoResult::Kind::Failed, 0, 0};
            }
            if (err == 0) return {IoResult::Kind::End, 0, 0};
            return {IoResult::Kind::Failed, 0, err};
        }
        default: {
            if (!handshakeDone_) {
                long verify = SSL_get_verify_result(ssl_);
                if (verify != X509_V_OK) {
                    ERR_clear_error();
                    error = verifyError(verify);
                    return {IoResult::Kind::Failed, 0, 0};
                }
            }
            unsigned long code = ERR_peek_error();
            int reason = ERR_GET_REASON(code);
            std::string detail = lastOpenSslError();
            bool alert = reason >= SSL_AD_REASON_OFFSET && reason < SSL_AD_REASON_OFFSET + 256;
            error = StreamError::tls(alert ? kTlsFatalAlert : kTlsProtocolError, "TLS error: " + detail);
            return {IoResult::Kind::Failed, 0, 0};
        }
    }
}

IoResult TlsSession::handshake(StreamError& error) {
    ERR_clear_error();
    int ret = SSL_connect(ssl_);
    if (ret == 1) {
        handshakeDone_ = true;
        want_ = 0;
        return {IoResult::Kind::Done, 0, 0};
    }
    return failure(ret, error);
}

IoResult TlsSession::read(void* buffer, size_t length, StreamError& error) {
    ERR_clear_error();
    size_t n = 0;
    int ret = SSL_read_ex(ssl_, buffer, length, &n);
    if (ret == 1) {
        want_ = 0;
        return {IoResult::Kind::Done, n, 0};
    }
    return failure(ret, error);
}

IoResult TlsSession::write(const void* data, size_t length, StreamError& error) {
    ERR_clear_error();
    size_t n = 0;
    int ret = SSL_write_ex(ssl_, data, length, &n);
    if (ret == 1) {
        want_ = 0;
        return {IoResult::Kind::Done, n, 0};
    }
    return failure(ret, error);
}

bool TlsSession::hasPendingBytes() const { return ssl_ && SSL_pending(ssl_) > 0; }

}  // namespace net
