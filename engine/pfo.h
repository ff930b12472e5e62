#pragma once
// One port forwarding operation (PFO): its configuration, run state, sockets, sessions and
// counters.
//
// Ownership and threads:
// - Configuration fields (LocalIP ... the five advanced flags) are written only while the PFO
//   is not running, under ConfigLock; the PFO's own threads read them without the lock while
//   it runs; other readers (display, web, settings writer) take ConfigLock. Note and Enabled
//   may change at any time (Note under ConfigLock), and so may the filter settings
//   (EnableIPFilter ... DTFIPFilter_ApplyToExistingConnectionsOnUpdate), which the listeners
//   and the dynamic filter thread therefore read under ConfigLock.
// - The four range lists: FilterLock, held only to read or replace a pointer; a list is never
//   changed once installed.
// - Status, Enabled, StopRequested: atomics written by one side, polled by the other.
// - Resolution outputs (the ResolvedText/ResolveDetail texts, OLResolvedAddress, the OL
//   display-stale flag) are written by listener and session threads: ResolvedLock.
// - PFOThreadCount, SessionCount, TotalSessions, StatisticsResets change under the engine's
//   CounterLock and are read without it. Byte counters are atomic adds.
// - UDPSessions: UDPListLock (taken before a session's DestinationLock). The UDP listener adds
//   sessions; the primary reply thread of a session removes it; the sweeper, the ICMP receiver
//   and StopPFO walk the list.
// - Rates belong to the traffic sampler's thread (the main window's timer) alone.
// - A PFO is shared: the list and every thread working for it hold a reference, so it lives
//   until its last thread has ended.

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/rate_history.h"
#include "net/ip_filter.h"
#include "platform/socket.h"
#include "platform/socket_address.h"
#include "platform/text.h"

namespace qf {

struct EngineState;
struct TCPSession;
struct UDPSession;

enum class PFOStatus : uint8_t {
    Idle = 0,
    Starting = 1,
    ErrorStarting = 2,
    Started = 3,
    Stopped = 253,
    ErrorStopping = 254,
    Stopping = 255,
};

enum class Protocol : int32_t { TCP = 6, UDP = 17 };

// The traffic sampler's state of one PFO.
struct TrafficRates {
    RateHistory client;
    RateHistory server;
    uint32_t resetsSeen = 0;
    int32_t shownSessions = 0;
    int32_t shownTotal = 0;
};

// The five per-PFO socket options that the advanced dialog edits together.
struct AdvancedOptions {
    bool Outbound_Bind = false;
    bool UDP_Port_Bind = false;
    bool Address_ReUse = false;
    bool TCP_NoDelay = false;
    bool TCP_KeepAlive = false;
};

// One extra UDP destination: host specification and port.
struct RemoteDestination {
    Text host;
    uint16_t port = 0;
};

struct PFO : std::enable_shared_from_this<PFO> {
    explicit PFO(EngineState& engine);
    PFO(const PFO&) = delete;
    PFO& operator=(const PFO&) = delete;

    EngineState& engine;

    std::atomic<bool> Enabled{false};
    std::atomic<bool> StartAttempted{false};
    std::atomic<PFOStatus> Status{PFOStatus::Stopped};
    // The status the display's row shows: the reconciler's thread, which also draws the rows.
    PFOStatus LastShownStatus = PFOStatus::Stopped;
    std::atomic<int> StartRetryTicks{0};  // reconciler and request operations
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> WorkerActive{false};  // a start or stop worker owns the PFO

    // Configuration (see ConfigLock above).
    mutable std::mutex ConfigLock;
    Protocol protocol = Protocol::TCP;
    Text LocalIP;
    uint16_t LocalPort = 0;
    Text OLAddress;
    uint16_t OLPort = 0;
    Text RemoteHost;
    uint16_t RemotePort = 0;
    std::vector<RemoteDestination> ExtraRemoteDestinations;
    int32_t MaxSessions = 0;
    bool Bounce = false;
    int32_t UDPSessionTimeout = 0;
    bool ForwardICMPForUDP = false;
    bool Outbound_Bind = false;
    bool UDP_Port_Bind = false;
    bool Address_ReUse = false;
    bool TCP_NoDelay = false;
    bool TCP_KeepAlive = false;
    bool EnableIPFilter = false;
    bool EnableDTFIPFilter = false;
    Text DTFIPFilePath;
    int32_t DTFIPInterval = 10000;
    bool DTFIPFilter_ApplyToExistingConnectionsOnUpdate = false;
    Text Note;

    // Milliseconds on the monotonic clock; the dynamic filter thread's alone.
    int64_t DTFIPLastCheck = 666000;

    // Resolution outputs (ResolvedLock).
    mutable std::mutex ResolvedLock;
    Text LocalResolvedText, LocalResolveDetail;
    Text OLResolvedText, OLResolveDetail;
    Text RemoteResolvedText, RemoteResolveDetail;
    bool OLDisplayStale = false;
    SocketAddress OLResolvedAddress;
    Text StartError;  // why the last start failed, for the status display

    // Set by the listener before it reports Started; read by its sessions afterwards.
    SocketAddress LocalAddress;
    SocketAddress ListenAddress;
    const SocketAddress PlaceholderOLAddress;

    // Owned by the listener thread, which closes them; others only shut them down. UDP reply
    // threads send on ListenSocket: the listener closes it once its session list is empty.
    Socket ListenSocket;
    Socket ICMPSocket;  // the ICMP receiver reads and sends on it until it reports its end
    std::atomic<bool> ICMPReceiverRunning{false};
    std::atomic<bool> SweeperFinished{true};

    std::mutex TCPListLock;
    std::list<TCPSession*> TCPSessions;
    std::mutex UDPListLock;
    std::list<UDPSession*> UDPSessions;

    std::atomic<int32_t> PFOThreadCount{0};
    std::atomic<int32_t> SessionCount{0};
    std::atomic<int32_t> TotalSessions{0};
    std::atomic<double> ClientBytes{0.0};
    std::atomic<double> ServerBytes{0.0};
    std::atomic<uint32_t> StatisticsResets{0};  // lets the sampler restart the rate histories
    TrafficRates Rates;

    // Static and dynamic filter lists (FilterLock); null when absent. The dynamic lists are
    // installed only by the dynamic filter thread.
    mutable std::mutex FilterLock;
    RangeListPtr AcceptRanges, RejectRanges;
    RangeListPtr DTFIPAcceptRanges, DTFIPRejectRanges;

    AdvancedOptions advancedOptions() const;
    void setAdvancedOptions(const AdvancedOptions& options);
};

using PFOPtr = std::shared_ptr<PFO>;

// Running: neither Stopped nor ErrorStarting.
bool IsPFORunning(const PFO& pfo);
bool IsRunningStatus(PFOStatus status);

// A new PFO from the engine's defaults (the values last used in the options dialog).
PFOPtr CreatePFO(EngineState& engine);
// A detached copy of the configuration for editing; its range lists are its own copies.
PFOPtr CopyPFOForEditing(const PFO& source);

// The status text from the string tables; ErrorStarting reads "Stopped" while disabled.
Text StatusText(const EngineState& engine, PFOStatus status, bool enabled);

}  // namespace qf
