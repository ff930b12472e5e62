// Address filters end to end on loopback: clients bound to 127.0.0.2 and 127.0.0.3 reach a TCP
// and a UDP PFO with static lists, or with a dynamic filter file that the test rewrites.

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "config/filter_files.h"
#include "engine/dynamic_filter.h"
#include "engine/engine_fixture.h"
#include "net/address.h"
#include "tests/temp_folder.h"

namespace qf::testing {
namespace {

using testing_support::TempFolder;

const SocketAddress kRefused = SocketAddress::IPv4({127, 0, 0, 2});
const SocketAddress kAdmitted = SocketAddress::IPv4({127, 0, 0, 3});

Socket BoundSocket(const SocketAddress& source, SocketType type) {
    Socket socket = std::move(*Socket::Open(AddressFamily::IPv4, type));
    EXPECT_TRUE(socket.Bind(source));
    return socket;
}

Socket ConnectFrom(const SocketAddress& source, uint16_t port) {
    Socket socket = BoundSocket(source, SocketType::Stream);
    EXPECT_TRUE(socket.Connect(SocketAddress::Loopback(AddressFamily::IPv4, port), 5000, nullptr));
    return socket;
}

size_t EventsFrom(const RecordingSink& sink, EventId id, const SocketAddress& client,
                  TextView protocol) {
    size_t count = 0;
    for (const ConnectionEvent& event : sink.EventsWithId(id)) {
        SocketAddress address = event.clientAddress;
        address.setPort(0);
        count += address == client && event.protocol == protocol;
    }
    return count;
}

// A UDP client on `source` that echoes `payload` through the PFO on `port`.
class UDPClient {
  public:
    explicit UDPClient(const SocketAddress& source)
        : peer_(BoundSocket(source, SocketType::Datagram)) {}

    bool Echoes(uint16_t port, const std::string& payload) {
        peer_.SendTo(port, payload);
        return peer_.WaitFor(
            1, [&](const auto& d) { return d.payload == payload; }, 2000);
    }
    void Send(uint16_t port, const std::string& payload) { peer_.SendTo(port, payload); }

  private:
    DatagramPeer peer_;
};

class IPFilterTest : public EngineTest {
  protected:
    ~IPFilterTest() override {
        engine.ThreadStopFlag = true;
        EXPECT_TRUE(WaitUntil([&] { return !engine.DTFIPThreadRunning; }));
    }

    PFOPtr Started(PFOPtr pfo) {
        pfo->Enabled = true;
        EXPECT_TRUE(TickUntil(*pfo, PFOStatus::Started));
        return pfo;
    }
    PFOPtr StartedTCPPFO() { return Started(AddTCPPFO(FreePort(), server.port())); }
    PFOPtr StartedUDPPFO() { return Started(AddUDPPFO(FreePort(), udpServer.port())); }

    // Echoes through the PFO from `client`; false when the session was refused or closed.
    bool Echoes(Socket& client) { return RoundTrip(client, "ping") == "ping"; }

    struct Refusals {
        size_t all, fromClient;
    };
    Refusals CountRefusals(const SocketAddress& client, TextView protocol) const {
        return {sink.EventsWithId(EventId::RejectedBadIP).size(),
                EventsFrom(sink, EventId::RejectedBadIP, client, protocol)};
    }
    // Waits for the one refusal more that `client` must have met over `protocol`.
    bool RefusalFollows(const Refusals& before, const SocketAddress& client, TextView protocol) {
        return sink.WaitForCount(EventId::RejectedBadIP, before.all + 1) &&
               EventsFrom(sink, EventId::RejectedBadIP, client, protocol) == before.fromClient + 1;
    }

