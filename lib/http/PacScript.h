#pragma once
// Runs proxy auto-configuration scripts: FindProxyForURL(url, host) with the
// usual helper functions (isPlainHostName, dnsDomainIs, localHostOrDomainIs,
// isResolvable, isInNet, dnsResolve, convert_addr, myIpAddress,
// dnsDomainLevels, shExpMatch, weekdayRange, dateRange, timeRange, alert),
// each run in a fresh engine and stopped when it takes too long.

#include <functional>
#include <optional>
#include <string>

namespace http {

class PacScript {
public:
    // The answer of FindProxyForURL, e.g. "PROXY a:8080; DIRECT". nullopt
    // with `error` set when the script does not compile, throws, has no
    // FindProxyForURL, answers something other than text, or runs longer
    // than `timeLimitSeconds` (real time).
    static std::optional<std::string> findProxyForURL(const std::string& script, const std::string& url,
                                                      const std::string& host, double timeLimitSeconds,
                                                      std::string* error = nullptr);

    // Name resolution for dnsResolve / isResolvable / isInNet (an IPv4
    // address as text, or nullopt), and the address myIpAddress gives.
    // Replaceable for tests; empty functions restore the system's.
    using Resolver = std::function<std::optional<std::string>(const std::string& host)>;
    static void setResolver(Resolver resolver);
    static void setMyIpAddress(std::function<std::string()> provider);
};

}  // namespace http
