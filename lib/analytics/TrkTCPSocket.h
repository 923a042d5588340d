#pragma once
// A client TCP connection to the collector, either driven by the run loop
// (connected reported once, then readable / error / end) or used in line
// with a blocking connect and polling. Built on the platform socket; host
// names are resolved by the platform's resolver pool, never on the caller's
// run loop.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/net/Socket.h"

class TrkTCPSocket;

class TrkTCPSocketDelegate {
public:
    virtual ~TrkTCPSocketDelegate() = default;
    virtual void socketConnectDidSucceed(TrkTCPSocket& socket) { (void)socket; }
    // The error is always absent (nullptr).
    virtual void socketConnectDidFail(TrkTCPSocket& socket, const void* error) { (void)socket, (void)error; }
    // Bytes, the end of the stream or an error can be read.
    virtual void socketBecameReadable(TrkTCPSocket& socket) { (void)socket; }
    // Room to write again after send() accepted only part of the bytes.
    virtual void socketBecameWritable(TrkTCPSocket& socket) { (void)socket; }
};

class TrkTCPSocket : public std::enable_shared_from_this<TrkTCPSocket> {
public:
    // Run-loop callbacks go to the given loop (default: the main loop) and
    // hold `lock` when one is given (the lock the socket's owner holds when it
    // calls the socket from other threads).
    static std::shared_ptr<TrkTCPSocket> create(TrkTCPSocketDelegate* delegate, foundation::RunLoop* runLoop = nullptr,
                                                std::recursive_mutex* lock = nullptr);
    virtual ~TrkTCPSocket();
    TrkTCPSocket(const TrkTCPSocket&) = delete;
    TrkTCPSocket& operator=(const TrkTCPSocket&) = delete;

    TrkTCPSocketDelegate* delegate() const { return delegate_; }
    void setDelegate(TrkTCPSocketDelegate* d) { delegate_ = d; }
    bool hookedInRunLoop() const { return hooked_; }
    bool isOpen() const { return socket_.valid(); }

    // In line: a blocking connect; false (after telling the delegate) when it
    // fails. On the run loop: starts a connect whose outcome reaches the
    // delegate from the run loop; false when a connection is already open or
    // starting, or the connect could not even start (the failure is still
    // reported from the run loop). A host name (not a numeric address) is
    // first resolved on the resolver pool: connect returns true at once and
    // an unknown name is reported as a failed connect.
    virtual bool connect(const std::string& host, int port, bool inLine);
    // Bytes are waiting (or the end / an error): a read will not block.
    virtual bool readyToRead();
    // Waits at most timeoutMs for readyToRead (in-line use).
    virtual void waitReadable(int timeoutMs);
    // Bytes read, 0 at the end of the stream, negative on error; -1 when closed.
    virtual int read(uint8_t* buffer, int length);
    // Bytes accepted (possibly fewer than given; 0 when the socket has no room
    // now), negative on error; -1 when closed.
    virtual int send(const uint8_t* bytes, int length);
    // Asks for socketBecameWritable once the socket has room again.
    virtual void setWantsWritable(bool wants);
    virtual void close();

protected:
    TrkTCPSocket(TrkTCPSocketDelegate* delegate, foundation::RunLoop* runLoop, std::recursive_mutex* lock);

private:
    void startConnect();
    void addressesResolved(uint64_t attempt, std::vector<net::SocketAddress> addresses);
    void handleEvents(short revents);
    void reportFailureLater();
    void updateWatch();

    TrkTCPSocketDelegate* delegate_;
    foundation::RunLoop* runLoop_;
    std::recursive_mutex ownLock_;
    std::recursive_mutex* lock_;
    net::Socket socket_;
    bool hooked_ = false;
    bool resolving_ = false;
    uint64_t attempt_ = 0;  // a newer connect or a close makes older resolutions stale
    bool connected_ = false;
    bool wantsWritable_ = false;
    std::vector<net::SocketAddress> addresses_;
    size_t nextAddress_ = 0;
    foundation::FdWatchRef watch_;
};
