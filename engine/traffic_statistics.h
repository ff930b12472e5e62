#pragma once
// Data rates of the PFOs, sampled from their byte counters every 100 ms by the main window's
// timer. The sampler's thread owns every PFO's `Rates`; the counters it reads are atomics that
// the engine threads add to.

#include <optional>
#include <vector>

#include "engine/engine_state.h"

namespace qf {

// The rates shown for a PFO, in bytes per second: zero while it has no session, whatever its
// history still holds. Call on the sampler's thread.
struct ShownRates {
    double client = 0.0;
    double server = 0.0;
    double combined() const { return client + server; }
};
ShownRates ShownTrafficRates(const PFO& pfo);

struct TrafficSample {
    int32_t totalSessions = 0;              // current sessions over all PFOs
    double collectiveBytesPerSecond = 0.0;  // shown rates over all PFOs
    std::vector<PFOPtr> changedRows;        // PFOs whose session column must be rewritten
};

class TrafficSampler {
  public:
    // One 100 ms sample of every PFO in the list. `inBits` is the display unit; when it changes,
    // every row counts as changed. Always call from the same thread.
    TrafficSample Sample(EngineState& engine, bool inBits);

  private:
    std::optional<bool> lastInBits_;
};

}  // namespace qf
