#include <sys/socket.h>

#include <thread>

#include "engine/engine_fixture.h"

namespace qf::testing {
namespace {

class TCPSessionTest : public EngineTest {
  protected:
    // A started PFO in front of `server`.
    PFOPtr StartedPFO(const TestServer& server) {
        PFOPtr pfo = AddTCPPFO(FreePort(), server.port());
        pfo->Enabled = true;
        EXPECT_TRUE(TickUntil(*pfo, PFOStatus::Started));
        return pfo;
    }
};

TEST_F(TCPSessionTest, RelaysBothWaysByteExactAndReportsTotals) {
    TestServer server(Echo);
    PFOPtr pfo = StartedPFO(server);
    const std::string sent = Pattern(16 << 20, 1);

    Socket client = ConnectTo(pfo->LocalPort);
    std::thread writer([&] { EXPECT_TRUE(client.SendAll(sent.data(), sent.size())); });
    std::string echoed;
    char buffer[65536];
    while (echoed.size() < sent.size()) {
        auto n = client.Receive(buffer, sizeof buffer);
        ASSERT_TRUE(n && *n > 0);
        echoed.append(buffer, *n);
    }
    writer.join();
    client.Close();

    EXPECT_TRUE(echoed == sent);
    ASSERT_TRUE(sink.WaitForCount(EventId::Ended, 1));
    const auto ended = sink.EventsWithId(EventId::Ended).at(0);
    EXPECT_EQ(ended.clientData, double(sent.size()));
    EXPECT_EQ(ended.serverData, double(sent.size()));
    EXPECT_EQ(ended.protocol, u"TCP");
    const auto accepted = sink.EventsWithId(EventId::Accepted).at(0);
    EXPECT_EQ(accepted.clientPort, ended.clientPort);
    EXPECT_EQ(accepted.olAddress, ended.olAddress);
    EXPECT_NE(ended.olPort, 0);
    EXPECT_EQ(pfo->ClientBytes.load(), double(sent.size()));
    EXPECT_EQ(pfo->TotalSessions, 1);
    EXPECT_TRUE(WaitUntil([&] { return pfo->SessionCount == 0; }));
}

TEST_F(TCPSessionTest, ClientThatSendsAndClosesAtOnceHasEveryByteDelivered) {
    std::mutex mutex;
    std::string received;
    TestServer server([&](Socket& s) {
        std::string all = ReadAll(s);
        std::lock_guard lock(mutex);
        received = std::move(all);
    });
    PFOPtr pfo = StartedPFO(server);
    const std::string sent = Pattern(3 << 20, 2);
    {
        Socket client = ConnectTo(pfo->LocalPort);
        ASSERT_TRUE(client.SendAll(sent.data(), sent.size()));
    }
    ASSERT_TRUE(sink.WaitForCount(EventId::Ended, 1));
    EXPECT_TRUE(WaitUntil([&] {
        std::lock_guard lock(mutex);
        return received.size() == sent.size();
    }));
    std::lock_guard lock(mutex);
    EXPECT_TRUE(received == sent);
    const auto ended = sink.EventsWithId(EventId::Ended).at(0);
    EXPECT_EQ(ended.clientData, double(sent.size()));
    EXPECT_EQ(ended.serverData, 0.0);
}

TEST_F(TCPSessionTest, SessionLimitRefusesAndRecovers) {
    TestServer server(Echo);
    PFOPtr pfo = StartedPFO(server);
    pfo->MaxSessions = 1;

    Socket first = ConnectTo(pfo->LocalPort);
    ASSERT_TRUE(sink.WaitForCount(EventId::Accepted, 1));
    Socket second = ConnectTo(pfo->LocalPort);
    ASSERT_TRUE(sink.WaitForCount(EventId::RejectedTooManySessions, 1));
    EXPECT_EQ(ReadAll(second), "");  // closed at once

    first.Close();
    ASSERT_TRUE(sink.WaitForCount(EventId::Ended, 1));
    Socket third = ConnectTo(pfo->LocalPort);
    ASSERT_TRUE(third.SendAll("ping", 4));
    char reply[4];
    auto n = third.Receive(reply, 4);
    ASSERT_TRUE(n);
    EXPECT_EQ(std::string(reply, *n), "ping");
    EXPECT_EQ(sink.EventsWithId(EventId::Accepted).size(), 2u);
}

TEST_F(TCPSessionTest, RefusedDestinationIsReported) {
    PFOPtr pfo = AddTCPPFO(FreePort(), FreePort());
    pfo->Enabled = true;
    ASSERT_TRUE(TickUntil(*pfo, PFOStatus::Started));
    Socket client = ConnectTo(pfo->LocalPort);
    ASSERT_TRUE(sink.WaitForCount(EventId::RejectedConnectFailed, 1));
    EXPECT_EQ(ReadAll(client), "");
    const auto event = sink.EventsWithId(EventId::RejectedConnectFailed).at(0);
    EXPECT_EQ(event.clientData, -1.0);
    EXPECT_EQ(event.remoteHost, u"127.0.0.1");
    EXPECT_EQ(pfo->Status, PFOStatus::Started);
}

TEST_F(TCPSessionTest, BlankRemoteHostAndBounceForwardToTheClientsOwnAddress) {
    TestServer server(Echo);
    for (bool bounce : {false, true}) {
        PFOPtr pfo = StartedPFO(server);
        pfo->RemoteHost = bounce ? u"192.0.2.1" : u"";
        pfo->Bounce = bounce;
        Socket client = ConnectTo(pfo->LocalPort);
        ASSERT_TRUE(client.SendAll("x", 1));
        char c;
        EXPECT_TRUE(client.Receive(&c, 1));
        client.Close();
        ASSERT_TRUE(sink.WaitForCount(EventId::Ended, bounce ? 2 : 1));
        const auto ended = sink.EventsWithId(EventId::Ended).back();
        EXPECT_EQ(ended.remoteHost, bounce ? texts.Program(119) : u"");
    }
}

TEST_F(TCPSessionTest, OutboundLocalPortIsUsedOnTheRoutingInterface) {
    TestServer server(Echo);
    PFOPtr pfo = AddTCPPFO(FreePort(), server.port());
    pfo->OLPort = FreePort();
    pfo->Enabled = true;
    ASSERT_TRUE(TickUntil(*pfo, PFOStatus::Started));
    Socket client = ConnectTo(pfo->LocalPort);
    ASSERT_TRUE(sink.WaitForCount(EventId::Accepted, 1));
    const auto accepted = sink.EventsWithId(EventId::Accepted).at(0);
    EXPECT_EQ(accepted.olPort, pfo->OLPort);
    EXPECT_EQ(accepted.olAddress.ToNumericText(), "127.0.0.1");
}

TEST_F(TCPSessionTest, StopEndsOpenSessionsAndWaitsForEveryThread) {
    TestServer server(Echo);
    PFOPtr pfo = StartedPFO(server);
    std::vector<Socket> clients;
    for (int i = 0; i < 5; ++i) clients.push_back(ConnectTo(pfo->LocalPort));
    ASSERT_TRUE(sink.WaitForCount(EventId::Accepted, 5));

    pfo->Enabled = false;
    StopPFO(*pfo);
    EXPECT_EQ(pfo->Status, PFOStatus::Stopped);
    EXPECT_EQ(pfo->PFOThreadCount, 0);
    EXPECT_EQ(pfo->SessionCount, 0);
    EXPECT_EQ(sink.EventsWithId(EventId::Ended).size(), 5u);
    for (auto& c : clients) EXPECT_EQ(ReadAll(c), "");
}

// Relay threads and their pipes are reused: bytes left in a pipe by a session whose server
// went away must never reach the next session.
TEST_F(TCPSessionTest, BytesStrandedByABrokenSessionNeverReachTheNext) {
    std::atomic<int> connections{0};
    TestServer server([&](Socket& s) {
        if (connections++ < 6) return s.Close();  // unread bytes make the close a reset
        Echo(s);
    });
    PFOPtr pfo = StartedPFO(server);
    const std::string flood = Pattern(4 << 20, 7);
    for (int i = 0; i < 6; ++i) {
        Socket client = ConnectTo(pfo->LocalPort);
        client.SendAll(flood.data(), flood.size());
        ReadAll(client);
    }
    ASSERT_TRUE(sink.WaitForCount(EventId::Ended, 6));
    for (unsigned i = 0; i < 20; ++i) {
        Socket client = ConnectTo(pfo->LocalPort);
        const timeval limit{5, 0};  // a stuck relay fails the test instead of hanging it
        setsockopt(client.handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        const std::string text = Pattern(1000 + i, i);
        ASSERT_EQ(RoundTrip(client, text), text) << "session " << i;
    }
}

TEST_F(TCPSessionTest, StopRacingShortConnectionsLeavesNothingBehind) {
    TestServer server(Echo);
    const int before = OpenSocketCount();
    PFOPtr pfo = StartedPFO(server);
    pfo->MaxSessions = 1000;
    std::atomic<int> done{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 4; ++t) {
        clients.emplace_back([&] {
            for (int i = 0; i < 50; ++i, ++done) {
                auto s = Socket::Open(AddressFamily::IPv4, SocketType::Stream);
                if (!s->Connect(SocketAddress::Loopback(AddressFamily::IPv4, pfo->LocalPort), 2000,
                                nullptr))
                    continue;
                s->SendAll("hello", 5);
                char buffer[8];
                s->Receive(buffer, sizeof buffer);
            }
        });
    }
    WaitUntil([&] { return done >= 60; });
    pfo->Enabled = false;
    StopPFO(*pfo);
    for (auto& t : clients) t.join();

    EXPECT_EQ(pfo->Status, PFOStatus::Stopped);
    EXPECT_EQ(pfo->PFOThreadCount, 0);
    EXPECT_EQ(pfo->SessionCount, 0);
    EXPECT_TRUE(pfo->TCPSessions.empty());
    EXPECT_TRUE(WaitUntil([&] { return engine.ThreadCount == 1 && engine.PendingConnects == 0; }));
    // Every relayed session ends once; one set up while stopping ends without being accepted.
    const size_t ended = sink.EventsWithId(EventId::Ended).size();
    EXPECT_EQ(ended, size_t(pfo->TotalSessions.load()));
    EXPECT_LE(sink.EventsWithId(EventId::Accepted).size(), ended);
    // The echo server closes its side once it sees the forwarder's close.
    EXPECT_TRUE(WaitUntil([&] { return OpenSocketCount() == before; }));
}

}  // namespace
}  // namespace qf::testing
