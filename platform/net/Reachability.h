#pragma once
// Reachability: whether a host name or an IPv4 address can be reached, as
// flags and as a three-valued status, with a notice
// "NetworkReachabilityChangedNotification" (object: the Reachability) posted
// on the run loop that started the notifier whenever the flags change.
//
// The flags come from a flag provider. The system provider reads the host's
// interfaces (getifaddrs) and IPv4 routes (/proc/net/route), and learns of
// changes from a netlink route socket. Tests install their own provider.

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/RunLoop.h"

namespace net {

using ReachabilityFlags = uint32_t;
inline constexpr ReachabilityFlags kReachabilityFlagsTransientConnection = 1;
inline constexpr ReachabilityFlags kReachabilityFlagsReachable = 2;
inline constexpr ReachabilityFlags kReachabilityFlagsConnectionRequired = 4;
inline constexpr ReachabilityFlags kReachabilityFlagsConnectionOnTraffic = 8;
inline constexpr ReachabilityFlags kReachabilityFlagsInterventionRequired = 16;
inline constexpr ReachabilityFlags kReachabilityFlagsConnectionOnDemand = 32;
inline constexpr ReachabilityFlags kReachabilityFlagsIsLocalAddress = 65536;
inline constexpr ReachabilityFlags kReachabilityFlagsIsDirect = 131072;
inline constexpr ReachabilityFlags kReachabilityFlagsIsWWAN = 262144;

inline const std::string kReachabilityChangedNotification = "NetworkReachabilityChangedNotification";

enum NetworkStatus { ReachabilityNone = 0, ReachabilityWWAN = 1, ReachabilityWiFi = 2 };

// What a reachability looks at: a host name, or an IPv4 address (network order).
struct ReachabilityTarget {
    std::optional<std::string> hostName;
    uint32_t address = 0;  // network byte order; used when there is no host name
};

class ReachabilityFlagProvider {
public:
    virtual ~ReachabilityFlagProvider() = default;
    // The flags of the target now; nullopt when they cannot be read.
    virtual std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) = 0;
    // Starts telling `changed` (on `loop`'s thread, default mode) that the
    // flags may have changed. The watch lasts while the returned handle lives;
    // nullptr when watching cannot start.
    virtual std::shared_ptr<void> watch(foundation::RunLoop& loop, std::function<void()> changed) = 0;
};

// Flags from the host's interfaces and IPv4 route table, changes from netlink.
class SystemReachabilityFlagProvider : public ReachabilityFlagProvider {
public:
    std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) override;
    std::shared_ptr<void> watch(foundation::RunLoop& loop, std::function<void()> changed) override;

    // One line of /proc/net/route, decoded (addresses in network order).
    struct Route {
        std::string interfaceName;
        uint32_t destination = 0, gateway = 0, mask = 0;
        bool up = false;
    };
    // The flags for an address given the routes, the local IPv4 addresses and
    // the interfaces that are up; the pure rule behind flagsForTarget.
    static ReachabilityFlags flagsForAddress(uint32_t address, const std::vector<Route>& routes,
                                             const std::vector<uint32_t>& localAddresses,
                                             const std::vector<std::string>& upInterfaces);
    static std::vector<Route> parseRouteTable(const std::string& text);
};

// Flags set by hand, per target key (reachabilityKey: the host name, or the
// dotted address such as "0.0.0.0" for the Internet connection and
// "169.254.0.0" for the local Wi-Fi); setting them tells every watcher.
class ManualReachabilityFlagProvider : public ReachabilityFlagProvider {
public:
    void setFlags(const std::string& key, std::optional<ReachabilityFlags> flags);
    std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) override;
    std::shared_ptr<void> watch(foundation::RunLoop& loop, std::function<void()> changed) override;

private:
    struct Watcher {
        foundation::RunLoop* loop;
        std::function<void()> changed;
    };
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::optional<ReachabilityFlags>>> flags_;
    std::vector<std::weak_ptr<Watcher>> watchers_;
};

// The provider every Reachability uses; nullptr returns to the system one.
void setReachabilityFlagProvider(std::shared_ptr<ReachabilityFlagProvider> provider);
std::shared_ptr<ReachabilityFlagProvider> reachabilityFlagProvider();

// The key of a target: the host name, or the dotted address.
std::string reachabilityKey(const ReachabilityTarget& target);

class Reachability {
public:
    static std::shared_ptr<Reachability> reachabilityWithHostName(const std::string& hostName);
    static std::shared_ptr<Reachability> reachabilityWithAddress(const sockaddr_in& address);
    static std::shared_ptr<Reachability> reachabilityForInternetConnection();
    static std::shared_ptr<Reachability> reachabilityForLocalWiFi();
    ~Reachability();
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    // Watches for changes on the current thread's run loop; false when the
    // watch cannot start.
    bool startNotifier();
    void stopNotifier();

    const std::string& key() const { return key_; }
    bool isEqual(const Reachability& other) const { return key_ == other.key_; }

    NetworkStatus currentReachabilityStatus() const;
    NetworkStatus networkStatusForFlags(ReachabilityFlags flags) const;
    bool isReachable() const { return currentReachabilityStatus() > ReachabilityNone; }
    bool isReachableViaWWAN() const { return currentReachabilityStatus() == ReachabilityWWAN; }
    bool isReachableViaWiFi() const { return currentReachabilityStatus() == ReachabilityWiFi; }
    bool isConnectionRequired() const;
    bool connectionRequired() const { return isConnectionRequired(); }
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    // The raw flags; 0 when they cannot be read.
    ReachabilityFlags reachabilityFlags() const;

private:
    Reachability(ReachabilityTarget target, std::string key);
    std::optional<ReachabilityFlags> readFlags() const;
    void flagsMayHaveChanged();

    ReachabilityTarget target_;
    std::string key_;
    std::shared_ptr<void> watch_;
    std::optional<ReachabilityFlags> lastFlags_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace net
