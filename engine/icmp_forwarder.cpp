#include "engine/icmp_forwarder.h"

#include <optional>
#include <vector>

#include "engine/destinations.h"
#include "engine/engine_threads.h"
#include "engine/icmp_message.h"
#include "engine/udp_session.h"
#include "net/address.h"

namespace qf {
namespace {

constexpr size_t kPacketBytes = 65536;
constexpr int kStopPollMs = 10;

bool IsIPv4Host(const SocketAddress& address, const IPv4Bytes& bytes) {
    return address.isIPv4() && address.ipv4Bytes() == bytes;
}

// Whether the error concerns a datagram sent to the main destination.
bool AboutMainDestination(PFO& pfo, const ICMPError& error, bool sentToClient) {
    if (error.destinationPort != pfo.RemotePort) return false;
    if (sentToClient) return true;
    const Text resolved = ResolveDestinationHost(pfo, pfo.RemoteHost, true);
    return !resolved.empty() && IsIPv4Host(ParseAddress(resolved, true), error.embeddedDestination);
}

// The client of the first session whose primary destination sent the datagram in question.
std::optional<SocketAddress> ClientConcerned(PFO& pfo, const ICMPError& error) {
    const bool sentToClient = SendsToClient(pfo, pfo.RemoteHost);
    if (!AboutMainDestination(pfo, error, sentToClient)) return std::nullopt;
    std::lock_guard lock(pfo.UDPListLock);
    for (const UDPSession* session : pfo.UDPSessions) {
        if (session->primaryLocalPort != error.sourcePort) continue;
        if (sentToClient && !IsIPv4Host(session->clientAddress, error.embeddedDestination))
            continue;
        return session->clientAddress;
    }
    return std::nullopt;
}

// The address by which the client knows us; empty when there is none to give.
std::optional<SocketAddress> AddressTowardClient(const PFO& pfo, const SocketAddress& client) {
    if (auto routed = LocalAddressToward(client)) return *routed;
    if (pfo.LocalAddress != SocketAddress::Any(AddressFamily::IPv4)) return pfo.LocalAddress;
    return std::nullopt;
}

void ForwardToClient(PFO& pfo, const ICMPError& error) {
    const auto client = ClientConcerned(pfo, error);
    if (!client) return;
    const auto local = AddressTowardClient(pfo, *client);
    if (!local) return;
    const auto message = BuildClientICMPError(error, client->ipv4Bytes(), client->port(),
                                              local->ipv4Bytes(), pfo.LocalPort);
    pfo.ICMPSocket.SendTo(message.data(), message.size(), *client);
}

void ICMPReceiverThread(PFO& pfo) {
    std::vector<uint8_t> packet(kPacketBytes);
    for (;;) {
        SocketAddress sender;
        const auto received = pfo.ICMPSocket.ReceiveFrom(packet.data(), packet.size(), sender);
        // A stop shuts the socket down, after which every receive is empty.
        if (!received || *received == 0 || pfo.StopRequested) break;
        if (const auto error = ParseICMPError({packet.data(), *received}))
            ForwardToClient(pfo, *error);
    }
    pfo.ICMPReceiverRunning = false;
}

}  // namespace

bool StartICMPForwarding(const PFOPtr& pfo) {
    auto opened = Socket::Open(AddressFamily::IPv4, SocketType::RawIcmp);
    if (!opened) {
        RecordStartError(*pfo, "ICMP forwarding: " + opened.error().Message());
        return false;
    }
    pfo->ICMPSocket = std::move(*opened);
    if (Status bound = pfo->ICMPSocket.Bind(SocketAddress::Any(AddressFamily::IPv4)); !bound) {
        RecordStartError(*pfo, "ICMP forwarding: " + bound.error().Message());
        pfo->ICMPSocket.Close();
        return false;
    }
    pfo->ICMPReceiverRunning = true;
    if (StartCountedThread("ICMPReceiver", pfo->engine, pfo, [pfo] { ICMPReceiverThread(*pfo); }))
        return true;
    pfo->ICMPReceiverRunning = false;
    RecordStartError(*pfo, "unable to start the ICMP receiver");
    pfo->ICMPSocket.Close();
    return false;
}

void StopICMPForwarding(PFO& pfo) {
    pfo.ICMPSocket.Shutdown();
    WaitWhile([&] { return pfo.ICMPReceiverRunning.load(); }, kStopPollMs);
    pfo.ICMPSocket.Close();
}

}  // namespace qf
