#pragma once
// What a request is told before it starts, in two plain structs: how it
// reaches the server (credentials, proxy, TLS, time-outs, reuse) and the rest
// (body and download files, progress, redirects, the cache). A copy of the
// request takes both; a HEAD request made from it takes the connection part.
// The request keeps the values its owner sets and, while it runs, a snapshot
// taken at the start of each pass that its own thread reads without a lock.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lib/http/TextEncoding.h"
#include "platform/foundation/Value.h"
#include "platform/net/TlsSession.h"
#include "platform/net/Url.h"

namespace http {

class HttpDownloadCache;

struct HttpConnectionSettings {
    // Where cookies and credentials are looked up and kept.
    bool useCookiePersistence = true;
    bool useKeychainPersistence = false;
    bool useSessionPersistence = true;
    bool allowCompressedResponse = true;
    std::optional<std::string> username, password, domain;
    std::optional<std::string> proxyUsername, proxyPassword, proxyDomain;
    // The proxy; unset: from the PAC script or the system's settings.
    std::optional<std::string> proxyHost;
    int proxyPort = 0;
    std::optional<std::string> proxyType;
    std::optional<net::Url> PACurl;
    bool shouldPresentAuthenticationDialog = false;
    bool shouldPresentProxyAuthenticationDialog = true;
    bool shouldPresentCredentialsBeforeChallenge = true;
    double timeOutSeconds = 10;
    int numberOfTimesToRetryOnTimeout = 0;
    bool useHTTPVersionOne = false;
    bool shouldUseRFC2616RedirectBehaviour = false;
    bool validatesSecureCertificate = true;
    std::shared_ptr<const net::TlsIdentity> clientCertificateIdentity;
    std::vector<std::shared_ptr<const net::TlsCertificate>> clientCertificates;
    bool shouldAttemptPersistentConnection = true;
    double persistentConnectionTimeoutSeconds = 60.0;
};

// The default bound on a reply body, decoded (see maxResponseBodySize).
inline constexpr uint64_t kDefaultMaxResponseBodySize = 64u << 20;

struct HttpRequestSettings {
    HttpConnectionSettings connection;
    int tag = 0;
    foundation::Value userInfo;
    bool shouldWaitToInflateCompressedResponses = true;
    // The most bytes the reply body may come to once de-chunked and inflated,
    // kept in memory, written to a file or handed to a data block alike; 0:
    // no limit. It is checked as the bytes arrive and as they are inflated:
    // a body that goes past it fails the request with code 12 at that point.
    uint64_t maxResponseBodySize = kDefaultMaxResponseBodySize;
    StringEncoding defaultResponseEncoding = kISOLatin1StringEncoding;
    std::optional<std::string> userAgentString;
    std::optional<std::string> downloadDestinationPath, temporaryFileDownloadPath, postBodyFilePath;
    bool shouldStreamPostDataFromDisk = false;
    bool shouldCompressRequestBody = false;
    bool shouldResetDownloadProgress = true;
    bool shouldResetUploadProgress = true;
    bool showAccurateProgress = true;
    bool allowResumeForFileDownloads = false;
    bool shouldRedirect = true;
    std::shared_ptr<HttpDownloadCache> downloadCache;
    int cachePolicy = 0;
    int cacheStoragePolicy = 0;
    double secondsToCache = 0;
};

}  // namespace http
