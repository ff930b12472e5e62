#pragma once
// What the relay benchmarks share: an engine with one started PFO, and the median of runs.

#include <fmt/format.h>

#include <algorithm>
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

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace qf::bench
