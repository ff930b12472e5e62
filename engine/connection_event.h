#pragma once
// The session event record and the one call by which the engine reports it.

#include <chrono>

#include "engine/pfo.h"

namespace qf {

// Text ids of the session events in the program string table.
enum class EventId : int {
    RejectedOLUnresolved = 133,
    Ended = 134,
    RejectedBadIP = 135,
    RejectedTooManyThreads = 136,
    RejectedTooManySessions = 137,
    RejectedAllocation = 139,
    RejectedRemoteUnresolved = 140,
    RejectedNoSocket = 141,
    RejectedConnectFailed = 142,
    Accepted = 143,
    RejectedBadSocket = 148,
    CaptureFileFailed = 1015,
};

struct ConnectionEvent {
    EventId id;
    Text text;
    std::chrono::system_clock::time_point when;
    SocketAddress localAddress;
    uint16_t localPort = 0;
    Text localSpec;
    Text remoteHost;
    uint16_t remotePort = 0;
    SocketAddress clientAddress;
    uint16_t clientPort = 0;
    SocketAddress olAddress;
    uint16_t olPort = 0;
    Text protocol;      // "TCP" or "UDP"
    double clientData;  // bytes; -1.0 unless the session ended
    double serverData;
};

// Receives every event; implemented by the connection-event log. Emit is called from engine
// threads and must not block on the network.
class ConnectionEventSink {
  public:
    virtual ~ConnectionEventSink() = default;
    // False when nobody listens, so the engine need not build the event at all.
    virtual bool Wanted() const = 0;
    virtual void Emit(ConnectionEvent event) = 0;
};

// The fields an event site knows; the rest come from the PFO.
struct EventSite {
    const SocketAddress& client;
    const SocketAddress& outboundLocal;
    const Text& remoteHost;
    uint16_t remotePort;
    double clientData = -1.0;
    double serverData = -1.0;
};

void EmitConnectionEvent(EventId id, const PFO& pfo, const EventSite& site);

}  // namespace qf
