#include "platform/socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "platform/thread.h"

namespace qf {
namespace {

Socket Listening() {
    Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    EXPECT_TRUE(s.Bind(SocketAddress::Loopback(AddressFamily::IPv4)));
    EXPECT_TRUE(s.Listen(4));
    return s;
}

TEST(SocketTest, ShutdownFromAnotherThreadWakesBlockedCalls) {
    Socket listener = Listening();
    std::atomic<bool> acceptEnded{false};
    std::thread acceptor([&] {
        SocketAddress peer;
        auto accepted = listener.Accept(peer);
        EXPECT_FALSE(accepted);
        EXPECT_EQ(accepted.error().kind(), ErrorKind::Closed);
        acceptEnded = true;
    });
    Socket udp = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Datagram));
    ASSERT_TRUE(udp.Bind(SocketAddress::Loopback(AddressFamily::IPv4)));
    std::thread receiver([&] {
        char buffer[16];
        SocketAddress from;
        auto n = udp.ReceiveFrom(buffer, sizeof buffer, from);
        EXPECT_TRUE(n && *n == 0);
    });
    SleepMs(50);
    EXPECT_FALSE(acceptEnded);
    listener.Shutdown();
    udp.Shutdown();
    acceptor.join();
    receiver.join();
}

TEST(SocketTest, ClosesExactlyOnceWhateverTheCallers) {
    Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    const int fd = s.handle();
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] { s.Shutdown(), s.Close(), s.Shutdown(); });
    for (auto& t : threads) t.join();
    EXPECT_FALSE(s.valid());
    // The number may be reused by the next socket; it must not have been closed twice.
    Socket next = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    EXPECT_EQ(next.handle(), fd);
    s.Close();
    EXPECT_TRUE(next.SetNoDelay(true));
}

TEST(SocketTest, FailuresNameTheCallItsSubjectAndTheReason) {
    Socket first = Listening();
    const uint16_t port = first.LocalAddress()->port();
    Socket second = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    Status bound = second.Bind(SocketAddress::Loopback(AddressFamily::IPv4, port));
    ASSERT_FALSE(bound);
    EXPECT_EQ(bound.error().kind(), ErrorKind::AddressInUse);
    EXPECT_EQ(bound.error().Message(),
              "bind(127.0.0.1:" + std::to_string(port) + "): Address already in use");
}

TEST(SocketTest, ConnectIsAbandonedWhenCancelled) {
    // 192.0.2.0/24 is reserved for documentation: nothing answers, the connect hangs.
    Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    std::atomic<bool> cancel{false};
    std::thread canceller([&] { SleepMs(100), cancel = true; });
    const int64_t start = MonotonicMs();
    Status connected = s.Connect(SocketAddress::IPv4({192, 0, 2, 1}, 9), 21000, &cancel);
    canceller.join();
    EXPECT_FALSE(connected);
    EXPECT_LT(MonotonicMs() - start, 2000);
}

TEST(SocketTest, AddressesOfBothFamiliesAreTwentyEightComparableBytes) {
    SocketAddress a = SocketAddress::IPv4({10, 1, 2, 3}, 80);
    EXPECT_EQ(a.ToEndpointText(), "10.1.2.3:80");
    EXPECT_EQ(a.port(), 80);
    EXPECT_EQ(a, SocketAddress::IPv4({10, 1, 2, 3}, 80));
    EXPECT_TRUE(SocketAddress().isEmpty());
    SocketAddress b =
        SocketAddress::IPv6({0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 8080, 3);
    EXPECT_EQ(b.ToEndpointText(), "[fe80::1%3]:8080");
    EXPECT_EQ(b.scopeId(), 3u);
    EXPECT_NE(SocketAddress::Loopback(AddressFamily::IPv6),
              SocketAddress::Loopback(AddressFamily::IPv4));
}

int IntOption(const Socket& s, int level, int name) {
    int value = 0;
    socklen_t length = sizeof value;
    getsockopt(s.handle(), level, name, &value, &length);
    return value;
}

TEST(SocketTest, KeepAliveTimesAreWholeSecondsRoundedUp) {
    const struct {
        int intervalMs;
        int seconds;
    } cases[] = {{3000, 3}, {1500, 2}, {1, 1}, {0, 1}};
    for (const auto& c : cases) {
        Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
        ASSERT_TRUE(s.SetKeepAlive(c.intervalMs));
        EXPECT_EQ(IntOption(s, SOL_SOCKET, SO_KEEPALIVE), 1);
        EXPECT_EQ(IntOption(s, IPPROTO_TCP, TCP_KEEPIDLE), c.seconds) << c.intervalMs;
        EXPECT_EQ(IntOption(s, IPPROTO_TCP, TCP_KEEPINTVL), c.seconds) << c.intervalMs;
        EXPECT_EQ(IntOption(s, IPPROTO_TCP, TCP_KEEPCNT), 10);
    }
}

TEST(ThreadTest, StartsMoveOnlyBodiesWithASmallStack) {
    std::atomic<bool> ran{false};
    auto owned = std::make_unique<int>(7);
    ASSERT_TRUE(StartThread("test", [&, owned = std::move(owned)] {
        char big[128 * 1024];  // a relay buffer fits
        big[0] = static_cast<char>(*owned);
        ran = big[0] == 7;
    }));
    for (int i = 0; i < 1000 && !ran; ++i) SleepMs(1);
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace qf
