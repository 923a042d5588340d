#include "platform/net/NetError.h"

#include <cstring>

namespace net {

StreamError StreamError::posix(int errnoValue) {
    return StreamError(kPosixDomain, errnoValue, std::strerror(errnoValue));
}

StreamError StreamError::network(int code, std::string message) {
    return StreamError(kNetworkDomain, code, std::move(message));
}

StreamError StreamError::tls(int code, std::string message) {
    return StreamError(kTlsDomain, code, std::move(message));
}

foundation::ErrorRef StreamError::asError() const {
    if (!*this) return nullptr;
    return std::make_shared<const foundation::Error>(*this);
}

}  // namespace net
