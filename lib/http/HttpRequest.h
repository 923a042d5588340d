#pragma once
// HttpRequest: one HTTP request and its reply. Made with requestWithURL(),
// configured, then run with startAsynchronous() (the shared queue runs at most
// four at once; their streams live on the one request thread, and the
// delegate hears requestFinished / requestFailed on the main thread) or
// startSynchronous() (the calling thread waits, running its own run loop in
// "HttpRequestRunLoopMode").
//
// Replies may come gzip-compressed; responseData() and responseString() give
// them inflated. Connections to the same scheme, host and port are kept alive
// and reused, over TLS and through proxies too (for the same route and TLS
// settings); a reused connection that the server dropped before answering is
// retried once on a new one. The state all requests share is HttpSession's.
// docs/internals/http.md tells how a request runs inside.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "lib/http/HttpDataDecompressor.h"
#include "lib/http/HttpError.h"
#include "lib/http/HttpRequestSettings.h"
#include "lib/http/HttpSession.h"
#include "lib/http/OperationQueue.h"
#include "lib/http/TextEncoding.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/WeakRef.h"
#include "platform/net/CredentialStorage.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpCookie.h"
#include "platform/net/HttpMessage.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/TlsSession.h"
#include "platform/net/Url.h"

namespace http {

class HttpRequest;
class HttpDownloadCache;
using HttpRequestRef = std::shared_ptr<HttpRequest>;
using ResponseHeaders = net::HeaderDictionary;

inline const std::string kHttpRequestRunLoopMode = "HttpRequestRunLoopMode";

// Receives a request's callbacks on the main thread. Every method is optional.
class HttpRequestDelegate : public foundation::Referenceable {
public:
    virtual ~HttpRequestDelegate() = default;
    virtual void requestStarted(HttpRequest&) {}
    // request:didReceiveResponseHeaders:
    virtual void request(HttpRequest&, const ResponseHeaders&) {}
    virtual void requestFinished(HttpRequest&) {}
    virtual void requestFailed(HttpRequest&) {}
    virtual void requestRedirected(HttpRequest&) {}

    // Optional methods whose presence changes what the request does: a
    // delegate that implements one also answers true from its responds...().
    // request:willRedirectToURL: the redirect waits until the delegate calls
    // redirectToURL() on the request.
    virtual bool respondsToWillRedirect() const { return false; }
    virtual void requestWillRedirectToURL(HttpRequest&, const net::Url&) {}
    // The request waits for username/password (or the proxy ones) to be set
    // and retryUsingSuppliedCredentials() or cancelAuthentication() called.
    virtual bool respondsToAuthenticationNeeded() const { return false; }
    virtual void authenticationNeededForRequest(HttpRequest&) {}
    virtual bool respondsToProxyAuthenticationNeeded() const { return false; }
    virtual void proxyAuthenticationNeededForRequest(HttpRequest&) {}
};

// Receives upload or download progress on the main thread. Every method is
// optional. Amounts are in bytes, or one unit per direction when the request
// does not show accurate progress.
class HttpProgressDelegate : public foundation::Referenceable {
public:
    virtual ~HttpProgressDelegate() = default;
    virtual void requestDidSendBytes(HttpRequest&, int64_t) {}
    virtual void requestDidReceiveBytes(HttpRequest&, int64_t) {}
    virtual void requestIncrementUploadSizeBy(HttpRequest&, int64_t) {}
    virtual void requestIncrementDownloadSizeBy(HttpRequest&, int64_t) {}
    // The fraction done, 0 to 1.
    virtual void setProgress(float) {}
};

// A selector: what is sent to the delegate. The defaults send the
// delegate's own methods; another member can be chosen, e.g.
//   r->setDidFinishSelector([](HttpRequestDelegate& d, HttpRequest& r) { static_cast<Screen&>(d).done(r); });
using RequestSelector = std::function<void(HttpRequestDelegate&, HttpRequest&)>;
using HeadersSelector = std::function<void(HttpRequestDelegate&, HttpRequest&, const ResponseHeaders&)>;
using DataSelector = std::function<void(HttpRequestDelegate&, HttpRequest&, const Bytes&)>;

class HttpRequest : public std::enable_shared_from_this<HttpRequest> {
public:
    using Block = std::function<void()>;
    using HeadersBlock = std::function<void(const ResponseHeaders&)>;
    using DataBlock = std::function<void(const Bytes&)>;

    // A request for the URL with the defaults; a URL that does not parse
    // gives a request that fails with code 5 when started.
    static HttpRequestRef requestWithURL(const std::optional<net::Url>& url);
    static HttpRequestRef requestWithURL(const std::string& url);
    virtual ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // ---- class-wide defaults and helpers --------------------------------
    static double defaultTimeOutSeconds();
    static void setDefaultTimeOutSeconds(double seconds);
    // "name version (model; system version; locale)", built once from the app
    // and device facts; nullopt when the app has no name.
    static std::optional<std::string> defaultUserAgentString();
    static void setDefaultUserAgentString(std::optional<std::string> agent);
    // The user agent for these facts. The name's UTF-8 bytes go out as they
    // are (read as ISO Latin 1 characters, so every byte stays one byte).
    // When both versions exist and differ: "short rv:bundle".
    static std::optional<std::string> buildUserAgentString(const std::string& name, const std::string& shortVersion,
                                                           const std::string& bundleVersion, const std::string& model,
                                                           const std::string& systemName,
                                                           const std::string& systemVersion, const std::string& locale);
    // nullopt when no file is there; else the MIME type of its extension
    // (from /etc/mime.types), else "application/octet-stream".
    static std::optional<std::string> mimeTypeForFileAtPath(const std::string& path);
    static std::string base64forData(const Bytes& data);
    // Seconds since 1970 of "Sun, 06 Nov 1994 08:49:37 GMT" and of the forms
    // without weekday and/or seconds.
    static std::optional<double> dateFromRFC1123String(const std::string& text);
    // Cache-Control max-age, else Expires, as a date (seconds since 1970).
    static std::optional<double> expiryDateForRequest(const HttpRequest& request, double maxAge);
    struct ContentType {
        std::optional<std::string> mimeType;
        std::optional<StringEncoding> encoding;
    };
    static ContentType parseMimeType(const std::optional<std::string>& contentType);

