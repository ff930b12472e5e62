#pragma once
// Passing ICMP errors about a UDP PFO's outbound datagrams back to the clients they concern.
// Internal to the engine; used by the UDP listener thread only.

#include "engine/pfo.h"

namespace qf {

// Opens ICMPSocket (raw IPv4 ICMP, which needs CAP_NET_RAW) and starts its receiver thread.
// A failure is recorded as the PFO's start error and leaves nothing open.
bool StartICMPForwarding(const PFOPtr& pfo);
// Ends the receiver thread and then closes ICMPSocket; does nothing when none was started.
void StopICMPForwarding(PFO& pfo);

}  // namespace qf
