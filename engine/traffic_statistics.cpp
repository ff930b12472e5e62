#include "engine/traffic_statistics.h"

namespace qf {
namespace {

// Samples both directions; true when the PFO's row shows something new.
bool SamplePFO(PFO& pfo) {
    TrafficRates& rates = pfo.Rates;
    const uint32_t resets = pfo.StatisticsResets;
    const bool restart = resets != rates.resetsSeen;
    rates.resetsSeen = resets;
    bool changed = rates.server.Sample(pfo.ServerBytes, restart);
    changed |= rates.client.Sample(pfo.ClientBytes, restart);
    const int32_t sessions = pfo.SessionCount, total = pfo.TotalSessions;
    if (sessions != rates.shownSessions || total != rates.shownTotal) {
        rates.shownSessions = sessions;
        rates.shownTotal = total;
        changed = true;
    }
    return changed;
}

}  // namespace

ShownRates ShownTrafficRates(const PFO& pfo) {
    if (pfo.SessionCount <= 0) return {};
    return {pfo.Rates.client.BytesPerSecond(), pfo.Rates.server.BytesPerSecond()};
}

TrafficSample TrafficSampler::Sample(EngineState& engine, bool inBits) {
    const bool unitChanged = lastInBits_ != inBits;
    lastInBits_ = inBits;
    TrafficSample sample;
    std::lock_guard lock(engine.pfos.PFOListLock);
    for (const PFOPtr& pfo : engine.pfos.Items()) {
        if (SamplePFO(*pfo) || unitChanged) sample.changedRows.push_back(pfo);
        sample.totalSessions += pfo->Rates.shownSessions;
        sample.collectiveBytesPerSecond += ShownTrafficRates(*pfo).combined();
    }
    return sample;
}

}  // namespace qf
