#include "engine/tcp_session.h"

#include <optional>
#include <utility>

#include "engine/capture.h"
#include "engine/connection_event.h"
#include "engine/destinations.h"
#include "engine/engine_state.h"
#include "engine/engine_threads.h"
#include "platform/thread.h"

namespace qf {
namespace {

constexpr int kConnectTimeoutMs = 21000;
constexpr size_t kRelayBufferBytes = 65536;

enum class Direction { ServerToClient, ClientToServer };

void FinishSession(TCPSession& session) {
    PFO& pfo = *session.pfo;
    {
        std::lock_guard lock(pfo.TCPListLock);
        pfo.TCPSessions.erase(session.listPosition);
    }
    // Counted out before it is reported, so that a client who reads "ended" finds room.
    {
        std::lock_guard lock(pfo.engine.CounterLock);
        --pfo.SessionCount;
    }
    EmitConnectionEvent(EventId::Ended, pfo,
                        {session.clientAddress, session.outboundLocal, pfo.RemoteHost,
                         pfo.RemotePort, session.clientData, session.serverData});
}

// The last relay (or the set-up thread, when the second relay could not start) ends it.
void LeaveSession(std::shared_ptr<TCPSession>& session) {
    if (--session->relaysRunning == 0) FinishSession(*session);
    session.reset();
}

void ShutDownOnce(TCPSession& session, Socket& destination, Socket& source) {
    if (session.socketsShutDown.exchange(true)) return;
    destination.Shutdown();
    source.Shutdown();
}

// Moves one direction until either side ends; returns when the relay must stop.
template <class Forward>
void RelayLoop(Socket& source, Socket& destination, std::atomic<double>& pfoBytes,
               double& sessionBytes, Forward& forward) {
    for (;;) {
        const auto received = forward.Receive(source);
        if (!received || *received == 0) return;
        pfoBytes.fetch_add(static_cast<double>(*received), std::memory_order_relaxed);
        sessionBytes += static_cast<double>(*received);
        if (!forward.Send(destination, *received)) return;
    }
}

// Captured bytes pass through user space anyway: each chunk goes to its file first.
struct CopyingForward {
    CaptureFile* capture;
    char buffer[kRelayBufferBytes];
    Result<size_t> Receive(Socket& source) {
        auto received = source.Receive(buffer, sizeof buffer);
        if (received && *received > 0 && capture) capture->Write(buffer, *received);
        return received;
    }
    Status Send(Socket& destination, size_t size) { return destination.SendAll(buffer, size); }
};

// Apart, so that the buffer is on the stack of the copying relays only.
[[gnu::noinline]] void CopyingRelay(Socket& source, Socket& destination,
                                    std::atomic<double>& pfoBytes, double& sessionBytes,
                                    CaptureFile* capture) {
    CopyingForward forward;  // the buffer is left as it is: only received bytes are read
    forward.capture = capture;
    RelayLoop(source, destination, pfoBytes, sessionBytes, forward);
}

// Without capture the bytes never need to enter user space.
struct SplicingForward {
    Pipe& pipe;
    bool empty = true;  // false while bytes may wait in the pipe
    Result<size_t> Receive(Socket& source) {
        auto received = pipe.FillFrom(source, kRelayBufferBytes);
        empty = !received || *received == 0;
        return received;
    }
    Status Send(Socket& destination, size_t size) {
        Status sent = pipe.DrainTo(destination, size);
        empty = bool(sent);
        return sent;
    }
};

// A relay thread keeps its pipe for the next relay it runs after parking, as long as the pipe
// was left empty: opening and closing two pipes per session is measurable in short sessions.
thread_local std::optional<Pipe> sparePipe;

std::optional<Pipe> TakePipe() {
    if (sparePipe) return std::exchange(sparePipe, std::nullopt);
    auto pipe = Pipe::Open();
    if (!pipe) return std::nullopt;
    return std::move(*pipe);
}

void SplicingRelay(Socket& source, Socket& destination, std::atomic<double>& pfoBytes,
                   double& sessionBytes, Pipe& pipe) {
    SplicingForward forward{pipe};
    RelayLoop(source, destination, pfoBytes, sessionBytes, forward);
    if (forward.empty) sparePipe = std::move(pipe);
}

void Relay(std::shared_ptr<TCPSession> session, Direction direction) {
    PFO* pfo = session->pfo.get();
    const bool fromServer = direction == Direction::ServerToClient;
    Socket& source = fromServer ? session->server : session->client;
    Socket& destination = fromServer ? session->client : session->server;
    std::atomic<double>& pfoBytes = fromServer ? pfo->ServerBytes : pfo->ClientBytes;
    double& sessionBytes = fromServer ? session->serverData : session->clientData;
    CaptureFile* capture = (fromServer ? session->capture.server : session->capture.client).get();
    auto pipe = capture ? std::nullopt : TakePipe();
    if (pipe) {
        SplicingRelay(source, destination, pfoBytes, sessionBytes, *pipe);
    } else {
        CopyingRelay(source, destination, pfoBytes, sessionBytes, capture);
    }
    ShutDownOnce(*session, destination, source);
    LeaveSession(session);
}

bool LaunchRelay(const std::shared_ptr<TCPSession>& session, Direction direction) {
    ++session->relaysRunning;
    if (StartCountedThread(
            "TCPSession", session->pfo->engine, session->pfo,
            [session, direction]() mutable { Relay(std::move(session), direction); }))
        return true;
    --session->relaysRunning;
    return false;
}

class SessionSetUp {
  public:
    SessionSetUp(PFOPtr pfo, Socket client, const SocketAddress& clientAddress)
        : pfo_(std::move(pfo)), client_(std::move(client)), clientAddress_(clientAddress) {}

