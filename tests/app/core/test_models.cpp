// Models' helpers: the network check.
#include <gtest/gtest.h>
#include <net/if.h>

#include <string>
#include <vector>

#include "app/core/connectNetCheck.h"

namespace {

struct ProbeScope {
    explicit ProbeScope(connectNetCheck::FlagsProbe p) { connectNetCheck::setFlagsProbe(std::move(p)); }
    ~ProbeScope() { connectNetCheck::setFlagsProbe(nullptr); }
};

TEST(ConnectNetCheck, FlagsDecide) {
    struct Case {
        std::optional<uint32_t> flags;
        bool usable;
    } cases[] = {
        {std::nullopt, false},  // flags cannot be read
        {0, false},
        {connectNetCheck::kReachable, true},
        {connectNetCheck::kReachable | connectNetCheck::kConnectionRequired, false},  // on demand only
        {connectNetCheck::kConnectionRequired, false},
        {connectNetCheck::kReachable | 0x10000, true},
    };
    for (const Case& c : cases) {
        ProbeScope scope([&] { return c.flags; });
        EXPECT_EQ(connectNetCheck().connectToNetwork(), c.usable) << (c.flags ? int(*c.flags) : -1);
    }
}

TEST(ConnectNetCheck, InterfacesAndRoutes) {
    const unsigned live = IFF_UP | IFF_RUNNING;
    const std::string v4Header = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\tMTU\tWindow\tIRTT\n";
    const std::string v4Default = v4Header + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    const std::string v4Local = v4Header + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n";
    const std::string v6Default =
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "fe800000000000000000000000000001 00000400 00000001 00000000 00450003     eth0\n";
    const std::string v6Unreachable =
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";
    using I = connectNetCheck::Interface;
    struct Case {
        const char* what;
        std::vector<I> interfaces;
        std::string v4, v6;
        uint32_t flags;
    } cases[] = {
        {"nothing", {}, "", "", 0},
        {"loopback only", {{"lo", live | IFF_LOOPBACK, true}}, "", "", 0},
        {"interface up with an address", {{"eth0", live, true}}, "", "", connectNetCheck::kReachable},
        {"interface up without an address", {{"eth0", live, false}}, "", "", 0},
        {"interface down", {{"eth0", IFF_UP, true}}, "", "", 0},
        {"IPv4 default route", {}, v4Default, "", connectNetCheck::kReachable},
        {"IPv4 local route only", {}, v4Local, "", 0},
        {"IPv6 default route", {}, "", v6Default, connectNetCheck::kReachable},
        {"IPv6 unreachable default on lo", {}, "", v6Unreachable, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connectNetCheck::flagsFrom(c.interfaces, c.v4, c.v6), c.flags) << c.what;
    }
}

TEST(ConnectNetCheck, HostFlagsCanBeRead) {
    // Every Linux host lists at least its loopback interface.
    std::optional<uint32_t> flags = connectNetCheck::hostFlags();
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(*flags & connectNetCheck::kConnectionRequired, 0u);
}

}  // namespace