    // A refused TCP client is accepted and closed at once, after its event.
    void ExpectTCPRefused(const PFO& pfo, const SocketAddress& client) {
        const Refusals before = CountRefusals(client, u"TCP");
        Socket socket = ConnectFrom(client, pfo.LocalPort);
        ASSERT_TRUE(RefusalFollows(before, client, u"TCP"));
        EXPECT_EQ(ReadAll(socket), "");
    }
    // A refused datagram is dropped after its event; it opens no session.
    void ExpectUDPRefused(const PFO& pfo, UDPClient& client, const SocketAddress& source) {
        const Refusals before = CountRefusals(source, u"UDP");
        const int32_t total = pfo.TotalSessions;
        client.Send(pfo.LocalPort, "refused");
        EXPECT_TRUE(RefusalFollows(before, source, u"UDP"));
        EXPECT_EQ(pfo.TotalSessions, total);
    }

    // The file changes in one step, as a careful script would change it.
    void WriteFilterFile(const std::string& text) {
        const std::filesystem::path path = folder.path() / "filter.txt";
        std::ofstream(path.string() + ".new", std::ios::binary) << text;
        std::filesystem::rename(path.string() + ".new", path);
    }

    PFOPtr WithDynamicFilter(PFOPtr pfo, int intervalMs) {
        std::lock_guard lock(pfo->ConfigLock);
        pfo->EnableDTFIPFilter = true;
        pfo->DTFIPFilePath = filterPath;
        pfo->DTFIPInterval = intervalMs;
        pfo->DTFIPFilter_ApplyToExistingConnectionsOnUpdate = true;
        return pfo;
    }

