#pragma once
// The steps that make a connection ready for an HTTP exchange. Each stage is
// a small state machine over one non-blocking connection: step() does what it
// can without blocking and says whether it is done, waits for a socket event
// or failed. The HTTP read stream runs them in order:
//
//   resolve     the host (or the proxy's) to addresses, off the calling thread
//   connect     the addresses in turn until one connects
//   SOCKS5      greeting and connect request through a SOCKS proxy
//   CONNECT     a tunnel through an HTTP proxy (for https)
//   TLS         the handshake, over the socket or the tunnel
//
// The HTTP exchange comes after them. A connection that went through every stage
// once can be parked and used again without any of them.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/net/NetError.h"
#include "platform/net/Socket.h"
#include "platform/net/TlsSession.h"

namespace net {

// A connection as the stages leave it: the socket and, for https, the TLS
// session over it.
struct Connection {
    Socket socket;
    std::unique_ptr<TlsSession> tls;

    IoResult read(void* buffer, size_t length, StreamError& tlsError);
    IoResult write(const void* data, size_t length, StreamError& tlsError);
    // Whether an idle connection can take a new request: the peer neither
    // closed it nor sent anything unasked, and TLS holds no bytes.
    bool isIdleAndOpen() const;
    void close();
};

struct StageResult {
    enum class Kind {
        Done,
        Wait,      // for `events` on the socket; 0: for the stage's own wake-up call
        Failed,    // with `error`
        Answered,  // the proxy refused the tunnel; `reply` is its answer
    } kind = Kind::Done;
    short events = 0;
    StreamError error;
    std::string reply;

    static StageResult done() { return {}; }
    static StageResult wait(short events) { return {Kind::Wait, events, {}, {}}; }
    static StageResult failed(StreamError error) { return {Kind::Failed, 0, std::move(error), {}}; }
};

class TransportStage {
public:
    virtual ~TransportStage() = default;
    // Called first with no events, then with the events of each wake-up.
    virtual StageResult step(Connection& connection, short revents) = 0;
    // Whether the stage may replace the connection's socket (so a watch on
    // the old one is stale).
    virtual bool opensSockets() const { return false; }
};

// The answer of a name look-up, filled on the resolver's thread.
struct ResolvedAddresses {
    std::mutex mutex;
    bool done = false;
    std::vector<SocketAddress> list;
    StreamError error;
};

class ResolveStage : public TransportStage {
public:
    // `wake` is called on whichever thread has the answer, once it is in
    // (within step() when it comes at once); the owner then steps the stage
    // again on its own thread.
    ResolveStage(std::string host, int port, std::shared_ptr<ResolvedAddresses> into, std::function<void()> wake)
        : host_(std::move(host)), port_(port), into_(std::move(into)), wake_(std::move(wake)) {}
    StageResult step(Connection& connection, short revents) override;

private:
    std::string host_;
    int port_;
    std::shared_ptr<ResolvedAddresses> into_;
    std::function<void()> wake_;
    bool asked_ = false;
};

class ConnectStage : public TransportStage {
public:
    explicit ConnectStage(std::shared_ptr<ResolvedAddresses> addresses) : resolved_(std::move(addresses)) {}
    StageResult step(Connection& connection, short revents) override;
    bool opensSockets() const override { return true; }

private:
    std::shared_ptr<ResolvedAddresses> resolved_;
    std::vector<SocketAddress> addresses_;
    size_t index_ = 0;
    bool connecting_ = false;
    StreamError lastError_;
};

// A request and its reply over the bare socket; the reply is read no further
// than its own end, so nothing that follows it is taken.
class TunnelStage : public TransportStage {
public:
    StageResult step(Connection& connection, short revents) override;

protected:
    // Bytes still wanted of the reply; 0 when it is whole.
    virtual size_t wanted() const = 0;
    // The reply is whole: go on (a new request, or done).
    virtual StageResult replyComplete() = 0;
    void send(std::string request);
    std::string out_;
    size_t written_ = 0;
    std::string in_;
};

class SocksStage : public TunnelStage {
public:
    // The target as the URL names it (a name or a numeric address).
    SocksStage(std::string host, int port);

protected:
    size_t wanted() const override;
    StageResult replyComplete() override;

private:
    std::string host_;
    int port_;
    bool greeted_ = false;
};

class ConnectTunnelStage : public TunnelStage {
public:
    ConnectTunnelStage(const std::string& host, int port, const std::string* proxyAuthorization);

protected:
    size_t wanted() const override;
    StageResult replyComplete() override;
};

class TlsStage : public TransportStage {
public:
    TlsStage(std::string host, SslSettings settings) : host_(std::move(host)), settings_(std::move(settings)) {}
    StageResult step(Connection& connection, short revents) override;

private:
    std::string host_;
    SslSettings settings_;
};

}  // namespace net
