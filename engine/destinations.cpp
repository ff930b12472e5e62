#include "engine/destinations.h"

#include "engine/engine_state.h"
#include "engine/engine_threads.h"
#include "net/address.h"
#include "platform/text_tools.h"

namespace qf {

bool SendsToClient(const PFO& pfo, TextView host) { return pfo.Bounce || IsBlank(host); }

Text ResolveDestinationHost(PFO& pfo, TextView host, bool mainDestination) {
    Text detail;
    const Text resolved = pfo.engine.resolver.ResolveHostSpec(
        host, false, pfo.engine.preferences.EnableMACBasedBinding, &detail);
    if (mainDestination) {
        std::lock_guard lock(pfo.ResolvedLock);
        pfo.RemoteResolvedText = resolved.substr(0, 255);
        pfo.RemoteResolveDetail = detail.substr(0, 255);
    }
    return resolved;
}

std::optional<SocketAddress> DestinationAddress(PFO& pfo, const RemoteDestination& destination,
                                                const SocketAddress& client, bool mainDestination) {
    SocketAddress address = client;
    if (!SendsToClient(pfo, destination.host)) {
        const Text resolved = ResolveDestinationHost(pfo, destination.host, mainDestination);
        if (resolved.empty()) return std::nullopt;
        address = ParseAddress(resolved, true);
    }
    address.setPort(destination.port);
    return address;
}

bool BindOutbound(PFO& pfo, Socket& socket, const SocketAddress& destination, uint16_t fixedPort,
                  SocketAddress& bindAddress) {
    bindAddress = pfo.PlaceholderOLAddress;
    bool bindWanted = true;
    if (pfo.Outbound_Bind) {
        bindAddress = pfo.LocalAddress;
    } else if (IsBlank(pfo.OLAddress)) {
        bindWanted = false;
    } else if (!ResolveOutboundLocal(pfo, bindAddress)) {
        return false;
    }
    if (fixedPort != 0) {
        socket.SetReuseAddress(true);
        if (!bindWanted) {
            auto routed = LocalAddressToward(destination);
            bindAddress = routed ? *routed : SocketAddress();
        }
        bindAddress.setPort(fixedPort);
        socket.Bind(bindAddress);
    } else if (bindWanted) {
        bindAddress.setPort(0);
        socket.Bind(bindAddress);
    }
    return true;
}

}  // namespace qf