    // ---- the request thread and the shared queue -------------------------
    // The run loop of the one thread that carries every asynchronous request.
    static foundation::RunLoop& threadForRequest();
    static OperationQueue& sharedQueue();
    // Connection pool, for inspection.
    static std::vector<ConnectionRecord> connectionPoolSnapshot();
    // Drops every idle record whose expiry has passed, closing its stream.
    static void expirePersistentConnections();

    // ---- configuration -------------------------------------------------
    std::optional<net::Url> url() const;
    void setURL(const std::optional<net::Url>& url);
    std::optional<net::Url> originalURL() const;
    std::string requestMethod() const;
    // POST and PUT, and any method while a body is set, turn connection reuse off.
    void setRequestMethod(const std::string& method);
    HttpRequestDelegate* delegate() const;
    void setDelegate(HttpRequestDelegate* delegate);
    void addRequestHeader(const std::string& name, const std::string& value);
    std::optional<ResponseHeaders> requestHeaders() const;
    // A body makes the request a POST as setRequestMethod("POST") does: a
    // GET, DELETE or HEAD becomes POST at once, and connection reuse is
    // turned off (a POST is never sent twice on a dropped connection).
    void appendPostData(const Bytes& data);
    void appendPostData(const std::string& data);
    // Replaces the body in memory.
    void setPostBody(Bytes body);
    Bytes postBody() const;
    uint64_t postLength() const;

    void setDidStartSelector(RequestSelector s);
    void setDidFinishSelector(RequestSelector s);
    void setDidFailSelector(RequestSelector s);
    void setDidReceiveResponseHeadersSelector(HeadersSelector s);
    // Unset by default: then no delegate receives the body piece by piece.
    void setDidReceiveDataSelector(DataSelector s);
    void setStartedBlock(Block b);
    void setHeadersReceivedBlock(HeadersBlock b);
    void setCompletionBlock(Block b);
    void setFailedBlock(Block b);
    // With a data block (or a data selector) the body is handed over as it
    // arrives and not kept: responseData() stays empty.
    void setDataReceivedBlock(DataBlock b);

