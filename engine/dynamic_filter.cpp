#include "engine/dynamic_filter.h"

#include "engine/engine_threads.h"
#include "engine/tcp_session.h"
#include "engine/udp_session.h"
#include "platform/clock.h"
#include "platform/text_tools.h"

namespace qf {
namespace {

constexpr int kPassPeriodMs = 100;

struct DynamicFilterSettings {
    bool enabled;
    Text path;
    uint32_t intervalMs;
    bool applyToExisting;
};

DynamicFilterSettings SettingsOf(const PFO& pfo) {
    std::lock_guard lock(pfo.ConfigLock);
    return {pfo.EnableDTFIPFilter, pfo.DTFIPFilePath, static_cast<uint32_t>(pfo.DTFIPInterval),
            pfo.DTFIPFilter_ApplyToExistingConnectionsOnUpdate};
}

// A last check ahead of the clock (the initial value, on a machine up for less than that
// long) makes the check due at once.
bool CheckIsDue(int64_t lastCheckMs, uint32_t intervalMs, int64_t nowMs) {
    return nowMs < lastCheckMs || nowMs >= lastCheckMs + intervalMs;
}

// True when `fresh` replaced the installed list. A list that holds nothing is installed only
// over one that held something.
bool InstallIfChanged(RangeListPtr& installed, RangeListPtr fresh) {
    const bool same = installed ? SameUsedRanges(*installed, *fresh) : CountUsedRanges(*fresh) == 0;
    if (same) return false;
    installed = std::move(fresh);
    return true;
}

DynamicListChange InstallDynamicLists(PFO& pfo, std::optional<FilterLists> lists) {
    std::lock_guard lock(pfo.FilterLock);
    if (!lists) {
        const DynamicListChange change{pfo.DTFIPAcceptRanges != nullptr,
                                       pfo.DTFIPRejectRanges != nullptr};
        pfo.DTFIPAcceptRanges = nullptr;
        pfo.DTFIPRejectRanges = nullptr;
        return change;
    }
    return {InstallIfChanged(pfo.DTFIPAcceptRanges, std::move(lists->accept)),
            InstallIfChanged(pfo.DTFIPRejectRanges, std::move(lists->reject))};
}

enum class ListSide { Accept, Reject };

RangeListPtr InstalledList(PFO& pfo, ListSide side) {
    std::lock_guard lock(pfo.FilterLock);
    return side == ListSide::Accept ? pfo.DTFIPAcceptRanges : pfo.DTFIPRejectRanges;
}

// Tests only the list that changed: a change of the other dynamic list starts a walker of its
// own, and the static lists close no session that runs.
void CloseSessionsRefusedBy(PFO& pfo, ListSide side) {
    const RangeListPtr list = InstalledList(pfo, side);
    const auto refused = [&](const SocketAddress& client) {
        return side == ListSide::Accept ? !TestAddress(client, list.get(), nullptr)
                                        : !TestAddress(client, nullptr, list.get());
    };
    CloseUDPSessions(pfo, refused);
    ShutDownTCPSessions(pfo, refused);
}

// A walker that cannot be started is skipped: its sessions stay until they end by themselves.
void LaunchWalker(const PFOPtr& pfo, ListSide side) {
    const char* name = side == ListSide::Accept ? "DTFIPAcceptWalk" : "DTFIPRejectWalk";
    StartCountedThread(name, pfo->engine, pfo, [pfo, side] { CloseSessionsRefusedBy(*pfo, side); });
}

DynamicListChange Update(const PFOPtr& pfo, const DynamicFilterSettings& settings,
                         const FilterFileReader& reader) {
    const DynamicListChange change = InstallDynamicLists(*pfo, reader(settings.path));
    if (settings.applyToExisting) {
        if (change.accept) LaunchWalker(pfo, ListSide::Accept);
        if (change.reject) LaunchWalker(pfo, ListSide::Reject);
    }
    return change;
}

void DTFIPF_Thread(EngineState& engine, const FilterFileReader& reader) {
    if (engine.DTFIPThreadRunning.exchange(true)) return;
    while (!engine.ThreadStopFlag) {
        SleepMs(kPassPeriodMs);
        if (!engine.ThreadStopFlag) RunDynamicFilterPass(engine, reader, MonotonicMs());
    }
    engine.DTFIPThreadRunning = false;
}

}  // namespace

bool LaunchDynamicFilter(EngineState& engine, FilterFileReader reader) {
    return StartCountedThread(
        "DTFIPF_Thread", engine, nullptr,
        [&engine, reader = std::move(reader)] { DTFIPF_Thread(engine, reader); });
}

void RunDynamicFilterPass(EngineState& engine, const FilterFileReader& reader, int64_t nowMs) {
    // A snapshot, not PFOListLock: a file that is slow to read must not hold up the list.
    for (const PFOPtr& pfo : engine.pfos.Snapshot()) {
        const DynamicFilterSettings settings = SettingsOf(*pfo);
        if (!settings.enabled || IsBlank(settings.path)) continue;
        if (!CheckIsDue(pfo->DTFIPLastCheck, settings.intervalMs, nowMs)) continue;
        pfo->DTFIPLastCheck = nowMs;
        Update(pfo, settings, reader);
    }
}

DynamicListChange UpdateDynamicFilter(const PFOPtr& pfo, const FilterFileReader& reader) {
    return Update(pfo, SettingsOf(*pfo), reader);
}

}  // namespace qf
