#pragma once
// What the benchmarks share: an engine with one started PFO, a TCP peer, and the median of
// runs.

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "engine/engine_state.h"
#include "engine/lifecycle.h"
#include "platform/socket.h"

namespace qf::bench {

// A port on loopback that was free a moment ago.
inline uint16_t FreeLoopbackPort(SocketType type) {
    Socket probe = std::move(*Socket::Open(AddressFamily::IPv4, type));
    probe.Bind(SocketAddress::Loopback(AddressFamily::IPv4));
    return probe.LocalAddress()->port();
}

// An engine with one PFO of `protocol` from a free loopback port to `remotePort` on loopback.
class OnePFOEngine {
  public:
    OnePFOEngine(Protocol protocol, uint16_t remotePort) {
        pfo->protocol = protocol;
        pfo->LocalPort =
            FreeLoopbackPort(protocol == Protocol::TCP ? SocketType::Stream : SocketType::Datagram);
        pfo->RemoteHost = u"127.0.0.1";
        pfo->RemotePort = remotePort;
    }
    ~OnePFOEngine() { StopPFO(*pfo); }

    bool Start() {
        if (StartPFO(*pfo)) return true;
        fmt::print(stderr, "the PFO did not start: {}\n", TextToUtf8(pfo->StartError));
        return false;
    }

    TextCatalog texts;
    EngineState engine{texts};
    PFOPtr pfo = engine.pfos.CreateAndAppend(engine);
};

// A TCP server on IPv4 loopback that takes one connection at a time and hands it to `serve`.
class SequentialServer {
  public:
    explicit SequentialServer(std::function<void(Socket&)> serve) : serve_(std::move(serve)) {
        listener_ = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
        listener_.Bind(SocketAddress::Loopback(AddressFamily::IPv4));
        listener_.Listen(128);
        port = listener_.LocalAddress()->port();
        thread_ = std::thread([this] {
            for (;;) {
                SocketAddress peer;
                auto s = listener_.Accept(peer);
                if (!s) return;
                serve_(*s);
            }
        });
    }
    ~SequentialServer() {
        listener_.Shutdown();
        thread_.join();
    }
    uint16_t port = 0;

  private:
    std::function<void(Socket&)> serve_;
    Socket listener_;
    std::thread thread_;
};

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace qf::bench
