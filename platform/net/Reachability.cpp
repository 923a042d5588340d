#include "platform/net/Reachability.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace net {
namespace {

std::mutex gProviderMutex;
std::shared_ptr<ReachabilityFlagProvider> gProvider;
[[maybe_unused]] const bool gRegistered =
    (foundation::registerResetter("net.reachabilityProvider", foundation::ResetPhase::Service,
                                  [] { setReachabilityFlagProvider(nullptr); }),
     true);

bool isMobileInterface(const std::string& name) {
    for (const char* prefix : {"wwan", "wwp", "rmnet", "ppp", "ccmni"})
        if (foundation::startsWith(name, prefix)) return true;
    return false;
}

uint32_t hexToAddress(const std::string& hex) {
    // /proc/net/route prints the address as the host-order integer of the
    // network-order bytes, so reading it back gives network order again.
    return uint32_t(std::strtoul(hex.c_str(), nullptr, 16));
}

std::string dotted(uint32_t networkOrder) {
    const auto* b = reinterpret_cast<const uint8_t*>(&networkOrder);
    return foundation::format("%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

struct NetlinkWatch {
    int fd = -1;
    foundation::FdWatchRef watch;
    ~NetlinkWatch() {
        if (watch) watch->cancel();
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::string reachabilityKey(const ReachabilityTarget& target) {
    return target.hostName ? *target.hostName : dotted(target.address);
}

// ---- the system provider ----------------------------------------------------

std::vector<SystemReachabilityFlagProvider::Route> SystemReachabilityFlagProvider::parseRouteTable(
    const std::string& text) {
    std::vector<Route> out;
    auto lines = foundation::split(text, "\n");
    for (size_t i = 1; i < lines.size(); ++i) {  // the first line names the columns
        std::vector<std::string> f;
        for (const auto& piece : foundation::split(lines[i], "\t")) {
            std::string t = foundation::trim(piece);
            if (!t.empty()) f.push_back(t);
        }
        if (f.size() < 8) continue;
        Route r;
        r.interfaceName = f[0];
        r.destination = hexToAddress(f[1]);
        r.gateway = hexToAddress(f[2]);
        r.up = (std::strtoul(f[3].c_str(), nullptr, 16) & 0x1) != 0;  // RTF_UP
        r.mask = hexToAddress(f[7]);
        out.push_back(r);
    }
    return out;
}

ReachabilityFlags SystemReachabilityFlagProvider::flagsForAddress(uint32_t address, const std::vector<Route>& routes,
                                                                  const std::vector<uint32_t>& localAddresses,
                                                                  const std::vector<std::string>& upInterfaces) {
    const uint32_t host = ntohl(address);
    if ((host >> 24) == 127 || std::find(localAddresses.begin(), localAddresses.end(), address) != localAddresses.end())
        return kReachabilityFlagsReachable | kReachabilityFlagsIsLocalAddress | kReachabilityFlagsIsDirect;
    const Route* best = nullptr;
    for (const auto& r : routes) {
        if (!r.up) continue;
        if (std::find(upInterfaces.begin(), upInterfaces.end(), r.interfaceName) == upInterfaces.end()) continue;
        if ((address & r.mask) != (r.destination & r.mask)) continue;
        if (!best || ntohl(r.mask) > ntohl(best->mask)) best = &r;
    }
    if (!best) return 0;
    ReachabilityFlags flags = kReachabilityFlagsReachable;
    if (best->gateway == 0) flags |= kReachabilityFlagsIsDirect;
    if (isMobileInterface(best->interfaceName)) flags |= kReachabilityFlagsIsWWAN;
    return flags;
}

std::optional<ReachabilityFlags> SystemReachabilityFlagProvider::flagsForTarget(const ReachabilityTarget& target) {
    auto table = foundation::readFile("/proc/net/route");
    if (!table) return std::nullopt;
    std::vector<uint32_t> local;
    std::vector<std::string> up;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return std::nullopt;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!(a->ifa_flags & IFF_UP) || !(a->ifa_flags & IFF_RUNNING)) continue;
        if (std::find(up.begin(), up.end(), a->ifa_name) == up.end()) up.push_back(a->ifa_name);
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET)
            local.push_back(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
    }
    ::freeifaddrs(list);
    auto routes = parseRouteTable(*table);

    uint32_t address = target.address;
    if (target.hostName) {
        in_addr literal{};
        if (*target.hostName == "localhost") {
            address = htonl(INADDR_LOOPBACK);
        } else if (::inet_pton(AF_INET, target.hostName->c_str(), &literal) == 1) {
            address = literal.s_addr;
        } else {
            // A name is reached the way the Internet is: through the default route.
            return flagsForAddress(0, routes, local, up) &
                   ~(kReachabilityFlagsIsDirect | kReachabilityFlagsIsLocalAddress);
        }
    }
    return flagsForAddress(address, routes, local, up);
}

std::shared_ptr<void> SystemReachabilityFlagProvider::watch(foundation::RunLoop& loop, std::function<void()> changed) {
    auto w = std::make_shared<NetlinkWatch>();
    w->fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (w->fd < 0) return nullptr;
    sockaddr_nl addr{};
    addr.nl_family = AF_NETLINK;
    addr.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (::bind(w->fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return nullptr;
    w->watch = loop.watchFd(
        w->fd, POLLIN,
        [changed](int fd, short) {
            char buffer[8192];
            while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {}
            changed();
        },
        foundation::kDefaultMode);
    return w;
}

// ---- the manual provider ----------------------------------------------------

void ManualReachabilityFlagProvider::setFlags(const std::string& key, std::optional<ReachabilityFlags> flags) {
    std::vector<std::shared_ptr<Watcher>> live;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(flags_, [&](const auto& e) { return e.first == key; });
        flags_.emplace_back(key, flags);
        std::erase_if(watchers_, [](const auto& w) { return w.expired(); });
        for (const auto& w : watchers_)
            if (auto s = w.lock()) live.push_back(s);
    }
    for (const auto& w : live) {
        std::weak_ptr<Watcher> weak = w;
        w->loop->post(
            [weak] {
                if (auto s = weak.lock()) s->changed();
            },
            foundation::kDefaultMode);
    }
}

std::optional<ReachabilityFlags> ManualReachabilityFlagProvider::flagsForTarget(const ReachabilityTarget& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string key = reachabilityKey(target);
    for (const auto& [k, f] : flags_)
        if (k == key) return f;
    return std::nullopt;
}

std::shared_ptr<void> ManualReachabilityFlagProvider::watch(foundation::RunLoop& loop, std::function<void()> changed) {
    auto w = std::make_shared<Watcher>(Watcher{&loop, std::move(changed)});
    std::lock_guard<std::mutex> lock(mutex_);
    watchers_.push_back(w);
    return w;
}

void setReachabilityFlagProvider(std::shared_ptr<ReachabilityFlagProvider> provider) {
    std::lock_guard<std::mutex> lock(gProviderMutex);
    gProvider = std::move(provider);
}

std::shared_ptr<ReachabilityFlagProvider> reachabilityFlagProvider() {
    std::lock_guard<std::mutex> lock(gProviderMutex);
    if (!gProvider) gProvider = std::make_shared<SystemReachabilityFlagProvider>();
    return gProvider;
}

// ---- Reachability ----------------------------------------------------------------

Reachability::Reachability(ReachabilityTarget target, std::string key)
    : target_(std::move(target)), key_(std::move(key)) {}

Reachability::~Reachability() { stopNotifier(); }

std::shared_ptr<Reachability> Reachability::reachabilityWithHostName(const std::string& hostName) {
    if (hostName.empty()) return nullptr;
    ReachabilityTarget t;
    t.hostName = hostName;
    return std::shared_ptr<Reachability>(new Reachability(t, hostName));
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr_in& address) {
    if (address.sin_family != AF_INET) return nullptr;
    ReachabilityTarget t;
    t.address = address.sin_addr.s_addr;
    return std::shared_ptr<Reachability>(new Reachability(t, dotted(t.address)));
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    auto r = reachabilityWithAddress(a);
    if (r) r->key_ = "InternetConnection";
    return r;
}

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(0xA9FE0000);  // 169.254.0.0
    auto r = reachabilityWithAddress(a);
    if (r) r->key_ = "LocalWiFiConnection";
    return r;
}

bool Reachability::startNotifier() {
    if (watch_) return true;
    std::weak_ptr<bool> alive = alive_;
    watch_ = reachabilityFlagProvider()->watch(foundation::RunLoop::current(), [this, alive] {
        if (alive.lock()) flagsMayHaveChanged();
    });
    if (!watch_) return false;
    lastFlags_ = readFlags();
    return true;
}

void Reachability::stopNotifier() { watch_.reset(); }

void Reachability::flagsMayHaveChanged() {
    auto flags = readFlags();
    if (flags == lastFlags_) return;
    lastFlags_ = flags;
    foundation::NotificationCenter::defaultCenter().post(kReachabilityChangedNotification, this);
}

std::optional<ReachabilityFlags> Reachability::readFlags() const {
    return reachabilityFlagProvider()->flagsForTarget(target_);
}

ReachabilityFlags Reachability::reachabilityFlags() const { return readFlags().value_or(0); }

NetworkStatus Reachability::networkStatusForFlags(ReachabilityFlags flags) const {
    if (!(flags & kReachabilityFlagsReachable)) return ReachabilityNone;
    if (key_ == "LocalWiFiConnection")
        return (flags & kReachabilityFlagsIsDirect) ? ReachabilityWiFi : ReachabilityNone;
    if (flags & kReachabilityFlagsIsWWAN) return ReachabilityWWAN;
    ReachabilityFlags rest =
        flags & ~(kReachabilityFlagsReachable | kReachabilityFlagsIsLocalAddress | kReachabilityFlagsIsDirect);
    if (rest == (kReachabilityFlagsTransientConnection | kReachabilityFlagsConnectionRequired)) return ReachabilityNone;
    if (rest & kReachabilityFlagsTransientConnection) return ReachabilityWiFi;
    if (rest == 0) return ReachabilityWiFi;
    if (rest & kReachabilityFlagsConnectionRequired) return ReachabilityWiFi;
    return ReachabilityNone;
}

NetworkStatus Reachability::currentReachabilityStatus() const {
    auto flags = readFlags();
    if (!flags) return ReachabilityNone;
    return networkStatusForFlags(*flags);
}

bool Reachability::isConnectionRequired() const {
    auto f = readFlags();
    return f && (*f & kReachabilityFlagsConnectionRequired);
}

bool Reachability::isConnectionOnDemand() const {
    auto f = readFlags();
    return f && (*f & kReachabilityFlagsConnectionRequired) &&
           (*f & (kReachabilityFlagsConnectionOnTraffic | kReachabilityFlagsConnectionOnDemand));
}

bool Reachability::isInterventionRequired() const {
    auto f = readFlags();
    return f && (*f & kReachabilityFlagsConnectionRequired) && (*f & kReachabilityFlagsInterventionRequired);
}

}  // namespace net
