#pragma once
#include <cstdint>

namespace qf {

// Milliseconds on the monotonic clock; only differences mean anything.
int64_t MonotonicMs();
void SleepMs(int milliseconds);

}  // namespace qf
