#pragma once
#include <cstdint>

namespace qf {

// Raises the soft open-descriptor limit to the hard limit: every session holds two sockets
// (and two pipes while relaying), far beyond the default soft limit of 1024.
// Returns the soft limit in force afterwards.
uint64_t RaiseDescriptorLimit();

}  // namespace qf
