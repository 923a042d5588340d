#include "platform/net/NetError.h"

#include <cstring>

namespace net {

StreamError StreamError::posix(int errnoValue) {
    return StreamError{ErrorDomain::Posix, errnoValue, std::strerror(errnoValue)};
}

StreamError StreamError::network(int code, std::string description) {
    return StreamError{ErrorDomain::Network, code, std::move(description)};
}

StreamError StreamError::tls(int code, std::string description) {
    return StreamError{ErrorDomain::Tls, code, std::move(description)};
}

std::string StreamError::domainName() const {
    switch (domain) {
        case ErrorDomain::Posix:
            return "POSIX";
        case ErrorDomain::Network:
            return "Network";
        case ErrorDomain::Tls:
            return "TLS";
        case ErrorDomain::None:
            break;
    }
    return "";
}

foundation::ErrorRef StreamError::asError() const {
    if (!*this) return nullptr;
    return foundation::Error::make(domainName(), code, description);
}

}  // namespace net
