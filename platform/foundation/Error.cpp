#include "platform/foundation/Error.h"

namespace foundation {

ErrorRef Error::make(std::string domain, int code, std::string message, ErrorRef underlying) {
    return std::make_shared<const Error>(std::move(domain), code, std::move(message), std::move(underlying));
}

bool Error::hasCause(std::string_view errorDomain, int errorCode) const {
    for (const Error* e = this; e; e = e->underlying.get()) {
        if (e->is(errorDomain, errorCode)) return true;
    }
    return false;
}

std::string Error::description() const {
    std::string out;
    for (const Error* e = this; e; e = e->underlying.get()) {
        if (e != this) out += "; caused by ";
        if (!e->message.empty()) out += e->message + " ";
        out += "(" + e->domain + " " + std::to_string(e->code) + ")";
    }
    return out;
}

bool Error::operator==(const Error& other) const {
    if (domain != other.domain || code != other.code || message != other.message) return false;
    if (!underlying || !other.underlying) return !underlying && !other.underlying;
    return *underlying == *other.underlying;
}

}  // namespace foundation
