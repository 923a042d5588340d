#pragma once
// HttpSession: what every HTTP request of the process shares, apart from the
// requests themselves. One object (shared()) owns
//   - the pool of kept-alive connection records,
//   - the session credential stores (server and proxy) and the session cookies,
//   - bandwidth throttling, the mobile-network watch and the count of
//     requests using the network,
//   - the shared queue's allowance for PAC script downloads.
// A request (HttpRequest) is one transfer; it reads and changes this state
// only through the session. reset() returns the session to its first state:
// idle connections closed and forgotten, the stores emptied, throttling off.
// It is registered as the process-wide object "http.session".
//
// Every member is safe to call from any thread.

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/CredentialStorage.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpCookie.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/Reachability.h"
#include "platform/net/Url.h"

namespace http {

// An entry of the session credential stores: credentials that a server (or a
// proxy) accepted, kept for later requests in this process.
struct SessionCredentials {
    // The challenge they answered; nullptr for Basic credentials sent before
    // any challenge and accepted.
    std::shared_ptr<net::HttpAuthentication> authentication;
    net::CredentialsRef credentials;
    std::optional<net::Url> url;  // server entries
    std::string host;             // proxy entries
    int port = 0;                 // proxy entries
    std::string authenticationScheme;
    std::optional<std::string> authenticationRealm;  // server entries, when known
};
using SessionCredentialsRef = std::shared_ptr<const SessionCredentials>;

// A record of the connection pool: one kept-alive connection to an origin
// over one route, so that requests going by turns through a proxy and
// directly each keep their own connection.
struct ConnectionRecord {
    int id = 0;
    std::string host;
    int port = 0;  // as written in the URL; 0 when none
    std::string scheme;
    std::string route;                            // "direct", "http-proxy host:port" or "socks host:port"
    std::optional<unsigned> request;              // the request using it now
    std::shared_ptr<net::HttpReadStream> stream;  // the stream last opened on it
    std::optional<double> expires;                // monotonic seconds; idle records past it are dropped
};

class HttpSession {
public:
    static HttpSession& shared();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Back to the first state (see above). Requests still running keep the
    // records they hold; those records are no longer offered to others.
    void reset();

    // ---- the connection pool ---------------------------------------------
    std::vector<ConnectionRecord> connectionPoolSnapshot();
    // Drops every idle record whose expiry has passed, closing its stream.
    void expirePersistentConnections();
    // Gives the request numbered `requestID` a record for a pass to `url`
    // over `route`: `record` itself when it still fits, is idle and has not
    // expired; else an idle record of the same origin and route; else a new
    // one. The record is marked in use with `stream`. Returns the stream last
    // opened on a reused record (the caller closes it once the new stream is
    // open).
    std::shared_ptr<net::HttpReadStream> useConnection(std::shared_ptr<ConnectionRecord>& record, const net::Url& url,
                                                       const std::string& route, unsigned requestID,
                                                       std::shared_ptr<net::HttpReadStream> stream);
    // The request is done with the record: idle, reusable for `seconds`.
    void releaseConnection(ConnectionRecord& record, double seconds);
    // Keeps an idle record reusable for `seconds` from now.
    void extendConnection(ConnectionRecord& record, double seconds);
    // Takes the record out of the pool, closing its stream when asked.
    void removeConnection(const std::shared_ptr<ConnectionRecord>& record, bool closeStream);
    // Runs `fn` under the pool's lock (for work that must not interleave
    // with a record changing hands).
    template <class Fn>
    void withConnectionsLocked(Fn&& fn) {
        std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
        fn();
    }
    unsigned nextRequestID();

    // ---- session credentials and cookies -----------------------------------
    // `proxy` picks the proxy store, else the server store.
    std::vector<SessionCredentialsRef> credentials(bool proxy);
    // Replaces an entry holding the very same credentials object.
    void storeCredentials(bool proxy, SessionCredentialsRef entry);
    // Removes the first entry holding that very credentials object.
    void removeCredentials(bool proxy, const net::CredentialsRef& credentials);
    // The server entry for the URL (else one for its scheme, host and port)
    // that fits the realm and the user name and password when they are given.
    SessionCredentialsRef findServerCredentials(const net::Url& url, const std::optional<std::string>& realm,
                                                const std::optional<std::string>& user,
                                                const std::optional<std::string>& password);
    SessionCredentialsRef findProxyCredentials(const std::string& host, int port);
    // Held while one request looks for credentials or asks for them, so
    // requests waiting on the same server ask once and then use what
    // another stored.
    std::recursive_mutex& delegateAuthenticationLock() { return delegateAuthenticationLock_; }
    std::vector<net::HttpCookie> cookies();
    // Deletes the listed cookies from the shared cookie storage, then keeps the new list.
    void setCookies(std::vector<net::HttpCookie> cookies);
    void addCookie(const net::HttpCookie& cookie);
    // Forgets the server credentials and the session cookies.
    void clear();

    // ---- bandwidth ---------------------------------------------------------
    struct Bandwidth {
        unsigned long maxPerSecond = 0;
        unsigned long usedInPeriod = 0;
        std::optional<double> periodEnd;
        std::deque<unsigned long> history;
        unsigned long average = 0;
        std::optional<double> wakeUp;
        bool throttledNow = false;  // on the mobile network now
        bool wwanOnly = false;      // the limit applies on the mobile network only
        bool active() const { return throttledNow || (!wwanOnly && maxPerSecond > 0); }
    };
    // Runs `fn(Bandwidth&)` under the bandwidth lock (a plain lock: `fn`
    // calls nothing that takes it again) and returns what it returns.
    template <class Fn>
    auto withBandwidth(Fn&& fn) {
        std::lock_guard<std::mutex> lock(bandwidthLock_);
        return fn(bandwidth_);
    }
    // Watches the network for the mobile-network limit (on), or stops (off).
    void watchReachability(bool on);
    // The network activity: streams scheduled on a run loop, and whether
    // the activity indicator follows them.
    struct Activity {
        int scheduledStreams = 0;
        bool shouldUpdateIndicator = true;
    };
    // Runs `fn(Activity&)` under the activity lock and returns what it returns.
    template <class Fn>
    auto withActivity(Fn&& fn) {
        std::lock_guard<std::mutex> lock(activityLock_);
        return fn(activity_);
    }

    // ---- PAC downloads -------------------------------------------------------
    // Raises (or lowers) the shared queue's limit by `delta`, so a PAC
    // download never waits behind the request that needs it.
    void changeSharedQueueLimit(int delta);

private:
    HttpSession() = default;

    std::recursive_mutex connectionsLock_;
    std::vector<std::shared_ptr<ConnectionRecord>> connectionPool_;
    int nextConnectionNumber_ = 0;
    unsigned nextRequestNumber_ = 0;

    std::recursive_mutex credentialsLock_;
    std::vector<SessionCredentialsRef> serverCredentials_, proxyCredentials_;
    std::recursive_mutex delegateAuthenticationLock_;
    std::recursive_mutex cookiesLock_;
    std::vector<net::HttpCookie> cookies_;

    std::mutex bandwidthLock_;
    Bandwidth bandwidth_;
    std::mutex reachabilityLock_;
    std::shared_ptr<net::Reachability> reachability_;
    std::mutex activityLock_;
    Activity activity_;

    std::mutex queueLimitLock_;
};

}  // namespace http
