#include "platform/interfaces.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qf {
namespace {

TEST(ReadNetworkAdapters, ListsTheLoopbackInterfaceWithItsAddress) {
    auto adapters = ReadNetworkAdapters();
    ASSERT_TRUE(adapters) << adapters.error().Message();
    const auto lo = std::find_if(adapters->begin(), adapters->end(),
                                 [](const NetworkAdapter& a) { return a.name == "lo"; });
    ASSERT_NE(lo, adapters->end());
    const SocketAddress loopback = SocketAddress::Loopback(AddressFamily::IPv4);
    EXPECT_NE(std::find(lo->addresses.begin(), lo->addresses.end(), loopback), lo->addresses.end());
}

}  // namespace
}  // namespace qf
