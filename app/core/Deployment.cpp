#include "app/core/Deployment.h"

#include <cstdlib>
#include <string_view>

namespace Deployment {

const char* const kServerPath = "safeCenter.do";
const char* const kAppStoreId = "603162001";
const char* const kDefaultServerBaseAddress = "http://127.0.0.1:8780/safeCenter.do?";

// The test key pair made by resources/keys/make-test-key.sh (a test checks
// that these match resources/keys/test-key.txt).
const char* const kRsaModulusHex =
    "b3ce75861ddebf33d65fcb8567d0c9e3fb5bc537e2e6fba26c1b5b1733086466"
    "c2aed268915ffdc7bddaeda5c48d204c169fd94a6597d928503da09e4d1f479d"
    "51eefb06c31ac87fcda3eafa3521d44f900894fa6699258e3ae5692fc6400acf"
    "97fc24f90fb9c8eb1b38dcc3553fd901472479bdfb9a42ccf23086b2a71740e3";
const char* const kRsaPrivateExponentHex =
    "4538804a0789cf36179b7d70784d0acc37e256847357d51bec5e83ace4baa05c"
    "672a825a3b4d271814610a083d28cf7c3b6182777fb0fbaae76932427f1241b1"
    "0acbbc4d76343aa08590dfd59bf7ece7f3f77371496ce7a912c8f7241951cc2e"
    "72b337bcf0c2cf6e15317a8cc6cd6c063ec318600d5a63b96830af30edb90401";

// Numbers of the test deployment; a real one builds in its own.
const char* const kSmsGatewayUnicom = "1065502009999";
const char* const kSmsGatewayOther = "1069002009999";

std::string serverBaseAddress() {
    const char* env = std::getenv("QUENTA_SERVER_URL");
    if (!env || !*env) return kDefaultServerBaseAddress;
    std::string url = env;
    std::string_view v = url;
    if (v.ends_with("?")) return url;
    if (v.ends_with("safeCenter.do")) return url + "?";
    if (url.back() != '/') url += '/';
    return url + kServerPath + "?";
}

const char* const kDefaultSecurityCentreSite = "https://safe.quenta.test";

std::string securityCentreSite() {
    const char* env = std::getenv("QUENTA_SITE_URL");
    return env && *env ? std::string(env) : std::string(kDefaultSecurityCentreSite);
}

namespace {

// The server's root: the base address without its path and query.
std::string serverRoot() {
    std::string base = serverBaseAddress();
    const size_t scheme = base.find("://");
    const size_t path = base.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (path != std::string::npos) base.erase(path);
    return base;
}

}  // namespace

std::string storeLookupAddress() {
    if (const char* env = std::getenv("QUENTA_STORE_URL"); env && *env) return env + std::string(kAppStoreId);
    return serverRoot() + "/lookup?id=" + kAppStoreId;
}

std::string paymentAppStoreAddress() {
    if (const char* env = std::getenv("QUENTA_PAYMENT_APP_STORE_URL"); env && *env) return env;
    return serverRoot() + "/store/korvex";
}

}  // namespace Deployment
