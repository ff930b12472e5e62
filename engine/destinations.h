#pragma once
// Where a session's outbound socket sends to and binds from; shared by TCP and UDP sessions.
// Internal to the engine.

#include <optional>

#include "engine/pfo.h"

namespace qf {

// A PFO with Bounce, or a destination with a blank host, sends to the client's own address.
bool SendsToClient(const PFO& pfo, TextView host);

// Resolves a destination host without the interface-up condition; blank when it resolves to
// nothing. The main destination's outcome is what the display shows as the remote address.
Text ResolveDestinationHost(PFO& pfo, TextView host, bool mainDestination);

// The address a session sends to for `destination`; nullopt when its host does not resolve.
std::optional<SocketAddress> DestinationAddress(PFO& pfo, const RemoteDestination& destination,
                                                const SocketAddress& client, bool mainDestination);

// Binds an outbound socket as the PFO's options ask: to the listening interface
// (Outbound_Bind), to the resolved OLAddress, or not at all; with a non-zero `fixedPort` the
// socket takes that port, on the interface that routes to `destination` when no address was
// chosen. Bind failures are left to the system, which then picks. `bindAddress` receives the
// address tried (the placeholder when none). False when OLAddress resolves to nothing.
bool BindOutbound(PFO& pfo, Socket& socket, const SocketAddress& destination, uint16_t fixedPort,
                  SocketAddress& bindAddress);

}  // namespace qf