    // Settings: each reads or replaces one member of the settings (see
    // HttpRequestSettings.h). A running request goes on with the values it
    // took at the start of its pass.
    int tag() const { return setting(&HttpRequestSettings::tag); }
    void setTag(int v) { changeSetting(&HttpRequestSettings::tag, std::move(v)); }
    foundation::Value userInfo() const { return setting(&HttpRequestSettings::userInfo); }
    void setUserInfo(foundation::Value v) { changeSetting(&HttpRequestSettings::userInfo, std::move(v)); }
    double timeOutSeconds() const { return setting(&HttpConnectionSettings::timeOutSeconds); }
    void setTimeOutSeconds(double v) { changeSetting(&HttpConnectionSettings::timeOutSeconds, std::move(v)); }
    bool allowCompressedResponse() const { return setting(&HttpConnectionSettings::allowCompressedResponse); }
    void setAllowCompressedResponse(bool v) {
        changeSetting(&HttpConnectionSettings::allowCompressedResponse, std::move(v));
    }
    bool shouldWaitToInflateCompressedResponses() const {
        return setting(&HttpRequestSettings::shouldWaitToInflateCompressedResponses);
    }
    void setShouldWaitToInflateCompressedResponses(bool v) {
        changeSetting(&HttpRequestSettings::shouldWaitToInflateCompressedResponses, std::move(v));
    }
    uint64_t maxResponseBodySize() const { return setting(&HttpRequestSettings::maxResponseBodySize); }
    void setMaxResponseBodySize(uint64_t v) { changeSetting(&HttpRequestSettings::maxResponseBodySize, std::move(v)); }
    bool shouldAttemptPersistentConnection() const {
        return setting(&HttpConnectionSettings::shouldAttemptPersistentConnection);
    }
    void setShouldAttemptPersistentConnection(bool v) {
        changeSetting(&HttpConnectionSettings::shouldAttemptPersistentConnection, std::move(v));
    }
    double persistentConnectionTimeoutSeconds() const {
        return setting(&HttpConnectionSettings::persistentConnectionTimeoutSeconds);
    }
    void setPersistentConnectionTimeoutSeconds(double v) {
        changeSetting(&HttpConnectionSettings::persistentConnectionTimeoutSeconds, std::move(v));
    }
    bool useHTTPVersionOne() const { return setting(&HttpConnectionSettings::useHTTPVersionOne); }
    void setUseHTTPVersionOne(bool v) { changeSetting(&HttpConnectionSettings::useHTTPVersionOne, std::move(v)); }
    StringEncoding defaultResponseEncoding() const { return setting(&HttpRequestSettings::defaultResponseEncoding); }
    void setDefaultResponseEncoding(StringEncoding v) {
        changeSetting(&HttpRequestSettings::defaultResponseEncoding, std::move(v));
    }
    std::optional<std::string> userAgentString() const { return setting(&HttpRequestSettings::userAgentString); }
    void setUserAgentString(std::optional<std::string> v) {
        changeSetting(&HttpRequestSettings::userAgentString, std::move(v));
    }
    std::optional<std::string> username() const { return setting(&HttpConnectionSettings::username); }
    void setUsername(std::optional<std::string> v) { changeSetting(&HttpConnectionSettings::username, std::move(v)); }
    std::optional<std::string> password() const { return setting(&HttpConnectionSettings::password); }
    void setPassword(std::optional<std::string> v) { changeSetting(&HttpConnectionSettings::password, std::move(v)); }
    std::optional<std::string> domain() const { return setting(&HttpConnectionSettings::domain); }
    void setDomain(std::optional<std::string> v) { changeSetting(&HttpConnectionSettings::domain, std::move(v)); }
    std::optional<std::string> proxyUsername() const { return setting(&HttpConnectionSettings::proxyUsername); }
    void setProxyUsername(std::optional<std::string> v) {
        changeSetting(&HttpConnectionSettings::proxyUsername, std::move(v));
    }
    std::optional<std::string> proxyPassword() const { return setting(&HttpConnectionSettings::proxyPassword); }
    void setProxyPassword(std::optional<std::string> v) {
        changeSetting(&HttpConnectionSettings::proxyPassword, std::move(v));
    }
    std::optional<std::string> proxyDomain() const { return setting(&HttpConnectionSettings::proxyDomain); }
    void setProxyDomain(std::optional<std::string> v) {
        changeSetting(&HttpConnectionSettings::proxyDomain, std::move(v));
    }
    std::optional<std::string> proxyHost() const { return setting(&HttpConnectionSettings::proxyHost); }
    void setProxyHost(std::optional<std::string> v) { changeSetting(&HttpConnectionSettings::proxyHost, std::move(v)); }
    int proxyPort() const { return setting(&HttpConnectionSettings::proxyPort); }
    void setProxyPort(int v) { changeSetting(&HttpConnectionSettings::proxyPort, std::move(v)); }
    std::optional<std::string> proxyType() const { return setting(&HttpConnectionSettings::proxyType); }
    void setProxyType(std::optional<std::string> v) { changeSetting(&HttpConnectionSettings::proxyType, std::move(v)); }
    std::optional<net::Url> PACurl() const { return setting(&HttpConnectionSettings::PACurl); }
    void setPACurl(std::optional<net::Url> v) { changeSetting(&HttpConnectionSettings::PACurl, std::move(v)); }
    std::optional<std::string> downloadDestinationPath() const {
        return setting(&HttpRequestSettings::downloadDestinationPath);
    }
    void setDownloadDestinationPath(std::optional<std::string> v) {
        changeSetting(&HttpRequestSettings::downloadDestinationPath, std::move(v));
    }
    std::optional<std::string> temporaryFileDownloadPath() const {
        return setting(&HttpRequestSettings::temporaryFileDownloadPath);
    }
    void setTemporaryFileDownloadPath(std::optional<std::string> v) {
        changeSetting(&HttpRequestSettings::temporaryFileDownloadPath, std::move(v));
    }
    std::optional<std::string> postBodyFilePath() const { return setting(&HttpRequestSettings::postBodyFilePath); }
    void setPostBodyFilePath(std::optional<std::string> v) {
        changeSetting(&HttpRequestSettings::postBodyFilePath, std::move(v));
    }
    bool shouldStreamPostDataFromDisk() const { return setting(&HttpRequestSettings::shouldStreamPostDataFromDisk); }
    void setShouldStreamPostDataFromDisk(bool v) {
        changeSetting(&HttpRequestSettings::shouldStreamPostDataFromDisk, std::move(v));
    }
    bool useCookiePersistence() const { return setting(&HttpConnectionSettings::useCookiePersistence); }
    void setUseCookiePersistence(bool v) { changeSetting(&HttpConnectionSettings::useCookiePersistence, std::move(v)); }
    bool useKeychainPersistence() const { return setting(&HttpConnectionSettings::useKeychainPersistence); }
    void setUseKeychainPersistence(bool v) {
        changeSetting(&HttpConnectionSettings::useKeychainPersistence, std::move(v));
    }
    bool useSessionPersistence() const { return setting(&HttpConnectionSettings::useSessionPersistence); }
    void setUseSessionPersistence(bool v) {
        changeSetting(&HttpConnectionSettings::useSessionPersistence, std::move(v));
    }
    bool shouldPresentAuthenticationDialog() const {
        return setting(&HttpConnectionSettings::shouldPresentAuthenticationDialog);
    }
    void setShouldPresentAuthenticationDialog(bool v) {
        changeSetting(&HttpConnectionSettings::shouldPresentAuthenticationDialog, std::move(v));
    }
    bool shouldPresentProxyAuthenticationDialog() const {
        return setting(&HttpConnectionSettings::shouldPresentProxyAuthenticationDialog);
    }
    void setShouldPresentProxyAuthenticationDialog(bool v) {
        changeSetting(&HttpConnectionSettings::shouldPresentProxyAuthenticationDialog, std::move(v));
    }
    bool shouldPresentCredentialsBeforeChallenge() const {
        return setting(&HttpConnectionSettings::shouldPresentCredentialsBeforeChallenge);
    }
    void setShouldPresentCredentialsBeforeChallenge(bool v) {
        changeSetting(&HttpConnectionSettings::shouldPresentCredentialsBeforeChallenge, std::move(v));
    }
    bool shouldResetDownloadProgress() const { return setting(&HttpRequestSettings::shouldResetDownloadProgress); }
    void setShouldResetDownloadProgress(bool v) {
        changeSetting(&HttpRequestSettings::shouldResetDownloadProgress, std::move(v));
    }
    bool shouldResetUploadProgress() const { return setting(&HttpRequestSettings::shouldResetUploadProgress); }
    void setShouldResetUploadProgress(bool v) {
        changeSetting(&HttpRequestSettings::shouldResetUploadProgress, std::move(v));
    }
    bool showAccurateProgress() const { return setting(&HttpRequestSettings::showAccurateProgress); }
    void setShowAccurateProgress(bool v) { changeSetting(&HttpRequestSettings::showAccurateProgress, std::move(v)); }
    bool allowResumeForFileDownloads() const { return setting(&HttpRequestSettings::allowResumeForFileDownloads); }
    void setAllowResumeForFileDownloads(bool v) {
        changeSetting(&HttpRequestSettings::allowResumeForFileDownloads, std::move(v));
    }
    bool shouldRedirect() const { return setting(&HttpRequestSettings::shouldRedirect); }
    void setShouldRedirect(bool v) { changeSetting(&HttpRequestSettings::shouldRedirect, std::move(v)); }
    bool shouldUseRFC2616RedirectBehaviour() const {
        return setting(&HttpConnectionSettings::shouldUseRFC2616RedirectBehaviour);
    }
    void setShouldUseRFC2616RedirectBehaviour(bool v) {
        changeSetting(&HttpConnectionSettings::shouldUseRFC2616RedirectBehaviour, std::move(v));
    }
    bool validatesSecureCertificate() const { return setting(&HttpConnectionSettings::validatesSecureCertificate); }
    void setValidatesSecureCertificate(bool v) {
        changeSetting(&HttpConnectionSettings::validatesSecureCertificate, std::move(v));
    }
    int numberOfTimesToRetryOnTimeout() const {
        return setting(&HttpConnectionSettings::numberOfTimesToRetryOnTimeout);
    }
    void setNumberOfTimesToRetryOnTimeout(int v) {
        changeSetting(&HttpConnectionSettings::numberOfTimesToRetryOnTimeout, std::move(v));
    }
    // The scheme and realm of the last challenge (the scheme can also be
    // set to present credentials before any challenge).
    std::optional<std::string> authenticationScheme() const;
    void setAuthenticationScheme(std::optional<std::string> scheme);
    std::optional<std::string> authenticationRealm() const;
    void setAuthenticationRealm(std::optional<std::string> realm);
    std::optional<std::string> proxyAuthenticationScheme() const;
    void setProxyAuthenticationScheme(std::optional<std::string> scheme);
    std::optional<std::string> proxyAuthenticationRealm() const;
    void setProxyAuthenticationRealm(std::optional<std::string> realm);
    // Every setting at once: a copy, and a replacement of the lot.
    HttpRequestSettings settings() const;
    void setSettings(HttpRequestSettings settings);

