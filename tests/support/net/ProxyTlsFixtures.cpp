#include "tests/support/net/ProxyTlsFixtures.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace testnet {
namespace {

int listenLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0)
        throw std::runtime_error("cannot listen on loopback");
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

// Accepts until stopping, handing each connection to serve() on a thread.
void acceptLoop(int listenFd, std::atomic<bool>& stopping, std::mutex& mutex, std::vector<std::thread>& threads,
                const std::function<void(int)>& serve) {
    while (!stopping) {
        pollfd p{listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        timeval tv{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        std::lock_guard<std::mutex> lock(mutex);
        threads.emplace_back([serve, fd] { serve(fd); });
    }
}

void stopAll(int& listenFd, std::atomic<bool>& stopping, std::thread& acceptThread, std::mutex& mutex,
             std::vector<std::thread>& threads) {
    stopping = true;
    if (acceptThread.joinable()) acceptThread.join();
    ::close(listenFd);
    listenFd = -1;
    std::vector<std::thread> all;
    {
        std::lock_guard<std::mutex> lock(mutex);
        all.swap(threads);
    }
    for (auto& t : all) t.join();
}

bool writeAll(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

bool readExact(int fd, std::string& out, size_t n) {
    while (out.size() < n) {
        char buf[512];
        ssize_t got = ::recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
        if (got <= 0) return false;
        out.append(buf, size_t(got));
    }
    return true;
}

// Reads a request head byte by byte (so nothing after it is taken).
bool readHead(int fd, std::string& head) {
    while (head.size() < 65536) {
        char c;
        if (::recv(fd, &c, 1, 0) != 1) return false;
        head += c;
        if (head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0) return true;
    }
    return false;
}

int connectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Copies bytes both ways until either side closes or the fixture stops.
void relay(int a, int b, const std::atomic<bool>& stopping) {
    char buf[16384];
    while (!stopping) {
        pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        int n = ::poll(p, 2, 50);
        if (n <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            int from = i == 0 ? a : b, to = i == 0 ? b : a;
            ssize_t got = ::recv(from, buf, sizeof buf, 0);
            if (got <= 0 || !writeAll(to, std::string(buf, size_t(got)))) return;
        }
    }
}

size_t contentLength(const std::string& head) {
    std::string lower;
    for (char c : head) lower += char(std::tolower(static_cast<unsigned char>(c)));
    size_t p = lower.find("\r\ncontent-length:");
    if (p == std::string::npos) return 0;
    return size_t(std::strtoull(head.c_str() + p + 17, nullptr, 10));
}

// Whether a reply's head carries "Connection: close".
bool headSaysClose(const std::string& reply) {
    std::string lower;
    for (char c : reply.substr(0, reply.find("\r\n\r\n"))) lower += char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("\r\nconnection: close") != std::string::npos;
}

}  // namespace

const TestCertificates& testCertificates() {
    static TestCertificates certs = [] {
        char tmpl[] = "/tmp/quenta-certs-XXXXXX";
        const char* dir = ::mkdtemp(tmpl);
        if (!dir) throw std::runtime_error("mkdtemp failed");
        std::string d = dir;
        std::string cmd =
            std::string("sh '") + QUENTA_SOURCE_DIR + "/tests/support/net/make_test_certs.sh' '" + d + "'";
        if (std::system(cmd.c_str()) != 0) throw std::runtime_error("make_test_certs.sh failed");
        TestCertificates c;
        c.dir = d;
        c.ca = d + "/ca.pem";
        c.serverCert = d + "/server.pem";
        c.serverKey = d + "/server.key";
        c.selfCert = d + "/self.pem";
        c.selfKey = d + "/self.key";
        c.clientCert = d + "/client.pem";
        c.clientKey = d + "/client.key";
        c.clientP12 = d + "/client.p12";
        return c;
    }();
    return certs;
}

const std::string& expiredServerCertificate() {
    static std::string path = [] {
        const TestCertificates& c = testCertificates();
        auto readKey = [](const std::string& p) {
            FILE* f = std::fopen(p.c_str(), "rb");
            EVP_PKEY* k = f ? PEM_read_PrivateKey(f, nullptr, nullptr, nullptr) : nullptr;
            if (f) std::fclose(f);
            return k;
        };
        FILE* caFile = std::fopen(c.ca.c_str(), "rb");
        X509* ca = caFile ? PEM_read_X509(caFile, nullptr, nullptr, nullptr) : nullptr;
        if (caFile) std::fclose(caFile);
        EVP_PKEY* caKey = readKey(c.ca.substr(0, c.ca.size() - 4) + ".key");
        EVP_PKEY* key = readKey(c.serverKey);
        if (!ca || !caKey || !key) throw std::runtime_error("cannot read the test authority");
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 4242);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3 * 86400);
        X509_gmtime_adj(X509_getm_notAfter(cert), -86400);
        X509_set_pubkey(cert, key);
        X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(cert, X509_get_subject_name(ca));
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, ca, cert, nullptr, nullptr, 0);
        X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, "DNS:localhost, IP:127.0.0.1");
        X509_add_ext(cert, san, -1);
        X509_EXTENSION_free(san);
        X509_sign(cert, caKey, EVP_sha256());
        std::string out = c.dir + "/expired.pem";
        FILE* f = std::fopen(out.c_str(), "wb");
        PEM_write_X509(f, cert);
        std::fclose(f);
        X509_free(cert);
        X509_free(ca);
        EVP_PKEY_free(caKey);
        EVP_PKEY_free(key);
        return out;
    }();
    return path;
}

