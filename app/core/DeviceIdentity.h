#pragma once
// The device identifier and the digests it rests on, the binding uuid, and
// the HMAC proof of the handshake.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The device's identity.
class IdentifierAddition {
public:
    // "%02X:%02X:%02X:%02X:%02X:%02X" of the hardware address of the first
    // network interface that has one (loopback excluded); nil when there is
    // none (one line is logged).
    static std::optional<std::string> macaddress();
    // stringFromMD5 of macaddress: 32 lowercase hex digits; nil without a MAC.
    static std::optional<std::string> uniqueGlobalDeviceIdentifier();
    // stringFromMD5 of the MAC text followed by the bundle identifier.
    static std::optional<std::string> uniqueDeviceIdentifier();
    // The identifier used at a first bind: uniqueGlobalDeviceIdentifier, or,
    // on a device without a hardware address, twelve random digits 0 to 8 made
    // once and kept under $QUENTA_HOME/Library so they never change between
    // runs.
    static std::string firstBindIdentifier();
};

// Digests of a text's UTF-8 bytes.
class MD5Addition {
public:
    // Lowercase hex MD5; nil for an empty text.
    static std::optional<std::string> stringFromMD5(const std::string& text);
    // Uppercase hex SHA-1.
    static std::string stringFromSha1(const std::string& text);
    // The raw 20-byte SHA-1.
    static std::vector<uint8_t> createSha1Hash(const std::string& text);
};

class HachMac {
public:
    // HMAC-SHA-1 of the data's UTF-8 bytes under the key's, as 40 lowercase
    // hex digits.
    static std::string hachMac(const std::string& key, const std::string& data);
};

class CreateUUID {
public:
    // A new binding uuid: 36 characters, uppercase hex with hyphens.
    static std::string createUUID();
};
