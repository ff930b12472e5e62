#pragma once
// The state all PFOs share: counters, locks, preferences, defaults and the PFO list.
// One per application (tests make their own).

#include <atomic>
#include <mutex>
#include <vector>

#include "engine/pfo.h"
#include "net/resolver.h"
#include "platform/text_catalog.h"

namespace qf {

class CaptureOpener;
class ConnectionEventSink;

// Preferences the engine threads read while the user may change them.
struct EnginePreferences {
    std::atomic<int32_t> MaximumThreads{1500};
    std::atomic<bool> BindPortsOnlyWhileUp{true};
    std::atomic<bool> EnableMACBasedBinding{true};
    std::atomic<int32_t> TCPKeepAliveInterval{3000};
    std::atomic<int32_t> StartStopInterval{20};
    std::atomic<bool> ResetPFOStatisticsOnPFOStart{false};
    std::atomic<bool> EnableInterfaceChecker{true};
    std::atomic<int32_t> InterfaceCheckerInterval{4000};
    std::atomic<bool> DataLogEnabled{false};
    std::atomic<bool> DataLogCombineData{false};
    ResolverPreferences resolve;
};

// Values for new PFOs: the ones last used in the options dialog. Guarded by PFOListLock.
struct PFODefaults {
    Text LocalIP = u"127.0.0.1";
    uint16_t LocalPort = 8080;
    Text OLAddress;
    uint16_t OLPort = 0;
    Text RemoteHost = u"www.example.com";
    uint16_t RemotePort = 80;
    std::vector<RemoteDestination> ExtraRemoteDestinations;
    bool CheckBounce = false;
    bool CheckTCP = true;
    bool CheckUDP = false;
    int32_t MaxSessions = 100;
    int32_t UDPSessionTimeout = 60000;
    bool ForwardICMPForUDP = false;
    bool AutoApplyLatestAdvancedOptions = false;
    AdvancedOptions latestAdvancedOptions;
};

// All PFOs in creation order. Walk it only while holding `PFOListLock` (recursive: the
// paste and load paths re-enter it).
class PFOList {
  public:
    std::recursive_mutex PFOListLock;

    PFOPtr CreateAndAppend(EngineState& engine);
    void Append(PFOPtr pfo);
    // Unlinks the PFO and stops it when it runs; it is destroyed once its last thread has let
    // go. False when absent. Blocks while the PFO stops: never call from a PFO's own thread.
    bool Remove(const PFO& pfo);
    // Removes every PFO as Remove does.
    void RemoveAll();
    int64_t Count();
    // A snapshot of the list, for walks that must not hold the lock while they block.
    std::vector<PFOPtr> Snapshot();
    // Requires PFOListLock.
    const std::vector<PFOPtr>& Items() const { return items_; }

  private:
    std::vector<PFOPtr> items_;
};

struct EngineState {
    explicit EngineState(const TextCatalog& texts) : texts(texts), resolver(preferences.resolve) {}
    EngineState(const EngineState&) = delete;

    const TextCatalog& texts;
    EnginePreferences preferences;
    PFODefaults defaults;
    Resolver resolver;
    PFOList pfos;

    std::mutex CounterLock;  // leaf; guards changes of the counters below and of each PFO's
    std::atomic<int32_t> ThreadCount{1};
    std::atomic<int32_t> PendingConnects{0};

    std::atomic<bool> ThreadStopFlag{false};
    std::atomic<bool> InterfaceCheckerRunning{false};
    std::atomic<bool> DTFIPThreadRunning{false};
    std::atomic<ConnectionEventSink*> eventSink{nullptr};
    std::atomic<CaptureOpener*> captureOpener{nullptr};
};

}  // namespace qf
