#include "engine/connection_event.h"
#include "engine/engine_threads.h"
#include "engine/icmp_forwarder.h"
#include "engine/ip_admission.h"
#include "engine/udp_session.h"

namespace qf {
namespace {

constexpr int kStopPollMs = 10;

bool SweeperMustEnd(const PFO& pfo) {
    return pfo.StopRequested || pfo.Status == PFOStatus::Stopping;
}

// Advances the idle time of every session every 100 ms, on a schedule of its own so that late
// wake-ups do not stretch the time-outs; at the end closes every session.
void SweeperThread(PFO& pfo) {
    int64_t nextSweep = MonotonicMs() + kUDPSweepPeriodMs;
    while (!SweeperMustEnd(pfo)) {
        const int64_t wait = nextSweep - MonotonicMs();
        if (wait > 0) {
            SleepMs(static_cast<int>(std::min<int64_t>(wait, kStopPollMs)));
            continue;
        }
        SweepUDPSessions(pfo);
        nextSweep += kUDPSweepPeriodMs;
    }
    CloseUDPSessions(pfo, [](const SocketAddress&) { return true; });
    pfo.SweeperFinished = true;
}

bool LaunchSweeper(const PFOPtr& pfo) {
    pfo->SweeperFinished = false;
    if (StartCountedThread("UDPSweeper", pfo->engine, pfo, [pfo] { SweeperThread(*pfo); }))
        return true;
    pfo->SweeperFinished = true;
    return false;
}

// The sweeper starts last, so that a failed start never has to wait for it.
bool OpenUDPListener(const PFOPtr& pfo) {
    if (!OpenListenSocket(*pfo, SocketType::Datagram)) return false;
    // Only IPv4 errors are understood; for an IPv6 listener the option has no effect.
    const bool forwardICMP = pfo->ForwardICMPForUDP && pfo->ListenAddress.isIPv4();
    if (forwardICMP && !StartICMPForwarding(pfo)) {
        pfo->ListenSocket.Close();
        return false;
    }
    if (LaunchSweeper(pfo)) return true;
    RecordStartError(*pfo, "unable to start the UDP session sweeper");
    StopICMPForwarding(*pfo);
    pfo->ListenSocket.Close();
    return false;
}

void ReceiveLoop(const PFOPtr& pfo) {
    std::vector<char> buffer(kMaxDatagramBytes);
    for (;;) {
        SocketAddress sender;
        const auto received = pfo->ListenSocket.ReceiveFrom(buffer.data(), buffer.size(), sender);
        if (pfo->StopRequested) return;
        if (!received) {
            // An ICMP error about an earlier datagram of ours says nothing about the next one.
            const ErrorKind kind = received.error().kind();
            if (kind == ErrorKind::Refused || kind == ErrorKind::Reset) continue;
            return;
        }
        // Nothing to forward; the shutdown by a stop reads as empty too, but comes with
        // StopRequested.
        if (*received == 0) continue;
        if (!AdmittedByIPFilters(*pfo, sender)) {
            EmitConnectionEvent(
                EventId::RejectedBadIP, *pfo,
                {sender, pfo->PlaceholderOLAddress, pfo->RemoteHost, pfo->RemotePort});
            continue;
        }
        pfo->ClientBytes.fetch_add(static_cast<double>(*received), std::memory_order_relaxed);
        ForwardClientDatagram(pfo, sender, buffer.data(), *received);
    }
}

void EndUDPListener(PFO& pfo) {
    pfo.Status = PFOStatus::Stopping;
    StopICMPForwarding(pfo);
    WaitWhile([&] { return !pfo.SweeperFinished; });
    // Reply threads send on ListenSocket until their session has ended.
    WaitWhile([&] { return HasUDPSessions(pfo); });
    pfo.ListenSocket.Close();
    pfo.Status = PFOStatus::Stopped;
}

void UDPListenerThread(const PFOPtr& pfo) {
    if (!OpenUDPListener(pfo)) {
        pfo->Status = PFOStatus::ErrorStarting;
        return;
    }
    PFOStatus expected = PFOStatus::Starting;
    // A stop that came during start-up has already set Stopping: skip the loop.
    if (pfo->Status.compare_exchange_strong(expected, PFOStatus::Started)) ReceiveLoop(pfo);
    EndUDPListener(*pfo);
}

}  // namespace

bool LaunchUDPListener(const PFOPtr& pfo) {
    return StartCountedThread("UDPListener", pfo->engine, pfo, [pfo] { UDPListenerThread(pfo); });
}

}  // namespace qf
