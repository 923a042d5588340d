#pragma once
// The network check run before every request: the network counts as usable
// when it is reachable without a connection having to be set up first.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class connectNetCheck {
public:
    // Reachability flags.
    static constexpr uint32_t kReachable = 2;
    static constexpr uint32_t kConnectionRequired = 4;

    // YES when the flags can be read, have kReachable and lack
    // kConnectionRequired.
    bool connectToNetwork() const;

    // Where the flags come from: the host's interfaces and routes unless a
    // test installs its own probe (nullptr returns to the host's). A probe
    // returning nullopt means the flags cannot be read.
    using FlagsProbe = std::function<std::optional<uint32_t>()>;
    static void setFlagsProbe(FlagsProbe probe);

    // The host's flags: kReachable when a non-loopback interface is up and
    // running with an IPv4 or IPv6 address, or a default route exists. Linux
    // sets up no connections on demand, so kConnectionRequired never appears.
    // nullopt when neither the interfaces nor the route tables can be read.
    static std::optional<uint32_t> hostFlags();

    struct Interface {
        std::string name;
        unsigned flags = 0;  // IFF_UP, IFF_RUNNING, IFF_LOOPBACK, ...
        bool hasAddress = false;
    };
    // The flags for a list of interfaces and the texts of /proc/net/route and
    // /proc/net/ipv6_route (either may be empty).
    static uint32_t flagsFrom(const std::vector<Interface>& interfaces, std::string_view ipv4Routes,
                              std::string_view ipv6Routes);
};
