#pragma once
// The machine's interface addresses as the user sees them: one entry per unicast address,
// with its adapter's MAC, status word and the description "MAC-index / address / name" by
// which an interface can be chosen independently of its current address.

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "platform/interfaces.h"
#include "platform/socket_address.h"
#include "platform/text.h"

namespace qf {

struct InterfaceEntry {
    std::array<uint8_t, 8> physicalAddress{};  // shorter addresses padded with zeros
    SocketAddress address;
    Text friendlyName;  // at most 63 units
    Text statusText;    // "Up", "Down", ... at most 15 units
    Text description;   // "00-1A-2B-3C-4D-5E-01 / fe80::1%11 / Ethernet", at most 255 units
};

// All IPv4 entries first, then all IPv6 ones, each in adapter order.
using InterfaceList = std::vector<InterfaceEntry>;
// Where a fresh list comes from; tests substitute a fixed one. Must be callable on any thread.
using InterfaceSource = std::function<InterfaceList()>;

// A fresh list of the calling thread's network namespace; empty when the system will not say.
InterfaceList EnumerateInterfaces();
InterfaceList BuildInterfaceList(const std::vector<NetworkAdapter>& adapters);

// The RFC 2863 word of an adapter. Links without a link state (loopback, tunnels) report
// "unknown"; such a link that is up and running counts as "Up", or it could never be used.
Text InterfaceStatusText(OperStatus status, bool administrativelyUp, bool running);

// The choices of an address field: IPv4 heading, "0.0.0.0", the IPv4 addresses; IPv6 heading,
// "::", the IPv6 addresses; MAC heading, the descriptions. Each text appears once, compared
// ignoring case.
std::vector<Text> BuildInterfaceChoices(const InterfaceList& interfaces);

// The entry named by a MAC specification such as "00-1A-2B-3C-4D-5E" (address index 00) or
// "00-1A-2B-3C-4D-5E-01 / ..."; nothing when the text is no MAC specification (then the
// list is not even enumerated) or no adapter matches.
std::optional<InterfaceEntry> FindInterfaceByMAC(TextView spec, const InterfaceSource& interfaces);

// True when the address belongs to an interface whose status is "Up". The scope id decides
// between equal addresses of several interfaces; all of 127/8 belongs to the loopback
// interface, as the system routes it so (the machine's own name often maps to 127.0.1.1).
bool IsAddressOnUpInterface(const SocketAddress& address, const InterfaceSource& interfaces);

}  // namespace qf