    // ---- the download cache --------------------------------------------
    static HttpRequestRef requestWithURL(const std::optional<net::Url>& url, std::shared_ptr<HttpDownloadCache> cache,
                                         int cachePolicy = 0);
    // The cache new requests get; none unless set.
    static std::shared_ptr<HttpDownloadCache> defaultCache();
    static void setDefaultCache(std::shared_ptr<HttpDownloadCache> cache);
    std::shared_ptr<HttpDownloadCache> downloadCache() const;
    void setDownloadCache(std::shared_ptr<HttpDownloadCache> cache);
    // Bits of CachePolicy; 0 takes the cache's default policy.
    int cachePolicy() const;
    void setCachePolicy(int policy);
    // 0 keeps a stored reply for the session, anything else for good.
    int cacheStoragePolicy() const;
    void setCacheStoragePolicy(int policy);
    // How long a stored reply stays current; 0 lets the reply's headers say.
    double secondsToCache() const;
    void setSecondsToCache(double seconds);
    bool didUseCachedResponse() const;

    // ---- the queue that hears this request's events too -----------------
    // After the delegate and the block, the queue hears started, headers,
    // finished and failed. Not owned: whoever made the queue keeps it.
    std::shared_ptr<HttpRequestDelegate> queue() const;
    void setQueue(std::shared_ptr<HttpRequestDelegate> queue);
    // A HEAD request for the same URL with this request's headers and
    // connection settings.
    HttpRequestRef HEADRequest() const;

    // ---- bodies from files, downloads to files, TLS and proxies -----------
    // Adds the file's bytes to the body (to the body file when streaming
    // from disk), 256 KiB at a time.
    void appendPostDataFromFile(const std::string& path);
    bool shouldCompressRequestBody() const;
    // Gzip the body before sending (with "Content-Encoding: gzip").
    void setShouldCompressRequestBody(bool on);
    std::optional<std::string> compressedPostBodyFilePath() const;
    std::optional<std::string> temporaryUncompressedDataDownloadPath() const;
    void setTemporaryUncompressedDataDownloadPath(std::optional<std::string> path);
    std::shared_ptr<const net::TlsIdentity> clientCertificateIdentity() const;
    // A client identity for https; it brings full certificate checks back.
    void setClientCertificateIdentity(std::shared_ptr<const net::TlsIdentity> identity);
    std::vector<std::shared_ptr<const net::TlsCertificate>> clientCertificates() const;
    void setClientCertificates(std::vector<std::shared_ptr<const net::TlsCertificate>> certificates);
    // A request that only fetches a PAC script; it never looks for proxies.
    bool isPACFileRequest() const;
    void setIsPACFileRequest(bool on);
    // Removes the file; true when none is there afterwards. On failure the
    // error is code 8 "Failed to delete file at path '%@'".
    static bool removeFileAtPath(const std::string& path, HttpErrorRef* error);
    // ---- status, time-outs, redirects and progress ----------------------
    // The time-out rule, checked every 0.25 s while the request runs: idle
    // time past timeOutSeconds, with a scheduled stream and activity known;
    // a body still inside the network's first write buffer gets 1.5 times
    // the time.
    struct TimeOutCheck {
        double idleSeconds = 0;
        bool hasScheduledStream = false;
        bool lastActivityKnown = false;
        double timeOutSeconds = 0;
        uint64_t postLength = 0;
        uint64_t uploadBufferSize = 0;
        uint64_t totalBytesSent = 0;
    };
    static bool shouldTimeOut(const TimeOutCheck& check);
    static constexpr double kStatusTimerInterval = 0.25;
    static constexpr int kRedirectLimit = 5;
    // Goes on with a redirect that the delegate was asked to confirm (or
    // sends the request elsewhere), on the thread that owns the request.
    void redirectToURL(const net::Url& url);
    int redirectCount() const;
    std::optional<net::Url> redirectURL() const;
    HttpProgressDelegate* uploadProgressDelegate() const;
    void setUploadProgressDelegate(HttpProgressDelegate* delegate);
    HttpProgressDelegate* downloadProgressDelegate() const;
    void setDownloadProgressDelegate(HttpProgressDelegate* delegate);
    using SizeBlock = std::function<void(int64_t amount)>;
    // bytes received: (amount, total); bytes sent: (amount, total).
    void setBytesReceivedBlock(std::function<void(int64_t amount, uint64_t total)> b);
    void setBytesSentBlock(std::function<void(int64_t amount, uint64_t total)> b);
    void setDownloadSizeIncrementedBlock(SizeBlock b);
    void setUploadSizeIncrementedBlock(SizeBlock b);
    void setRequestRedirectedBlock(Block b);
    uint64_t partialDownloadSize() const;
    uint64_t uploadBufferSize() const;

