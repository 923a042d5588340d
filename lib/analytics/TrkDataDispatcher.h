#pragma once
// Sends stored hits to the analytics collector over plain HTTP/1.1 on one TCP
// connection, up to 30 requests pipelined per batch and 5 batches per
// dispatch, and reports every hit the collector confirmed with status 200.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lib/analytics/TrkHTTPResponseParser.h"
#include "lib/analytics/TrkModels.h"
#include "lib/analytics/TrkTCPSocket.h"
#include "platform/foundation/RunLoop.h"

class TrkDataDispatcher;

class TrkDataDispatcherDelegate {
public:
    virtual ~TrkDataDispatcherDelegate() = default;
    // The collector confirmed this hit.
    virtual void dataDispatcherDispatched(TrkDataDispatcher& dispatcher, const TrkHit& hit) {
        (void)dispatcher, (void)hit;
    }
    // A dispatch ended (always called once per dispatch).
    virtual void dataDispatcherDidComplete(TrkDataDispatcher& dispatcher) { (void)dispatcher; }
};

// Where the collector listens: a deployment value. QUENTA_ANALYTICS_URL
// ("http://host[:port][/prefix]") overrides the default, a loopback address.
struct TrkCollectorAddress {
    std::string host = "127.0.0.1";
    int port = 80;
    std::string pathPrefix;
};
TrkCollectorAddress trkCollectorAddress();

inline constexpr int kTrkMaxHitsPerBatch = 30;
inline constexpr int kTrkMaxBatchesPerDispatch = 5;
inline constexpr size_t kTrkMaxGetLength = 2036;
inline constexpr double kTrkInitialRetryInterval = 2.0;
inline constexpr double kTrkMaxRetryInterval = 256.0;
// A dispatch batch that gets no answer within this many seconds ends.
inline constexpr double kTrkDispatchTimeLimit = 60.0;

class TrkDataDispatcher : public TrkTCPSocketDelegate,
                          public TrkHTTPResponseParserDelegate,
                          public std::enable_shared_from_this<TrkDataDispatcher> {
public:
    using SocketClass = std::function<std::shared_ptr<TrkTCPSocket>(TrkTCPSocketDelegate* delegate)>;

    // Socket events, the back-off and the time limit run on `runLoop`
    // (default: the main run loop) and hold `lock` (default: one of the
    // dispatcher's own), the lock its owner holds when it calls in, so the
    // run loop and other threads never work on the dispatcher at once.
    static std::shared_ptr<TrkDataDispatcher> create(TrkDataDispatcherDelegate* delegate, const std::string& product,
                                                     const std::string& version, foundation::RunLoop* runLoop = nullptr,
                                                     std::recursive_mutex* lock = nullptr);
    ~TrkDataDispatcher() override;

    void dispatchHits(const std::vector<TrkHit>& hits);
    bool dispatchHitsSynchronously(const std::vector<TrkHit>& hits, double timeoutSeconds);

    void dispatchPendingHits();
    void constructRequest();
    std::string constructRequestFromHit(TrkHit& hit);
    void sendData();
    void reportHitDispatched();
    void finishDispatch();
    void closeConnection();
    void cancelDispatch();
    void injectSocketClass(SocketClass socketClass);
    // Ends everything at once and forgets the delegate: no callback follows.
    void shutdown();

    // Socket and parser callbacks.
    void socketConnectDidSucceed(TrkTCPSocket& socket) override;
    void socketConnectDidFail(TrkTCPSocket& socket, const void* error) override;
    void socketBecameReadable(TrkTCPSocket& socket) override;
    void socketBecameWritable(TrkTCPSocket& socket) override;
    void responseParsed(TrkHTTPResponseParser& parser, bool persistentConnection) override;
    void parseError(TrkHTTPResponseParser& parser, int statusCode) override;

    int lastStatusCode() const { return lastStatusCode_; }
    double retryInterval() const { return retryInterval_; }
    unsigned hitsDispatched() const { return hitsDispatched_; }
    bool sendingSynchronously() const { return sendingSynchronously_; }
    unsigned sequentialRequests() const { return sequentialRequests_; }
    bool pipelineMode() const { return pipelineMode_; }
    bool dryRun() const { return dryRun_; }
    void setDryRun(bool v) { dryRun_ = v; }
    const std::string& destinationHost() const { return destinationHost_; }
    void setDestinationHost(std::string v) { destinationHost_ = std::move(v); }
    int destinationPort() const { return destinationPort_; }
    void setDestinationPort(int v) { destinationPort_ = v; }
    const std::string& destinationPathPrefix() const { return destinationPathPrefix_; }
    void setDestinationPathPrefix(std::string v) { destinationPathPrefix_ = std::move(v); }
    const std::string& userAgent() const { return userAgent_; }
    TrkDataDispatcherDelegate* delegate() const { return delegate_; }
    void setDelegate(TrkDataDispatcherDelegate* d) { delegate_ = d; }
    const std::deque<TrkHit>& pendingHits() const { return pendingHits_; }
    const std::string& pendingRequest() const { return pendingRequest_; }
    const std::shared_ptr<TrkTCPSocket>& socket() const { return socket_; }
    bool debug() const { return debug_; }
    void setDebug(bool v) { debug_ = v; }
    // A connection is open or a delayed (back-off) batch is waiting.
    bool isDispatching() const { return socket_ != nullptr || backoff_ != nullptr; }

private:
    TrkDataDispatcher(TrkDataDispatcherDelegate* delegate, const std::string& product, const std::string& version,
                      foundation::RunLoop* runLoop, std::recursive_mutex* lock);
    std::shared_ptr<TrkTCPSocket> makeSocket();
    void writeOutput();
    void armTimeLimit();
    bool writeAllInLine();

    int lastStatusCode_ = 0;
    double retryInterval_ = kTrkInitialRetryInterval;
    unsigned hitsDispatched_ = 0;
    bool sendingSynchronously_ = false;
    unsigned sequentialRequests_ = 0;
    bool pipelineMode_ = true;
    bool dryRun_ = false;
    bool debug_ = false;
    bool connectFailed_ = false;
    bool syncStatusError_ = false;  // the last dispatch could not reach the collector
    std::string destinationHost_;
    int destinationPort_ = 80;
    std::string destinationPathPrefix_;
    std::string userAgent_;
    TrkDataDispatcherDelegate* delegate_;
    std::shared_ptr<TrkTCPSocket> socket_;
    std::deque<TrkHit> pendingHits_;
    std::string pendingRequest_;
    size_t written_ = 0;  // bytes of pendingRequest_ already written
    TrkHTTPResponseParser responseParser_;
    SocketClass socketClass_;
    bool socketInjected_ = false;
    foundation::RunLoop* runLoop_;
    std::recursive_mutex ownLock_;
    std::recursive_mutex* lock_;
    foundation::TimerRef backoff_;
    foundation::TimerRef timeLimit_;
};
