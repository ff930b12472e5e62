// The real enumeration and resolution against links the test creates in a network namespace
// of its own: a veth pair whose first end has a known MAC, an alias and two addresses.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "net/address.h"
#include "net/interfaces.h"
#include "net/resolver.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "tests/support/network_namespace.h"

namespace qf {
namespace {

using testing::RunCommands;
using testing::RunInNetworkNamespace;

std::vector<Text> Descriptions() {
    std::vector<Text> texts;
    for (const InterfaceEntry& entry : EnumerateInterfaces()) texts.push_back(entry.description);
    return texts;
}

// Link state changes reach the operational state through the kernel's link watcher, which may
// take up to a second.
std::vector<Text> WaitForDescriptions(const std::vector<Text>& expected) {
    std::vector<Text> seen = Descriptions();
    for (const int64_t deadline = MonotonicMs() + 5000;
         seen != expected && MonotonicMs() < deadline;) {
        SleepMs(20);
        seen = Descriptions();
    }
    return seen;
}

std::vector<Text> Expected(const Text& shownV4, const Text& shownV6) {
    return {u"00-00-00-00-00-00-00 / 127.0.0.1 / lo",
            u"00-1A-2B-3C-4D-5E-00 / " + shownV4 + u" / Test Ethernet",
            u"00-00-00-00-00-00-01 / ::1 / lo",
            u"00-1A-2B-3C-4D-5E-01 / " + shownV6 + u" / Test Ethernet"};
}

Text Resolve(TextView spec, bool requireUp) {
    ResolverPreferences preferences;
    Resolver fresh(preferences);
    return fresh.ResolveHostSpec(spec, requireUp, true, nullptr);
}

void CheckUp() {
    EXPECT_EQ(WaitForDescriptions(Expected(u"10.9.0.5", u"2001:db8::5")),
              Expected(u"10.9.0.5", u"2001:db8::5"));
    EXPECT_EQ(Resolve(u"00-1A-2B-3C-4D-5E", true), u"10.9.0.5");
    EXPECT_EQ(Resolve(u"001A2B3C4D5E01", true), u"2001:db8::5");
    EXPECT_EQ(Resolve(u"10.9.0.5", true), u"10.9.0.5");
    EXPECT_EQ(Resolve(u"127.0.1.1", true), u"127.0.1.1");
    EXPECT_EQ(*LocalAddressToward(ParseAddress(u"10.9.0.77", true)),
              ParseAddress(u"10.9.0.5", true));
    EXPECT_EQ(*LocalAddressToward(ParseAddress(u"2001:db8::77", true)),
              ParseAddress(u"2001:db8::5", true));
    EXPECT_FALSE(LocalAddressToward(ParseAddress(u"192.0.2.1", true))) << "no route";
}

void CheckDown(const Text& status) {
    EXPECT_EQ(WaitForDescriptions(Expected(status, status)), Expected(status, status));
    EXPECT_EQ(Resolve(u"10.9.0.5", true), u"");
    EXPECT_EQ(Resolve(u"00-1A-2B-3C-4D-5E", true), u"");
    EXPECT_EQ(Resolve(u"00-1A-2B-3C-4D-5E", false), u"");
    EXPECT_EQ(Resolve(u"10.9.0.5", false), u"10.9.0.5");
}

void CheckLinkLocalScope() {
    EXPECT_EQ(RunCommands({"ip -6 addr add fe80::5/64 dev qf0 nodad"}), "");
    auto adapters = ReadNetworkAdapters();
    ASSERT_TRUE(adapters);
    const auto qf0 = std::find_if(adapters->begin(), adapters->end(),
                                  [](const NetworkAdapter& a) { return a.name == "qf0"; });
    ASSERT_NE(qf0, adapters->end());
    const SocketAddress expected =
        ParseAddress(Utf8ToText(fmt::format("fe80::5%{}", qf0->index)), false);
    EXPECT_NE(std::find(qf0->addresses.begin(), qf0->addresses.end(), expected),
              qf0->addresses.end());
    EXPECT_EQ(qf0->alias, "Test Ethernet");
    EXPECT_EQ(qf0->physicalAddress, (std::vector<uint8_t>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
}

TEST(InterfacesInNamespace, DescribeAndResolveAnInterfaceAsItsLinkGoesDown) {
    const std::string skipped = RunInNetworkNamespace([]() -> std::string {
        const std::string setup = RunCommands({
            "ip link add qf0 address 00:1a:2b:3c:4d:5e type veth peer name qf1",
            "ip link set qf0 addrgenmode none",
            "ip link set qf1 addrgenmode none",
            "ip link set qf0 alias 'Test Ethernet'",
            // Linux drops IPv6 addresses of a link set down unless told to keep them.
            "echo 1 > /proc/sys/net/ipv6/conf/qf0/keep_addr_on_down",
            "ip addr add 10.9.0.5/24 dev qf0",
            "ip -6 addr add 2001:db8::5/64 dev qf0 nodad",
            "ip link set qf1 up",
            "ip link set qf0 up",
        });
        if (!setup.empty()) return "cannot build the test links (veth support needed): " + setup;
        CheckUp();
        EXPECT_EQ(RunCommands({"ip link set qf1 down"}), "");
        CheckDown(u"LowerLayerDown");
        EXPECT_EQ(RunCommands({"ip link set qf0 down"}), "");
        CheckDown(u"Down");
        CheckLinkLocalScope();
        return {};
    });
    if (!skipped.empty()) GTEST_SKIP() << skipped;
}

}  // namespace
}  // namespace qf