    TestServer server{Echo};
    DatagramPeer udpServer{[](const std::string& payload) { return payload; }};
    TempFolder folder;
    const Text filterPath = Utf8ToText((folder.path() / "filter.txt").string());
    const PathContext context = ProcessPathContext(u"/");
    const FilterFileReader reader = [this](const Text& path) {
        return ReadFilterFile(path, context).lists;
    };
};

TEST_F(IPFilterTest, StaticRejectRangeRefusesOneClientBeforeAnyOtherCheck) {
    const PFOPtr pfo = StartedTCPPFO();
    {
        std::lock_guard lock(pfo->FilterLock);
        pfo->RejectRanges = MakeRangeList({ParseRangeText(u"127.0.0.2")});
    }
    Socket before = ConnectFrom(kRefused, pfo->LocalPort);
    EXPECT_TRUE(Echoes(before)) << "the filter is not enabled yet";
    {
        std::lock_guard lock(pfo->ConfigLock);
        pfo->EnableIPFilter = true;
        pfo->MaxSessions = 2;
    }
    Socket admitted = ConnectFrom(kAdmitted, pfo->LocalPort);
    EXPECT_TRUE(Echoes(admitted));
    // With every session slot taken, the filter still speaks first.
    ExpectTCPRefused(*pfo, kRefused);
    EXPECT_EQ(sink.EventsWithId(EventId::RejectedTooManySessions).size(), 0u);
    const ConnectionEvent refusal = sink.EventsWithId(EventId::RejectedBadIP).at(0);
    EXPECT_EQ(refusal.olAddress, SocketAddress());
    EXPECT_EQ(refusal.olPort, 0);
    EXPECT_TRUE(Echoes(before)) << "the static filter closes no session that runs";
}

TEST_F(IPFilterTest, StaticAcceptRangeAdmitsOnlyItsUDPClients) {
    PFOPtr pfo = AddUDPPFO(FreePort(), udpServer.port());
    pfo->EnableIPFilter = true;
    pfo->AcceptRanges = MakeRangeList({ParseRangeText(u"127.0.0.3 - 127.0.0.9")});
    Started(pfo);
    UDPClient refused(kRefused), admitted(kAdmitted);
    ExpectUDPRefused(*pfo, refused, kRefused);
    EXPECT_TRUE(admitted.Echoes(pfo->LocalPort, "ping"));
    EXPECT_EQ(pfo->TotalSessions, 1);
}

TEST_F(IPFilterTest, DynamicRejectLineClosesTheClientsSessionsAndRefusesItsNewOnes) {
    constexpr int kIntervalMs = 300;
    WriteFilterFile("# nobody is refused yet\n");
    const PFOPtr tcp = WithDynamicFilter(StartedTCPPFO(), kIntervalMs);
    const PFOPtr udp = WithDynamicFilter(StartedUDPPFO(), kIntervalMs);
    ASSERT_TRUE(LaunchDynamicFilter(engine, reader));
    Socket refused = ConnectFrom(kRefused, tcp->LocalPort);
    Socket admitted = ConnectFrom(kAdmitted, tcp->LocalPort);
    UDPClient refusedUDP(kRefused), admittedUDP(kAdmitted);
    ASSERT_TRUE(Echoes(refused) && Echoes(admitted));
    ASSERT_TRUE(refusedUDP.Echoes(udp->LocalPort, "one") &&
                admittedUDP.Echoes(udp->LocalPort, "one"));

    const int64_t written = MonotonicMs();
    WriteFilterFile("# blocked\n-127.0.0.2\n");
    ASSERT_TRUE(sink.WaitForCount(EventId::Ended, 2, 5000));
    const int64_t elapsed = MonotonicMs() - written;
    RecordProperty("DisconnectedAfterMs", static_cast<int>(elapsed));
    // One interval, one 100 ms pass, and room for a busy machine to schedule the threads.
    EXPECT_LE(elapsed, kIntervalMs + 100 + 250);
    ASSERT_EQ(EventsFrom(sink, EventId::Ended, kRefused, u"TCP"), 1u);
    EXPECT_EQ(EventsFrom(sink, EventId::Ended, kRefused, u"UDP"), 1u);
    EXPECT_EQ(ReadAll(refused), "");
    EXPECT_TRUE(Echoes(admitted));
    EXPECT_TRUE(admittedUDP.Echoes(udp->LocalPort, "two"));
    ExpectTCPRefused(*tcp, kRefused);
    ExpectUDPRefused(*udp, refusedUDP, kRefused);
    Socket again = ConnectFrom(kAdmitted, tcp->LocalPort);
    EXPECT_TRUE(Echoes(again));

    std::filesystem::remove(folder.path() / "filter.txt");
    EXPECT_TRUE(WaitUntil([&] {
        std::scoped_lock locks(tcp->FilterLock, udp->FilterLock);
        return !tcp->DTFIPRejectRanges && !udp->DTFIPRejectRanges;
    })) << "a deleted file removes the lists";
    Socket back = ConnectFrom(kRefused, tcp->LocalPort);
    EXPECT_TRUE(Echoes(back));
    EXPECT_TRUE(refusedUDP.Echoes(udp->LocalPort, "back"));
    EXPECT_TRUE(Echoes(admitted)) << "the walkers of the removed lists close nothing";
}

TEST_F(IPFilterTest, UnchangedFileInstallsNothingAndStartsNoWalker) {
    const PFOPtr pfo = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 0);
    // The reject list ends at its 0.0.0.0 lower bound; what follows it is read but not used.
    WriteFilterFile("10.0.0.1\n10.0.0.2\n-10.0.0.6\n-0.0.0.0-1.0.0.0\n-10.0.0.7\n");
    const DynamicListChange first = UpdateDynamicFilter(pfo, reader);
    EXPECT_TRUE(first.accept && first.reject);
    ASSERT_TRUE(WaitUntil([&] { return engine.ThreadCount == 1; })) << "the walkers end";
    RangeListPtr accept, reject;
    {
        std::lock_guard lock(pfo->FilterLock);
        accept = pfo->DTFIPAcceptRanges;
        reject = pfo->DTFIPRejectRanges;
    }

    WriteFilterFile("# the same entries\n+ 10.0.0.1\n10.0.0.2\n-10.0.0.6\n-0.0.0.0-1.0.0.0\n");
    const DynamicListChange same = UpdateDynamicFilter(pfo, reader);
    EXPECT_FALSE(same.accept || same.reject);
    EXPECT_EQ(engine.ThreadCount, 1) << "a walker was started";
    {
        std::lock_guard lock(pfo->FilterLock);
        EXPECT_EQ(pfo->DTFIPAcceptRanges, accept);
        EXPECT_EQ(pfo->DTFIPRejectRanges, reject);
    }