    // ---- response headers and credentials --------------------------------
    // 0 none, 1 the server asked (401), 2 a proxy asked (407).
    int authenticationNeeded() const;
    int authenticationRetryCount() const;
    int proxyAuthenticationRetryCount() const;
    net::CredentialsRef requestCredentials() const;
    net::CredentialsRef proxyCredentials() const;
    std::vector<net::HttpCookie> requestCookies() const;
    void setRequestCookies(std::vector<net::HttpCookie> cookies);
    std::vector<net::HttpCookie> responseCookies() const;
    void addBasicAuthenticationHeader(const std::string& username, const std::string& password);
    // After the delegate set username/password (or the proxy ones): tries them.
    void retryUsingSuppliedCredentials();
    // Ends a request waiting for credentials with code 3.
    void cancelAuthentication();
    void setAuthenticationNeededBlock(Block b);
    void setProxyAuthenticationNeededBlock(Block b);
    // The login sheet asked when neither the delegate nor a block answers a
    // challenge (and the request's dialog flag is on). Installed by the UI
    // layer (HttpAuthenticationDialog); without one, no sheet is shown.
    using AuthenticationDialogPresenter = std::function<void(const HttpRequestRef&)>;
    static void setAuthenticationDialogPresenter(AuthenticationDialogPresenter presenter);
    // Credentials found for the request: URL, main request, request, then
    // (with keychain persistence) the credential store. nullptr when none.
    net::CredentialsRef findCredentials();
    net::CredentialsRef findProxyCredentials();
    SessionCredentialsRef findSessionAuthenticationCredentials();
    SessionCredentialsRef findSessionProxyAuthenticationCredentials();

    // ---- session stores, credential store and cookies (class-wide) -----------
    static std::vector<SessionCredentialsRef> sessionCredentialsStore();
    static std::vector<SessionCredentialsRef> sessionProxyCredentialsStore();
    // Replaces an entry holding the very same credentials object.
    static void storeAuthenticationCredentialsInSessionStore(SessionCredentialsRef entry);
    static void storeProxyAuthenticationCredentialsInSessionStore(SessionCredentialsRef entry);
    // Removes the first entry holding that very credentials object.
    static void removeAuthenticationCredentialsFromSessionStore(const net::CredentialsRef& credentials);
    static void removeProxyAuthenticationCredentialsFromSessionStore(const net::CredentialsRef& credentials);
    static void saveCredentials(const net::UrlCredential& credential, const std::string& host, int port,
                                const std::string& protocol, const std::optional<std::string>& realm);
    static void saveCredentials(const net::UrlCredential& credential, const std::string& proxyHost, int port,
                                const std::optional<std::string>& realm);
    static std::optional<net::UrlCredential> savedCredentialsForHost(const std::string& host, int port,
                                                                     const std::string& protocol,
                                                                     const std::optional<std::string>& realm);
    static std::optional<net::UrlCredential> savedCredentialsForProxy(const std::string& proxyHost, int port,
                                                                      const std::string& protocol,
                                                                      const std::optional<std::string>& realm);
    static void removeCredentialsForHost(const std::string& host, int port, const std::string& protocol,
                                         const std::optional<std::string>& realm);
    static void removeCredentialsForProxy(const std::string& proxyHost, int port,
                                          const std::optional<std::string>& realm);
    static std::vector<net::HttpCookie> sessionCookies();
    // Deletes the listed cookies from the shared cookie storage, then keeps the new list.
    static void setSessionCookies(std::vector<net::HttpCookie> cookies);
    static void addSessionCookie(const net::HttpCookie& cookie);
    // Forgets the server credentials and the session cookies (proxy
    // credentials stay).
    static void clearSession();

    // ---- throttling, reachability and the activity indicator (class-wide) ----
    static bool isBandwidthThrottled();
    static unsigned long maxBandwidthPerSecond();
    static void setMaxBandwidthPerSecond(unsigned long bytes);
    static void incrementBandwidthUsedInLastSecond(unsigned long bytes);
    static unsigned long averageBandwidthUsedPerSecond();
    static void measureBandwidthUsage();
    static unsigned long maxUploadReadLength();
    static constexpr unsigned long kWWANBandwidthLimit = 14800;
    static void setShouldThrottleBandwidthForWWAN(bool on);
    static void throttleBandwidthForWWANUsingLimit(unsigned long limit);
    static bool isNetworkReachableViaWWAN();
    static void reachabilityChanged();
    // Bandwidth state, for inspection: the wake-up time (monotonic seconds)
    // and the usage history.
    static std::optional<double> throttleWakeUpTime();
    static std::vector<unsigned long> bandwidthUsageHistory();
    static bool isNetworkInUse();
    static void setShouldUpdateNetworkActivityIndicator(bool on);
    static void showNetworkActivityIndicator();
    static void hideNetworkActivityIndicator();
    static void hideNetworkActivityIndicatorAfterDelay();
    static void hideNetworkActivityIndicatorIfNeeeded();
    static bool isMultitaskingSupported() { return false; }
    // Unschedules or reschedules the stream as throttling wants.
    void performThrottling();

