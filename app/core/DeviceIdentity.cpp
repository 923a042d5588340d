#include "app/core/DeviceIdentity.h"

#include <cstdio>

#include "platform/crypto/Digest.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Uuid.h"

namespace {

std::string fallbackIdentifierPath() {
    const std::string dir = foundation::joinPath(foundation::homeDir(), "Library");
    foundation::createDirectories(dir);
    return foundation::joinPath(dir, "device-identifier");
}

bool isFallbackIdentifier(const std::string& text) {
    if (text.size() != 12) return false;
    for (char c : text) {
        if (c < '0' || c > '8') return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> IdentifierAddition::macaddress() {
    const auto interfaces = foundation::interfaceMacAddresses();
    if (interfaces.empty()) {
        foundation::log("Error: no network interface with a hardware address");
        return std::nullopt;
    }
    const auto& m = interfaces.front().mac;
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return std::string(buf);
}

std::optional<std::string> IdentifierAddition::uniqueGlobalDeviceIdentifier() {
    auto mac = macaddress();
    if (!mac) return std::nullopt;
    return MD5Addition::stringFromMD5(*mac);
}

std::optional<std::string> IdentifierAddition::uniqueDeviceIdentifier() {
    auto mac = macaddress();
    std::optional<std::string> digest =
        MD5Addition::stringFromMD5((mac ? *mac : std::string("(null)")) + foundation::device().bundleIdentifier);
    if (digest && digest->size() < 20) {
        // Never needed for an MD5 text; kept for the identifier's contract.
        std::string padded = *digest + std::string(19 - digest->size(), '0');
        return padded;
    }
    return digest;
}

std::string IdentifierAddition::firstBindIdentifier() {
    if (auto id = uniqueGlobalDeviceIdentifier(); id && !id->empty()) return *id;
    const std::string path = fallbackIdentifierPath();
    if (auto kept = foundation::readFile(path)) {
        std::string text = foundation::trim(*kept);
        if (isFallbackIdentifier(text)) return text;
    }
    std::string digits;
    for (uint8_t b : foundation::randomBytes(12)) digits.push_back(char('0' + b % 9));
    if (!foundation::writeFileAtomically(path, digits, 0600)) {
        foundation::log("the device identifier could not be kept; it will change on the next first bind");
    }
    return digits;
}

std::optional<std::string> MD5Addition::stringFromMD5(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return crypto::hex(crypto::md5(text));
}

std::string MD5Addition::stringFromSha1(const std::string& text) {
    return foundation::toUpper(crypto::hex(crypto::sha1(text)));
}

std::vector<uint8_t> MD5Addition::createSha1Hash(const std::string& text) {
    auto d = crypto::sha1(text);
    return std::vector<uint8_t>(d.begin(), d.end());
}

std::string HachMac::hachMac(const std::string& key, const std::string& data) {
    // The proof is a secret of the session: it stays out of the log.
    return crypto::hex(crypto::hmacSha1(key, data));
}

std::string CreateUUID::createUUID() { return foundation::createUUID(); }
