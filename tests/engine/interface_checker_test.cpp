// The interface checker and the reconciler against a veth link the test creates in a network
// namespace of its own; the first end has a known MAC and the address 10.9.0.5.

#include "engine/interface_checker.h"

#include "engine/engine_fixture.h"
#include "net/address.h"
#include "tests/support/network_namespace.h"

namespace qf::testing {
namespace {

const SocketAddress kFirstAddress = SocketAddress::IPv4({10, 9, 0, 5});
const SocketAddress kSecondAddress = SocketAddress::IPv4({10, 9, 0, 6});

SocketAddress WithPort(SocketAddress address, uint16_t port) {
    address.setPort(port);
    return address;
}

class InterfaceCheckerTest : public EngineTest {
  protected:
    InterfaceCheckerTest() {
        engine.preferences.InterfaceCheckerInterval = 50;
        // Resolutions age quickly, so that a change of the link shows within a second.
        engine.preferences.resolve.cacheMaximumTimeMs = 100;
    }
    ~InterfaceCheckerTest() override {
        engine.ThreadStopFlag = true;
        EXPECT_TRUE(WaitUntil([&] { return !engine.InterfaceCheckerRunning; }));
    }

    // Runs `body` in a namespace holding the veth pair; the skip reason when that cannot be.
    std::string WithTestLink(const std::function<void()>& body) {
        return RunInNetworkNamespace([&]() -> std::string {
            const std::string failed = RunCommands({
                "ip link add qf0 address 00:1a:2b:3c:4d:5e type veth peer name qf1",
                "ip link set qf0 addrgenmode none",
                "ip link set qf1 addrgenmode none",
                "ip addr add 10.9.0.5/24 dev qf0",
                "ip link set qf1 up",
                "ip link set qf0 up",
            });
            if (!failed.empty())
                return "cannot build the test link (veth support needed): " + failed;
            body();
            return {};
        });
    }

    PFOPtr StartedPFO(const Text& localIP, uint16_t remotePort) {
        PFOPtr pfo = AddTCPPFO(FreePort(), remotePort);
        pfo->LocalIP = localIP;
        pfo->Enabled = true;
        EXPECT_TRUE(TickUntil(*pfo, PFOStatus::Started)) << TextToUtf8(localIP);
        return pfo;
    }

    // Ticks the reconciler until the PFO is started on `address`.
    bool TickUntilStartedOn(const PFOPtr& pfo, const SocketAddress& address, int timeoutMs) {
        return WaitUntil(
            [&] {
                Tick();
                SleepMs(engine.preferences.StartStopInterval);
                return pfo->Status == PFOStatus::Started && !pfo->WorkerActive &&
                       pfo->LocalAddress == address;
            },
            timeoutMs);
    }
};

TEST_F(InterfaceCheckerTest, RunsOnceAndEndsWithTheThreadStopFlag) {
    ASSERT_TRUE(LaunchInterfaceChecker(engine, display));
    ASSERT_TRUE(WaitUntil([&] { return engine.InterfaceCheckerRunning.load(); }));
    ASSERT_TRUE(LaunchInterfaceChecker(engine, display));
    EXPECT_TRUE(WaitUntil([&] { return engine.ThreadCount == 2; })) << "the second one stays";
    engine.ThreadStopFlag = true;
    EXPECT_TRUE(
        WaitUntil([&] { return !engine.InterfaceCheckerRunning && engine.ThreadCount == 1; }));
}

TEST_F(InterfaceCheckerTest, PFONamingAnInterfaceByMACMovesToItsNewAddress) {
    const std::string skipped = WithTestLink([&] {
        TestServer server(Echo);
        const PFOPtr named = StartedPFO(u"00-1A-2B-3C-4D-5E", server.port());
        EXPECT_EQ(named->LocalAddress, kFirstAddress);
        const PFOPtr everywhere = StartedPFO(u"", server.port());
        Socket untouched = ConnectTo(everywhere->LocalPort);
        ASSERT_TRUE(LaunchInterfaceChecker(engine, display));

        EXPECT_EQ(
            RunCommands({"ip addr del 10.9.0.5/24 dev qf0", "ip addr add 10.9.0.6/24 dev qf0"}),
            "");
        // One checker period, the age of the cached resolution and the reconciler's retry.
        EXPECT_TRUE(TickUntilStartedOn(named, kSecondAddress, 3000));
        EXPECT_GE(display.dropped, 1) << "the checker's StopperThread stopped it";
        Socket moved = ConnectTo(WithPort(kSecondAddress, named->LocalPort));
        EXPECT_EQ(RoundTrip(moved, "moved"), "moved");
        EXPECT_EQ(RoundTrip(untouched, "kept"), "kept") << "the wildcard PFO was never stopped";
    });
    if (!skipped.empty()) GTEST_SKIP() << skipped;
}

TEST_F(InterfaceCheckerTest, PFOOnALinkThatWentDownWaitsUntilItIsUpAgain) {
    const std::string skipped = WithTestLink([&] {
        TestServer server(Echo);
        const PFOPtr pfo = StartedPFO(u"10.9.0.5", server.port());
        ASSERT_TRUE(LaunchInterfaceChecker(engine, display));

        // Linux keeps the address of a link without carrier, so a bind would still succeed.
        EXPECT_EQ(RunCommands({"ip link set qf1 down"}), "");
        EXPECT_TRUE(TickUntil(*pfo, PFOStatus::ErrorStarting, 3000));
        const int64_t until = MonotonicMs() + 1500;
        while (MonotonicMs() < until) {
            Tick();
            ASSERT_NE(pfo->Status, PFOStatus::Started) << "started on a link that is down";
            SleepMs(engine.preferences.StartStopInterval);
        }

        EXPECT_EQ(RunCommands({"ip link set qf1 up"}), "");
        EXPECT_TRUE(TickUntilStartedOn(pfo, kFirstAddress, 5000));
        Socket client = ConnectTo(WithPort(kFirstAddress, pfo->LocalPort));
        EXPECT_EQ(RoundTrip(client, "back"), "back");
    });
    if (!skipped.empty()) GTEST_SKIP() << skipped;
}

}  // namespace
}  // namespace qf::testing
