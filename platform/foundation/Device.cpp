#include "platform/foundation/Device.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/foundation/Resetters.h"

namespace foundation {

namespace {
std::mutex gDeviceMutex;
std::optional<DeviceInfo> gDevice;
std::optional<std::vector<InterfaceAddress>> gMacs;
[[maybe_unused]] const bool gRegistered = (registerResetter("foundation.device", ResetPhase::Service,
                                                            [] {
                                                                setDevice(std::nullopt);
                                                                setInterfaceMacAddresses(std::nullopt);
                                                            }),
                                           true);

DeviceInfo hostDevice() {
    DeviceInfo d;
    struct utsname u {};
    if (::uname(&u) == 0) d.systemVersion = u.release;
    // A desktop has no phone model and no SIM: both may be configured.
    if (const char* model = std::getenv("QUENTA_DEVICE_MODEL"); model && *model) d.model = model;
    if (const char* carrier = std::getenv("QUENTA_CARRIER"); carrier && *carrier) d.carrierName = carrier;
    return d;
}
}  // namespace

DeviceInfo device() {
    std::lock_guard<std::mutex> lock(gDeviceMutex);
    static const DeviceInfo host = hostDevice();
    return gDevice ? *gDevice : host;
}

void setDevice(std::optional<DeviceInfo> info) {
    std::lock_guard<std::mutex> lock(gDeviceMutex);
    gDevice = std::move(info);
}

DeviceInfo tallScreenDevice() {
    DeviceInfo d = hostDevice();
    d.screenWidth = 320;
    d.screenHeight = 568;
    d.scale = 2;
    return d;
}

std::vector<InterfaceAddress> interfaceMacAddresses() {
    {
        std::lock_guard<std::mutex> lock(gDeviceMutex);
        if (gMacs) return *gMacs;
    }
    std::vector<InterfaceAddress> out;
    struct ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return out;
    for (struct ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET) continue;
        if (a->ifa_flags & IFF_LOOPBACK) continue;
        auto* ll = reinterpret_cast<struct sockaddr_ll*>(a->ifa_addr);
        if (ll->sll_halen != 6) continue;
        InterfaceAddress ia;
        ia.name = a->ifa_name;
        std::memcpy(ia.mac.data(), ll->sll_addr, 6);
        out.push_back(ia);
    }
    ::freeifaddrs(list);
    return out;
}

void setInterfaceMacAddresses(std::optional<std::vector<InterfaceAddress>> list) {
    std::lock_guard<std::mutex> lock(gDeviceMutex);
    gMacs = std::move(list);
}

}  // namespace foundation
