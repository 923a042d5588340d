#pragma once
// A client TCP connection to the collector, either driven by the run loop
// (connected reported once, then readable / error / end) or used in line
// with a blocking connect and polling.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"

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
    bool isOpen() const { return fd_ >= 0; }

    // In line: a blocking connect; false (after telling the delegate) when it
    // fails. On the run loop: starts a connect whose outcome reaches the
    // delegate from the run loop; false when a connection is already open or
    // the connect could not even start (the failure is still reported from
    // the run loop).
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
    void handleEvents(short revents);
    void reportFailureLater();
    void updateWatch();

    TrkTCPSocketDelegate* delegate_;
    foundation::RunLoop* runLoop_;
    std::recursive_mutex ownLock_;
    std::recursive_mutex* lock_;
    int fd_ = -1;
    bool hooked_ = false;
    bool connected_ = false;
    bool wantsWritable_ = false;
    std::vector<std::pair<std::vector<uint8_t>, unsigned>> addresses_;  // sockaddr bytes, family
    size_t nextAddress_ = 0;
    foundation::FdWatchRef watch_;
};
