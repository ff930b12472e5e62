// Address filters end to end on loopback: clients bound to 127.0.0.2 and 127.0.0.3 connect to
// a PFO with static lists, and to one whose dynamic filter file the test rewrites.

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

Socket ConnectFrom(const SocketAddress& source, uint16_t port) {
    Socket socket = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    EXPECT_TRUE(socket.Bind(source));
    EXPECT_TRUE(socket.Connect(SocketAddress::Loopback(AddressFamily::IPv4, port), 5000, nullptr));
    return socket;
}

size_t EventsFrom(const RecordingSink& sink, EventId id, const SocketAddress& client) {
    size_t count = 0;
    for (const ConnectionEvent& event : sink.EventsWithId(id)) {
        SocketAddress address = event.clientAddress;
        address.setPort(0);
        count += address == client;
    }
    return count;
}

class IPFilterTest : public EngineTest {
  protected:
    ~IPFilterTest() override {
        engine.ThreadStopFlag = true;
        EXPECT_TRUE(WaitUntil([&] { return !engine.DTFIPThreadRunning; }));
    }

    PFOPtr StartedPFO() {
        PFOPtr pfo = AddTCPPFO(FreePort(), server.port());
        pfo->Enabled = true;
        EXPECT_TRUE(TickUntil(*pfo, PFOStatus::Started));
        return pfo;
    }

    // Echoes through the PFO from `client`; false when the session was refused or closed.
    bool Echoes(Socket& client) { return RoundTrip(client, "ping") == "ping"; }

    // A refused client is accepted and closed at once, after its event.
    void ExpectRefused(const PFO& pfo, const SocketAddress& client) {
        const size_t before = sink.EventsWithId(EventId::RejectedBadIP).size();
        const size_t beforeFromClient = EventsFrom(sink, EventId::RejectedBadIP, client);
        Socket socket = ConnectFrom(client, pfo.LocalPort);
        ASSERT_TRUE(sink.WaitForCount(EventId::RejectedBadIP, before + 1));
        ASSERT_EQ(EventsFrom(sink, EventId::RejectedBadIP, client), beforeFromClient + 1);
        EXPECT_EQ(ReadAll(socket), "");
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
    TempFolder folder;
    const Text filterPath = Utf8ToText((folder.path() / "filter.txt").string());
    const PathContext context = ProcessPathContext(u"/");
    const FilterFileReader reader = [this](const Text& path) {
        return ReadFilterFile(path, context).lists;
    };
};

TEST_F(IPFilterTest, StaticRejectRangeRefusesOneClientBeforeAnyOtherCheck) {
    const PFOPtr pfo = StartedPFO();
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
    ExpectRefused(*pfo, kRefused);
    EXPECT_EQ(sink.EventsWithId(EventId::RejectedTooManySessions).size(), 0u);
    const ConnectionEvent refusal = sink.EventsWithId(EventId::RejectedBadIP).at(0);
    EXPECT_EQ(refusal.olAddress, SocketAddress());
    EXPECT_EQ(refusal.protocol, u"TCP");
    EXPECT_TRUE(Echoes(before)) << "the static filter closes no session that runs";
}

TEST_F(IPFilterTest, DynamicRejectLineClosesTheClientsSessionAndRefusesItsNewOnes) {
    constexpr int kIntervalMs = 300;
    WriteFilterFile("# nobody is refused yet\n");
    const PFOPtr pfo = WithDynamicFilter(StartedPFO(), kIntervalMs);
    ASSERT_TRUE(LaunchDynamicFilter(engine, reader));
    Socket refused = ConnectFrom(kRefused, pfo->LocalPort);
    Socket admitted = ConnectFrom(kAdmitted, pfo->LocalPort);
    ASSERT_TRUE(Echoes(refused) && Echoes(admitted));

    const int64_t written = MonotonicMs();
    WriteFilterFile("# blocked\n-127.0.0.2\n");
    ASSERT_TRUE(sink.WaitForCount(EventId::Ended, 1, 5000));
    const int64_t elapsed = MonotonicMs() - written;
    // One interval, one 100 ms pass, and room for a busy machine to schedule the threads.
    EXPECT_LE(elapsed, kIntervalMs + 100 + 250);
    ASSERT_EQ(EventsFrom(sink, EventId::Ended, kRefused), 1u);
    EXPECT_EQ(ReadAll(refused), "");
    EXPECT_TRUE(Echoes(admitted));
    ExpectRefused(*pfo, kRefused);
    Socket again = ConnectFrom(kAdmitted, pfo->LocalPort);
    EXPECT_TRUE(Echoes(again));

    std::filesystem::remove(folder.path() / "filter.txt");
    EXPECT_TRUE(WaitUntil([&] {
        std::lock_guard lock(pfo->FilterLock);
        return !pfo->DTFIPRejectRanges;
    })) << "a deleted file removes the lists";
    Socket back = ConnectFrom(kRefused, pfo->LocalPort);
    EXPECT_TRUE(Echoes(back));
    EXPECT_TRUE(Echoes(admitted));
}

TEST_F(IPFilterTest, UnchangedFileInstallsNothingAndStartsNoWalker) {
    const PFOPtr pfo = WithDynamicFilter(engine.pfos.CreateAndAppend(engine), 0);
    WriteFilterFile("10.0.0.1\n10.0.0.2\n-10.0.0.6\n");
    const DynamicListChange first = UpdateDynamicFilter(pfo, reader);
    EXPECT_TRUE(first.accept && first.reject);
    ASSERT_TRUE(WaitUntil([&] { return engine.ThreadCount == 1; })) << "the walkers end";
    RangeListPtr accept, reject;
    {
        std::lock_guard lock(pfo->FilterLock);
        accept = pfo->DTFIPAcceptRanges;
        reject = pfo->DTFIPRejectRanges;
    }

    WriteFilterFile("# the same entries\n+ 10.0.0.1\n10.0.0.2\n-10.0.0.6\n");
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
