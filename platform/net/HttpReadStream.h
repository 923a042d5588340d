#pragma once
// A read stream over one HTTP request: it resolves the host (off the calling
// thread), connects without blocking, sends the request head and body, and
// reads the response. It works only while scheduled on a run loop in a mode,
// and tells its client there, in that mode:
//   kEventHasBytesAvailable  first as soon as the response head is complete
//                            (even before any body byte), then whenever
//                            body bytes are waiting;
//   kEventEndEncountered     after the last body byte was read;
//   kEventErrorOccurred      once, on any failure.
// Body bytes come de-chunked but otherwise as sent (gzip stays gzip).
// While unscheduled it does no I/O of any kind and sends no event.
//
// Persistent connections: with attempt-persistent-connection on and a
// connection key set, a finished response leaves its socket parked under the
// key (when the server allows it); a later stream with the same key and
// origin takes it over after checking that it is still open. Two live streams
// never share a socket. close() of a finished stream closes its parked socket
// unless another stream took it over.
//
// Secure connections (https) use TLS with the SSL settings of the stream.
// Proxies: with an HTTP proxy an http request goes to the proxy with the
// absolute URL on its request line, and an https request first asks the
// proxy for a tunnel with CONNECT (an answer other than 2xx, such as 407, is
// handed to the client as the response); with a SOCKS proxy the connection
// is made through a SOCKS5 exchange.
//
// A new connection goes through the transport stages (TransportStages.h):
// resolve, connect, the proxy's tunnel, TLS; then the HTTP exchange. Kept
// connections are parked with their TLS session and are taken over only by a
// stream of the same origin, route (direct or which proxy) and SSL settings,
// which starts straight at the exchange.
//
// All calls are made on the thread of the run loop the stream is scheduled
// on, except close() of a stream that is not scheduled.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/net/ConnectionCache.h"
#include "platform/net/HttpMessage.h"
#include "platform/net/HttpResponseParser.h"
#include "platform/net/InputStream.h"
#include "platform/net/NetError.h"
#include "platform/net/Socket.h"
#include "platform/net/TlsSession.h"
#include "platform/net/TransportStages.h"

namespace net {

struct HttpProxySettings {
    std::string httpHost;  // for http URLs; empty for none
    int httpPort = 0;
    std::string httpsHost;  // for https URLs; empty for none
    int httpsPort = 0;
};

struct SocksProxySettings {
    std::string host;  // empty for none
    int port = 0;
};

class HttpReadStream : public std::enable_shared_from_this<HttpReadStream> {
public:
    enum Event : unsigned {
        kEventNone = 0,
        kEventHasBytesAvailable = 2,
        kEventErrorOccurred = 8,
        kEventEndEncountered = 16,
    };
    enum class Status { NotOpen, Opening, Open, AtEnd, Error, Closed };
    using Client = std::function<void(unsigned event)>;

    // A stream for the message, with an optional body sent after the head
    // (with a Content-Length field). nullptr when it cannot be made: a
    // Content-Length field that disagrees with the body, or a scheme other
    // than http and https.
    static std::shared_ptr<HttpReadStream> create(const HttpMessage& message, std::string body = {});
    // A stream whose body of `length` bytes is read from `body` while sending.
    static std::shared_ptr<HttpReadStream> createStreamed(const HttpMessage& message, std::shared_ptr<InputStream> body,
                                                          uint64_t length);
    ~HttpReadStream();
    HttpReadStream(const HttpReadStream&) = delete;
    HttpReadStream& operator=(const HttpReadStream&) = delete;

    // Properties, set before open().
    void setAttemptPersistentConnection(bool on) { persistent_ = on; }
    void setConnectionKey(int key) {
        key_ = key;
        hasKey_ = true;
    }

    // Replaces the SSL settings as a whole.
    void setSslSettings(const SslSettings& settings) { ssl_ = settings; }
    const SslSettings& sslSettings() const { return ssl_; }
    void setHttpProxy(const HttpProxySettings& proxy) { httpProxy_ = proxy; }
    void setSocksProxy(const SocksProxySettings& proxy) { socksProxy_ = proxy; }

    // The client hears the events in `mask`; a mask of 0 or an empty client
    // removes it. Returns true.
    bool setClient(unsigned mask, Client client);
    void scheduleWithRunLoop(foundation::RunLoop& loop, const std::string& mode);
    void unscheduleFromRunLoop(foundation::RunLoop& loop, const std::string& mode);
    bool isScheduled() const { return scheduled_; }