    // ---- running -------------------------------------------------------
    void startAsynchronous();
    // Runs the request on the calling thread and returns when it has ended.
    void startSynchronous();
    // Called by the queue: hands the work to the request thread.
    void start();
    // Ends the request with code 4 "The request was cancelled" (once; a
    // request that already ended is left alone). Runs on the thread that
    // owns the request: the request thread, or for a synchronous request the
    // thread that started it.
    void cancel();
    void clearDelegatesAndCancel();
    // A copy to run again: the same URL, method, body, headers and settings;
    // no reply, no blocks.
    HttpRequestRef copy() const;

    // ---- state and reply -----------------------------------------------
    bool isCancelled() const { return state_.load() == TransferState::Cancelled; }
    bool isFinished() const { return finished_.load(); }
    bool isExecuting() const { return inProgress_.load(); }
    bool inProgress() const { return inProgress_.load(); }
    // The last pass is over: the request ended, or waits for its delegate.
    bool complete() const { return passIsOver(state_.load()); }
    bool isSynchronous() const { return isSynchronous_; }
    std::string runLoopMode() const;
    HttpErrorRef error() const;
    int responseStatusCode() const;
    std::optional<std::string> responseStatusMessage() const;
    std::optional<ResponseHeaders> responseHeaders() const;
    StringEncoding responseEncoding() const;
    uint64_t contentLength() const;
    uint64_t totalBytesRead() const;
    uint64_t totalBytesSent() const;
    bool isResponseCompressed() const;
    // The body; inflated when it came compressed and inflating waits for the
    // end (the default). nullopt before a reply or when inflating fails.
    std::optional<Bytes> responseData() const;
    // The body as text in the response's encoding; nullopt when there is no
    // body or its bytes are not valid in that encoding.
    std::optional<std::string> responseString() const;
    int retryCount() const;
    bool connectionCanBeReused() const;
    // The id of the pooled connection this request used; nullopt without one.
    std::optional<int> connectionID() const;
    std::optional<unsigned> requestID() const;

    // Used by OperationQueue.
    void setOperationQueue(OperationQueue* queue);

protected:
    explicit HttpRequest(const std::optional<net::Url>& url);
    // Builds the body once: its length, "Content-Length", and the method
    // (GET, DELETE and HEAD with a body become POST). Subclasses that make
    // a body of their own call it after adding their bytes.
    virtual void buildPostBody();
    bool haveBuiltPostBody() const { return haveBuiltPostBody_; }
    // Fails the request with the error (reported once).
    void failRequest(HttpErrorRef error);
    // A new request of the same class for the URL, which copy() fills.
    virtual HttpRequestRef makeEmptyCopy() const { return requestWithURL(url_); }

private:
    // ---- the transfer (HttpRequestTransfer.cpp) ----------------------------
    // Where the transfer stands; docs/internals/http.md draws the states.
    // Cancelled is final: nothing moves a cancelled request on.
    enum class TransferState : uint8_t {
        Idle,                 // set up, not started
        Preparing,            // the message is built, the cache asked, the proxy found
        Transferring,         // a pass: the stream sends the request and reads the reply
        Redirecting,          // the pass ended with a redirect, to be followed
        AwaitingRedirect,     // ... that the delegate was asked to confirm
        Authenticating,       // the pass ended with a challenge, to be answered
        AwaitingCredentials,  // ... with credentials the delegate or the login sheet was asked for
        Finished,             // ended with a reply, from the network or the cache
        Failed,               // ended with error()
        Cancelled,            // ended by cancel()
    };
    // What moves the transfer. Every event is handled in handleTransferEvent(),
    // on the thread that owns the request.
    enum class TransferEvent : uint8_t {
        Start,           // the queue or startSynchronous() starts the request
        ProxyKnown,      // the proxy is settled (a PAC script was read or given up)
        StreamHasBytes,  // the stream's events
        StreamEnded,
        StreamFailed,
        StatusTick,               // the status timer
        RedirectConfirmed,        // redirectToURL()
        CredentialsSupplied,      // retryUsingSuppliedCredentials()
        AuthenticationCancelled,  // cancelAuthentication()
        Cancel,                   // cancel()
    };
    static bool passIsOver(TransferState s) { return s >= TransferState::Redirecting; }
    static bool waitsForDelegate(TransferState s) {
        return s >= TransferState::Redirecting && s <= TransferState::AwaitingCredentials;
    }
    void handleTransferEvent(TransferEvent event);
    // Hands the event to the thread that owns the request.
    void postTransferEvent(TransferEvent event);
    void enterState(TransferState state);

    // The steps the events take.
    void main();
    void buildRequestHeaders();
    void startRequest();
    void scheduleReadStream();
    void unscheduleReadStream();
    void destroyReadStream();
    void handleBytesAvailable();
    void handleStreamComplete();
    void handleStreamError();
    // Inflates a compressed body kept in memory at the end of the pass; the
    // error when it goes past the limit, else nullptr.
    HttpErrorRef inflateKeptBody();
    void forgetInflatedBody();
    void followRedirectOrWait();
    bool retryUsingNewConnection();
    void readResponseHeaders();
    void parseStringEncodingFromHeaders();
    void cancelOnRequestThread();
    // Ends the pass's work: the PAC read, the stream, an unfinished body and
    // the temporary files (the upload files stay for another pass).
    void cancelLoad(bool keepUploadFiles = false);
    void failWithError(HttpErrorRef error);
    void markAsFinished();

