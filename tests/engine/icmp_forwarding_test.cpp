#include "engine/engine_fixture.h"
#include "engine/icmp_message.h"
#include "support/network_namespace.h"

namespace qf::testing {
namespace {

const IPv4Bytes kLoopback = {127, 0, 0, 1};

Socket RawICMPSocket() {
    auto s = Socket::Open(AddressFamily::IPv4, SocketType::RawIcmp);
    return s ? std::move(*s) : Socket();
}

// The ICMP message of a received IP packet.
std::span<const uint8_t> ICMPPart(const std::string& packet) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(packet.data());
    const size_t headerLength = (bytes[0] & 0x0F) * 4u;
    return {bytes + headerLength, packet.size() - headerLength};
}

class ICMPForwardingTest : public EngineTest {
  protected:
    PFOPtr StartedPFO(uint16_t remotePort, bool bounce) {
        PFOPtr pfo = AddUDPPFO(FreePort(), remotePort);
        pfo->ForwardICMPForUDP = true;
        pfo->Bounce = bounce;
        pfo->Enabled = true;
        EXPECT_TRUE(TickUntil(*pfo, PFOStatus::Started)) << TextToUtf8(pfo->StartError);
        return pfo;
    }

    // An ICMP message as a host would send it about our datagram from `sourcePort` to
    // `destinationPort` on loopback.
    static std::array<uint8_t, kClientICMPErrorSize> About(uint8_t type, uint16_t sourcePort,
                                                           uint16_t destinationPort) {
        ICMPError error;
        error.type = type;
        error.code = type == 3 ? 3 : 0;
        error.embeddedHeader = {0x45, 0, 0, 29, 0, 0, 0, 0, 64, 17};
        error.udpLength = {0, 9};
        return BuildClientICMPError(error, kLoopback, sourcePort, kLoopback, destinationPort);
    }
};

// Errors forwarded to `client` about its datagrams to the PFO.
std::function<bool(const DatagramPeer::Datagram&)> ForwardedTo(const DatagramPeer& client,
                                                               const PFO& pfo) {
    return [clientPort = client.port(), localPort = pfo.LocalPort](const auto& d) {
        const auto error = ParseICMPError(std::span<const uint8_t>(
            reinterpret_cast<const uint8_t*>(d.payload.data()), d.payload.size()));
        return error && error->sourcePort == clientPort && error->destinationPort == localPort;
    };
}

TEST_F(ICMPForwardingTest, PortUnreachableReachesTheClientAboutItsOwnDatagram) {
    const std::string skip = RunInNetworkNamespace([&]() -> std::string {
        for (bool bounce : {false, true}) {
            SCOPED_TRACE(bounce ? "bounce" : "remote host");
            PFOPtr pfo = StartedPFO(FreePort(), bounce);  // nobody listens there
            DatagramPeer watcher(RawICMPSocket());
            DatagramPeer client;
            client.SendTo(pfo->LocalPort, "hello");
            EXPECT_TRUE(watcher.WaitFor(1, ForwardedTo(client, *pfo)));

            for (const auto& d : watcher.Received()) {
                if (!ForwardedTo(client, *pfo)(d)) continue;
                const auto icmp = ICMPPart(d.payload);
                EXPECT_EQ(icmp.size(), kClientICMPErrorSize);
                if (icmp.size() != kClientICMPErrorSize) continue;
                EXPECT_EQ(icmp[0], 3);
                EXPECT_EQ(icmp[1], 3);
                EXPECT_EQ(InternetChecksum(icmp), 0);
                EXPECT_EQ(InternetChecksum(icmp.subspan(8, 20)), 0);
                const auto error = *ParseICMPError(std::span<const uint8_t>(
                    reinterpret_cast<const uint8_t*>(d.payload.data()), d.payload.size()));
                EXPECT_EQ(error.embeddedSource, kLoopback);
                EXPECT_EQ(error.embeddedDestination, kLoopback);
                EXPECT_EQ(error.udpLength, (std::array<uint8_t, 2>{0, 8 + 5}));
            }

            // The receiver has ended by the time the PFO reports Stopped.
            std::atomic<bool> runningAtStopped{true};
            std::thread observer([&] {
                const int64_t deadline = MonotonicMs() + 5000;
                while (pfo->Status != PFOStatus::Stopped && MonotonicMs() < deadline)
                    std::this_thread::yield();
                runningAtStopped = pfo->ICMPReceiverRunning.load();
            });
            pfo->Enabled = false;
            StopPFO(*pfo);
            observer.join();
            EXPECT_FALSE(runningAtStopped);
            EXPECT_EQ(pfo->PFOThreadCount, 0);
            EXPECT_FALSE(pfo->ICMPSocket.valid());
        }
        return "";
    });
    if (!skip.empty()) GTEST_SKIP() << skip;
}

TEST_F(ICMPForwardingTest, OnlyWholeErrorsOfTheForwardedTypesReachTheClient) {
    const std::string skip = RunInNetworkNamespace([&]() -> std::string {
        DatagramPeer server([](const std::string& p) { return p; });
        PFOPtr pfo = StartedPFO(server.port(), false);
        DatagramPeer client;
        client.SendTo(pfo->LocalPort, "x");
        EXPECT_TRUE(client.WaitFor(1));
        const uint16_t primaryPort = sink.EventsWithId(EventId::Accepted).at(0).olPort;

        DatagramPeer injector(RawICMPSocket());
        const auto inject = [&](uint8_t type, size_t bytes = kClientICMPErrorSize) {
            const auto message = About(type, primaryPort, server.port());
            injector.SendTo(SocketAddress::Loopback(AddressFamily::IPv4),
                            std::string_view(reinterpret_cast<const char*>(message.data()), bytes));
        };
        inject(0);      // echo reply
        inject(5);      // redirect
        inject(3, 35);  // a port unreachable one byte short
        inject(4);      // source quench
        inject(11);     // time exceeded
        // Packets are handled in order: the last one forwarded means the others were seen.
        EXPECT_TRUE(injector.WaitFor(2, ForwardedTo(client, *pfo)));
        std::vector<uint8_t> forwardedTypes;
        for (const auto& d : injector.Received())
            if (ForwardedTo(client, *pfo)(d)) forwardedTypes.push_back(ICMPPart(d.payload)[0]);
        EXPECT_EQ(forwardedTypes, (std::vector<uint8_t>{4, 11}));
        return "";
    });
    if (!skip.empty()) GTEST_SKIP() << skip;
}

TEST_F(ICMPForwardingTest, WithoutRawSocketsAnIPv4StartFailsVisiblyAndIPv6IsUnaffected) {
    const std::string skip = RunWithoutRawSockets([&]() -> std::string {
        if (RawICMPSocket().valid()) return "raw sockets are still allowed: CAP_NET_RAW stayed";
        DatagramPeer server([](const std::string& p) { return p; });
        PFOPtr v4 = AddUDPPFO(FreePort(), server.port());
        v4->ForwardICMPForUDP = true;
        v4->Enabled = true;
        EXPECT_TRUE(TickUntil(*v4, PFOStatus::ErrorStarting));
        EXPECT_NE(v4->StartError.find(u"Operation not permitted"), Text::npos)
            << TextToUtf8(v4->StartError);
        EXPECT_TRUE(WaitUntil([&] { return v4->PFOThreadCount == 0; }));
        // Nothing is left open: the port is free again.
        Socket probe = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Datagram));
        EXPECT_TRUE(probe.Bind(SocketAddress::Loopback(AddressFamily::IPv4, v4->LocalPort)));
        probe.Close();
        // The retry fails the same way.
        {
            std::lock_guard lock(v4->ResolvedLock);
            v4->StartError.clear();
        }
        EXPECT_TRUE(WaitUntil([&] {
            Tick();
            SleepMs(engine.preferences.StartStopInterval);
            std::lock_guard lock(v4->ResolvedLock);
            return !v4->StartError.empty();
        }));
        v4->Enabled = false;

        DatagramPeer server6([](const std::string& p) { return p; }, AddressFamily::IPv6);
        PFOPtr v6 = AddUDPPFO(FreePort(), server6.port());
        v6->LocalIP = v6->RemoteHost = u"::1";
        v6->ForwardICMPForUDP = true;
        v6->Enabled = true;
        EXPECT_TRUE(TickUntil(*v6, PFOStatus::Started)) << TextToUtf8(v6->StartError);
        DatagramPeer client({}, AddressFamily::IPv6);
        client.SendTo(v6->LocalPort, "six");
        EXPECT_TRUE(client.WaitFor(1));
        EXPECT_FALSE(v6->ICMPSocket.valid());
        return "";
    });
    if (!skip.empty()) GTEST_SKIP() << skip;
}

}  // namespace
}  // namespace qf::testing
