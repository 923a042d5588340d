#pragma once
// Facts about the device the app runs on, all replaceable by tests.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

struct InterfaceAddress {
    std::string name;
    std::array<uint8_t, 6> mac{};
};

struct DeviceInfo {
    std::string model = "Linux";
    std::string systemName = "Linux";
    std::string systemVersion;               // kernel release by default
    double screenWidth = 320;                // points
    double screenHeight = 480;               // points
    double scale = 1;                        // 1, or 2 for the tall screen
    std::optional<std::string> carrierName;  // none on a desktop
    std::string locale = "zh_CN";
    std::string language = "zh-Hans";
    std::string appVersion = "3.0.0";
    std::string appName = "Quenta";
    std::string bundleIdentifier = "com.quenta.safecenter";

    bool isTallScreen() const { return screenHeight * scale >= 1136 || screenHeight >= 568; }
};

// The current facts: the host's unless a test installed others. The host's
// model is "Linux" and it has no carrier, unless QUENTA_DEVICE_MODEL or
// QUENTA_CARRIER name them.
DeviceInfo device();
void setDevice(std::optional<DeviceInfo> info);
// The 640x1136-pixel tall screen: 320x568 points at scale 2.
DeviceInfo tallScreenDevice();

// Interfaces with a 6-byte hardware address, loopback excluded, in the order
// the system lists them (getifaddrs). A test may install a fixed list.
std::vector<InterfaceAddress> interfaceMacAddresses();
void setInterfaceMacAddresses(std::optional<std::vector<InterfaceAddress>> list);

}  // namespace foundation
