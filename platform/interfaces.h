#pragma once
// The machine's network adapters with their unicast addresses.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/socket_address.h"

namespace qf {

// The operational states of the interfaces MIB (RFC 2863 ifOperStatus).
enum class OperStatus : int {
    Up = 1,
    Down = 2,
    Testing = 3,
    Unknown = 4,
    Dormant = 5,
    NotPresent = 6,
    LowerLayerDown = 7,
};

struct NetworkAdapter {
    int index = 0;
    std::string name;   // the kernel's interface name, such as "eth0"
    std::string alias;  // the administrator's description of the link; empty when none
    std::vector<uint8_t> physicalAddress;  // as long as the system reports it; empty when none
    OperStatus operStatus = OperStatus::Unknown;
    bool administrativelyUp = false;  // IFF_UP
    bool running = false;             // IFF_RUNNING
    // Unicast addresses in the system's order, port 0; link-local IPv6 ones carry the
    // interface index as scope id.
    std::vector<SocketAddress> addresses;
};

// Every adapter of the calling thread's network namespace, in index order. Blocking but quick;
// safe on any thread.
Result<std::vector<NetworkAdapter>> ReadNetworkAdapters();

}  // namespace qf
