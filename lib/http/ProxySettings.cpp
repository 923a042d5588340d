#include "lib/http/ProxySettings.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <mutex>

#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace http {
namespace {

std::mutex& providerMutex() {
    static std::mutex* m = new std::mutex();
    return *m;
}
ProxySettingsProvider& provider() {
    static auto* p = new ProxySettingsProvider();
    return *p;
}
ProxyLister& lister() {
    static auto* l = new ProxyLister();
    return *l;
}
[[maybe_unused]] const bool registered =
    (foundation::registerResetter("http.proxySettings", foundation::ResetPhase::Service,
                                  [] {
                                      setSystemProxySettingsProvider(nullptr);
                                      setProxyLister(nullptr);
                                  }),
     true);

std::string env(const char* lower, const char* upper) {
    if (const char* v = std::getenv(lower); v && *v) return v;
    if (const char* v = std::getenv(upper); v && *v) return v;
    return {};
}

std::string trim(std::string s) {
    size_t a = s.find_first_not_of(" \t");
    size_t b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// "socks5://user@host:1080/", "host:8080", "http://[::1]:3128" -> entry.
std::optional<ProxyEntry> parseProxy(const std::string& text, const std::string& defaultType) {
    std::string s = trim(text);
    if (s.empty()) return std::nullopt;
    std::string type = defaultType;
    size_t scheme = s.find("://");
    if (scheme != std::string::npos) {
        std::string name = foundation::toLower(s.substr(0, scheme));
        if (name.rfind("socks", 0) == 0)
            type = kProxyTypeSOCKS;
        else if (name == "https")
            type = kProxyTypeHTTPS;
        else if (name == "http")
            type = kProxyTypeHTTP;
        else
            return std::nullopt;
        s = s.substr(scheme + 3);
    }
    s = s.substr(0, s.find('/'));
    if (size_t at = s.rfind('@'); at != std::string::npos) s = s.substr(at + 1);
    ProxyEntry e;
    e.type = type;
    std::string portText;
    if (!s.empty() && s[0] == '[') {
        size_t close = s.find(']');
        if (close == std::string::npos) return std::nullopt;
        e.host = s.substr(1, close - 1);
        if (close + 1 < s.size() && s[close + 1] == ':') portText = s.substr(close + 2);
    } else {
        size_t colon = s.rfind(':');
        e.host = s.substr(0, colon);
        if (colon != std::string::npos) portText = s.substr(colon + 1);
    }
    if (e.host.empty()) return std::nullopt;
    if (!portText.empty()) {
        char* end = nullptr;
        long p = std::strtol(portText.c_str(), &end, 10);
        if (*end || p <= 0 || p > 65535) return std::nullopt;
        e.port = int(p);
    } else {
        e.port = type == kProxyTypeSOCKS ? 1080 : type == kProxyTypeHTTPS ? 443 : 80;
    }
    return e;
}

bool isLoopback(const std::string& host) {
    if (host == "localhost" || host == "::1") return true;
    if (host.size() > 10 && host.compare(host.size() - 10, 10, ".localhost") == 0) return true;
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) == 1) return (ntohl(a.s_addr) >> 24) == 127;
    return false;
}

bool excluded(const std::string& host, const std::string& noProxy) {
    size_t start = 0;
    while (start <= noProxy.size()) {
        size_t comma = noProxy.find(',', start);
        std::string item = foundation::toLower(trim(noProxy.substr(start, comma - start)));
        start = comma == std::string::npos ? noProxy.size() + 1 : comma + 1;
        if (item.empty()) continue;
        if (item == "*") return true;
        if (item[0] != '[' && std::count(item.begin(), item.end(), ':') == 1) item = item.substr(0, item.find(':'));
        if (item[0] == '.') item = item.substr(1);
        if (item[0] == '*' && item.size() > 1 && item[1] == '.') item = item.substr(2);
        if (host == item) return true;
        if (host.size() > item.size() && host.compare(host.size() - item.size(), item.size(), item) == 0 &&
            host[host.size() - item.size() - 1] == '.')
            return true;
    }
    return false;
}

