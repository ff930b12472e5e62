#include "engine/udp_session.h"

#include <algorithm>
#include <new>

#include "engine/connection_event.h"
#include "engine/destinations.h"
#include "engine/engine_threads.h"
#include "net/address.h"

namespace qf {
namespace {

constexpr int kSessionEndPollMs = 10;
constexpr int kConnectTimeoutMs = 1000;  // a datagram socket connects at once

bool IsSessionOf(const UDPSession& session, const SocketAddress& sender) {
    return CompareAddresses(session.clientAddress, sender, true) == 0 &&
           session.clientAddress.port() == sender.port();
}

void CloseSession(UDPSession& session) {
    std::lock_guard lock(session.DestinationLock);
    session.closing = true;
    for (UDPDestination* destination : session.destinations) destination->socket.Shutdown();
}

// False when the session is closing: a destination that joined it then would never be woken.
bool JoinSession(UDPSession& session, UDPDestination& destination) {
    std::lock_guard lock(session.DestinationLock);
    if (session.closing) return false;
    session.destinations.push_back(&destination);
    ++session.liveDestinations;
    return true;
}

void RelayReplies(PFO& pfo, UDPDestination& destination) {
    UDPSession& session = *destination.session;
    char buffer[kMaxDatagramBytes];
    for (;;) {
        const auto received = destination.socket.Receive(buffer, sizeof buffer);
        if (!received || session.closing) return;
        // An empty datagram: the shutdown that ends this thread always comes with `closing`.
        if (*received == 0) continue;
        if (destination.serverCapture) destination.serverCapture->Write(buffer, *received);
        const double bytes = static_cast<double>(*received);
        pfo.ServerBytes.fetch_add(bytes, std::memory_order_relaxed);
        destination.serverData += bytes;
        session.idleMs = 0;
        if (!pfo.ListenSocket.SendTo(buffer, *received, session.clientAddress)) return;
    }
}

// A failed primary destination keeps the session alive until it times out; the primary then
// waits for the other destinations, so that it is the last to leave.
void WaitForSessionEnd(UDPSession& session) {
    WaitWhile([&] { return !session.closing; }, kSessionEndPollMs);
    WaitWhile(
        [&] {
            std::lock_guard lock(session.DestinationLock);
            return session.liveDestinations > 1;
        },
        kSessionEndPollMs);
}

void LeaveSession(PFO& pfo, UDPDestination& destination) {
    UDPSession& session = *destination.session;
    if (destination.primary) WaitForSessionEnd(session);
    {
        std::lock_guard lock(session.DestinationLock);
        std::erase(session.destinations, &destination);
    }
    destination.socket.Close();
    if (destination.primary) {
        std::lock_guard lock(pfo.engine.CounterLock);
        --pfo.SessionCount;
    }
    EmitConnectionEvent(EventId::Ended, pfo,
                        {session.clientAddress, destination.localAddress, destination.target.host,
                         destination.target.port, session.clientData, destination.serverData});
    if (destination.primary) {
        // Last of all, so that an empty session list means every session has ended.
        std::lock_guard lock(pfo.UDPListLock);
        pfo.UDPSessions.erase(session.listPosition);
    } else {
        std::lock_guard lock(session.DestinationLock);
        --session.liveDestinations;
    }
}

// Holds its destination: all of it, the capture file included, is gone before the thread stops
// being counted.
void ReplyThread(PFO& pfo, std::shared_ptr<UDPDestination> destination) {
    RelayReplies(pfo, *destination);
    LeaveSession(pfo, *destination);
}

bool LaunchReplyThread(const PFOPtr& pfo, const std::shared_ptr<UDPDestination>& destination) {
    return StartCountedThread("UDPReply", pfo->engine, pfo, [pfo, held = destination]() mutable {
        ReplyThread(*pfo, std::move(held));
    });
}

bool ForwardToSession(PFO& pfo, const SocketAddress& sender, const char* data, size_t size) {
    std::lock_guard list(pfo.UDPListLock);
    const auto found = std::find_if(pfo.UDPSessions.begin(), pfo.UDPSessions.end(),
                                    [&](const UDPSession* s) { return IsSessionOf(*s, sender); });
    if (found == pfo.UDPSessions.end()) return false;
    UDPSession& session = **found;
    session.clientData.fetch_add(static_cast<double>(size), std::memory_order_relaxed);
    if (session.closing) return true;
    session.idleMs = 0;
    if (session.clientCapture) session.clientCapture->Write(data, size);
    std::lock_guard destinations(session.DestinationLock);
    for (UDPDestination* destination : session.destinations)
        destination->socket.SendAll(data, size);
    return true;
}

// Opens a new client's session: a destination for the main host and for each extra pair, in
// order. A destination that fails is skipped; a failure that would recur for the next ones
// abandons the datagram, keeping the destinations made so far.
class SessionSetUp {
  public:
    SessionSetUp(const PFOPtr& pfo, const SocketAddress& sender, const char* data, size_t size)
        : pfo_(pfo), sender_(sender), data_(data), size_(size) {}

    void Run();

  private:
    enum class Step { Next, Abandon };

    Step AddDestination(const RemoteDestination& target, bool mainDestination);
    std::shared_ptr<UDPDestination> NewDestination(const RemoteDestination& target, Socket socket,
                                                   const SocketAddress& local,
                                                   CaptureFiles capture);
    bool Publish(UDPDestination& destination);
    void Reject(EventId id, const RemoteDestination& target, const SocketAddress& outboundLocal) {
        EmitConnectionEvent(id, *pfo_, {sender_, outboundLocal, target.host, target.port});
    }

