#pragma once
// Termination requests (SIGTERM, SIGINT) handled on one thread of their own, so that no other
// thread is ever interrupted by them.

#include <functional>

#include "platform/result.h"

namespace qf {

// Blocks the termination signals in the calling thread and in every thread it starts later.
// Call first thing in main, before any thread exists.
void BlockTerminationSignals();

// Starts a thread that waits for a termination signal and calls `onSignal` for each one.
Status HandleTerminationSignals(std::function<void(int signal)> onSignal);

}  // namespace qf