std::optional<std::vector<ProxyEntry>> defaultProxiesForURL(const net::Url& url, const SystemProxySettings& s) {
    std::vector<ProxyEntry> direct{ProxyEntry{}};
    if (isLoopback(url.host()) || excluded(url.host(), s.noProxy)) return direct;
    if (!s.pacURL.empty()) {
        if (auto pac = net::Url::parse(s.pacURL)) {
            ProxyEntry e;
            e.type = kProxyTypeAutoConfigurationURL;
            e.autoConfigurationURL = pac;
            return std::vector<ProxyEntry>{e};
        }
    }
    std::string chosen = url.scheme() == "https" ? s.httpsProxy : s.httpProxy;
    if (chosen.empty()) chosen = s.allProxy;
    if (auto e = parseProxy(chosen, kProxyTypeHTTP)) {
        // An HTTP proxy serves https URLs through a tunnel.
        if (e->type == kProxyTypeHTTP && url.scheme() == "https") e->type = kProxyTypeHTTPS;
        return std::vector<ProxyEntry>{*e};
    }
    return direct;
}

}  // namespace

SystemProxySettings SystemProxySettings::fromEnvironment() {
    SystemProxySettings s;
    s.httpProxy = env("http_proxy", "HTTP_PROXY");
    s.httpsProxy = env("https_proxy", "HTTPS_PROXY");
    s.allProxy = env("all_proxy", "ALL_PROXY");
    s.noProxy = env("no_proxy", "NO_PROXY");
    s.pacURL = env("QUENTA_PAC_URL", "QUENTA_PAC_URL");
    return s;
}

void setSystemProxySettingsProvider(ProxySettingsProvider p) {
    std::lock_guard<std::mutex> lock(providerMutex());
    provider() = std::move(p);
}

std::optional<SystemProxySettings> copySystemProxySettings() {
    ProxySettingsProvider p;
    {
        std::lock_guard<std::mutex> lock(providerMutex());
        p = provider();
    }
    if (p) return p();
    return SystemProxySettings::fromEnvironment();
}

void setProxyLister(ProxyLister l) {
    std::lock_guard<std::mutex> lock(providerMutex());
    lister() = std::move(l);
}

std::optional<std::vector<ProxyEntry>> copyProxiesForURL(const net::Url& url, const SystemProxySettings& settings) {
    ProxyLister l;
    {
        std::lock_guard<std::mutex> lock(providerMutex());
        l = lister();
    }
    if (l) return l(url, settings);
    return defaultProxiesForURL(url, settings);
}

std::vector<ProxyEntry> proxiesFromPACAnswer(const std::string& answer) {
    std::vector<ProxyEntry> out;
    size_t start = 0;
    while (start <= answer.size()) {
        size_t semi = answer.find(';', start);
        std::string item = trim(answer.substr(start, semi - start));
        start = semi == std::string::npos ? answer.size() + 1 : semi + 1;
        if (item.empty()) continue;
        size_t space = item.find_first_of(" \t");
        std::string keyword = foundation::toUpper(item.substr(0, space));
        std::string where = space == std::string::npos ? "" : trim(item.substr(space));
        if (keyword == "DIRECT") {
            out.push_back(ProxyEntry{});
            continue;
        }
        std::string type;
        if (keyword == "PROXY" || keyword == "HTTP")
            type = kProxyTypeHTTP;
        else if (keyword == "HTTPS")
            type = kProxyTypeHTTPS;
        else if (keyword == "SOCKS" || keyword == "SOCKS4" || keyword == "SOCKS5")
            type = kProxyTypeSOCKS;
        else
            continue;
        if (auto e = parseProxy(where, type)) {
            e->type = type;
            out.push_back(*e);
        }
    }
    return out;
}

}  // namespace http
