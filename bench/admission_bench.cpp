// What an address filter of 10,000 ranges costs a new connection: the filter test alone, and
// short connections (connect, one byte there and back, close) through one TCP PFO with the
// static filter off and on, in one run.
// Usage: admission_bench [connections per round] [rounds]

#include <chrono>
#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "platform/clock.h"

namespace qf::bench {
namespace {

constexpr int kRanges = 10000;

// Ranges 10.a.b.0 - 10.a.b.127 below loopback, and last the one that admits the client.
RangeListPtr LargeAcceptList() {
    std::vector<AddressRange> ranges;
    for (int k = 0; k < kRanges - 1; ++k) {
        const auto a = static_cast<uint8_t>(k >> 8), b = static_cast<uint8_t>(k);
        ranges.push_back(
            {SocketAddress::IPv4({10, a, b, 0}), SocketAddress::IPv4({10, a, b, 127})});
    }
    ranges.push_back({SocketAddress::IPv4({127, 0, 0, 0}), SocketAddress::IPv4({127, 0, 0, 255})});
    return MakeRangeList(std::move(ranges));
}

double NanosecondsPerTest(const RangeList& accept, const SocketAddress& client) {
    constexpr int kTests = 2000;
    int admitted = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < kTests; ++k) admitted += TestAddress(client, &accept, nullptr);
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    if (admitted != kTests) std::abort();
    return spent.count() / kTests;
}

// Answers the byte the client sent; the connection closes when this returns.
void EchoOneByte(Socket& socket) {
    char c;
    if (socket.Receive(&c, 1)) socket.SendAll(&c, 1);
}

double MicrosecondsPerConnection(uint16_t port, int connections) {
    const int64_t start = MonotonicMs();
    for (int k = 0; k < connections; ++k) {
        Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
        if (!s.Connect(SocketAddress::Loopback(AddressFamily::IPv4, port), 5000, nullptr))
            std::abort();
        char c = 'x';
        s.SendAll(&c, 1);
        if (!s.Receive(&c, 1) || c != 'x') std::abort();
    }
    return double(MonotonicMs() - start) * 1000.0 / connections;
}

void SetStaticFilter(PFO& pfo, bool enabled) {
    std::lock_guard lock(pfo.ConfigLock);
    pfo.EnableIPFilter = enabled;
}

}  // namespace
}  // namespace qf::bench

int main(int argc, char** argv) {
    using namespace qf;
    using namespace qf::bench;
    IgnoreBrokenPipes();
    const int connections = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;

    const RangeListPtr accept = LargeAcceptList();
    const double testNs = NanosecondsPerTest(*accept, SocketAddress::Loopback(AddressFamily::IPv4));
    fmt::print("Address filter of {} accept ranges, client in the last one\n", kRanges);
    fmt::print("  one test                {:10.1f} us   ({:.2f} ns per range)\n", testNs / 1000.0,
               testNs / kRanges);

    SequentialServer server(EchoOneByte);
    OnePFOEngine forwarder(Protocol::TCP, server.port);
    PFO& pfo = *forwarder.pfo;
    pfo.AcceptRanges = accept;
    if (!forwarder.Start()) return 1;
    std::vector<double> open, filtered;
    for (int r = 0; r < rounds; ++r) {
        SetStaticFilter(pfo, false);
        open.push_back(MicrosecondsPerConnection(pfo.LocalPort, connections));
        SetStaticFilter(pfo, true);
        filtered.push_back(MicrosecondsPerConnection(pfo.LocalPort, connections));
    }
    const double o = Median(open), f = Median(filtered);
    fmt::print("Short TCP connections through one PFO, {} x {} (median us per connection)\n",
               connections, rounds);
    fmt::print("  filter off              {:10.1f}\n", o);
    fmt::print("  {} accept ranges     {:10.1f}   ratio to filter off {:.2f}\n", kRanges, f, f / o);
    return 0;
}
