#pragma once
// UDP sessions: one per client address and port, with one connected outbound socket and one
// reply thread per destination. Internal to the engine.
//
// Lifetime: a session is shared by the reply threads of its destinations and listed in its
// PFO's UDPSessions from the moment its primary (first) destination is set up until that
// primary's reply thread, the last of the session's threads to finish, removes it. A destination is
// owned by its reply thread and listed in its session's `destinations` while others may use its
// socket; the reply thread closes the socket only after taking it out of that list.

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/capture.h"
#include "engine/pfo.h"

namespace qf {

constexpr size_t kMaxDatagramBytes = 65536;
constexpr int kUDPSweepPeriodMs = 100;  // also the step of a session's idle time

struct UDPSession;

struct UDPDestination {
    UDPDestination(std::shared_ptr<UDPSession> session, bool primary, RemoteDestination target,
                   Socket socket, const SocketAddress& localAddress, CaptureFilePtr capture)
        : session(std::move(session)),
          primary(primary),
          target(std::move(target)),
          socket(std::move(socket)),
          localAddress(localAddress),
          serverCapture(std::move(capture)) {}

    const std::shared_ptr<UDPSession> session;
    const bool primary;              // its reply thread ends the session
    const RemoteDestination target;  // as configured, for the events
    Socket socket;                   // connected to the destination
    const SocketAddress localAddress;
    const CaptureFilePtr serverCapture;  // what this destination sends back; may be null
    double serverData = 0.0;             // its reply thread's alone
};

struct UDPSession {
    UDPSession(const SocketAddress& client, uint16_t primaryLocalPort, double firstDatagram,
               CaptureFilePtr capture)
        : clientAddress(client),
          primaryLocalPort(primaryLocalPort),
          clientCapture(std::move(capture)),
          clientData(firstDatagram) {}

    const SocketAddress clientAddress;   // with the client's port: the session's key
    const uint16_t primaryLocalPort;     // the ICMP receiver finds a session by it
    const CaptureFilePtr clientCapture;  // what the client sends; written by the listener
    std::atomic<int32_t> idleMs{0};      // reset by traffic; advanced by the sweeper
    std::atomic<bool> closing{false};    // set under DestinationLock, never cleared
    std::atomic<double> clientData;      // the listener adds to it

    std::mutex DestinationLock;
    std::vector<UDPDestination*> destinations;      // the primary first
    int liveDestinations = 0;                       // reply threads that have not yet ended
    std::list<UDPSession*>::iterator listPosition;  // UDPListLock
};

// Listener: hands a client datagram to the sender's session, or opens one for it.
void ForwardClientDatagram(const PFOPtr& pfo, const SocketAddress& sender, const char* data,
                           size_t size);

// Sweeper: one 100 ms step of every session's idle time; sessions idle for longer than
// UDPSessionTimeout are closed.
void SweepUDPSessions(PFO& pfo);
// Marks every listed session whose client `ends` picks closing and wakes its reply threads,
// which then end it. Any thread; holds UDPListLock while it walks.
void CloseUDPSessions(PFO& pfo, const std::function<bool(const SocketAddress& client)>& ends);
bool HasUDPSessions(PFO& pfo);

}  // namespace qf
