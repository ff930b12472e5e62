#include "engine/ip_admission.h"

namespace qf {
namespace {

struct FilterSnapshot {
    bool staticEnabled;
    bool dynamicEnabled;
    RangeListPtr accept, reject, dynamicAccept, dynamicReject;
};

// The lists are immutable once installed: holding them lets the walk run without FilterLock,
// so a long list never holds up a reload or another listener.
FilterSnapshot TakeSnapshot(PFO& pfo) {
    FilterSnapshot snapshot{};
    {
        std::lock_guard lock(pfo.ConfigLock);
        snapshot.staticEnabled = pfo.EnableIPFilter;
        snapshot.dynamicEnabled = pfo.EnableDTFIPFilter;
    }
    if (!snapshot.staticEnabled && !snapshot.dynamicEnabled) return snapshot;
    std::lock_guard lock(pfo.FilterLock);
    if (snapshot.staticEnabled) {
        snapshot.accept = pfo.AcceptRanges;
        snapshot.reject = pfo.RejectRanges;
    }
    if (snapshot.dynamicEnabled) {
        snapshot.dynamicAccept = pfo.DTFIPAcceptRanges;
        snapshot.dynamicReject = pfo.DTFIPRejectRanges;
    }
    return snapshot;
}

}  // namespace

bool AdmittedByIPFilters(PFO& pfo, const SocketAddress& client) {
    const FilterSnapshot s = TakeSnapshot(pfo);
    return TestAddress(client, s.accept.get(), s.reject.get()) &&
           TestAddress(client, s.dynamicAccept.get(), s.dynamicReject.get());
}

}  // namespace qf
