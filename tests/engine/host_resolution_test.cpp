// Sessions whose remote host is a name: resolved through the system's resolver per session.

#include "engine/engine_fixture.h"
#include "net/address.h"
#include "net/resolver.h"
#include "tests/support/network_namespace.h"

namespace qf::testing {
namespace {

class HostResolutionTest : public EngineTest {
  protected:
    PFOPtr StartedPFO(const Text& remoteHost, uint16_t remotePort) {
        PFOPtr pfo = AddTCPPFO(FreePort(), remotePort);
        pfo->RemoteHost = remoteHost;
        pfo->Enabled = true;
        EXPECT_TRUE(TickUntil(*pfo, PFOStatus::Started));
        return pfo;
    }
};

TEST_F(HostResolutionTest, RemoteHostNameIsResolvedAndRelayed) {
    engine.preferences.resolve.useIPv4LocalhostResolve = false;
    // Where the system's hosts file sends "localhost" (127.0.0.1 or ::1): the server waits there.
    const auto target = ResolveHostName(u"localhost", nullptr);
    ASSERT_TRUE(target) << "the system resolves no \"localhost\"";
    TestServer server(Echo, ParseAddress(*target, true));
    const PFOPtr pfo = StartedPFO(u"localhost", server.port());

    Socket client = ConnectTo(pfo->LocalPort);
    EXPECT_EQ(RoundTrip(client, "hello"), "hello");
    ASSERT_TRUE(sink.WaitForCount(EventId::Accepted, 1));
    EXPECT_EQ(sink.EventsWithId(EventId::Accepted).at(0).remoteHost, u"localhost");
    std::lock_guard lock(pfo->ResolvedLock);
    EXPECT_EQ(pfo->RemoteResolvedText, *target);
}

// In a namespace of its own the name service is unreachable at once, so the failure is quick.
TEST_F(HostResolutionTest, UnresolvableRemoteHostRejectsEveryClientAndKeepsThePFOStarted) {
    const std::string skipped = RunInNetworkNamespace([&]() -> std::string {
        const PFOPtr pfo = StartedPFO(u"qf-unresolvable.invalid", 9);
        for (int i = 0; i < 3; ++i) {
            Socket client = ConnectTo(pfo->LocalPort);
            EXPECT_EQ(ReadAll(client), "") << "client " << i << " was not closed";
        }
        EXPECT_TRUE(sink.WaitForCount(EventId::RejectedRemoteUnresolved, 3));
        EXPECT_TRUE(sink.EventsWithId(EventId::Accepted).empty());
        EXPECT_EQ(pfo->Status, PFOStatus::Started);
        return {};
    });
    if (!skipped.empty()) GTEST_SKIP() << skipped;
}

}  // namespace
}  // namespace qf::testing