    const PFOPtr& pfo_;
    const SocketAddress& sender_;
    const char* const data_;
    const size_t size_;
    std::shared_ptr<UDPSession> session_;  // from the primary destination on
};

void SessionSetUp::Run() {
    PFO& pfo = *pfo_;
    const RemoteDestination main{pfo.RemoteHost, pfo.RemotePort};
    if (pfo.SessionCount >= pfo.MaxSessions)
        return Reject(EventId::RejectedTooManySessions, main, pfo.PlaceholderOLAddress);
    if (AddDestination(main, true) == Step::Abandon) return;
    for (const RemoteDestination& extra : pfo.ExtraRemoteDestinations)
        if (AddDestination(extra, false) == Step::Abandon) return;
}

SessionSetUp::Step SessionSetUp::AddDestination(const RemoteDestination& target,
                                                bool mainDestination) {
    PFO& pfo = *pfo_;
    const SocketAddress& placeholder = pfo.PlaceholderOLAddress;
    if (ThreadLimitReached(pfo.engine)) {
        Reject(EventId::RejectedTooManyThreads, target, placeholder);
        return Step::Abandon;
    }
    const auto address = DestinationAddress(pfo, target, sender_, mainDestination);
    if (!address) {
        Reject(EventId::RejectedRemoteUnresolved, target, placeholder);
        return Step::Next;
    }
    auto opened = Socket::Open(address->family(), SocketType::Datagram);
    if (!opened) {
        Reject(EventId::RejectedNoSocket, target, placeholder);
        return Step::Next;
    }
    Socket socket = std::move(*opened);
    SocketAddress bindAddress;
    const uint16_t fixedPort = pfo.UDP_Port_Bind ? target.port : pfo.OLPort;
    if (!BindOutbound(pfo, socket, *address, fixedPort, bindAddress)) {
        Reject(EventId::RejectedOLUnresolved, target, placeholder);
        return Step::Abandon;
    }
    if (!socket.Connect(*address, kConnectTimeoutMs, &pfo.StopRequested)) {
        Reject(EventId::RejectedConnectFailed, target, bindAddress);
        return Step::Next;
    }
    const auto local = socket.LocalAddress();
    if (!local) {
        Reject(EventId::RejectedBadSocket, target, placeholder);
        return Step::Abandon;
    }
    CaptureFiles capture = OpenSessionCapture({pfo, sender_, *local, target.host, target.port,
                                               session_ ? session_->clientCapture : nullptr});
    const auto destination = NewDestination(target, std::move(socket), *local, std::move(capture));
    if (!destination) {
        Reject(EventId::RejectedAllocation, target, placeholder);
        return Step::Abandon;
    }
    // Listed before it sends, so that an ICMP error about this very datagram finds the session.
    if (!Publish(*destination)) return Step::Abandon;
    if (destination->primary && session_->clientCapture)
        session_->clientCapture->Write(data_, size_);
    destination->socket.SendAll(data_, size_);
    EmitConnectionEvent(EventId::Accepted, pfo, {sender_, *local, target.host, target.port});
    if (LaunchReplyThread(pfo_, destination)) return Step::Next;
    // Without its thread the destination ends at once, and a primary takes its session along.
    if (destination->primary) CloseSession(*session_);
    LeaveSession(pfo, *destination);
    return Step::Abandon;
}

std::shared_ptr<UDPDestination> SessionSetUp::NewDestination(const RemoteDestination& target,
                                                             Socket socket,
                                                             const SocketAddress& local,
                                                             CaptureFiles capture) {
    const bool primary = !session_;
    try {
        if (primary)
            session_ = std::make_shared<UDPSession>(sender_, local.port(), double(size_),
                                                    std::move(capture.client));
        return std::make_shared<UDPDestination>(session_, primary, target, std::move(socket), local,
                                                std::move(capture.server));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool SessionSetUp::Publish(UDPDestination& destination) {
    PFO& pfo = *pfo_;
    if (!destination.primary) return JoinSession(*session_, destination);
    {
        std::lock_guard list(pfo.UDPListLock);
        // A stop's final sweep may have passed already: a session listed now would never close.
        if (pfo.StopRequested) return false;
        session_->listPosition = pfo.UDPSessions.insert(pfo.UDPSessions.end(), session_.get());
        JoinSession(*session_, destination);
    }
    std::lock_guard counters(pfo.engine.CounterLock);
    ++pfo.SessionCount;
    ++pfo.TotalSessions;
    return true;
}

}  // namespace

void ForwardClientDatagram(const PFOPtr& pfo, const SocketAddress& sender, const char* data,
                           size_t size) {
    if (!ForwardToSession(*pfo, sender, data, size)) SessionSetUp(pfo, sender, data, size).Run();
}

void SweepUDPSessions(PFO& pfo) {
    std::lock_guard lock(pfo.UDPListLock);
    for (UDPSession* session : pfo.UDPSessions) {
        if (session->closing) continue;
        const int32_t idle = session->idleMs.fetch_add(kUDPSweepPeriodMs) + kUDPSweepPeriodMs;
        if (idle > pfo.UDPSessionTimeout) CloseSession(*session);
    }
}

void CloseUDPSessions(PFO& pfo, const std::function<bool(const SocketAddress& client)>& ends) {
    std::lock_guard lock(pfo.UDPListLock);
    for (UDPSession* session : pfo.UDPSessions) {
        if (ends(session->clientAddress)) CloseSession(*session);
    }
}

bool HasUDPSessions(PFO& pfo) {
    std::lock_guard lock(pfo.UDPListLock);
    return !pfo.UDPSessions.empty();
}

}  // namespace qf
