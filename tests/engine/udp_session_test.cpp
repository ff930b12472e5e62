#include <map>
#include <set>
#include <thread>

#include "engine/engine_fixture.h"

namespace qf::testing {
namespace {

// Answers every datagram with `tag` + ":" + the datagram.
DatagramPeer::Reply Tagged(std::string tag) {
    return [tag](const std::string& payload) { return tag + ":" + payload; };
}

bool HasPayload(const DatagramPeer::Datagram& d, std::string_view payload) {
    return d.payload == payload;
}

class UDPSessionTest : public EngineTest {
  protected:
    PFOPtr UDPPFO(uint16_t remotePort, std::vector<RemoteDestination> extras = {}) {
        PFOPtr pfo = AddUDPPFO(FreePort(), remotePort);
        pfo->ExtraRemoteDestinations = std::move(extras);
        return pfo;
    }
    // Configuration changes only while the PFO is not running.
    bool Start(const PFOPtr& pfo) {
        pfo->Enabled = true;
        return TickUntil(*pfo, PFOStatus::Started);
    }
};

TEST_F(UDPSessionTest, DatagramsReachEveryDestinationAndRepliesComeFromTheListeningPort) {
    DatagramPeer a(Tagged("a")), b(Tagged("b")), c(Tagged("c"));
    // The blank host of the last pair sends to the client's own address.
    PFOPtr pfo = UDPPFO(a.port(), {{u"127.0.0.1", b.port()}, {u"", c.port()}});
    ASSERT_TRUE(Start(pfo));
    DatagramPeer client;

    for (const char* payload : {"one", "two"}) {
        client.SendTo(pfo->LocalPort, payload);
        for (DatagramPeer* peer : {&a, &b, &c})
            EXPECT_TRUE(peer->WaitFor(1, [&](auto& d) { return HasPayload(d, payload); }));
    }
    ASSERT_TRUE(client.WaitFor(6));
    std::multiset<std::string> replies;
    for (const auto& d : client.Received()) {
        replies.insert(d.payload);
        EXPECT_EQ(d.from, SocketAddress::Loopback(AddressFamily::IPv4, pfo->LocalPort));
    }
    EXPECT_EQ(replies,
              (std::multiset<std::string>{"a:one", "b:one", "c:one", "a:two", "b:two", "c:two"}));

    const auto accepted = sink.EventsWithId(EventId::Accepted);
    ASSERT_EQ(accepted.size(), 3u);
    EXPECT_EQ(accepted[0].remotePort, a.port());
    EXPECT_EQ(accepted[1].remoteHost, u"127.0.0.1");
    EXPECT_EQ(accepted[2].remoteHost, u"");
    EXPECT_EQ(accepted[2].protocol, u"UDP");
    EXPECT_EQ(accepted[0].clientPort, client.port());
    EXPECT_EQ(pfo->SessionCount, 1);
    EXPECT_EQ(pfo->TotalSessions, 1);
    EXPECT_TRUE(WaitUntil([&] { return pfo->ServerBytes == 6 * 5.0; }));
    EXPECT_EQ(pfo->ClientBytes, 6.0);
}

TEST_F(UDPSessionTest, ExtraDestinationServesWhenTheMainOneDoesNotResolve) {
    DatagramPeer extra(Tagged("x"));
    PFOPtr pfo = UDPPFO(1, {{u"127.0.0.1", extra.port()}});
    pfo->RemoteHost = u"no-such-host.invalid";
    ASSERT_TRUE(Start(pfo));
    DatagramPeer client;

    client.SendTo(pfo->LocalPort, "hi");
    ASSERT_TRUE(client.WaitFor(1));
    EXPECT_EQ(client.Received().at(0).payload, "x:hi");
    EXPECT_EQ(sink.EventsWithId(EventId::RejectedRemoteUnresolved).size(), 1u);
    ASSERT_EQ(sink.EventsWithId(EventId::Accepted).size(), 1u);
    EXPECT_EQ(sink.EventsWithId(EventId::Accepted)[0].remotePort, extra.port());

    client.SendTo(pfo->LocalPort, "again");
    ASSERT_TRUE(client.WaitFor(2));
    EXPECT_EQ(client.Received().at(1).payload, "x:again");
    EXPECT_EQ(pfo->SessionCount, 1);
}

TEST_F(UDPSessionTest, IdleSessionEndsAfterItsTimeoutWithOneEndPerDestination) {
    constexpr int kTimeoutMs = 1000;
    DatagramPeer answering(Tagged("r")), silent;
    PFOPtr pfo = UDPPFO(answering.port(), {{u"127.0.0.1", silent.port()}});
    pfo->UDPSessionTimeout = kTimeoutMs;
    ASSERT_TRUE(Start(pfo));
    DatagramPeer client;
    const std::string payload = "twelve bytes";

    const int64_t sentAt = MonotonicMs();
    client.SendTo(pfo->LocalPort, payload);
    ASSERT_TRUE(client.WaitFor(1));
    const int64_t answeredAt = MonotonicMs();
    ASSERT_TRUE(sink.WaitForCount(EventId::Ended, 2, 5000));
    const int64_t endedAt = MonotonicMs();

    // The answer is the last traffic; one sweep (100 ms) may pass before the time-out shows.
    EXPECT_GT(endedAt - sentAt, kTimeoutMs);
    EXPECT_LE(endedAt - answeredAt, kTimeoutMs + 100 + 300);  // 300: scheduling slack
    const auto ended = sink.EventsWithId(EventId::Ended);
    std::map<uint16_t, double> serverData;
    for (const auto& e : ended) {
        EXPECT_EQ(e.clientData, double(payload.size()));
        serverData[e.remotePort] = e.serverData;
    }
    EXPECT_EQ(serverData[answering.port()], double(payload.size() + 2));
    EXPECT_EQ(serverData[silent.port()], 0.0);
    EXPECT_TRUE(WaitUntil([&] { return pfo->SessionCount == 0 && pfo->PFOThreadCount == 2; }));
    EXPECT_EQ(pfo->Status, PFOStatus::Started);
}

TEST_F(UDPSessionTest, SessionLimitRejectsEveryDatagramOfASecondClient) {
    DatagramPeer server(Tagged("s"));
    PFOPtr pfo = UDPPFO(server.port());
    pfo->MaxSessions = 1;
    pfo->UDPSessionTimeout = 1000;
    ASSERT_TRUE(Start(pfo));
    DatagramPeer first, second;

    first.SendTo(pfo->LocalPort, "first");
    ASSERT_TRUE(first.WaitFor(1));
    for (int i = 0; i < 3; ++i) second.SendTo(pfo->LocalPort, "second");
    ASSERT_TRUE(sink.WaitForCount(EventId::RejectedTooManySessions, 3));
    const auto rejected = sink.EventsWithId(EventId::RejectedTooManySessions);
    for (const auto& e : rejected) EXPECT_EQ(e.clientPort, second.port());
    EXPECT_EQ(server.Received().size(), 1u);

    // Once the first session has timed out, the second client gets in.
    ASSERT_TRUE(sink.WaitForCount(EventId::Ended, 1));
    second.SendTo(pfo->LocalPort, "second");
    EXPECT_TRUE(second.WaitFor(1));
}

// Records, for every end of a session, whether the PFO's listening socket was still open.
class ListenSocketAtEnd : public RecordingSink {
  public:
    void Emit(ConnectionEvent event) override {
        if (event.id == EventId::Ended && pfo && !pfo->ListenSocket.valid()) ++endsAfterClose;
        RecordingSink::Emit(std::move(event));
    }
    PFOPtr pfo;
    std::atomic<int> endsAfterClose{0};
};

TEST_F(UDPSessionTest, StopEndsEverySessionBeforeTheListeningSocketIsClosed) {
    DatagramPeer server(Tagged("s"));
    const std::pair<const char*, std::function<void(const PFOPtr&)>> ways[] = {
        {"StopPFO", [](const PFOPtr& pfo) { StopPFO(*pfo); }},
        {"shutdown abort", [this](const PFOPtr& pfo) {
             EXPECT_TRUE(WaitUntil([&] {
                 AbortAll(engine);
                 return !IsPFORunning(*pfo);
             }));
         }}};
    for (const auto& [way, stop] : ways) {
        SCOPED_TRACE(way);
        ListenSocketAtEnd endSink;
        engine.eventSink = &endSink;
        PFOPtr pfo = UDPPFO(server.port(), {{u"127.0.0.1", server.port()}});
        endSink.pfo = pfo;
        ASSERT_TRUE(Start(pfo));
        std::vector<std::unique_ptr<DatagramPeer>> clients;
        for (int i = 0; i < 3; ++i) {
            clients.push_back(std::make_unique<DatagramPeer>());
            // An empty datagram first: it must neither stop the PFO nor open a session.
            clients.back()->SendTo(pfo->LocalPort, "");
            clients.back()->SendTo(pfo->LocalPort, "x");
            ASSERT_TRUE(clients.back()->WaitFor(2));
        }
        EXPECT_EQ(pfo->Status, PFOStatus::Started);
        EXPECT_EQ(pfo->TotalSessions, 3);

        pfo->Enabled = false;
        stop(pfo);
        EXPECT_TRUE(WaitUntil([&] { return pfo->PFOThreadCount == 0; }));
        EXPECT_EQ(pfo->Status, PFOStatus::Stopped);
        EXPECT_EQ(endSink.EventsWithId(EventId::Ended).size(), 6u);
        EXPECT_EQ(endSink.endsAfterClose, 0);
        EXPECT_EQ(pfo->SessionCount, 0);
        EXPECT_TRUE(pfo->UDPSessions.empty());
        for (const auto& client : clients)
            for (const auto& d : client->Received()) EXPECT_EQ(d.payload, "s:x");
        engine.eventSink = &sink;
    }
}

TEST_F(UDPSessionTest, StopRacingNewClientsLeavesNothingBehind) {
    DatagramPeer server(Tagged("s"));
    const int before = OpenSocketCount();
    PFOPtr pfo = UDPPFO(server.port(), {{u"127.0.0.1", server.port()}});
    pfo->MaxSessions = 1000;
    ASSERT_TRUE(Start(pfo));
    std::atomic<bool> stop{false};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&] {
            for (int i = 0; i < 200 && !stop; ++i) {
                Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Datagram));
                s.SendTo("x", 1, SocketAddress::Loopback(AddressFamily::IPv4, pfo->LocalPort));
                SleepMs(1);
            }
        });
    }
    WaitUntil([&] { return pfo->TotalSessions >= 20; });
    pfo->Enabled = false;
    StopPFO(*pfo);
    stop = true;
    for (auto& t : senders) t.join();

    EXPECT_EQ(pfo->Status, PFOStatus::Stopped);
    EXPECT_EQ(pfo->PFOThreadCount, 0);
    EXPECT_EQ(pfo->SessionCount, 0);
    EXPECT_TRUE(pfo->UDPSessions.empty());
    // Every destination that was accepted has ended.
    EXPECT_EQ(sink.EventsWithId(EventId::Ended).size(),
              sink.EventsWithId(EventId::Accepted).size());
    EXPECT_TRUE(WaitUntil([&] { return OpenSocketCount() == before; }));
}

}  // namespace
}  // namespace qf::testing
