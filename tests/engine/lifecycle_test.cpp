#include "engine/engine_fixture.h"

namespace qf::testing {
namespace {

using LifecycleTest = EngineTest;

TEST_F(LifecycleTest, PortInUseIsRetriedOnTheTickTheRetryRuleNames) {
    Socket occupant = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    ASSERT_TRUE(occupant.Bind(SocketAddress::Loopback(AddressFamily::IPv4)));
    ASSERT_TRUE(occupant.Listen(1));
    PFOPtr pfo = AddTCPPFO(occupant.LocalAddress()->port(), 1);
    pfo->Enabled = true;
    ASSERT_TRUE(TickUntil(*pfo, PFOStatus::ErrorStarting));
    EXPECT_NE(pfo->StartError.find(u"Address already in use"), Text::npos);

    occupant.Close();
    // TickUntil may have ticked once after the failure already; count from here.
    pfo->StartRetryTicks = 0;
    // 500 ms / 20 ms: 25 ticks pass without a start, the 26th starts it.
    for (int tick = 1; tick <= 25; ++tick) {
        Tick();
        ASSERT_FALSE(pfo->WorkerActive) << "started on tick " << tick;
        ASSERT_EQ(pfo->Status, PFOStatus::ErrorStarting);
    }
    Tick();
    EXPECT_TRUE(WaitUntil([&] { return pfo->Status == PFOStatus::Started; }));
}

TEST_F(LifecycleTest, LongReconcilerPeriodRetriesOnEveryTick) {
    engine.preferences.StartStopInterval = 600;
    PFOPtr pfo = AddTCPPFO(FreePort(), 1);
    pfo->LocalIP = u"203.0.113.7";  // not ours: bind fails
    pfo->Enabled = true;
    Tick();
    ASSERT_TRUE(
        WaitUntil([&] { return pfo->Status == PFOStatus::ErrorStarting && !pfo->WorkerActive; }));
    Tick();
    EXPECT_TRUE(pfo->WorkerActive || pfo->StartRetryTicks == 0);
}

TEST_F(LifecycleTest, DisablingStopsAndReenablingRestarts) {
    PFOPtr pfo = AddTCPPFO(FreePort(), 1);
    RequestStart(*pfo, display);
    EXPECT_EQ(display.saves, 1);
    ASSERT_TRUE(TickUntil(*pfo, PFOStatus::Started));
    Tick();  // the start may have finished between ticks: let the display see it
    EXPECT_TRUE(StartPFO(*pfo));  // already running: nothing launched
    RequestStop(*pfo, display);
    ASSERT_TRUE(TickUntil(*pfo, PFOStatus::Stopped));
    EXPECT_GE(display.dropped, 1);
    RequestStart(*pfo, display);
    EXPECT_TRUE(TickUntil(*pfo, PFOStatus::Started));
}

TEST_F(LifecycleTest, ReconcilerRefreshesRowsWhoseStatusChanged) {
    PFOPtr pfo = AddTCPPFO(FreePort(), 1);
    Tick();
    EXPECT_EQ(display.refreshes, 0);
    EXPECT_EQ(display.resorts, 0);
    pfo->Status = PFOStatus::ErrorStarting;  // disabled: nothing is launched
    Tick();
    Tick();
    EXPECT_EQ(display.refreshes, 1);
    EXPECT_EQ(display.resorts, 1);
    EXPECT_EQ(pfo->LastShownStatus, PFOStatus::ErrorStarting);
}

TEST_F(LifecycleTest, EditedCopyBringsARunningPFOBackOnItsNewPort) {
    TestServer server(Echo);
    PFOPtr pfo = AddTCPPFO(FreePort(), server.port());
    pfo->Enabled = true;
    ASSERT_TRUE(TickUntil(*pfo, PFOStatus::Started));

    PFOPtr copy = CopyPFOForEditing(*pfo);
    const uint16_t newPort = FreePort();
    copy->LocalPort = newPort;
    ASSERT_TRUE(ApplyEditedCopy(pfo, copy, display));
    ASSERT_TRUE(WaitUntil([&] { return display.saves == 1 && !pfo->WorkerActive; }));
    EXPECT_EQ(pfo->Status, PFOStatus::Started);
    EXPECT_EQ(pfo->LocalPort, newPort);
    EXPECT_TRUE(pfo->Enabled);

    Socket client = ConnectTo(newPort);
    ASSERT_TRUE(client.SendAll("abc", 3));
    char reply[3];
    EXPECT_TRUE(client.Receive(reply, 3));
}

TEST_F(LifecycleTest, DeleteRemovesTheStoppedPFOUnlessItHasNoRow) {
    PFOPtr pfo = AddTCPPFO(FreePort(), 1);
    pfo->Enabled = true;
    ASSERT_TRUE(TickUntil(*pfo, PFOStatus::Started));

    display.hasRows = false;
    ASSERT_TRUE(DeletePFO(pfo, display));
    ASSERT_TRUE(WaitUntil([&] { return display.deletedRows == 1 && !pfo->WorkerActive; }));
    EXPECT_EQ(engine.pfos.Count(), 1);

    display.hasRows = true;
    ASSERT_TRUE(DeletePFO(pfo, display));
    ASSERT_TRUE(WaitUntil([&] { return display.afterDeletes == 1; }));
    EXPECT_EQ(engine.pfos.Count(), 0);
    EXPECT_EQ(pfo->Status, PFOStatus::Stopped);
    EXPECT_FALSE(engine.pfos.Remove(*pfo));
}

TEST_F(LifecycleTest, StopLeavesStoppedAndErrorStartingPFOsAlone) {
    PFOPtr pfo = AddTCPPFO(FreePort(), 1);
    for (PFOStatus s : {PFOStatus::Stopped, PFOStatus::ErrorStarting, PFOStatus::Stopping}) {
        pfo->Status = s;
        EXPECT_TRUE(StopPFO(*pfo));
        EXPECT_EQ(pfo->Status, s);
    }
    pfo->Status = PFOStatus::Idle;
    pfo->SessionCount = 3;  // a count left behind by threads that are gone
    EXPECT_TRUE(StopPFO(*pfo));
    EXPECT_EQ(pfo->SessionCount, 0);
    EXPECT_EQ(pfo->Status, PFOStatus::Stopped);
}

TEST_F(LifecycleTest, ShutdownAbortEndsEveryListener) {
    PFOPtr a = AddTCPPFO(FreePort(), 1), b = AddTCPPFO(FreePort(), 1);
    a->Enabled = b->Enabled = true;
    ASSERT_TRUE(TickUntil(*a, PFOStatus::Started));
    ASSERT_TRUE(TickUntil(*b, PFOStatus::Started));
    EXPECT_TRUE(WaitUntil([&] {
        AbortAll(engine);
        return !AnyPFORunning(engine);
    }));
}

TEST_F(LifecycleTest, ResetStatisticsKeepsOpenSessionsAsTheTotal) {
    PFOPtr pfo = AddTCPPFO(FreePort(), 1);
    pfo->SessionCount = 2;
    pfo->TotalSessions = 9;
    pfo->ClientBytes = 5.0;
    pfo->ServerBytes = 6.0;
    ResetStatistics(*pfo);
    EXPECT_EQ(pfo->TotalSessions, 2);
    EXPECT_EQ(pfo->ClientBytes, 0.0);
    EXPECT_EQ(pfo->ServerBytes, 0.0);
    pfo->SessionCount = 0;
}

}  // namespace
}  // namespace qf::testing