    WriteFilterFile("10.0.0.2\n10.0.0.1\n-10.0.0.6\n");
    const DynamicListChange reordered = UpdateDynamicFilter(pfo, reader);
    EXPECT_TRUE(reordered.accept) << "entries are compared by position";
    EXPECT_FALSE(reordered.reject);
}

TEST_F(IPFilterTest, FileWithoutEntriesInstallsNoListAndAMissingOneRemovesBoth) {
    const PFOPtr pfo = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 0);
    WriteFilterFile("# nothing\n-0.0.0.0-255.255.255.255\n");
    EXPECT_FALSE(UpdateDynamicFilter(pfo, reader).reject);
    WriteFilterFile("-10.0.0.6\n");
    EXPECT_TRUE(UpdateDynamicFilter(pfo, reader).reject);
    std::filesystem::remove(folder.path() / "filter.txt");
    const DynamicListChange removed = UpdateDynamicFilter(pfo, reader);
    EXPECT_FALSE(removed.accept);
    EXPECT_TRUE(removed.reject);
    std::lock_guard lock(pfo->FilterLock);
    EXPECT_FALSE(pfo->DTFIPAcceptRanges || pfo->DTFIPRejectRanges);
}

TEST_F(IPFilterTest, ChecksFallDueByTheIntervalOnlyForEnabledFilesWithAPath) {
    std::vector<Text> reads;
    const FilterFileReader counting = [&](const Text& path) {
        reads.push_back(path);
        return std::optional<FilterLists>();
    };
    const PFOPtr every = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 0);
    const PFOPtr slow = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 1000);
    slow->DTFIPFilePath = u"slow";
    const PFOPtr blank = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 0);
    blank->DTFIPFilePath = u" \t";
    const PFOPtr disabled = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 0);
    disabled->EnableDTFIPFilter = false;

    struct Pass {
        int64_t nowMs;
        std::vector<Text> read;
    };
    const Pass passes[] = {
        {5000, {filterPath, u"slow"}},  // the first check ever: its time is far ahead
        {5100, {filterPath}},          {5999, {filterPath}}, {6000, {filterPath, u"slow"}},
        {100, {filterPath, u"slow"}},  // a last check ahead of the clock is due at once
    };
    for (const Pass& pass : passes) {
        reads.clear();
        RunDynamicFilterPass(engine, counting, pass.nowMs);
        EXPECT_EQ(reads, pass.read) << "at " << pass.nowMs;
    }
}

// A FIFO without a writer at the path must neither block the pass nor delay the other PFOs.
TEST_F(IPFilterTest, FIFOAsThePathDoesNotBlockThePass) {
    const std::string fifo = (folder.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const PFOPtr stuck = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 0);
    stuck->DTFIPFilePath = Utf8ToText(fifo);
    const PFOPtr other = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 0);
    WriteFilterFile("-127.0.0.2\n");

    auto pass = std::async(std::launch::async,
                           [&] { RunDynamicFilterPass(engine, reader, MonotonicMs()); });
    if (pass.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "the pass blocked on the FIFO";
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }
    pass.get();
    std::lock_guard lock(other->FilterLock);
    EXPECT_TRUE(other->DTFIPRejectRanges);
    std::lock_guard stuckLock(stuck->FilterLock);
    EXPECT_FALSE(stuck->DTFIPAcceptRanges || stuck->DTFIPRejectRanges);
}

TEST_F(IPFilterTest, OneDynamicFilterThreadRunsUntilTheStopFlag) {
    ASSERT_TRUE(LaunchDynamicFilter(engine, reader));
    ASSERT_TRUE(WaitUntil([&] { return engine.DTFIPThreadRunning.load(); }));
    ASSERT_TRUE(LaunchDynamicFilter(engine, reader));
    EXPECT_TRUE(WaitUntil([&] { return engine.ThreadCount == 2; })) << "the second one stays";
    engine.ThreadStopFlag = true;
    EXPECT_TRUE(WaitUntil([&] { return !engine.DTFIPThreadRunning && engine.ThreadCount == 1; }));
}

}  // namespace
}  // namespace qf::testing
