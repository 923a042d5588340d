#pragma once
// Responses kept on disk so that a request can be answered without the
// network, or revalidated with If-None-Match / If-Modified-Since. Entries
// live under a storage path, in "SessionStore" (emptied whenever the path
// is set) or "PermanentStore"; each has a body file "<key>.<ext>" and a
// header file "<key>.cachedheaders". The key is the upper-case MD5 of the
// URL (one trailing "/" removed).

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "lib/http/HttpRequest.h"

namespace http {

// Cache policy bits (a request's cachePolicy).
enum CachePolicy : int {
    CachePolicyUseDefault = 0,
    CachePolicySkipRead = 1,
    CachePolicySkipWrite = 2,
    CachePolicyRevalidateWhenStale = 4,
    CachePolicyRevalidateAlways = 8,
    CachePolicyPreferCache = 16,
    CachePolicyCacheOnly = 32,
    CachePolicyFallbackOnFailure = 64,
};
// Storage policy (a request's cacheStoragePolicy): 0 session, else permanent.
enum CacheStoragePolicy : int { StorageForSession = 0, StoragePermanent = 1 };

// Header keys the cache adds to a stored response's headers.
inline const std::string kCachedExpiresHeader = "X-HttpRequest-Expires";
inline const std::string kCachedStatusCodeHeader = "X-HttpRequest-Response-Status-Code";

// A cache directory that cannot be made, read or emptied: an error of
// kHttpCacheErrorDomain whose message is the reason. Such a failure is logged
// as "<name>: <reason>" and returned.
inline const std::string kHttpCacheErrorDomain = "HttpDownloadCacheErrorDomain";
enum HttpCacheErrorCode : int {
    kFileExistsAtCachePath = 1,
    kFailedToCreateCacheDirectory = 2,
    kFailedToTraverseCacheDirectory = 3,
    kFailedToRemoveCacheFile = 4,
};
// The name a code is logged under: "FileExistsAtCachePath",
// "FailedToCreateCacheDirectory", "FailedToTraverseCacheDirectory",
// "FailedToRemoveCacheFile".
std::string httpCacheErrorName(int code);

class HttpDownloadCache {
public:
    HttpDownloadCache();
    // The shared cache, at <Caches>/HttpRequestCache.
    static std::shared_ptr<HttpDownloadCache> sharedCache();

    std::optional<std::string> storagePath() const;
    // Makes the directories and empties the session store before and after.
    HttpErrorRef setStoragePath(const std::string& path);
    int defaultCachePolicy() const;
    // 0 stores 4: the default policy is never 0.
    void setDefaultCachePolicy(int policy);
    bool shouldRespectCacheControlHeaders() const;
    void setShouldRespectCacheControlHeaders(bool on);

    void storeResponseForRequest(HttpRequest& request, double maxAge);
    void updateExpiryForRequest(HttpRequest& request, double maxAge);
    std::optional<double> expiryDateForRequest(HttpRequest& request, double maxAge);
    std::optional<ResponseHeaders> cachedResponseHeadersForURL(const net::Url& url);
    std::optional<Bytes> cachedResponseDataForURL(const net::Url& url);
    std::optional<std::string> pathToCachedResponseDataForURL(const net::Url& url);
    std::optional<std::string> pathToCachedResponseHeadersForURL(const net::Url& url);
    std::optional<std::string> pathToStoreCachedResponseDataForRequest(HttpRequest& request);
    std::optional<std::string> pathToStoreCachedResponseHeadersForRequest(HttpRequest& request);
    std::optional<std::string> pathToFile(const std::string& fileName);
    void removeCachedDataForURL(const net::Url& url);
    void removeCachedDataForRequest(HttpRequest& request);
    bool isCachedDataCurrentForRequest(HttpRequest& request);
    bool canUseCachedDataForRequest(HttpRequest& request);
    // Empties the store of the policy.
    HttpErrorRef clearCachedResponsesForStoragePolicy(int storagePolicy);

    static bool serverAllowsResponseCachingForRequest(HttpRequest& request);
    // nullopt for an empty URL text.
    static std::optional<std::string> keyForURL(const net::Url& url);
    static const std::vector<std::string>& fileExtensionsToHandleAsHTML();
    // "html" for no extension or a server-page one, else the extension as written.
    static std::string bodyExtensionForURL(const net::Url& url);

    // The header file format: one "name<TAB>value" line per header, with
    // backslash, tab and line breaks escaped.
    static std::string encodeHeaders(const ResponseHeaders& headers);
    static std::optional<ResponseHeaders> decodeHeaders(const std::string& text);

private:
    std::optional<ResponseHeaders> readHeaders(const std::string& path);
    bool writeHeaders(const std::string& path, const ResponseHeaders& headers);
    std::optional<std::string> pathForURL(const net::Url& url, const std::string& extension);
    // What the cache reads from a request, taken before accessLock_.
    struct RequestFacts {
        std::optional<net::Url> url;
        int cachePolicy = 0;
        int storagePolicy = 0;
        int status = 0;
        std::optional<ResponseHeaders> headers;
        bool complete = false;
    };
    static RequestFacts factsOf(HttpRequest& request);
    bool isCachedDataCurrent(const RequestFacts& request);
    std::optional<std::string> storePath(const std::optional<net::Url>& url, int storagePolicy,
                                         const std::string& extension);

    // Lock order: a request's lock (HttpRequest::cancelledLock_) before this
    // one. A running request calls the cache while it holds its own lock, so
    // the cache reads whatever it needs from a request before taking
    // accessLock_ and never calls a request while holding it.
    mutable std::recursive_mutex accessLock_;
    std::optional<std::string> storagePath_;
    int defaultCachePolicy_ = CachePolicyRevalidateWhenStale;
    bool shouldRespectCacheControlHeaders_ = true;
};

}  // namespace http
