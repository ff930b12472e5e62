#include "engine/lifecycle.h"

#include "engine/engine_threads.h"
#include "engine/udp_session.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace qf {
namespace {

constexpr int kRetryPeriodMs = 500;

bool CanStartFrom(PFOStatus s) {
    return s == PFOStatus::Stopped || s == PFOStatus::Idle || s == PFOStatus::ErrorStarting;
}

bool CanStopFrom(PFOStatus s) {
    return s == PFOStatus::Idle || s == PFOStatus::Starting || s == PFOStatus::Started ||
           s == PFOStatus::ErrorStopping;
}

// One start or stop worker at a time per PFO: the launcher claims the PFO, the worker releases
// it when its status change is done.
bool TryClaim(PFO& pfo) { return !pfo.WorkerActive.exchange(true); }
void WaitAndClaim(PFO& pfo) {
    WaitWhile([&] { return !TryClaim(pfo); });
}
void Release(PFO& pfo) { pfo.WorkerActive = false; }

// Workers count in ThreadCount only: they are not threads of the PFO they act on.
template <class Body>
bool StartWorker(const char* name, const PFOPtr& pfo, Body body) {
    return StartCountedThread(name, pfo->engine, nullptr, std::move(body));
}

template <class Body>
bool LaunchClaimedWorker(const char* name, const PFOPtr& pfo, Body body) {
    if (!TryClaim(*pfo)) return false;
    if (StartWorker(name, pfo, std::move(body))) return true;
    Release(*pfo);
    return false;
}

void StarterThread(const PFOPtr& pfo) {
    StartPFO(*pfo);
    Release(*pfo);
}

void StopperThread(const PFOPtr& pfo, PFODisplay& display) {
    StopPFO(*pfo);
    display.DropSelection(*pfo);
    Release(*pfo);
}

void ApplyConfiguration(PFO& live, const PFO& copy) {
    {
        std::scoped_lock locks(live.ConfigLock, copy.ConfigLock);
        live.LocalPort = copy.LocalPort;
        live.LocalAddress = copy.LocalAddress;
        live.OLPort = copy.OLPort;
        live.OLAddress = copy.OLAddress;
        live.RemotePort = copy.RemotePort;
        live.RemoteHost = copy.RemoteHost;
        live.ExtraRemoteDestinations = copy.ExtraRemoteDestinations;
        live.protocol = copy.protocol;
        live.MaxSessions = copy.MaxSessions;
        live.LocalIP = copy.LocalIP;
        live.Bounce = copy.Bounce;
        live.UDPSessionTimeout = copy.UDPSessionTimeout;
        live.ForwardICMPForUDP = copy.ForwardICMPForUDP;
        live.EnableIPFilter = copy.EnableIPFilter;
        live.EnableDTFIPFilter = copy.EnableDTFIPFilter;
        live.DTFIPFilePath = copy.DTFIPFilePath;
        live.DTFIPInterval = copy.DTFIPInterval;
        live.DTFIPFilter_ApplyToExistingConnectionsOnUpdate =
            copy.DTFIPFilter_ApplyToExistingConnectionsOnUpdate;
        live.setAdvancedOptions(copy.advancedOptions());
    }
    std::scoped_lock filters(live.FilterLock, copy.FilterLock);
    live.AcceptRanges = copy.AcceptRanges;
    live.RejectRanges = copy.RejectRanges;
}

void StopperStarterThread(const PFOPtr& live, const PFOPtr& copy, PFODisplay& display) {
    WaitAndClaim(*live);
    const bool enabled = live->Enabled.exchange(false);
    StopPFO(*live);
    if (!IsPFORunning(*live)) {
        ApplyConfiguration(*live, *copy);
        live->Enabled = enabled;
        if (enabled) StartPFO(*live);
    }
    live->Enabled = enabled;
    display.SaveSettings();
    display.RefreshRow(*live);
    display.Resort();
    Release(*live);
}

void StopperDeletorThread(const PFOPtr& pfo, PFODisplay& display) {
    WaitAndClaim(*pfo);
    pfo->Enabled = false;
    StopPFO(*pfo);
    if (!IsPFORunning(*pfo) && display.DeleteRow(*pfo)) {
        SleepMs(10);
        pfo->engine.pfos.Remove(*pfo);
        display.AfterDelete();
    }
    Release(*pfo);
}

// True when the reconciler must not start the PFO yet; counts the retry ticks.
bool HoldAfterError(PFO& pfo, PFOStatus status) {
    const int interval = std::max(1, pfo.engine.preferences.StartStopInterval.load());
    if (status != PFOStatus::ErrorStarting || pfo.StartRetryTicks >= kRetryPeriodMs / interval)
        return false;
    ++pfo.StartRetryTicks;
    return true;
}

bool RecentlyFailedToResolve(PFO& pfo) {
    Text localIP;
    {
        std::lock_guard lock(pfo.ConfigLock);
        localIP = pfo.LocalIP;
    }
    const bool requireUp = pfo.engine.preferences.BindPortsOnlyWhileUp;
    const auto cached = pfo.engine.resolver.LookupResolveCache(localIP, requireUp);
    return cached && cached->empty();
}

void ReconcileOne(const PFOPtr& pfo, PFODisplay& display) {
    if (pfo->WorkerActive) return;
    const PFOStatus status = pfo->Status;
    if (pfo->Enabled && CanStartFrom(status)) {
        if (HoldAfterError(*pfo, status)) return;
        pfo->StartRetryTicks = 0;
        if (RecentlyFailedToResolve(*pfo)) {
            pfo->Status = PFOStatus::ErrorStarting;
        } else {
            LaunchClaimedWorker("StarterThread", pfo, [pfo] { StarterThread(pfo); });
        }
    } else if (!pfo->Enabled && status == PFOStatus::Started) {
        LaunchStopper(pfo, display);
    }
}

}  // namespace

