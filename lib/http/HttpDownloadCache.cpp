#include "lib/http/HttpDownloadCache.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/crypto/Digest.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace http {
namespace {

const char* kSessionStore = "SessionStore";
const char* kPermanentStore = "PermanentStore";

bool isDir(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

std::optional<std::string> header(const ResponseHeaders& h, const char* name) {
    auto it = h.find(name);
    if (it == h.end()) return std::nullopt;
    return it->second;
}

bool readFile(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::stringstream s;
    s << f.rdbuf();
    out = s.str();
    return true;
}

bool writeFile(const std::string& path, const void* data, size_t n) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = n == 0 || std::fwrite(data, 1, n, f) == n;
    return std::fclose(f) == 0 && ok;
}

bool copyFile(const std::string& from, const std::string& to) {
    std::string data;
    return readFile(from, data) && writeFile(to, data.data(), data.size());
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::optional<std::string> unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i >= s.size()) return std::nullopt;
        switch (s[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

const char* kHeaderFileMagic = "HttpRequestCache headers 1";

// A programming or set-up error of the cache's folders: logged and returned.
HttpErrorRef cacheError(HttpCacheErrorCode code, std::string reason) {
    foundation::log(httpCacheErrorName(code), ": ", reason);
    return HttpError::make(kHttpCacheErrorDomain, code, std::move(reason));
}

}  // namespace

std::string httpCacheErrorName(int code) {
    switch (code) {
        case kFileExistsAtCachePath:
            return "FileExistsAtCachePath";
        case kFailedToCreateCacheDirectory:
            return "FailedToCreateCacheDirectory";
        case kFailedToTraverseCacheDirectory:
            return "FailedToTraverseCacheDirectory";
        case kFailedToRemoveCacheFile:
            return "FailedToRemoveCacheFile";
    }
    return "HttpCacheError " + std::to_string(code);
}

HttpDownloadCache::HttpDownloadCache() = default;

std::shared_ptr<HttpDownloadCache> HttpDownloadCache::sharedCache() {
    static std::mutex m;
    static std::shared_ptr<HttpDownloadCache> shared;
    std::lock_guard<std::mutex> lock(m);
    if (!shared) {
        shared = std::make_shared<HttpDownloadCache>();
        foundation::createDirectories(foundation::cachesDir());
        shared->setStoragePath(foundation::cachesDir() + "/HttpRequestCache");
        // The next use stores under the caches folder of the home set by then.
        foundation::registerResetter("http.sharedDownloadCache", foundation::ResetPhase::Cache, [] {
            std::lock_guard<std::mutex> lock(m);
            shared.reset();
        });
    }
    return shared;
}

std::optional<std::string> HttpDownloadCache::storagePath() const {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    return storagePath_;
}

HttpErrorRef HttpDownloadCache::setStoragePath(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    if (auto e = clearCachedResponsesForStoragePolicy(StorageForSession)) return e;
    storagePath_ = path;
    for (const std::string& dir : {path, path + "/" + kSessionStore, path + "/" + kPermanentStore}) {
        if (exists(dir) && !isDir(dir))
            return cacheError(kFileExistsAtCachePath, "Cannot create a directory for the cache at '" + dir +
                                                          "', because a file already exists");
        if (!exists(dir)) {
            ::mkdir(dir.c_str(), 0700);
            if (!isDir(dir))
                return cacheError(kFailedToCreateCacheDirectory,
                                  "Failed to create a directory for the cache at '" + dir + "'");
        }
    }
    return clearCachedResponsesForStoragePolicy(StorageForSession);
}

int HttpDownloadCache::defaultCachePolicy() const {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    return defaultCachePolicy_;
}

void HttpDownloadCache::setDefaultCachePolicy(int policy) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    defaultCachePolicy_ = policy == 0 ? CachePolicyRevalidateWhenStale : policy;
}

bool HttpDownloadCache::shouldRespectCacheControlHeaders() const {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    return shouldRespectCacheControlHeaders_;
}

void HttpDownloadCache::setShouldRespectCacheControlHeaders(bool on) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    shouldRespectCacheControlHeaders_ = on;
}

const std::vector<std::string>& HttpDownloadCache::fileExtensionsToHandleAsHTML() {
    static const std::vector<std::string> list = {"asp", "aspx", "jsp", "php", "rb", "py", "pl", "cgi"};
    return list;
}

std::optional<std::string> HttpDownloadCache::keyForURL(const net::Url& url) {
    std::string text = url.absoluteString();
    if (text.empty()) return std::nullopt;
    if (text.back() == '/') text.pop_back();
    auto digest = crypto::md5(text);
    return foundation::toHex(digest.data(), digest.size(), true);
}