    // The session, holding the share of the relay that the caller runs next, or nothing.
    std::shared_ptr<TCPSession> Run();

  private:
    void Reject(EventId id, const SocketAddress& outboundLocal) {
        EmitConnectionEvent(id, *pfo_,
                            {clientAddress_, outboundLocal, pfo_->RemoteHost, pfo_->RemotePort});
    }
    bool ResolveDestination();
    std::shared_ptr<TCPSession> StartRelays();

    PFOPtr pfo_;
    Socket client_;
    Socket server_;
    const SocketAddress clientAddress_;
    SocketAddress destination_;
    SocketAddress bindAddress_;
};

bool SessionSetUp::ResolveDestination() {
    PFO& pfo = *pfo_;
    auto destination =
        DestinationAddress(pfo, {pfo.RemoteHost, pfo.RemotePort}, clientAddress_, true);
    if (!destination) {
        Reject(EventId::RejectedRemoteUnresolved, pfo.PlaceholderOLAddress);
        return false;
    }
    destination_ = *destination;
    return true;
}

std::shared_ptr<TCPSession> SessionSetUp::StartRelays() {
    PFO& pfo = *pfo_;
    auto session =
        std::make_shared<TCPSession>(pfo_, std::move(client_), std::move(server_), clientAddress_);
    session->outboundLocal = bindAddress_;
    session->capture = OpenSessionCapture(
        {pfo, clientAddress_, bindAddress_, pfo.RemoteHost, pfo.RemotePort, nullptr});
    {
        std::lock_guard lock(pfo.TCPListLock);
        session->listPosition = pfo.TCPSessions.insert(pfo.TCPSessions.end(), session.get());
    }
    // The set-up thread's share becomes the client-to-server relay's; until that relay runs,
    // the session cannot end (and report it) before it has been reported accepted.
    session->relaysRunning = 1;
    if (!LaunchRelay(session, Direction::ServerToClient)) {
        std::lock_guard lock(pfo.TCPListLock);
        pfo.TCPSessions.erase(session->listPosition);
        return nullptr;
    }
    {
        std::lock_guard lock(pfo.engine.CounterLock);
        ++pfo.SessionCount;
        ++pfo.TotalSessions;
    }
    if (pfo.StopRequested) {
        ShutDownOnce(*session, session->server, session->client);
    } else {
        EmitConnectionEvent(EventId::Accepted, pfo,
                            {clientAddress_, bindAddress_, pfo.RemoteHost, pfo.RemotePort});
    }
    return session;
}

std::shared_ptr<TCPSession> SessionSetUp::Run() {
    PFO& pfo = *pfo_;
    if (!ResolveDestination()) return nullptr;
    auto server = Socket::Open(destination_.family(), SocketType::Stream);
    if (!server) {
        Reject(EventId::RejectedNoSocket, pfo.PlaceholderOLAddress);
        return nullptr;
    }
    server_ = std::move(*server);
    if (!BindOutbound(pfo, server_, destination_, pfo.OLPort, bindAddress_)) {
        Reject(EventId::RejectedOLUnresolved, pfo.PlaceholderOLAddress);
        return nullptr;
    }
    if (!server_.Connect(destination_, kConnectTimeoutMs, &pfo.StopRequested)) {
        Reject(EventId::RejectedConnectFailed, bindAddress_);
        return nullptr;
    }
    if (auto local = server_.LocalAddress()) bindAddress_ = *local;
    if (pfo.TCP_NoDelay) {
        client_.SetNoDelay(true);
        server_.SetNoDelay(true);
    }
    if (pfo.TCP_KeepAlive) {
        const int interval = pfo.engine.preferences.TCPKeepAliveInterval;
        client_.SetKeepAlive(interval);
        server_.SetKeepAlive(interval);
    }
    return StartRelays();
}

}  // namespace

void RunTCPSession(const PFOPtr& pfo, Socket client, const SocketAddress& clientAddress,
                   const std::function<void()>& setUpEnded) {
    std::shared_ptr<TCPSession> session = SessionSetUp(pfo, std::move(client), clientAddress).Run();
    setUpEnded();
    // Relaying on the thread that set the session up saves starting a third thread for it.
    if (session) Relay(std::move(session), Direction::ClientToServer);
}

void ShutDownTCPSessions(PFO& pfo, const std::function<bool(const SocketAddress& client)>& ends) {
    std::lock_guard lock(pfo.TCPListLock);
    for (TCPSession* session : pfo.TCPSessions) {
        if (ends(session->clientAddress)) session->server.Shutdown();
    }
}

}  // namespace qf