bool StartPFO(PFO& pfo) {
    if (IsPFORunning(pfo)) return true;
    pfo.StopRequested = false;
    if (pfo.engine.preferences.ResetPFOStatisticsOnPFOStart) ResetStatistics(pfo);
    pfo.StartAttempted = true;
    pfo.Status = PFOStatus::Starting;
    if (!LaunchListener(pfo.shared_from_this())) {
        pfo.Status = PFOStatus::ErrorStarting;
        return false;
    }
    WaitWhile([&] { return pfo.Status == PFOStatus::Starting; });
    return IsPFORunning(pfo);
}

bool StopPFO(PFO& pfo) {
    if (!CanStopFrom(pfo.Status)) return true;
    pfo.Status = PFOStatus::Stopping;
    pfo.StopRequested = true;
    // UDP sessions end first (the sweeper closes them on seeing the stop), so that replies
    // still reach their clients through the listening socket until then.
    WaitWhile([&] { return HasUDPSessions(pfo); });
    // The listener closes its own socket; shutting it down wakes its blocked accept or
    // receive. Until the listener has opened it there is nothing to shut down, hence the
    // repetition. The listener reports Stopped before it stops counting itself.
    WaitWhile([&] {
        pfo.ListenSocket.Shutdown();
        pfo.ICMPSocket.Shutdown();
        return IsPFORunning(pfo) && pfo.PFOThreadCount > 0;
    });
    // No thread was left to report the end (a PFO that never had a listener).
    PFOStatus stopping = PFOStatus::Stopping;
    pfo.Status.compare_exchange_strong(stopping, PFOStatus::Stopped);
    WaitWhile([&] { return pfo.PFOThreadCount > 0; });
    // With every thread gone no session can remain; clear a count that drifted.
    std::lock_guard lock(pfo.engine.CounterLock);
    pfo.SessionCount = 0;
    return true;
}

void RequestStart(PFO& pfo, PFODisplay& display) {
    pfo.Enabled = true;
    pfo.StartRetryTicks = 1000;
    display.RefreshRow(pfo);
    display.SaveSettings();
}

void RequestStop(PFO& pfo, PFODisplay& display) {
    pfo.Enabled = false;
    display.RefreshRow(pfo);
    display.SaveSettings();
}

void ResetStatistics(PFO& pfo) {
    std::lock_guard lock(pfo.engine.CounterLock);
    pfo.TotalSessions = pfo.SessionCount.load();
    pfo.ClientBytes = 0.0;
    pfo.ServerBytes = 0.0;
    ++pfo.StatisticsResets;
}

void Reconcile(EngineState& engine, PFODisplay& display) {
    bool changed = false;
    {
        std::lock_guard lock(engine.pfos.PFOListLock);
        for (const PFOPtr& pfo : engine.pfos.Items()) {
            ReconcileOne(pfo, display);
            const PFOStatus status = pfo->Status;
            if (status != pfo->LastShownStatus) {
                pfo->LastShownStatus = status;
                display.RefreshRow(*pfo);
                changed = true;
            }
        }
    }
    if (changed) display.Resort();
}

bool LaunchStopper(const PFOPtr& pfo, PFODisplay& display) {
    return LaunchClaimedWorker("StopperThread", pfo,
                               [pfo, &display] { StopperThread(pfo, display); });
}

bool ApplyEditedCopy(PFOPtr live, PFOPtr copy, PFODisplay& display) {
    return StartWorker("StopperStarter", live,
                       [live, copy, &display] { StopperStarterThread(live, copy, display); });
}

bool DeletePFO(PFOPtr pfo, PFODisplay& display) {
    return StartWorker("StopperDeletor", pfo,
                       [pfo, &display] { StopperDeletorThread(pfo, display); });
}

void AbortAll(EngineState& engine) {
    std::lock_guard lock(engine.pfos.PFOListLock);
    for (const PFOPtr& pfo : engine.pfos.Items()) {
        pfo->StopRequested = true;
        pfo->ICMPSocket.Shutdown();
        pfo->ListenSocket.Shutdown();
    }
}

bool AnyPFORunning(EngineState& engine) {
    std::lock_guard lock(engine.pfos.PFOListLock);
    for (const PFOPtr& pfo : engine.pfos.Items())
        if (IsPFORunning(*pfo)) return true;
    return false;
}

}  // namespace qf
