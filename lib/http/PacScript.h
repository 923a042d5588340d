#pragma once
// Runs proxy auto-configuration scripts: FindProxyForURL(url, host) with the
// usual helper functions (isPlainHostName, dnsDomainIs, localHostOrDomainIs,
// isResolvable, isInNet, dnsResolve, convert_addr, myIpAddress,
// dnsDomainLevels, shExpMatch, weekdayRange, dateRange, timeRange, alert),
// each run in a fresh engine and stopped when it takes too long.

#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/Result.h"

namespace http {

// Why a script gave no answer: errors of kPacScriptErrorDomain.
inline const std::string kPacScriptErrorDomain = "PacScriptErrorDomain";
enum PacScriptErrorCode : int {
    kPacEngineUnavailable = 1,  // "the script engine could not start"
    kPacScriptFailed = 2,       // it does not compile, or FindProxyForURL throws
    kPacNoEntryPoint = 3,       // "the script has no FindProxyForURL"
    kPacAnswerNotText = 4,      // "FindProxyForURL gave no text"
    kPacTimedOut = 5,           // "the script ran too long"
};

class PacScript {
public:
    // The answer of FindProxyForURL, e.g. "PROXY a:8080; DIRECT"; else the
    // error when the script does not compile, throws, has no FindProxyForURL,
    // answers something other than text, or runs longer than
    // `timeLimitSeconds` (real time).
    static foundation::Result<std::string> findProxyForURL(const std::string& script, const std::string& url,
                                                           const std::string& host, double timeLimitSeconds);

    // Name resolution for dnsResolve / isResolvable / isInNet (an IPv4
    // address as text, or nullopt), and the address myIpAddress gives.
    // Replaceable for tests; empty functions restore the system's.
    using Resolver = std::function<std::optional<std::string>(const std::string& host)>;
    static void setResolver(Resolver resolver);
    static void setMyIpAddress(std::function<std::string()> provider);
};

}  // namespace http
