#pragma once
// Deployment values: the security server's base address and the RSA key pair
// of the message envelope. The built-in defaults are the local test server
// and its test key pair; QUENTA_SERVER_URL points a build at another server.

#include <string>

namespace Deployment {

// The address every request text is appended to ("c=" and the cipher text
// follow). QUENTA_SERVER_URL replaces the default: a value ending in "?" is
// taken as it is, one ending in "safeCenter.do" gets the "?", and anything
// else is read as the server root and gets "/safeCenter.do?".
std::string serverBaseAddress();

// The store's public look-up of this app's newest version: $QUENTA_STORE_URL
// followed by the app's store identifier, else the look-up beside the
// security server ("<server root>/lookup?id=<id>").
std::string storeLookupAddress();
// The store page of the payment client app: $QUENTA_PAYMENT_APP_STORE_URL,
// else the page beside the security server ("<server root>/store/korvex").
std::string paymentAppStoreAddress();
// This app's identifier in the store.
extern const char* const kAppStoreId;

// The built-in default, used when QUENTA_SERVER_URL is not set.
extern const char* const kDefaultServerBaseAddress;
// The last part of the path: "safeCenter.do".
extern const char* const kServerPath;

// The security centre's public web site, named to users who bind again
// after a de-registration: $QUENTA_SITE_URL, else the built-in address.
std::string securityCentreSite();
extern const char* const kDefaultSecurityCentreSite;

// The key pair: modulus n and private exponent d as 256 lowercase hex digits,
// public exponent e.
extern const char* const kRsaModulusHex;
extern const char* const kRsaPrivateExponentHex;
constexpr unsigned long kRsaPublicExponent = 65537;

// The security service's SMS gateways: one for subscribers of the carrier
// "中国联通", one for every other carrier.
extern const char* const kSmsGatewayUnicom;
extern const char* const kSmsGatewayOther;

}  // namespace Deployment
