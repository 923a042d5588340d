// Reachability: status from flags, flags from routes, change notices.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "platform/foundation/NotificationCenter.h"
#include "platform/net/Reachability.h"

using namespace net;

namespace {

class ReachabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        provider = std::make_shared<ManualReachabilityFlagProvider>();
        setReachabilityFlagProvider(provider);
    }
    std::shared_ptr<ManualReachabilityFlagProvider> provider;
};

uint32_t addr(const char* dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

}  // namespace

TEST_F(ReachabilityTest, StatusForFlags) {
    const ReachabilityFlags R = kReachabilityFlagsReachable, T = kReachabilityFlagsTransientConnection,
                            C = kReachabilityFlagsConnectionRequired, W = kReachabilityFlagsIsWWAN,
                            D = kReachabilityFlagsIsDirect, L = kReachabilityFlagsIsLocalAddress,
                            onTraffic = kReachabilityFlagsConnectionOnTraffic;
    struct Row {
        ReachabilityFlags flags;
        NetworkStatus internet;
        NetworkStatus localWiFi;
    };
    const Row rows[] = {
        {0, ReachabilityNone, ReachabilityNone},         {W, ReachabilityNone, ReachabilityNone},
        {R | W, ReachabilityWWAN, ReachabilityNone},     {R, ReachabilityWiFi, ReachabilityNone},
        {R | C | T, ReachabilityNone, ReachabilityNone}, {R | onTraffic, ReachabilityNone, ReachabilityNone},
        {R | C, ReachabilityWiFi, ReachabilityNone},     {R | T, ReachabilityWiFi, ReachabilityNone},
        {R | D | L, ReachabilityWiFi, ReachabilityWiFi}, {R | D | C | T | W, ReachabilityWWAN, ReachabilityWiFi},
    };
    auto internet = Reachability::reachabilityForInternetConnection();
    auto wifi = Reachability::reachabilityForLocalWiFi();
    for (const Row& row : rows) {
        EXPECT_EQ(internet->networkStatusForFlags(row.flags), row.internet) << row.flags;
        EXPECT_EQ(wifi->networkStatusForFlags(row.flags), row.localWiFi) << row.flags;
        provider->setFlags("0.0.0.0", row.flags);
        EXPECT_EQ(internet->currentReachabilityStatus(), row.internet) << row.flags;
        EXPECT_EQ(internet->reachabilityFlags(), row.flags);
        EXPECT_EQ(internet->isReachable(), row.internet != ReachabilityNone);
        EXPECT_EQ(internet->isReachableViaWWAN(), row.internet == ReachabilityWWAN);
        EXPECT_EQ(internet->isReachableViaWiFi(), row.internet == ReachabilityWiFi);
    }
}

TEST_F(ReachabilityTest, KeysEqualityAndUnreadableFlags) {
    EXPECT_EQ(Reachability::reachabilityForInternetConnection()->key(), "InternetConnection");
    EXPECT_EQ(Reachability::reachabilityForLocalWiFi()->key(), "LocalWiFiConnection");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = addr("10.1.2.3");
    EXPECT_EQ(Reachability::reachabilityWithAddress(a)->key(), "10.1.2.3");
    auto one = Reachability::reachabilityWithHostName("server.example");
    auto two = Reachability::reachabilityWithHostName("server.example");
    EXPECT_TRUE(one->isEqual(*two));
    EXPECT_FALSE(one->isEqual(*Reachability::reachabilityWithHostName("other.example")));
    EXPECT_EQ(Reachability::reachabilityWithHostName(""), nullptr);

    // Flags that cannot be read answer 0 and NO.
    EXPECT_EQ(one->reachabilityFlags(), 0u);
    EXPECT_EQ(one->currentReachabilityStatus(), ReachabilityNone);
    EXPECT_FALSE(one->isConnectionRequired());
    provider->setFlags("server.example", kReachabilityFlagsConnectionRequired | kReachabilityFlagsConnectionOnDemand |
                                             kReachabilityFlagsInterventionRequired);
    EXPECT_TRUE(one->isConnectionRequired());
    EXPECT_TRUE(one->connectionRequired());
    EXPECT_TRUE(one->isConnectionOnDemand());
    EXPECT_TRUE(one->isInterventionRequired());
    provider->setFlags("server.example", kReachabilityFlagsConnectionOnDemand);
    EXPECT_FALSE(one->isConnectionOnDemand());
}

