#include "lib/http/ConnectionFailure.h"

namespace http {

std::string connectionFailureReason(const net::StreamError& underlying) {
    std::string reason = "A connection failure occurred";
    if (underlying.isTls() && underlying.code >= net::kTlsRangeFirst && underlying.code <= net::kTlsRangeLast)
        reason +=
            ": SSL problem (Possible causes may include a bad/expired/self-signed certificate, clock set to "
            "wrong date)";
    return reason;
}

}  // namespace http
