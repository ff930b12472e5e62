#include "engine/interface_checker.h"

#include "engine/engine_threads.h"
#include "engine/lifecycle.h"
#include "net/address.h"
#include "platform/clock.h"

namespace qf {
namespace {

constexpr int kWaitSliceMs = 10;

// False when the thread-stop flag ended the wait.
bool WaitForNextPass(EngineState& engine) {
    const int interval = engine.preferences.InterfaceCheckerInterval;
    for (int waited = 0; waited < interval; waited += kWaitSliceMs) {
        if (engine.ThreadStopFlag) return false;
        SleepMs(kWaitSliceMs);
    }
    return !engine.ThreadStopFlag;
}

bool ListensWhereItsInterfaceIs(PFO& pfo) {
    const EnginePreferences& preferences = pfo.engine.preferences;
    Text localIP;
    {
        std::lock_guard lock(pfo.ConfigLock);
        localIP = pfo.LocalIP;
    }
    const Text resolved = pfo.engine.resolver.ResolveHostSpec(
        localIP, preferences.BindPortsOnlyWhileUp, preferences.EnableMACBasedBinding, nullptr);
    return !resolved.empty() &&
           CompareAddresses(ParseAddress(resolved, true), pfo.LocalAddress, true) == 0;
}

bool IsStartedAndEnabled(const PFO& pfo) { return pfo.Enabled && pfo.Status == PFOStatus::Started; }

void InterfaceChecker_Thread(EngineState& engine, PFODisplay& display) {
    if (engine.InterfaceCheckerRunning.exchange(true)) return;
    while (WaitForNextPass(engine)) {
        if (engine.preferences.EnableInterfaceChecker) CheckInterfaces(engine, display);
    }
    engine.InterfaceCheckerRunning = false;
}

}  // namespace

bool LaunchInterfaceChecker(EngineState& engine, PFODisplay& display) {
    return StartCountedThread("IfaceChecker", engine, nullptr,
                              [&engine, &display] { InterfaceChecker_Thread(engine, display); });
}

void CheckInterfaces(EngineState& engine, PFODisplay& display) {
    // Resolving may wait for the name service, so it happens on a snapshot rather than under
    // PFOListLock, which the reconciler and the display need meanwhile.
    for (const PFOPtr& pfo : engine.pfos.Snapshot()) {
        if (!IsStartedAndEnabled(*pfo) || ListensWhereItsInterfaceIs(*pfo)) continue;
        // It may have been stopped while its interface was resolved.
        if (IsStartedAndEnabled(*pfo)) LaunchStopper(pfo, display);
    }
}

}  // namespace qf