    // What the request tells its listeners, on the main thread. Each
    // announcement goes to the delegate (through its selector), then the
    // block, then the queue: announce() is the one way they are told.
    enum class Announcement : uint8_t { Started, ReceivedHeaders, ReceivedData, Redirected, Finished, Failed };
    void announce(Announcement what, ResponseHeaders headers = {}, Bytes data = {});
    void deliver(Announcement what, const ResponseHeaders& headers, const Bytes& data);
    void requestStarted();
    void requestFinished();
    // A body was added: the method and reuse change as for a POST
    // (cancelledLock_ held).
    void noteBodyAdded();
    // Runs fn on the thread that owns the request's work.
    void performOnOwningThread(std::function<void()> fn);
    void removeConnectionRecord();

    // Bodies from files, downloads to files (HttpRequestFiles.cpp).
    void setupPostBody();
    // Builds a body kept in a file or compressed; false when the body is a
    // plain one in memory (left to buildPostBody).
    bool buildSpecialPostBody();
    void addBodyAndRangeHeaders();
    std::shared_ptr<net::HttpReadStream> makeReadStream();
    // Stores body bytes in the download file(s); false after a failure.
    bool writeDownloadBytes(const uint8_t* bytes, size_t length, const Bytes* inflated);
    // Moves the finished download into place; the file error, if any.
    HttpErrorRef finishDownloadFile();
    void closeDownloadFiles();
    void removeTemporaryDownloadFiles();
    void removeTemporaryUploadFiles();

    // Proxies and PAC (HttpRequestProxies.cpp).
    bool configureProxies();
    void fetchPACFile();
    void runPACScript(const std::string& script);
    void finishedDownloadingPACFile(HttpRequest& pacRequest);
    void readPACFile();
    void finishPACFileRead(bool ended);
    void applyStreamSettings(net::HttpReadStream& stream);
    // status, time-outs, redirects, progress
    void setStatusTimer(foundation::TimerRef timer);
    void checkRequestStatus();
    bool shouldTimeOutNow() const;
    bool willRedirect(const net::HttpResponseHead& head);
    void performRedirect();
    bool willAskDelegateToConfirmRedirect();
    void updatePartialDownloadSize();
    void updateProgressIndicators();
    void updateUploadProgress();
    void updateDownloadProgress();
    void incrementUploadSizeBy(int64_t amount);
    void incrementDownloadSizeBy(int64_t amount);
    void removeUploadProgressSoFar();
    void announceSizesForNewPass();
    enum class ProgressTarget { Upload, Download };
    void deliverProgress(ProgressTarget target, std::function<void(HttpProgressDelegate&)> call);
    void updateProgressIndicator(ProgressTarget target, uint64_t progress, uint64_t total);
    void noteStreamScheduled(bool scheduled);
    size_t throttledReadLength(size_t bufferSize);

    // headers, cookies and credentials
    void readCookiesAndChallenge(const net::HttpResponseHead& head);
    void applyCookieHeader();
    void applyAuthorizationHeader();
    bool applyCredentials(bool proxy, const net::CredentialsRef& credentials);
    // Each takes `proxy`: the proxy's (407) side, else the server's (401).
    void saveCredentialsToKeychain(bool proxy, const net::Credentials& credentials);
    void attemptToApplyCredentialsAndResume();
    void answerChallenge(bool proxy);
    bool willAskDelegateForCredentials(bool proxy);
    bool showAuthenticationDialog(bool proxy);
    static void removeFromSessionCredentials(bool proxy, const net::CredentialsRef& credentials);
    void failAuthentication();
    bool applySessionEntry(const SessionCredentialsRef& entry, bool proxy);

    // Lock order: cancelledLock_, then propertyMutex_; cancelledLock_ before
    // HttpDownloadCache's lock (the cache never calls a request under it).
    mutable std::recursive_mutex cancelledLock_;
    mutable std::mutex propertyMutex_;

    std::optional<net::Url> url_;
    std::optional<net::Url> originalURL_;
    foundation::WeakRef<HttpRequestDelegate> delegate_;
    std::string requestMethod_ = "GET";
    Bytes postBody_;
    uint64_t postLength_ = 0;
    std::optional<ResponseHeaders> requestHeaders_;
    bool haveBuiltRequestHeaders_ = false;
    bool haveBuiltPostBody_ = false;

    // What the owner set (guarded by propertyMutex_; the cache and TLS
    // members by cancelledLock_), and the snapshot the running request reads
    // on its own thread without a lock.
    HttpRequestSettings settings_;
    HttpRequestSettings run_;
    template <class T>
    T setting(T HttpRequestSettings::*member) const {
        std::lock_guard<std::mutex> l(propertyMutex_);
        return settings_.*member;
    }
    template <class T>
    T setting(T HttpConnectionSettings::*member) const {
        std::lock_guard<std::mutex> l(propertyMutex_);
        return settings_.connection.*member;
    }
    template <class T>
    void changeSetting(T HttpRequestSettings::*member, std::type_identity_t<T> value) {
        std::lock_guard<std::mutex> l(propertyMutex_);
        settings_.*member = std::move(value);
    }
    template <class T>
    void changeSetting(T HttpConnectionSettings::*member, std::type_identity_t<T> value) {
        std::lock_guard<std::mutex> l(propertyMutex_);
        settings_.connection.*member = std::move(value);
    }
    // The request changes one of its own settings while it runs: the
    // snapshot and the owner's value both.
    template <class T>
    void adjustSetting(T HttpRequestSettings::*member, std::type_identity_t<T> value) {
        run_.*member = value;
        changeSetting(member, std::move(value));
    }
    template <class T>
    void adjustSetting(T HttpConnectionSettings::*member, std::type_identity_t<T> value) {
        run_.connection.*member = value;
        changeSetting(member, std::move(value));
    }
    // Takes the snapshot; on the owning thread, at the start of each pass.
    void snapshotSettings();

