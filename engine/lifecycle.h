#pragma once
// Starting, stopping, editing and deleting PFOs. Only these operations change a PFO's run
// state; the user's wish is `Enabled`, which the reconciler turns into start and stop workers.

#include "engine/engine_state.h"
#include "engine/pfo_display.h"

namespace qf {

// Worker threads only: block until the listener has reported / every thread of the PFO ended.
bool StartPFO(PFO& pfo);
bool StopPFO(PFO& pfo);

// Main-window commands.
void RequestStart(PFO& pfo, PFODisplay& display);
void RequestStop(PFO& pfo, PFODisplay& display);
void ResetStatistics(PFO& pfo);

// One reconciler tick (main-window timer).
void Reconcile(EngineState& engine, PFODisplay& display);
// Launches a StopperThread for the PFO unless a start or stop worker already owns it; false
// when nothing was launched.
bool LaunchStopper(const PFOPtr& pfo, PFODisplay& display);

// Launch the edit and delete workers; false (and nothing launched) when no thread can be made.
bool ApplyEditedCopy(PFOPtr live, PFOPtr copy, PFODisplay& display);
bool DeletePFO(PFOPtr pfo, PFODisplay& display);

// Shutdown: ask every listener to end. Repeat until no PFO runs.
void AbortAll(EngineState& engine);
bool AnyPFORunning(EngineState& engine);

}  // namespace qf
