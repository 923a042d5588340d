#pragma once
// Which proxy a URL goes through: the system's settings (from the
// environment: http_proxy, https_proxy, all_proxy, no_proxy, in lower or
// upper case, and QUENTA_PAC_URL for a proxy auto-configuration script), the
// list of proxies for one URL, and the list a PAC answer names.
//
// The settings source can be replaced (tests, or an app with settings of its
// own). Loopback hosts (localhost, 127.0.0.0/8, ::1) always go direct.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/Url.h"

namespace http {

inline const std::string kProxyTypeNone = "None";
inline const std::string kProxyTypeHTTP = "HTTP";
inline const std::string kProxyTypeHTTPS = "HTTPS";
inline const std::string kProxyTypeSOCKS = "SOCKS";
inline const std::string kProxyTypeAutoConfigurationURL = "AutoConfigurationURL";

struct ProxyEntry {
    std::string type = kProxyTypeNone;
    std::string host;  // empty for a direct connection
    int port = 0;
    std::optional<net::Url> autoConfigurationURL;  // for kProxyTypeAutoConfigurationURL
    bool operator==(const ProxyEntry&) const = default;
};

struct SystemProxySettings {
    std::string httpProxy;  // "host:port" or "http://[user:password@]host:port/"
    std::string httpsProxy;
    std::string allProxy;  // also "socks5://host:port"
    std::string noProxy;   // "a.example,.b.example,10.0.0.1,*"
    std::string pacURL;    // where a PAC script lies (http, https or file URL)

    static SystemProxySettings fromEnvironment();
};

// Where the settings come from; nullopt means "no settings could be had".
using ProxySettingsProvider = std::function<std::optional<SystemProxySettings>()>;
// Replaces the source; an empty function restores the environment.
void setSystemProxySettingsProvider(ProxySettingsProvider provider);
std::optional<SystemProxySettings> copySystemProxySettings();

// The proxies for the URL, in order of preference: a direct connection is
// one entry of type None. nullopt never happens with these settings, but a
// replaced lister may give it.
using ProxyLister = std::function<std::optional<std::vector<ProxyEntry>>(const net::Url&, const SystemProxySettings&)>;
std::optional<std::vector<ProxyEntry>> copyProxiesForURL(const net::Url& url, const SystemProxySettings& settings);
// Replaces the lister (tests); an empty function restores the default.
void setProxyLister(ProxyLister lister);

// The entries of a PAC answer such as "PROXY a:8080; SOCKS b:1080; DIRECT".
// Unknown or malformed entries are skipped. A proxy without a port gets the
// usual one (80 for HTTP, 443 for HTTPS, 1080 for SOCKS).
std::vector<ProxyEntry> proxiesFromPACAnswer(const std::string& answer);

}  // namespace http
