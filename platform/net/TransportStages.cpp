#include "platform/net/TransportStages.h"

#include <arpa/inet.h>
#include <poll.h>

#include <cerrno>

#include "platform/net/HttpResponseParser.h"

namespace net {
namespace {

StreamError connectionLostError(int errnoValue) {
    if (errnoValue == EPIPE || errnoValue == ECONNRESET || errnoValue == ENOTCONN)
        return StreamError::network(kNetworkConnectionLost, "The network connection was lost.");
    return StreamError::posix(errnoValue);
}

}  // namespace

// ---- the connection -------------------------------------------------------------

IoResult Connection::read(void* buffer, size_t length, StreamError& tlsError) {
    if (!tls) return socket.read(buffer, length);
    return tls->read(buffer, length, tlsError);
}

IoResult Connection::write(const void* data, size_t length, StreamError& tlsError) {
    if (!tls) return socket.write(data, length);
    return tls->write(data, length, tlsError);
}

bool Connection::isIdleAndOpen() const { return socket.isIdleAndOpen() && !(tls && tls->hasPendingBytes()); }

void Connection::close() {
    tls.reset();
    socket.close();
}

// ---- resolve ----------------------------------------------------------------------

StageResult ResolveStage::step(Connection&, short) {
    if (!asked_) {
        asked_ = true;
        std::shared_ptr<ResolvedAddresses> into = into_;
        std::function<void()> wake = wake_;
        Resolver::resolve(host_, port_, [into, wake](std::vector<SocketAddress> addresses, StreamError error) {
            {
                std::lock_guard<std::mutex> lock(into->mutex);
                into->list = std::move(addresses);
                into->error = std::move(error);
                into->done = true;
            }
            if (wake) wake();
        });
    }
    std::lock_guard<std::mutex> lock(into_->mutex);
    if (!into_->done) return StageResult::wait(0);
    if (into_->error) return StageResult::failed(into_->error);
    return StageResult::done();
}

// ---- connect ----------------------------------------------------------------------

StageResult ConnectStage::step(Connection& connection, short revents) {
    if (resolved_) {
        std::lock_guard<std::mutex> lock(resolved_->mutex);
        addresses_ = std::move(resolved_->list);
        resolved_.reset();
    }
    if (connecting_) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return StageResult::wait(POLLOUT);
        connecting_ = false;
        StreamError err = connection.socket.connectResult();
        if (!err) return StageResult::done();
        connection.socket.close();
        lastError_ = err;
        ++index_;
    }
    while (index_ < addresses_.size()) {
        bool connected = false;
        StreamError err;
        Socket s = Socket::startConnect(addresses_[index_], connected, err);
        if (!s.valid()) {
            lastError_ = err;
            ++index_;
            continue;
        }
        connection.socket = std::move(s);
        if (connected) return StageResult::done();
        connecting_ = true;
        return StageResult::wait(POLLOUT);
    }
    return StageResult::failed(
        lastError_ ? lastError_ : StreamError::network(kNetworkCannotConnect, "Could not connect to the server."));
}

// ---- tunnels ------------------------------------------------------------------------

void TunnelStage::send(std::string request) {
    out_ = std::move(request);
    written_ = 0;
    in_.clear();
}

StageResult TunnelStage::step(Connection& connection, short) {
    while (true) {
        while (written_ < out_.size()) {
            IoResult r = connection.socket.write(out_.data() + written_, out_.size() - written_);
            if (r.kind == IoResult::Kind::WouldBlock) return StageResult::wait(POLLOUT);
            if (r.kind == IoResult::Kind::Failed) return StageResult::failed(connectionLostError(r.errnoValue));
            written_ += r.bytes;
        }
        char buf[1024];
        size_t want = wanted();
        if (want == 0) {
            StageResult next = replyComplete();
            // A further request of the same stage goes out at once.
            if (next.kind == StageResult::Kind::Done && written_ < out_.size()) continue;
            return next;
        }
        if (in_.size() > kMaxResponseHeadBytes)
            return StageResult::failed(
                StreamError::network(kNetworkBadServerResponse, "The proxy's answer to CONNECT is too long"));
        IoResult r = connection.socket.read(buf, std::min(want, sizeof buf));
        if (r.kind == IoResult::Kind::WouldBlock) return StageResult::wait(POLLIN);
        if (r.kind == IoResult::Kind::Failed) return StageResult::failed(connectionLostError(r.errnoValue));
        if (r.kind == IoResult::Kind::End)
            return StageResult::failed(StreamError::network(kNetworkCannotConnect, "The proxy closed the connection"));
        in_.append(buf, r.bytes);
    }
}

