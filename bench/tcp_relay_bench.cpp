// Bytes per second through one TCP PFO against a direct loopback transfer, in one run, and
// the same PFO with data capture on.
// Usage: tcp_relay_bench [megabytes per transfer] [repetitions]

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "bench_support.h"
#include "logging/capture.h"
#include "platform/clock.h"

namespace qf::bench {
namespace {

// Reads until the client has sent everything.
void Discard(Socket& socket) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        auto n = socket.Receive(buffer.data(), buffer.size());
        if (!n || *n == 0) return;
    }
}

double MegabytesPerSecond(uint16_t port, size_t megabytes) {
    Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    if (!s.Connect(SocketAddress::Loopback(AddressFamily::IPv4, port), 5000, nullptr)) std::abort();
    std::vector<char> chunk(1 << 16, 'x');
    const int64_t start = MonotonicMs();
    for (size_t sent = 0; sent < megabytes << 20; sent += chunk.size())
        s.SendAll(chunk.data(), chunk.size());
    s.ShutdownSend();
    char c;
    s.Receive(&c, 1);  // the far end closes once it has read everything
    return double(megabytes) * 1000.0 / double(std::max<int64_t>(1, MonotonicMs() - start));
}

}  // namespace
}  // namespace qf::bench

int main(int argc, char** argv) {
    using namespace qf;
    using namespace qf::bench;
    IgnoreBrokenPipes();
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2048;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;

    SequentialServer server(Discard);
    OnePFOEngine forwarder(Protocol::TCP, server.port);
    if (!forwarder.Start()) return 1;
    EngineState& engine = forwarder.engine;
    const PFOPtr& pfo = forwarder.pfo;

    char folder[] = "/tmp/ferrox-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    CaptureFileOpener capture(forwarder.texts, ProcessPathContext(u"/"));
    capture.SetOptions({Utf8ToText(folder), u"#CPort_#SOD", u""});
    engine.captureOpener = &capture;

    std::vector<double> direct, relayed, captured;
    for (int r = 0; r < repetitions; ++r) {
        direct.push_back(MegabytesPerSecond(server.port, megabytes));
        relayed.push_back(MegabytesPerSecond(pfo->LocalPort, megabytes));
        engine.preferences.DataLogEnabled = true;
        captured.push_back(MegabytesPerSecond(pfo->LocalPort, megabytes));
        engine.preferences.DataLogEnabled = false;
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
    }
    std::filesystem::remove_all(folder);
    const double d = Median(direct), p = Median(relayed), c = Median(captured);
    fmt::print("TCP stream, {} MiB x {} (median MiB/s)\n", megabytes, repetitions);
    fmt::print("  direct              {:10.1f}\n", d);
    fmt::print("  via PFO             {:10.1f}   ratio to direct {:.2f}\n", p, p / d);
    fmt::print("  via PFO, captured   {:10.1f}   ratio to uncaptured {:.2f}\n", c, c / p);
    StopPFO(*pfo);  // before `capture` goes
    return 0;
}