    // Starts the work (which goes on while scheduled). With a persistent
    // connection, a socket parked under the key is claimed at once, so that
    // closing the stream that parked it can no longer close it. False when
    // already opened or closed.
    bool open();
    // Copies waiting body bytes: the count, 0 when none is waiting (see
    // status() for the end), -1 after an error.
    long read(uint8_t* buffer, size_t maxLength);
    bool hasBytesAvailable() const { return body_.size() > bodyOffset_; }
    // The response head once it is complete; nullptr before.
    const HttpResponseHead* responseHead() const;
    // Body bytes of the request handed to the socket so far.
    uint64_t requestBytesWrittenCount() const { return bodyBytesWritten_; }
    const StreamError& error() const { return error_; }
    Status status() const;
    void close();

    // Whether the request went out on a parked socket.
    bool usedParkedConnection() const { return reused_; }
    // Bytes of the response read from the connection so far (head included).
    uint64_t responseBytesReceived() const { return responseBytesReceived_; }
    // How the connection reaches the origin: "direct", "http-proxy host:port"
    // or "socks host:port". Streams of one route may share parked sockets.
    std::string route() const;

private:
    enum class Phase {
        Idle,
        Waiting,
        Connecting,  // the transport stages: resolve, connect, tunnel, TLS
        Sending,
        Receiving,
        Finished,
        Failed,
        Closed
    };

    HttpReadStream(const HttpMessage& message, std::string out, size_t headLength);
    ConnectionIdentity identity() const;
    void postPump();
    void pump();
    // Does the work that is due (starting, connecting); delivers no event.
    void advance();
    void start();
    void planStages();
    void runStages(short revents);
    void beginExchange();
    void takeProxyAnswer(std::string reply);
    void onSocketEvent(short revents);
    bool usesHttpProxy() const;
    bool usesSocksProxy() const { return !socksProxy_.host.empty() && socksProxy_.port > 0; }
    std::string connectHost() const;
    int connectPort() const;
    IoResult ioRead(void* buffer, size_t length);
    IoResult ioWrite(const void* data, size_t length);
    bool refillBody();
    void sendSome();
    void receiveSome();
    void finishSocket();
    void fail(StreamError error);
    void updateWatch();
    void deliver();
    void emit(unsigned event);

    HttpMessage message_;
    std::string out_;
    size_t headLength_ = 0;
    size_t written_ = 0;
    uint64_t bodyBytesWritten_ = 0;
    bool persistent_ = false;
    bool hasKey_ = false;
    int key_ = 0;

    unsigned mask_ = 0;
    Client client_;
    foundation::RunLoop* loop_ = nullptr;
    std::string mode_;
    bool scheduled_ = false;
    foundation::FdWatchRef watch_;
    int watchedFd_ = -1;
    bool pumpPosted_ = false;

    Phase phase_ = Phase::Idle;
    std::vector<std::unique_ptr<TransportStage>> stages_;
    size_t stageIndex_ = 0;
    short stageEvents_ = 0;  // what the running stage waits for
    Connection conn_;
    bool reused_ = false;
    uint64_t responseBytesReceived_ = 0;
    Connection parked_;  // taken from the cache at open(), checked when the work starts
    HttpResponseParser parser_;
    std::string body_;
    size_t bodyOffset_ = 0;
    bool extraBytes_ = false;
    bool headDelivered_ = false;
    bool newBodyBytes_ = false;
    bool endDelivered_ = false;
    bool errorDelivered_ = false;
    bool delivering_ = false;
    StreamError error_;
    uint64_t parkToken_ = 0;
    std::unique_ptr<char[]> readBuffer_;

    SslSettings ssl_;
    HttpProxySettings httpProxy_;
    SocksProxySettings socksProxy_;
    StreamError ioError_;  // a TLS failure of the last ioRead/ioWrite
    bool noReuse_ = false;
    std::shared_ptr<InputStream> bodySource_;
    uint64_t bodyLength_ = 0;
    uint64_t bodyRead_ = 0;
    uint64_t totalWritten_ = 0;

    // Where a name-resolution answer is to be delivered: the loop the stream
    // is scheduled on; cleared when the stream closes, so an answer arriving
    // late never reaches a loop that may be gone.
    struct ResolveTarget {
        std::mutex mutex;
        foundation::RunLoop* loop = nullptr;
        std::string mode;
    };
    std::shared_ptr<ResolveTarget> resolveTarget_ = std::make_shared<ResolveTarget>();
};

}  // namespace net
