// Feeds arbitrary text to what reads outside data for proxies and the cache:
// PAC answers, proxy settings and the cache's header files. Checks what they
// promise: every proxy entry has a host and a port in 1..65535, and header
// files written by the cache read back as they were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lib/http/HttpDownloadCache.h"
#include "lib/http/ProxySettings.h"

static void check(bool ok) {
    if (!ok) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    for (const auto& e : http::proxiesFromPACAnswer(text)) {
        if (e.type == http::kProxyTypeNone) {
            check(e.host.empty());
            continue;
        }
        check(!e.host.empty());
        check(e.port > 0 && e.port <= 65535);
    }

    http::SystemProxySettings s;
    s.httpProxy = text;
    s.noProxy = text;
    auto list = http::copyProxiesForURL(*net::Url::parse("http://www.example.com/"), s);
    check(list && list->size() == 1);
    if (list->front().type != http::kProxyTypeNone) check(list->front().port > 0 && list->front().port <= 65535);

    if (auto headers = http::HttpDownloadCache::decodeHeaders(text))
        check(http::HttpDownloadCache::decodeHeaders(http::HttpDownloadCache::encodeHeaders(*headers)) == headers);
    http::ResponseHeaders one{{text, text}};
    auto back = http::HttpDownloadCache::decodeHeaders(http::HttpDownloadCache::encodeHeaders(one));
    check(back && *back == one);
    return 0;
}
