#include "engine/connection_event.h"

#include "engine/engine_state.h"

namespace qf {

namespace {
constexpr int kBounceHostTextId = 119;
}

void EmitConnectionEvent(EventId id, const PFO& pfo, const EventSite& site) {
    ConnectionEventSink* sink = pfo.engine.eventSink.load();
    if (!sink || !sink->Wanted()) return;
    const TextCatalog& texts = pfo.engine.texts;
    ConnectionEvent event{
        .id = id,
        .text = texts.Program(static_cast<int>(id)),
        .when = std::chrono::system_clock::now(),
        .localAddress = pfo.LocalAddress,
        .localPort = pfo.LocalPort,
        .localSpec = pfo.LocalIP,
        .remoteHost = pfo.Bounce ? texts.Program(kBounceHostTextId) : site.remoteHost,
        .remotePort = site.remotePort,
        .clientAddress = site.client,
        .clientPort = site.client.port(),
        .olAddress = site.outboundLocal,
        .olPort = site.outboundLocal.port(),
        .protocol = pfo.protocol == Protocol::TCP ? u"TCP" : u"UDP",
        .clientData = site.clientData,
        .serverData = site.serverData,
    };
    sink->Emit(std::move(event));
}

}  // namespace qf