    RequestSelector didStartSelector_, didFinishSelector_, didFailSelector_;
    HeadersSelector didReceiveResponseHeadersSelector_;
    DataSelector didReceiveDataSelector_;
    Block startedBlock_, completionBlock_, failureBlock_;
    HeadersBlock headersReceivedBlock_;
    DataBlock dataReceivedBlock_;

    std::atomic<TransferState> state_{TransferState::Idle};
    // The operation's side, as the queue sees it: running, then finished.
    std::atomic<bool> finished_{false};
    std::atomic<bool> inProgress_{false};
    bool isSynchronous_ = false;
    std::string runLoopMode_ = foundation::kDefaultMode;
    foundation::RunLoop* ownerLoop_ = nullptr;  // where a synchronous request runs
    OperationQueue* operationQueue_ = nullptr;

    HttpErrorRef error_;
    std::optional<net::HttpMessage> requestMessage_;
    std::shared_ptr<net::HttpReadStream> readStream_;
    foundation::RunLoop* readStreamLoop_ = nullptr;
    bool readStreamIsScheduled_ = false;
    std::optional<ResponseHeaders> responseHeaders_;
    int responseStatusCode_ = 0;
    std::optional<std::string> responseStatusMessage_;
    StringEncoding responseEncoding_ = 0;
    uint64_t contentLength_ = 0;
    uint64_t totalBytesRead_ = 0;
    uint64_t totalBytesSent_ = 0;
    uint64_t lastBytesSent_ = 0;
    Bytes rawResponseData_;
    bool haveRawResponseData_ = false;
    // A compressed body kept in memory, inflated (within the limit) when the
    // pass ended; nullopt when that failed or has not happened.
    std::optional<Bytes> inflatedResponseData_;
    bool keptBodyInflated_ = false;
    // Body bytes of this pass after decoding (inflated when inflating as they
    // come), measured against maxResponseBodySize.
    uint64_t decodedBytesRead_ = 0;
    std::unique_ptr<HttpDataDecompressor> dataDecompressor_;
    std::unique_ptr<uint8_t[]> readBuffer_;
    size_t readBufferSize_ = 0;
    bool downloadComplete_ = false;  // this pass read its body to the end
    int redirectCount_ = 0;
    int authenticationNeeded_ = 0;
    int retryCount_ = 0;
    bool connectionCanBeReused_ = false;
    std::shared_ptr<ConnectionRecord> connectionInfo_;
    std::optional<unsigned> requestID_;

    std::weak_ptr<HttpRequestDelegate> queue_;

    // The download cache (HttpRequestCache.cpp).
    bool useCacheBeforeStart();
    bool answerFromCacheAfterHeaders();
    bool fallBackToCache();
    void storeInCache();
    void useDataFromCache();
    bool didUseCachedResponse_ = false;

    // Bodies from files, downloads to files.
    bool didCreateTemporaryPostDataFile_ = false;
    FILE* postBodyWriteStream_ = nullptr;
    std::optional<std::string> compressedPostBodyFilePath_;
    Bytes compressedPostBody_;
    std::optional<std::string> temporaryUncompressedDataDownloadPath_;
    FILE* fileDownloadOutputStream_ = nullptr;
    FILE* inflatedFileDownloadOutputStream_ = nullptr;

    // Proxies and PAC.
    bool isPACFileRequest_ = false;
    HttpRequestRef PACFileRequest_;
    bool PACQueueLimitRaised_ = false;
    int PACFileFd_ = -1;
    foundation::FdWatchRef PACFileWatch_;
    foundation::TimerRef PACReadTimer_;
    Bytes PACFileData_;
    double lastActivityTime_ = 0;  // monotonic seconds; 0 while unknown

    foundation::TimerRef statusTimer_;
    uint64_t uploadBufferSize_ = 0;
    uint64_t lastBytesRead_ = 0;
    uint64_t partialDownloadSize_ = 0;
    bool updatedProgress_ = false;
    bool needsRedirect_ = false;  // the last reply asks for a redirect
    std::optional<net::Url> redirectURL_;
    foundation::WeakRef<HttpProgressDelegate> uploadProgressDelegate_;
    foundation::WeakRef<HttpProgressDelegate> downloadProgressDelegate_;
    std::function<void(int64_t, uint64_t)> bytesReceivedBlock_, bytesSentBlock_;
    SizeBlock downloadSizeIncrementedBlock_, uploadSizeIncrementedBlock_;
    Block requestRedirectedBlock_, authenticationNeededBlock_, proxyAuthenticationNeededBlock_;

    std::optional<net::HttpResponseHead> lastResponseHead_;
    std::vector<net::HttpCookie> requestCookies_, responseCookies_;
    // Where a challenge stands, one for the server (401) and one for the
    // proxy (407); both are answered by the same steps.
    struct AuthenticationState {
        std::shared_ptr<net::HttpAuthentication> handle;
        net::CredentialsRef credentials;  // the ones last applied
        int retryCount = 0;
        std::optional<std::string> scheme;  // guarded by propertyMutex_
        std::optional<std::string> realm;   // guarded by propertyMutex_
    };
    AuthenticationState serverAuth_, proxyAuth_;
    AuthenticationState& authState(bool proxy) { return proxy ? proxyAuth_ : serverAuth_; }
};

}  // namespace http
