// Request and response datagrams per second through one UDP PFO against the same exchange with
// the echo server directly, in one run. Each client keeps one request in flight.
// Usage: udp_relay_bench [milliseconds per measurement] [repetitions] [clients]

#include <atomic>
#include <cstdlib>
#include <thread>

#include "bench_support.h"
#include "platform/clock.h"

namespace qf::bench {
namespace {

constexpr size_t kPayloadBytes = 64;
constexpr int kStallLimitMs = 2000;

// Sends every datagram back to its sender.
class EchoServer {
  public:
    EchoServer() {
        socket_ = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Datagram));
        socket_.Bind(SocketAddress::Loopback(AddressFamily::IPv4));
        port = socket_.LocalAddress()->port();
        thread_ = std::thread([this] {
            char buffer[2048];
            while (!stopping_) {
                SocketAddress from;
                auto n = socket_.ReceiveFrom(buffer, sizeof buffer, from);
                if (!n) return;
                if (*n > 0) socket_.SendTo(buffer, *n, from);
            }
        });
    }
    ~EchoServer() {
        stopping_ = true;
        socket_.Shutdown();
        thread_.join();
    }
    uint16_t port = 0;

  private:
    Socket socket_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// Round trips one client completes in `milliseconds`; -1 when an answer never came.
int64_t RoundTrips(uint16_t port, int milliseconds) {
    Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Datagram));
    s.Bind(SocketAddress::Loopback(AddressFamily::IPv4));
    const SocketAddress to = SocketAddress::Loopback(AddressFamily::IPv4, port);
    const int64_t deadline = MonotonicMs() + milliseconds;
    std::atomic<bool> finished{false};
    // A lost datagram would block the receive for ever: give up on it.
    std::thread watchdog([&] {
        while (!finished && MonotonicMs() < deadline + kStallLimitMs) SleepMs(10);
        if (!finished) s.Shutdown();
    });
    char payload[kPayloadBytes] = {};
    int64_t count = 0;
    while (MonotonicMs() < deadline) {
        s.SendTo(payload, sizeof payload, to);
        auto n = s.Receive(payload, sizeof payload);
        if (!n || *n == 0) {
            count = -1;
            break;
        }
        ++count;
    }
    finished = true;
    watchdog.join();
    return count;
}

// Round trips per second of `clients` clients at once.
double RoundTripsPerSecond(uint16_t port, int milliseconds, int clients) {
    std::vector<int64_t> counts(clients);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] { counts[c] = RoundTrips(port, milliseconds); });
    for (auto& t : threads) t.join();
    int64_t total = 0;
    for (int64_t count : counts) {
        if (count < 0) {
            fmt::print(stderr, "an answer was lost\n");
            std::exit(1);
        }
        total += count;
    }
    return double(total) * 1000.0 / milliseconds;
}

}  // namespace
}  // namespace qf::bench

int main(int argc, char** argv) {
    using namespace qf;
    using namespace qf::bench;
    const int milliseconds = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    const int clients = argc > 3 ? std::atoi(argv[3]) : 1;

    EchoServer server;
    OnePFOEngine forwarder(Protocol::UDP, server.port);
    forwarder.pfo->MaxSessions = clients * repetitions;  // every measurement opens new sessions
    if (!forwarder.Start()) return 1;

    std::vector<double> direct, relayed;
    for (int r = 0; r < repetitions; ++r) {
        direct.push_back(RoundTripsPerSecond(server.port, milliseconds, clients));
        relayed.push_back(RoundTripsPerSecond(forwarder.pfo->LocalPort, milliseconds, clients));
    }
    const double d = Median(direct), p = Median(relayed);
    fmt::print("UDP request/response, {} ms x {}, {} client(s) (median round trips/s)\n",
               milliseconds, repetitions, clients);
    fmt::print("  direct   {:10.0f}\n  via PFO  {:10.0f}\n  ratio    {:10.2f}\n", d, p, p / d);
    return 0;
}