TEST_F(ReachabilityTest, ChangesArePostedOnTheNotifiersRunLoop) {
    auto internet = Reachability::reachabilityForInternetConnection();
    provider->setFlags("0.0.0.0", kReachabilityFlagsReachable);
    std::vector<const void*> senders;
    bool onMain = true;
    auto token = foundation::NotificationCenter::defaultCenter().addObserver(
        this, kReachabilityChangedNotification, [&](const foundation::Notification& n) {
            senders.push_back(n.object);
            onMain = onMain && foundation::RunLoop::isMainThread();
        });
    ASSERT_TRUE(internet->startNotifier());
    auto& loop = foundation::RunLoop::main();
    provider->setFlags("0.0.0.0", kReachabilityFlagsReachable | kReachabilityFlagsIsWWAN);
    loop.drain();
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], internet.get());
    EXPECT_TRUE(onMain);
    EXPECT_EQ(internet->currentReachabilityStatus(), ReachabilityWWAN);

    provider->setFlags("0.0.0.0", kReachabilityFlagsReachable | kReachabilityFlagsIsWWAN);  // no change
    provider->setFlags("10.0.0.1", 0);                                                      // another target
    loop.drain();
    EXPECT_EQ(senders.size(), 1u);

    internet->stopNotifier();
    provider->setFlags("0.0.0.0", 0);
    loop.drain();
    EXPECT_EQ(senders.size(), 1u);
    foundation::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST(SystemReachability, FlagsFromRoutesAndInterfaces) {
    // As /proc/net/route prints it: addresses as little-endian hex.
    const std::string table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
        "eth0\t0000FEA9\t00000000\t0001\t0\t0\t1000\t0000FFFF\t0\t0\t0\n"
        "wwan0\t0000000A\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n"
        "eth1\t000010AC\t00000000\t0000\t0\t0\t0\t0000FFFF\t0\t0\t0\n";
    auto routes = SystemReachabilityFlagProvider::parseRouteTable(table);
    ASSERT_EQ(routes.size(), 5u);
    EXPECT_EQ(routes[0].interfaceName, "eth0");
    EXPECT_EQ(routes[0].gateway, addr("192.168.1.1"));
    EXPECT_EQ(routes[1].destination, addr("192.168.1.0"));
    EXPECT_EQ(routes[1].mask, addr("255.255.255.0"));
    EXPECT_FALSE(routes[4].up);

    const std::vector<uint32_t> local = {addr("192.168.1.20")};
    const std::vector<std::string> up = {"lo", "eth0", "wwan0", "eth1"};
    const ReachabilityFlags R = kReachabilityFlagsReachable, D = kReachabilityFlagsIsDirect,
                            L = kReachabilityFlagsIsLocalAddress, W = kReachabilityFlagsIsWWAN;
    struct Row {
        const char* address;
        std::vector<std::string> up;
        ReachabilityFlags flags;
    };
    const Row rows[] = {
        {"0.0.0.0", up, R},  // through the gateway
        {"8.8.8.8", up, R},
        {"192.168.1.7", up, R | D},       // on the local network
        {"169.254.0.0", up, R | D},       // link-local route
        {"192.168.1.20", up, R | L | D},  // this host
        {"127.0.0.1", {}, R | L | D},
        {"10.9.9.9", up, R | D | W},      // the mobile interface's network
        {"172.16.0.1", up, R},            // that route is down: the default one serves
        {"8.8.8.8", {"lo", "wwan0"}, 0},  // the gateway's interface is down
    };
    for (const Row& row : rows)
        EXPECT_EQ(SystemReachabilityFlagProvider::flagsForAddress(addr(row.address), routes, local, row.up), row.flags)
            << row.address;
}

TEST(SystemReachability, LoopbackOfThisHostIsLocalAndDirect) {
    SystemReachabilityFlagProvider system;
    ReachabilityTarget loopback;
    loopback.address = addr("127.0.0.1");
    auto flags = system.flagsForTarget(loopback);
    ASSERT_TRUE(flags);
    EXPECT_EQ(*flags, kReachabilityFlagsReachable | kReachabilityFlagsIsLocalAddress | kReachabilityFlagsIsDirect);
    ReachabilityTarget named;
    named.hostName = "localhost";
    EXPECT_EQ(system.flagsForTarget(named), flags);
}