// ---- TLS server ---------------------------------------------------------------

TlsHttpServer::TlsHttpServer(const std::string& certificate, const std::string& key, Handler handler,
                             const std::string& clientCaFile, bool requireClientCertificate)
    : handler_(std::move(handler)) {
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_chain_file(ctx_, certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, key.c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("cannot load the server certificate");
    if (!clientCaFile.empty()) {
        SSL_CTX_load_verify_locations(ctx_, clientCaFile.c_str(), nullptr);
        SSL_CTX_set_client_CA_list(ctx_, SSL_load_client_CA_file(clientCaFile.c_str()));
        SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER | (requireClientCertificate ? SSL_VERIFY_FAIL_IF_NO_PEER_CERT : 0),
                           nullptr);
    }
    listenFd_ = listenLoopback(port_);
    acceptThread_ =
        std::thread([this] { acceptLoop(listenFd_, stopping_, mutex_, threads_, [this](int fd) { serve(fd); }); });
}

TlsHttpServer::~TlsHttpServer() {
    stopAll(listenFd_, stopping_, acceptThread_, mutex_, threads_);
    SSL_CTX_free(ctx_);
}

std::string TlsHttpServer::url(const std::string& host, const std::string& path) const {
    return "https://" + host + ":" + std::to_string(port_) + path;
}

std::vector<TlsRequest> TlsHttpServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void TlsHttpServer::serve(int fd) {
    int ordinal = ++connections_;
    SSL* ssl = SSL_new(ctx_);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) != 1) {
        ++failedHandshakes_;
        ERR_clear_error();
        SSL_free(ssl);
        ::close(fd);
        return;
    }
    TlsRequest first;
    if (const char* sni = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name)) first.serverName = sni;
    if (X509* peer = SSL_get1_peer_certificate(ssl)) {
        char buf[256];
        X509_NAME_oneline(X509_get_subject_name(peer), buf, sizeof buf);
        first.clientSubject = buf;
        X509_free(peer);
    }
    std::string data;
    char buf[16384];
    int index = 0;
    bool clientClosed = false;
    while (!clientClosed) {
        TlsRequest req = first;
        req.connection = ordinal;
        req.indexOnConnection = ++index;
        bool ok = false;
        while (true) {
            size_t end = data.find("\r\n\r\n");
            if (end != std::string::npos) {
                req.head = data.substr(0, end + 4);
                size_t want = contentLength(req.head);
                if (data.size() - req.head.size() >= want) {
                    req.body = data.substr(req.head.size(), want);
                    data.erase(0, req.head.size() + want);
                    ok = true;
                    break;
                }
            }
            // Waits for the next request in short steps so that a kept
            // connection never holds up stopping the server.
            if (SSL_pending(ssl) == 0) {
                pollfd p{fd, POLLIN, 0};
                int ready = ::poll(&p, 1, 50);
                if (stopping_) break;
                if (ready <= 0) continue;
            }
            int n = SSL_read(ssl, buf, sizeof buf);
            if (n <= 0) {
                clientClosed = true;
                break;
            }
            data.append(buf, size_t(n));
        }
        if (!ok) break;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(req);
        }
        std::string reply = handler_(req);
        size_t done = 0;
        while (done < reply.size()) {
            int n = SSL_write(ssl, reply.data() + done, int(reply.size() - done));
            if (n <= 0) break;
            done += size_t(n);
        }
        if (!keepAlive_ || headSaysClose(reply)) {
            SSL_shutdown(ssl);
            break;
        }
    }
    ERR_clear_error();
    SSL_free(ssl);
    ::close(fd);
}

