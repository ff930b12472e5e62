#include "engine/engine_threads.h"

#include "net/address.h"

namespace qf {

void CountThreads(EngineState& engine, PFO* pfo, int delta) {
    std::lock_guard lock(engine.CounterLock);
    engine.ThreadCount += delta;
    if (pfo) pfo->PFOThreadCount += delta;
}

bool ThreadLimitReached(const EngineState& engine) {
    return engine.ThreadCount >= engine.PendingConnects + engine.preferences.MaximumThreads;
}

bool LaunchListener(const PFOPtr& pfo) {
    switch (pfo->protocol) {
        case Protocol::TCP: return LaunchTCPListener(pfo);
        case Protocol::UDP: return LaunchUDPListener(pfo);
    }
    return false;
}

void RecordStartError(PFO& pfo, const std::string& message) {
    std::lock_guard lock(pfo.ResolvedLock);
    pfo.StartError = Utf8ToText(message);
}

namespace {

struct Resolution {
    Text text;      // blank when the specification resolves to nothing
    bool resolved;  // false when `current` already matched the specification
};

// Re-resolves `spec` unless `current` already formats to it, so that literal specifications
// are never looked up again. An address that must be on an interface that is up is always
// checked: Linux keeps the addresses of a link that went down, so the bind alone would
// succeed. The texts shown in the display follow the outcome.
Resolution ResolveUnlessCurrent(PFO& pfo, const SocketAddress& current, const Text& spec,
                                bool requireUp, Text& resolvedText, Text& detail) {
    const bool macBinding = pfo.engine.preferences.EnableMACBasedBinding;
    std::unique_lock lock(pfo.ResolvedLock);
    resolvedText = FormatAddress(current);
    if (resolvedText == spec && !requireUp) return {resolvedText, false};
    lock.unlock();
    Text newDetail;
    Text result = pfo.engine.resolver.ResolveHostSpec(spec, requireUp, macBinding, &newDetail);
    lock.lock();
    detail = newDetail.substr(0, 255);
    resolvedText = result.substr(0, 255);
    return {result, true};
}

SocketAddress CurrentOL(PFO& pfo) {
    std::lock_guard lock(pfo.ResolvedLock);
    return pfo.OLResolvedAddress;
}

Resolution ResolveOL(PFO& pfo, const SocketAddress& current) {
    Resolution ol = ResolveUnlessCurrent(pfo, current, pfo.OLAddress, false, pfo.OLResolvedText,
                                         pfo.OLResolveDetail);
    if (ol.resolved) {
        std::lock_guard lock(pfo.ResolvedLock);
        pfo.OLDisplayStale = true;
    }
    return ol;
}

}  // namespace

bool ResolveListenerAddresses(PFO& pfo) {
    const bool requireUp = pfo.engine.preferences.BindPortsOnlyWhileUp;
    const Resolution local = ResolveUnlessCurrent(pfo, pfo.LocalAddress, pfo.LocalIP, requireUp,
                                                  pfo.LocalResolvedText, pfo.LocalResolveDetail);
    if (local.text.empty()) return false;
    pfo.LocalAddress = ParseAddress(local.text, true);
    ResolveOL(pfo, CurrentOL(pfo));
    return true;
}

bool ResolveOutboundLocal(PFO& pfo, SocketAddress& resolved) {
    const SocketAddress current = CurrentOL(pfo);
    const Resolution ol = ResolveOL(pfo, current);
    if (!ol.resolved) {
        resolved = current;
        return true;
    }
    if (ol.text.empty()) return false;
    std::lock_guard lock(pfo.ResolvedLock);
    resolved = pfo.OLResolvedAddress = ParseAddress(ol.text, true);
    return true;
}

namespace {

void SetListenerOptions(PFO& pfo, SocketType type) {
    Socket& listener = pfo.ListenSocket;
    if (type == SocketType::Stream) {
        // Without SO_REUSEADDR Linux refuses the port while old connections sit in TIME_WAIT;
        // sharing a port with another live listener is what the re-use option asks for.
        listener.SetReuseAddress(true);
        if (pfo.Address_ReUse) listener.SetReusePort(true);
    } else if (pfo.Address_ReUse) {
        listener.SetReuseAddress(true);
    }
    if (pfo.ListenAddress.isIPv6()) listener.SetV6Only(true);
}

}  // namespace

bool OpenListenSocket(PFO& pfo, SocketType type) {
    if (!ResolveListenerAddresses(pfo)) {
        RecordStartError(pfo, "unable to resolve the local interface " + TextToUtf8(pfo.LocalIP));
        return false;
    }
    pfo.ListenAddress = pfo.LocalAddress;
    pfo.ListenAddress.setPort(pfo.LocalPort);
    auto opened = Socket::Open(pfo.ListenAddress.family(), type);
    if (!opened) {
        RecordStartError(pfo, opened.error().Message());
        return false;
    }
    // ListenSocket from creation on, so that a stop can reach it.
    pfo.ListenSocket = std::move(*opened);
    SetListenerOptions(pfo, type);
    if (Status bound = pfo.ListenSocket.Bind(pfo.ListenAddress); !bound) {
        RecordStartError(pfo, bound.error().Message());
        pfo.ListenSocket.Close();
        return false;
    }
    RecordStartError(pfo, {});
    return true;
}

}  // namespace qf
