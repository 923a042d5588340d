#include "app/core/connectNetCheck.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <mutex>
#include <sstream>

#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"

namespace {

std::mutex probeMutex;
connectNetCheck::FlagsProbe& probe() {
    static connectNetCheck::FlagsProbe p;
    static const bool registered = (foundation::registerResetter("app.netCheckProbe", foundation::ResetPhase::Service,
                                                                 [] {
                                                                     std::lock_guard<std::mutex> lock(probeMutex);
                                                                     p = nullptr;
                                                                 }),
                                    true);
    (void)registered;
    return p;
}

constexpr unsigned long kRouteUp = 0x1;        // RTF_UP
constexpr unsigned long kRouteReject = 0x200;  // RTF_REJECT

// A line of /proc/net/route: Iface Destination Gateway Flags ... Mask ...
bool hasIpv4DefaultRoute(std::string_view table) {
    std::istringstream in{std::string(table)};
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags;
        if (!(fields >> iface >> destination >> gateway >> flags)) continue;
        if (iface == "lo") continue;
        unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
        if (destination == "00000000" && (f & kRouteUp) && !(f & kRouteReject)) return true;
    }
    return false;
}

// A line of /proc/net/ipv6_route: dest destlen src srclen nexthop metric
// refcnt use flags iface.
bool hasIpv6DefaultRoute(std::string_view table) {
    std::istringstream in{std::string(table)};
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string dest, destLen, src, srcLen, nextHop, metric, refCnt, use, flags, iface;
        if (!(fields >> dest >> destLen >> src >> srcLen >> nextHop >> metric >> refCnt >> use >> flags >> iface)) {
            continue;
        }
        if (iface == "lo") continue;
        unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
        if (dest == std::string(32, '0') && destLen == "00" && (f & kRouteUp) && !(f & kRouteReject)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool connectNetCheck::connectToNetwork() const {
    FlagsProbe p;
    {
        std::lock_guard<std::mutex> lock(probeMutex);
        p = probe();
    }
    std::optional<uint32_t> flags = p ? p() : hostFlags();
    if (!flags) return false;
    return (*flags & kReachable) && !(*flags & kConnectionRequired);
}

void connectNetCheck::setFlagsProbe(FlagsProbe p) {
    std::lock_guard<std::mutex> lock(probeMutex);
    probe() = std::move(p);
}

uint32_t connectNetCheck::flagsFrom(const std::vector<Interface>& interfaces, std::string_view ipv4Routes,
                                    std::string_view ipv6Routes) {
    for (const Interface& i : interfaces) {
        bool live = (i.flags & IFF_UP) && (i.flags & IFF_RUNNING) && !(i.flags & IFF_LOOPBACK);
        if (live && i.hasAddress) return kReachable;
    }
    if (hasIpv4DefaultRoute(ipv4Routes) || hasIpv6DefaultRoute(ipv6Routes)) return kReachable;
    return 0;
}

std::optional<uint32_t> connectNetCheck::hostFlags() {
    std::vector<Interface> interfaces;
    bool readInterfaces = false;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        readInterfaces = true;
        for (ifaddrs* a = list; a; a = a->ifa_next) {
            bool address = a->ifa_addr && (a->ifa_addr->sa_family == AF_INET || a->ifa_addr->sa_family == AF_INET6);
            interfaces.push_back({a->ifa_name ? a->ifa_name : "", a->ifa_flags, address});
        }
        freeifaddrs(list);
    }
    std::optional<std::string> v4 = foundation::readFile("/proc/net/route");
    std::optional<std::string> v6 = foundation::readFile("/proc/net/ipv6_route");
    if (!readInterfaces && !v4 && !v6) return std::nullopt;
    return flagsFrom(interfaces, v4.value_or(""), v6.value_or(""));
}