// ---- HTTP proxy -----------------------------------------------------------------

HttpProxyFixture::HttpProxyFixture() {
    listenFd_ = listenLoopback(port_);
    acceptThread_ =
        std::thread([this] { acceptLoop(listenFd_, stopping_, mutex_, threads_, [this](int fd) { serve(fd); }); });
}

HttpProxyFixture::~HttpProxyFixture() { stopAll(listenFd_, stopping_, acceptThread_, mutex_, threads_); }

void HttpProxyFixture::requireProxyAuthorization(std::string value) {
    std::lock_guard<std::mutex> lock(mutex_);
    requiredAuthorization_ = std::move(value);
}

std::vector<std::string> HttpProxyFixture::requestHeads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heads_;
}

void HttpProxyFixture::serve(int fd) {
    std::string head;
    if (readHead(fd, head)) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            heads_.push_back(head);
        }
        std::string line = head.substr(0, head.find("\r\n"));
        std::string target = line.substr(line.find(' ') + 1);
        target = target.substr(0, target.find(' '));
        if (line.rfind("CONNECT ", 0) == 0) {
            std::string required;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                required = requiredAuthorization_;
            }
            bool authorized =
                required.empty() || head.find("\r\nProxy-Authorization: " + required + "\r\n") != std::string::npos;
            if (refuseConnect || !authorized) {
                std::string body = "proxy credentials needed";
                writeAll(fd,
                         "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"proxy\"\r\n"
                         "Content-Length: " +
                             std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            } else {
                int port = std::atoi(target.substr(target.rfind(':') + 1).c_str());
                int up = connectLoopback(port);
                if (up >= 0) {
                    writeAll(fd, "HTTP/1.1 200 Connection established\r\n\r\n");
                    relay(fd, up, stopping_);
                    ::close(up);
                } else {
                    writeAll(fd, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                }
            }
        } else {
            size_t skip = contentLength(head);
            std::string body;
            readExact(fd, body, skip);
            std::string reply = "proxied " + target;
            writeAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(reply.size()) +
                             "\r\nConnection: close\r\n\r\n" + reply);
        }
    }
    ::close(fd);
}

// ---- SOCKS5 -----------------------------------------------------------------------

Socks5Fixture::Socks5Fixture() {
    listenFd_ = listenLoopback(port_);
    acceptThread_ =
        std::thread([this] { acceptLoop(listenFd_, stopping_, mutex_, threads_, [this](int fd) { serve(fd); }); });
}

Socks5Fixture::~Socks5Fixture() { stopAll(listenFd_, stopping_, acceptThread_, mutex_, threads_); }

std::vector<std::string> Socks5Fixture::targets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return targets_;
}

void Socks5Fixture::serve(int fd) {
    std::string in;
    // Greeting: version, method count, methods.
    if (readExact(fd, in, 2) && in[0] == 5 && readExact(fd, in, 2 + size_t(static_cast<unsigned char>(in[1])))) {
        writeAll(fd, std::string("\x05\x00", 2));
        std::string req;
        if (readExact(fd, req, 5)) {
            unsigned char atyp = static_cast<unsigned char>(req[3]);
            size_t total = atyp == 1 ? 10 : atyp == 4 ? 22 : 7 + static_cast<unsigned char>(req[4]);
            if (readExact(fd, req, total)) {
                std::string host;
                if (atyp == 3) {
                    host = req.substr(5, static_cast<unsigned char>(req[4]));
                } else if (atyp == 1) {
                    char buf[INET_ADDRSTRLEN];
                    inet_ntop(AF_INET, req.data() + 4, buf, sizeof buf);
                    host = buf;
                }
                int port =
                    (static_cast<unsigned char>(req[total - 2]) << 8) | static_cast<unsigned char>(req[total - 1]);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    targets_.push_back(host + ":" + std::to_string(port));
                }
                int up = connectLoopback(port);
                if (up >= 0) {
                    writeAll(fd, std::string("\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10));
                    relay(fd, up, stopping_);
                    ::close(up);
                } else {
                    writeAll(fd, std::string("\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00", 10));
                }
            }
        }
    }
    ::close(fd);
}

}  // namespace testnet