std::string HttpDownloadCache::bodyExtensionForURL(const net::Url& url) {
    std::string path = url.path();
    std::string last = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    size_t dot = last.rfind('.');
    std::string ext = dot == std::string::npos || dot == 0 ? "" : last.substr(dot + 1);
    if (ext.empty()) return "html";
    const auto& html = fileExtensionsToHandleAsHTML();
    if (std::find(html.begin(), html.end(), foundation::toLower(ext)) != html.end()) return "html";
    return ext;
}

std::string HttpDownloadCache::encodeHeaders(const ResponseHeaders& headers) {
    std::string out = std::string(kHeaderFileMagic) + "\n";
    for (const auto& [name, value] : headers) out += escape(name) + "\t" + escape(value) + "\n";
    return out;
}

std::optional<ResponseHeaders> HttpDownloadCache::decodeHeaders(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeaderFileMagic) return std::nullopt;
    ResponseHeaders h;
    while (std::getline(in, line)) {
        size_t tab = line.find('\t');
        if (tab == std::string::npos) return std::nullopt;
        auto name = unescape(line.substr(0, tab));
        auto value = unescape(line.substr(tab + 1));
        if (!name || !value) return std::nullopt;
        h[*name] = *value;
    }
    return h;
}

std::optional<ResponseHeaders> HttpDownloadCache::readHeaders(const std::string& path) {
    std::string text;
    if (!readFile(path, text)) return std::nullopt;
    return decodeHeaders(text);
}

bool HttpDownloadCache::writeHeaders(const std::string& path, const ResponseHeaders& headers) {
    std::string text = encodeHeaders(headers);
    return writeFile(path, text.data(), text.size());
}

std::optional<std::string> HttpDownloadCache::pathToFile(const std::string& fileName) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    if (!storagePath_) return nullptr;
    for (const char* store : {kSessionStore, kPermanentStore}) {
        std::string p = *storagePath_ + "/" + store + "/" + fileName;
        if (exists(p)) return p;
    }
    return std::nullopt;
}

std::optional<std::string> HttpDownloadCache::pathForURL(const net::Url& url, const std::string& extension) {
    auto key = keyForURL(url);
    if (!key) return std::nullopt;
    return pathToFile(*key + "." + extension);
}

std::optional<std::string> HttpDownloadCache::pathToCachedResponseDataForURL(const net::Url& url) {
    return pathForURL(url, bodyExtensionForURL(url));
}

std::optional<std::string> HttpDownloadCache::pathToCachedResponseHeadersForURL(const net::Url& url) {
    return pathForURL(url, "cachedheaders");
}

HttpDownloadCache::RequestFacts HttpDownloadCache::factsOf(HttpRequest& request) {
    RequestFacts f;
    f.url = request.url();
    f.cachePolicy = request.cachePolicy();
    f.storagePolicy = request.cacheStoragePolicy();
    f.status = request.responseStatusCode();
    f.headers = request.responseHeaders();
    f.complete = request.complete();
    return f;
}

std::optional<std::string> HttpDownloadCache::storePath(const std::optional<net::Url>& url, int storagePolicy,
                                                        const std::string& extension) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    if (!storagePath_ || !url) return std::nullopt;
    auto key = keyForURL(*url);
    if (!key) return std::nullopt;
    const char* store = storagePolicy == StorageForSession ? kSessionStore : kPermanentStore;
    return *storagePath_ + "/" + store + "/" + *key + "." + extension;
}

std::optional<std::string> HttpDownloadCache::pathToStoreCachedResponseDataForRequest(HttpRequest& request) {
    auto url = request.url();
    if (!url) return std::nullopt;
    return storePath(url, request.cacheStoragePolicy(), bodyExtensionForURL(*url));
}

std::optional<std::string> HttpDownloadCache::pathToStoreCachedResponseHeadersForRequest(HttpRequest& request) {
    return storePath(request.url(), request.cacheStoragePolicy(), "cachedheaders");
}

std::optional<ResponseHeaders> HttpDownloadCache::cachedResponseHeadersForURL(const net::Url& url) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto path = pathToCachedResponseHeadersForURL(url);
    if (!path) return std::nullopt;
    return readHeaders(*path);
}

std::optional<Bytes> HttpDownloadCache::cachedResponseDataForURL(const net::Url& url) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto path = pathToCachedResponseDataForURL(url);
    std::string data;
    if (!path || !readFile(*path, data)) return std::nullopt;
    return Bytes(data.begin(), data.end());
}

bool HttpDownloadCache::serverAllowsResponseCachingForRequest(HttpRequest& request) {
    auto headers = request.responseHeaders();
    if (!headers) return true;
    if (auto cc = header(*headers, "Cache-Control")) {
        std::string v = foundation::toLower(*cc);
        if (v == "no-cache" || v == "no-store") return false;
    }
    if (auto pragma = header(*headers, "Pragma")) {
        if (foundation::toLower(*pragma) == "no-cache") return false;
    }
    return true;
}

std::optional<double> HttpDownloadCache::expiryDateForRequest(HttpRequest& request, double maxAge) {
    return HttpRequest::expiryDateForRequest(request, maxAge);
}

