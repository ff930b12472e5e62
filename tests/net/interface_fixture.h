#pragma once
// A machine with loopback, an Ethernet adapter with three addresses, a second one that is
// down and a tunnel without a physical address.

#include <vector>

#include "platform/interfaces.h"

namespace qf::testing {

inline SocketAddress LinkLocal(uint32_t scope) {
    return SocketAddress::IPv6({0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 0, scope);
}

inline std::vector<NetworkAdapter> SampleAdapters() {
    NetworkAdapter lo;
    lo.index = 1;
    lo.name = "lo";
    lo.physicalAddress = {0, 0, 0, 0, 0, 0};
    lo.operStatus = OperStatus::Unknown;
    lo.administrativelyUp = lo.running = true;
    lo.addresses = {SocketAddress::Loopback(AddressFamily::IPv4),
                    SocketAddress::Loopback(AddressFamily::IPv6)};

    NetworkAdapter ethernet;
    ethernet.index = 11;
    ethernet.name = "eth0";
    ethernet.alias = "Ethernet";
    ethernet.physicalAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    ethernet.operStatus = OperStatus::Up;
    ethernet.administrativelyUp = ethernet.running = true;
    ethernet.addresses = {
        SocketAddress::IPv4({192, 168, 1, 5}), LinkLocal(11),
        SocketAddress::IPv6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5})};

    NetworkAdapter down;
    down.index = 12;
    down.name = "eth1";
    down.physicalAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F};
    down.operStatus = OperStatus::Down;
    down.addresses = {SocketAddress::IPv4({192, 168, 2, 5}), LinkLocal(12)};

    NetworkAdapter tunnel;
    tunnel.index = 13;
    tunnel.name = "wg0";
    tunnel.operStatus = OperStatus::Unknown;
    tunnel.administrativelyUp = tunnel.running = true;
    tunnel.addresses = {SocketAddress::IPv4({10, 8, 0, 1})};

    return {lo, ethernet, down, tunnel};
}

}  // namespace qf::testing
