#pragma once
// Internal to the engine: the address filters every new TCP connection and every UDP datagram
// passes before anything else is done for it.

#include "engine/pfo.h"

namespace qf {

// False when the static filter (with EnableIPFilter) or the dynamic filter (with
// EnableDTFIPFilter) refuses the client. Any thread; takes ConfigLock, then FilterLock.
bool AdmittedByIPFilters(PFO& pfo, const SocketAddress& client);

}  // namespace qf
