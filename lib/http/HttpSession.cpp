#include "lib/http/HttpSession.h"

#include <algorithm>

#include "lib/http/HttpRequest.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"

namespace http {
namespace {

double monotonicNow() { return foundation::clock().monotonic(); }

const int kReachabilityObserverOwner = 0;

}  // namespace

HttpSession& HttpSession::shared() {
    static HttpSession* session = [] {
        auto* s = new HttpSession();
        foundation::registerResetter("http.session", foundation::ResetPhase::SharedObject, [s] { s->reset(); });
        return s;
    }();
    return *session;
}

void HttpSession::reset() {
    {
        std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
        for (const auto& record : connectionPool_)
            if (!record->request && record->stream) record->stream->close();
        connectionPool_.clear();
    }
    {
        std::lock_guard<std::recursive_mutex> lock(credentialsLock_);
        serverCredentials_.clear();
        proxyCredentials_.clear();
    }
    {
        std::lock_guard<std::recursive_mutex> lock(cookiesLock_);
        cookies_.clear();
    }
    watchReachability(false);
    std::lock_guard<std::mutex> lock(bandwidthLock_);
    bandwidth_ = Bandwidth();
}

// ---- the connection pool ---------------------------------------------------------

std::vector<ConnectionRecord> HttpSession::connectionPoolSnapshot() {
    std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
    std::vector<ConnectionRecord> out;
    for (const auto& r : connectionPool_) out.push_back(*r);
    return out;
}

void HttpSession::expirePersistentConnections() {
    std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
    double now = monotonicNow();
    for (auto it = connectionPool_.begin(); it != connectionPool_.end();) {
        const auto& record = *it;
        if (!record->request && (!record->expires || *record->expires <= now)) {
            if (record->stream) record->stream->close();
            it = connectionPool_.erase(it);
        } else {
            ++it;
        }
    }
}

std::shared_ptr<net::HttpReadStream> HttpSession::useConnection(std::shared_ptr<ConnectionRecord>& record,
                                                                const net::Url& url, const std::string& route,
                                                                unsigned requestID,
                                                                std::shared_ptr<net::HttpReadStream> stream) {
    std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
    int port = url.port().value_or(0);
    auto matches = [&](const ConnectionRecord& r) {
        return r.host == url.host() && r.scheme == url.scheme() && r.port == port && r.route == route;
    };
    if (record) {
        if (!matches(*record)) {
            record.reset();
        } else if (record->expires && *record->expires <= monotonicNow()) {
            std::erase(connectionPool_, record);
            record.reset();
        } else if (record->request) {
            record.reset();
        }
    }
    if (!record) {
        for (const auto& r : connectionPool_)
            if (!r->request && matches(*r)) record = r;
    }
    std::shared_ptr<net::HttpReadStream> old;
    if (record) {
        old = record->stream;
    } else {
        record = std::make_shared<ConnectionRecord>();
        record->id = ++nextConnectionNumber_;
        record->host = url.host();
        record->port = port;
        record->scheme = url.scheme();
        record->route = route;
        connectionPool_.push_back(record);
    }
    record->request = requestID;
    record->stream = std::move(stream);
    return old;
}

void HttpSession::releaseConnection(ConnectionRecord& record, double seconds) {
    std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
    record.request.reset();
    record.expires = monotonicNow() + seconds;
}

void HttpSession::extendConnection(ConnectionRecord& record, double seconds) {
    std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
    record.expires = monotonicNow() + seconds;
}

void HttpSession::removeConnection(const std::shared_ptr<ConnectionRecord>& record, bool closeStream) {
    std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
    if (!record) return;
    record->request.reset();
    std::erase(connectionPool_, record);
    if (closeStream && record->stream) record->stream->close();
}

unsigned HttpSession::nextRequestID() {
    std::lock_guard<std::recursive_mutex> lock(connectionsLock_);
    return ++nextRequestNumber_;
}

// ---- session credentials and cookies ----------------------------------------------

std::vector<SessionCredentialsRef> HttpSession::credentials(bool proxy) {
    std::lock_guard<std::recursive_mutex> lock(credentialsLock_);
    return proxy ? proxyCredentials_ : serverCredentials_;
}

void HttpSession::storeCredentials(bool proxy, SessionCredentialsRef entry) {
    if (!entry) return;
    std::lock_guard<std::recursive_mutex> lock(credentialsLock_);
    auto& store = proxy ? proxyCredentials_ : serverCredentials_;
    std::erase_if(store, [&](const SessionCredentialsRef& e) { return e->credentials == entry->credentials; });
    store.push_back(std::move(entry));
}

void HttpSession::removeCredentials(bool proxy, const net::CredentialsRef& credentials) {
    if (!credentials) return;
    std::lock_guard<std::recursive_mutex> lock(credentialsLock_);
    auto& store = proxy ? proxyCredentials_ : serverCredentials_;
    auto it = std::find_if(store.begin(), store.end(),
                           [&](const SessionCredentialsRef& e) { return e->credentials == credentials; });
    if (it != store.end()) store.erase(it);
}

SessionCredentialsRef HttpSession::findServerCredentials(const net::Url& u, const std::optional<std::string>& realm,
                                                         const std::optional<std::string>& user,
                                                         const std::optional<std::string>& pass) {
    std::lock_guard<std::recursive_mutex> lock(credentialsLock_);
    SessionCredentialsRef close;
    for (const auto& entry : serverCredentials_) {
        if (!entry->url) continue;
        bool exact = *entry->url == u;
        if (!exact) {
            if (close) continue;
            if (entry->url->host() != u.host() || entry->url->port() != u.port() || entry->url->scheme() != u.scheme())
                continue;
        }
        if (realm && entry->authenticationRealm && *realm != *entry->authenticationRealm) continue;
        if (user && pass && (entry->credentials->username != *user || entry->credentials->password != *pass)) continue;
        if (exact) return entry;
        close = entry;
    }
    return close;
}

SessionCredentialsRef HttpSession::findProxyCredentials(const std::string& host, int port) {
    std::lock_guard<std::recursive_mutex> lock(credentialsLock_);
    for (const auto& entry : proxyCredentials_)
        if (entry->host == host && entry->port == port) return entry;
    return nullptr;
}

std::vector<net::HttpCookie> HttpSession::cookies() {
    std::lock_guard<std::recursive_mutex> lock(cookiesLock_);
    return cookies_;
}

void HttpSession::setCookies(std::vector<net::HttpCookie> cookies) {
    std::lock_guard<std::recursive_mutex> lock(cookiesLock_);
    for (const auto& c : cookies_) net::HttpCookieStorage::shared().deleteCookie(c);
    cookies_ = std::move(cookies);
}

void HttpSession::addCookie(const net::HttpCookie& cookie) {
    std::lock_guard<std::recursive_mutex> lock(cookiesLock_);
    auto it = std::find_if(cookies_.begin(), cookies_.end(),
                           [&](const net::HttpCookie& c) { return c.sameIdentity(cookie); });
    if (it != cookies_.end()) cookies_.erase(it);
    cookies_.push_back(cookie);
    // The list names what this session stored; the store keeps no more.
    if (cookies_.size() > net::kMaxCookies) cookies_.erase(cookies_.begin());
}

void HttpSession::clear() {
    {
        std::lock_guard<std::recursive_mutex> lock(credentialsLock_);
        serverCredentials_.clear();
    }
    setCookies({});
}

// ---- bandwidth and activity -----------------------------------------------------------

void HttpSession::watchReachability(bool on) {
    std::lock_guard<std::mutex> lock(reachabilityLock_);
    if (!on) {
        if (!reachability_) return;
        foundation::NotificationCenter::defaultCenter().removeObserver(&kReachabilityObserverOwner);
        reachability_.reset();
        return;
    }
    if (reachability_) return;
    reachability_ = net::Reachability::reachabilityForInternetConnection();
    if (!reachability_) return;
    reachability_->startNotifier();
    foundation::NotificationCenter::defaultCenter().addObserver(
        &kReachabilityObserverOwner, net::kReachabilityChangedNotification,
        [](const foundation::Notification&) { HttpRequest::reachabilityChanged(); }, reachability_.get());
}

// ---- PAC downloads ----------------------------------------------------------------------

void HttpSession::changeSharedQueueLimit(int delta) {
    std::lock_guard<std::mutex> lock(queueLimitLock_);
    OperationQueue& q = HttpRequest::sharedQueue();
    q.setMaxConcurrentOperationCount(q.maxConcurrentOperationCount() + delta);
}

}  // namespace http