SocksStage::SocksStage(std::string host, int port) : host_(std::move(host)), port_(port) {
    send(std::string("\x05\x01\x00", 3));  // version 5, one method: no authentication
}

size_t SocksStage::wanted() const {
    if (!greeted_) return in_.size() < 2 ? 2 - in_.size() : 0;
    if (in_.size() < 5) return 5 - in_.size();
    unsigned char atyp = static_cast<unsigned char>(in_[3]);
    size_t total = atyp == 1 ? 10 : atyp == 4 ? 22 : 7 + static_cast<unsigned char>(in_[4]);
    return in_.size() < total ? total - in_.size() : 0;
}

StageResult SocksStage::replyComplete() {
    if (!greeted_) {
        if (in_[0] != 5 || in_[1] != 0)
            return StageResult::failed(StreamError::network(
                kNetworkCannotConnect, "The SOCKS proxy accepts no connection without a password"));
        greeted_ = true;
        std::string req("\x05\x01\x00", 3);
        unsigned char v4[4];
        unsigned char v6[16];
        if (inet_pton(AF_INET, host_.c_str(), v4) == 1) {
            req += '\x01';
            req.append(reinterpret_cast<char*>(v4), 4);
        } else if (inet_pton(AF_INET6, host_.c_str(), v6) == 1) {
            req += '\x04';
            req.append(reinterpret_cast<char*>(v6), 16);
        } else {
            if (host_.size() > 255)
                return StageResult::failed(
                    StreamError::network(kNetworkCannotFindHost, "The host name is too long for a SOCKS proxy"));
            req += '\x03';
            req += char(host_.size());
            req += host_;
        }
        req += char((port_ >> 8) & 0xff);
        req += char(port_ & 0xff);
        send(std::move(req));
        return StageResult::done();  // not yet: step() sends the connect request
    }
    unsigned char code = static_cast<unsigned char>(in_[1]);
    if (in_[0] != 5 || code != 0)
        return StageResult::failed(StreamError::network(
            kNetworkCannotConnect, "The SOCKS proxy could not connect (reply " + std::to_string(code) + ")"));
    out_.clear();
    written_ = 0;
    return StageResult::done();
}

ConnectTunnelStage::ConnectTunnelStage(const std::string& host, int port, const std::string* proxyAuthorization) {
    std::string authority;
    if (host.find(':') != std::string::npos)
        authority.append("[").append(host).append("]");
    else
        authority.append(host);
    authority.append(":").append(std::to_string(port));
    std::string request;
    request.assign("CONNECT ").append(authority).append(" HTTP/1.1\r\nHost: ").append(authority).append("\r\n");
    if (proxyAuthorization) request += "Proxy-Authorization: " + *proxyAuthorization + "\r\n";
    request += "\r\n";
    send(std::move(request));
}

size_t ConnectTunnelStage::wanted() const {
    return in_.size() >= 4 && in_.compare(in_.size() - 4, 4, "\r\n\r\n") == 0 ? 0 : 1;
}

StageResult ConnectTunnelStage::replyComplete() {
    HeadParseResult head = parseResponseHead(in_);
    if (head.status != HeadParseResult::Status::Complete)
        return StageResult::failed(
            StreamError::network(kNetworkBadServerResponse, "The proxy's answer to CONNECT is not HTTP"));
    if (head.head.statusCode >= 200 && head.head.statusCode < 300) return StageResult::done();
    // The proxy refused the tunnel (407 asks for proxy credentials): its
    // answer is the response the client gets.
    StageResult answered;
    answered.kind = StageResult::Kind::Answered;
    answered.reply = std::move(in_);
    in_.clear();
    return answered;
}

// ---- TLS ---------------------------------------------------------------------------

StageResult TlsStage::step(Connection& connection, short) {
    StreamError err;
    if (!connection.tls) {
        connection.tls = TlsSession::create(connection.socket.fd(), host_, settings_, err);
        if (!connection.tls) return StageResult::failed(err);
    }
    IoResult r = connection.tls->handshake(err);
    if (r.kind == IoResult::Kind::WouldBlock) {
        short want = connection.tls->wantedEvents();
        return StageResult::wait(want ? want : POLLIN);
    }
    if (r.kind != IoResult::Kind::Done)
        return StageResult::failed(err ? err : StreamError::tls(kTlsClosedAbort, "The TLS handshake failed"));
    return StageResult::done();
}

}  // namespace net