void HttpDownloadCache::storeResponseForRequest(HttpRequest& request, double maxAge) {
    // Everything is read from the request first (see accessLock_).
    auto headers = request.responseHeaders();
    if (request.error() || !headers || (request.cachePolicy() & CachePolicySkipWrite)) return;
    int status = request.responseStatusCode();
    if (status != 200 && status != 301 && status != 302 && status != 303 && status != 307) return;
    if (shouldRespectCacheControlHeaders() && !serverAllowsResponseCachingForRequest(request)) return;
    auto headerPath = pathToStoreCachedResponseHeadersForRequest(request);
    auto dataPath = pathToStoreCachedResponseDataForRequest(request);
    if (!headerPath || !dataPath) return;
    ResponseHeaders stored = *headers;
    if (request.isResponseCompressed()) stored.erase("Content-Encoding");
    if (auto expires = expiryDateForRequest(request, maxAge)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", *expires);
        stored[kCachedExpiresHeader] = buf;
    }
    stored[kCachedStatusCodeHeader] = std::to_string(status);
    auto data = request.responseData();
    auto downloaded = data ? std::nullopt : request.downloadDestinationPath();
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    writeHeaders(*headerPath, stored);
    if (data) {
        writeFile(*dataPath, data->data(), data->size());
    } else if (downloaded && *downloaded != *dataPath) {
        ::unlink(dataPath->c_str());
        copyFile(*downloaded, *dataPath);
    }
}

void HttpDownloadCache::updateExpiryForRequest(HttpRequest& request, double maxAge) {
    auto path = pathToStoreCachedResponseHeadersForRequest(request);
    if (!path) return;
    auto expires = expiryDateForRequest(request, maxAge);
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto stored = readHeaders(*path);
    if (!stored) return;
    if (!expires) return;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", *expires);
    (*stored)[kCachedExpiresHeader] = buf;
    writeHeaders(*path, *stored);
}

bool HttpDownloadCache::isCachedDataCurrentForRequest(HttpRequest& request) {
    return isCachedDataCurrent(factsOf(request));
}

bool HttpDownloadCache::isCachedDataCurrent(const RequestFacts& request) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    const auto& url = request.url;
    if (!storagePath_ || !url) return false;
    auto stored = cachedResponseHeadersForURL(*url);
    if (!stored || !pathToCachedResponseDataForURL(*url)) return false;
    if (request.status == 304) return true;
    const auto& fresh = request.headers;
    if (fresh && request.complete) {
        for (const char* name : {"Etag", "Last-Modified"}) {
            auto a = header(*fresh, name);
            auto b = header(*stored, name);
            if (!a || !b || *a != *b) return false;
        }
    }
    if (shouldRespectCacheControlHeaders_) {
        auto expires = header(*stored, kCachedExpiresHeader.c_str());
        if (!expires) return false;
        return std::strtod(expires->c_str(), nullptr) >= foundation::clock().now();
    }
    return true;
}

bool HttpDownloadCache::canUseCachedDataForRequest(HttpRequest& request) {
    RequestFacts facts = factsOf(request);
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    int policy = facts.cachePolicy;
    if (policy & CachePolicySkipRead) return false;
    if (policy & CachePolicyCacheOnly) return true;
    const auto& url = facts.url;
    if (!url || !cachedResponseHeadersForURL(*url) || !pathToCachedResponseDataForURL(*url)) return false;
    if ((policy & CachePolicyPreferCache) || (facts.complete && (policy & CachePolicyFallbackOnFailure))) return true;
    if ((policy & CachePolicyRevalidateWhenStale) || ((policy & CachePolicyRevalidateAlways) && facts.headers))
        return isCachedDataCurrent(facts);
    return false;
}

HttpErrorRef HttpDownloadCache::clearCachedResponsesForStoragePolicy(int storagePolicy) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    if (!storagePath_) return nullptr;
    std::string dir = *storagePath_ + "/" + (storagePolicy == StorageForSession ? kSessionStore : kPermanentStore);
    if (!isDir(dir)) return nullptr;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return cacheError(kFailedToTraverseCacheDirectory, "Listing cache directory failed at path '" + dir + "'");
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
    for (const auto& n : names) {
        std::string p = dir + "/" + n;
        if (!foundation::removeItem(p))
            return cacheError(kFailedToRemoveCacheFile, "Failed to remove cached data at path '" + p + "'");
    }
    return nullptr;
}

void HttpDownloadCache::removeCachedDataForURL(const net::Url& url) {
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    if (!storagePath_) return;
    if (auto p = pathToCachedResponseHeadersForURL(url)) ::unlink(p->c_str());
    if (auto p = pathToCachedResponseDataForURL(url)) ::unlink(p->c_str());
}

void HttpDownloadCache::removeCachedDataForRequest(HttpRequest& request) {
    if (auto url = request.url()) removeCachedDataForURL(*url);
}

}  // namespace http
