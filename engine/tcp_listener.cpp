#include <sys/socket.h>

#include <memory>
#include <new>

#include "engine/connection_event.h"
#include "engine/engine_threads.h"
#include "engine/ip_admission.h"
#include "engine/tcp_session.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace qf {
namespace {

// Linux drops the handshakes that find this queue full, and each client then waits a second
// or more to retry: a burst of new connections must find room while set-up threads start.
constexpr int kListenBacklog = SOMAXCONN;
constexpr int kPendingConnectCap = 256;

bool OpenListener(PFO& pfo) {
    if (!OpenListenSocket(pfo, SocketType::Stream)) return false;
    if (Status listening = pfo.ListenSocket.Listen(kListenBacklog); !listening) {
        RecordStartError(pfo, listening.error().Message());
        pfo.ListenSocket.Close();
        return false;
    }
    return true;
}

struct SetUpRecord {
    Socket client;
    SocketAddress clientAddress;
};

void AdjustPendingConnects(EngineState& engine, int delta) {
    std::lock_guard lock(engine.CounterLock);
    engine.PendingConnects += delta;
}

// Admission in order; a refusal reports its event and closes the client.
void Admit(const PFOPtr& pfo, Socket client, const SocketAddress& clientAddress) {
    EngineState& engine = pfo->engine;
    auto reject = [&](EventId id) {
        EmitConnectionEvent(
            id, *pfo, {clientAddress, pfo->PlaceholderOLAddress, pfo->RemoteHost, pfo->RemotePort});
    };
    if (!AdmittedByIPFilters(*pfo, clientAddress)) return reject(EventId::RejectedBadIP);
    if (engine.PendingConnects >= kPendingConnectCap)
        return reject(EventId::RejectedTooManyThreads);
    if (pfo->SessionCount >= pfo->MaxSessions) return reject(EventId::RejectedTooManySessions);
    if (ThreadLimitReached(engine)) return reject(EventId::RejectedTooManyThreads);
    std::unique_ptr<SetUpRecord> record(new (std::nothrow)
                                            SetUpRecord{std::move(client), clientAddress});
    if (!record) return reject(EventId::RejectedAllocation);
    // Counted before the thread starts, so that a stop waiting for it cannot miss it.
    AdjustPendingConnects(engine, +1);
    // A failed start drops the record, which closes the client without an event. The set-up
    // thread and the relays share one thread name: renaming a reused thread costs a system call.
    const bool started =
        StartCountedThread("TCPSession", engine, pfo, [pfo, record = std::move(record)]() mutable {
            RunTCPSession(pfo, std::move(record->client), record->clientAddress,
                          [&pfo] { AdjustPendingConnects(pfo->engine, -1); });
        });
    if (!started) AdjustPendingConnects(engine, -1);
}

void AcceptLoop(const PFOPtr& pfo) {
    for (;;) {
        SocketAddress clientAddress;
        auto accepted = pfo->ListenSocket.Accept(clientAddress);
        if (accepted) {
            Admit(pfo, std::move(*accepted), clientAddress);
            continue;
        }
        if (pfo->StopRequested) return;
        switch (accepted.error().kind()) {
            case ErrorKind::Interrupted:
            case ErrorKind::Aborted: continue;
            case ErrorKind::OutOfResources: SleepMs(10); continue;
            default: return;
        }
    }
}

void TCPListenerThread(const PFOPtr& pfo) {
    if (!OpenListener(*pfo)) {
        pfo->Status = PFOStatus::ErrorStarting;
        return;
    }
    PFOStatus expected = PFOStatus::Starting;
    // A stop that came during start-up has already set Stopping: skip the loop.
    if (pfo->Status.compare_exchange_strong(expected, PFOStatus::Started)) AcceptLoop(pfo);
    pfo->Status = PFOStatus::Stopping;
    pfo->ListenSocket.Close();
    ShutDownTCPSessions(*pfo, [](const SocketAddress&) { return true; });
    pfo->Status = PFOStatus::Stopped;
}

}  // namespace

bool LaunchTCPListener(const PFOPtr& pfo) {
    return StartCountedThread("TCPListener", pfo->engine, pfo, [pfo] { TCPListenerThread(pfo); });
}

}  // namespace qf
