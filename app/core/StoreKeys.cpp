#include "app/core/StoreKeys.h"

#include <cstdlib>

namespace StoreKeys {

std::string serverBaseAddress() {
    static const char* const kPath = "safeCenter.do?";
    const char* env = std::getenv("QUENTA_SERVER_URL");
    std::string base = env && *env ? env : "http://127.0.0.1:8780/";
    if (base.size() >= 14 && base.compare(base.size() - 14, 14, kPath) == 0) return base;
    if (base.back() != '/') base += '/';
    return base + kPath;
}

}  // namespace StoreKeys
