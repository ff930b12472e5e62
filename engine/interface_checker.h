#pragma once
// The interface checker: a PFO that listens on a named interface (a host name, a MAC, or an
// address that must stay on an interface that is up) follows that interface. Every
// `InterfaceCheckerInterval` ms the local interface of each started PFO is resolved again;
// a PFO whose result no longer is the address it listens on is stopped, and since it stays
// enabled the reconciler starts it on the new address (or retries while there is none).

#include "engine/engine_state.h"
#include "engine/pfo_display.h"

namespace qf {

// Starts InterfaceChecker_Thread, which runs until the engine's thread-stop flag is set; a
// second one while it runs ends at once. False when the thread cannot be created.
bool LaunchInterfaceChecker(EngineState& engine, PFODisplay& display);

// One pass over the PFOs (the checker's work between two waits).
void CheckInterfaces(EngineState& engine, PFODisplay& display);

}  // namespace qf
