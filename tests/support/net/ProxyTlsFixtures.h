#pragma once
// Loopback fixtures for secure connections and proxies: a TLS server with
// certificates made at test time (make_test_certs.sh), an HTTP proxy that
// answers absolute-form requests itself and tunnels CONNECT, and a SOCKS5
// proxy. Each runs on its own threads on 127.0.0.1 until destroyed.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

namespace testnet {

struct TestCertificates {
    std::string dir;
    std::string ca, serverCert, serverKey, selfCert, selfKey, clientCert, clientKey, clientP12;
};
// Made once per test process, in a fresh temporary directory.
const TestCertificates& testCertificates();
// A certificate for localhost signed by the test authority whose validity
// ended yesterday (key: serverKey). Made once, beside the others.
const std::string& expiredServerCertificate();

struct TlsRequest {
    std::string head;  // request line and header fields
    std::string body;
    std::string serverName;     // the name the client asked for (SNI), "" when none
    std::string clientSubject;  // subject of the client certificate, "" when none
    int connection = 0;         // 1 for the first connection accepted
    int indexOnConnection = 0;  // 1 for the first request on its connection
};

class TlsHttpServer {
public:
    using Handler = std::function<std::string(const TlsRequest&)>;
    // With a CA file, client certificates signed by it are asked for (and
    // required when `requireClientCertificate`).
    TlsHttpServer(const std::string& certificate, const std::string& key, Handler handler,
                  const std::string& clientCaFile = "", bool requireClientCertificate = false);
    ~TlsHttpServer();
    int port() const { return port_; }
    std::string url(const std::string& host, const std::string& path) const;
    std::vector<TlsRequest> requests() const;
    int failedHandshakes() const { return failedHandshakes_.load(); }
    // Connections accepted so far (handshakes that failed included).
    int connectionCount() const { return connections_.load(); }
    // Off (the default): the connection ends after one reply. On: it stays
    // open for further requests until the client closes it or a reply says
    // "Connection: close".
    void setKeepAlive(bool on) { keepAlive_ = on; }

private:
    void serve(int fd);
    SSL_CTX* ctx_ = nullptr;
    std::atomic<bool> keepAlive_{false};
    std::atomic<int> connections_{0};
    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> failedHandshakes_{0};
    mutable std::mutex mutex_;
    std::vector<TlsRequest> requests_;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

// An HTTP proxy. A plain request (absolute form) is answered by the proxy
// itself: 200 with the body "proxied <request target>". CONNECT host:port is
// tunnelled to 127.0.0.1:port, unless `refuseConnect` is set or the
// required proxy credentials are missing: then the answer is 407 with a
// Basic challenge.
class HttpProxyFixture {
public:
    HttpProxyFixture();
    ~HttpProxyFixture();
    int port() const { return port_; }
    std::vector<std::string> requestHeads() const;
    std::atomic<bool> refuseConnect{false};
    // When set, CONNECT needs this "Proxy-Authorization" value (else 407).
    void requireProxyAuthorization(std::string value);

private:
    void serve(int fd);
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;
    std::string requiredAuthorization_;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

// A SOCKS5 proxy without authentication; every target is reached at
// 127.0.0.1 on the requested port. Records "host:port" of each request.
class Socks5Fixture {
public:
    Socks5Fixture();
    ~Socks5Fixture();
    int port() const { return port_; }
    std::vector<std::string> targets() const;

private:
    void serve(int fd);
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

}  // namespace testnet
