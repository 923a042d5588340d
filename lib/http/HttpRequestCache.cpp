// HttpRequest: answering from the download cache, revalidating with it and
// storing replies in it.
#include <cstdlib>
#include <mutex>

#include "lib/http/HttpDownloadCache.h"
#include "lib/http/HttpRequest.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Resetters.h"

namespace http {
namespace {

std::mutex& defaultCacheMutex() {
    static std::mutex* m = new std::mutex();
    return *m;
}
std::shared_ptr<HttpDownloadCache>& defaultCacheSlot() {
    static auto* c = new std::shared_ptr<HttpDownloadCache>();
    return *c;
}
[[maybe_unused]] const bool registered =
    (foundation::registerResetter("http.defaultCache", foundation::ResetPhase::Service,
                                  [] { HttpRequest::setDefaultCache(nullptr); }),
     true);

}  // namespace

HttpRequestRef HttpRequest::requestWithURL(const std::optional<net::Url>& url, std::shared_ptr<HttpDownloadCache> cache,
                                           int cachePolicy) {
    auto r = requestWithURL(url);
    r->setDownloadCache(std::move(cache));
    r->setCachePolicy(cachePolicy);
    return r;
}

std::shared_ptr<HttpDownloadCache> HttpRequest::defaultCache() {
    std::lock_guard<std::mutex> lock(defaultCacheMutex());
    return defaultCacheSlot();
}

void HttpRequest::setDefaultCache(std::shared_ptr<HttpDownloadCache> cache) {
    std::lock_guard<std::mutex> lock(defaultCacheMutex());
    defaultCacheSlot() = std::move(cache);
}

std::shared_ptr<HttpDownloadCache> HttpRequest::downloadCache() const {
    return foundation::lockedRead(cancelledLock_, settings_.downloadCache);
}
void HttpRequest::setDownloadCache(std::shared_ptr<HttpDownloadCache> cache) {
    foundation::lockedWrite(cancelledLock_, settings_.downloadCache, std::move(cache));
}
int HttpRequest::cachePolicy() const { return foundation::lockedRead(cancelledLock_, settings_.cachePolicy); }
void HttpRequest::setCachePolicy(int policy) { foundation::lockedWrite(cancelledLock_, settings_.cachePolicy, policy); }
int HttpRequest::cacheStoragePolicy() const {
    return foundation::lockedRead(cancelledLock_, settings_.cacheStoragePolicy);
}
void HttpRequest::setCacheStoragePolicy(int policy) {
    foundation::lockedWrite(cancelledLock_, settings_.cacheStoragePolicy, policy);
}
double HttpRequest::secondsToCache() const { return foundation::lockedRead(cancelledLock_, settings_.secondsToCache); }
void HttpRequest::setSecondsToCache(double seconds) {
    foundation::lockedWrite(cancelledLock_, settings_.secondsToCache, seconds);
}
bool HttpRequest::didUseCachedResponse() const { return foundation::lockedRead(cancelledLock_, didUseCachedResponse_); }

bool HttpRequest::useCacheBeforeStart() {
    if (!settings_.downloadCache) return false;
    if (settings_.cachePolicy == 0) settings_.cachePolicy = settings_.downloadCache->defaultCachePolicy();
    if (settings_.downloadCache->canUseCachedDataForRequest(*this)) {
        useDataFromCache();
        return true;
    }
    if (settings_.cachePolicy & (CachePolicyRevalidateWhenStale | CachePolicyRevalidateAlways)) {
        if (auto cached = settings_.downloadCache->cachedResponseHeadersForURL(*url_)) {
            if (!requestHeaders_) requestHeaders_.emplace();
            if (auto it = cached->find("Etag"); it != cached->end()) (*requestHeaders_)["If-None-Match"] = it->second;
            if (auto it = cached->find("Last-Modified"); it != cached->end())
                (*requestHeaders_)["If-Modified-Since"] = it->second;
        }
    }
    return false;
}

bool HttpRequest::answerFromCacheAfterHeaders() {
    if (!settings_.downloadCache || !settings_.downloadCache->canUseCachedDataForRequest(*this)) return false;
    settings_.downloadCache->updateExpiryForRequest(*this, settings_.secondsToCache);
    useDataFromCache();
    return true;
}

bool HttpRequest::fallBackToCache() {
    if (!settings_.downloadCache || !(settings_.cachePolicy & CachePolicyFallbackOnFailure)) return false;
    if (!settings_.downloadCache->canUseCachedDataForRequest(*this)) return false;
    useDataFromCache();
    return true;
}

void HttpRequest::storeInCache() {
    if (settings_.downloadCache && !didUseCachedResponse_)
        settings_.downloadCache->storeResponseForRequest(*this, settings_.secondsToCache);
}

void HttpRequest::useDataFromCache() {
    auto self = shared_from_this();
    // The stream (a 304 reply, or none yet) is not needed any more, nor is
    // its connection reused.
    if (readStream_) {
        connectionCanBeReused_ = false;
        readStream_->close();
        removeConnectionRecord();
        destroyReadStream();
    }
    auto headers = settings_.downloadCache->cachedResponseHeadersForURL(*url_);
    auto dataPath = settings_.downloadCache->pathToCachedResponseDataForURL(*url_);
    if (headers && dataPath) {
        auto status = headers->find(kCachedStatusCodeHeader);
        responseStatusCode_ = status == headers->end() ? 0 : std::atoi(status->second.c_str());
        didUseCachedResponse_ = true;
        responseHeaders_ = *headers;
        if (run_.downloadDestinationPath) {
            adjustSetting(&HttpRequestSettings::downloadDestinationPath, *dataPath);
        } else {
            auto data = settings_.downloadCache->cachedResponseDataForURL(*url_);
            rawResponseData_ = data ? std::move(*data) : Bytes();
            haveRawResponseData_ = true;
            forgetInflatedBody();
        }
        auto length = headers->find("Content-Length");
        contentLength_ =
            length == headers->end() ? rawResponseData_.size() : std::strtoull(length->second.c_str(), nullptr, 10);
        totalBytesRead_ = contentLength_;
        parseStringEncodingFromHeaders();
    }
    enterState(TransferState::Finished);
    downloadComplete_ = true;
    if (redirectCount_ == 0) originalURL_ = url_;
    requestFinished();
    markAsFinished();
}

}  // namespace http
