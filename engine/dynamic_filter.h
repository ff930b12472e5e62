#pragma once
// The dynamic text-file IP filter. Every 100 ms DTFIPF_Thread looks at each PFO whose dynamic
// filter is on, and when the PFO's DTFIPInterval has passed since its last check it reads the
// PFO's filter file again. Lists that differ from the installed ones replace them; with
// DTFIPFilter_ApplyToExistingConnectionsOnUpdate, a walker thread per replaced list then
// closes the sessions whose clients that list no longer admits.
//
// The engine knows no file formats: the program hands it the reader. Files are read outside
// every lock, so a slow file delays only this thread.

#include <functional>
#include <optional>

#include "engine/engine_state.h"

namespace qf {

// The lists a filter file holds, or nothing when it cannot be read. Called on DTFIPF_Thread.
using FilterFileReader = std::function<std::optional<FilterLists>(const Text& path)>;

// Starts DTFIPF_Thread, which runs until the engine's thread-stop flag is set; a second one
// while it runs ends at once. False when the thread cannot be created.
bool LaunchDynamicFilter(EngineState& engine, FilterFileReader reader);

// The thread's work after each wait, with `nowMs` from the monotonic clock: updates every PFO
// whose check is due. Call from one thread at a time.
void RunDynamicFilterPass(EngineState& engine, const FilterFileReader& reader, int64_t nowMs);

struct DynamicListChange {
    bool accept = false;  // the installed list was replaced or removed
    bool reject = false;
};

// Reads the PFO's file now and installs what changed: a file that cannot be read removes both
// lists; a list equal to the installed one, range by range, leaves it in place. Launches the
// walkers of the changed lists when the PFO applies updates to existing sessions.
DynamicListChange UpdateDynamicFilter(const PFOPtr& pfo, const FilterFileReader& reader);

}  // namespace qf
