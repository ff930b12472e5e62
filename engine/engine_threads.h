#pragma once
// Internal to the engine: thread accounting and the listener entry points.

#include "engine/engine_state.h"
#include "platform/thread.h"

namespace qf {

// Changes ThreadCount, and the PFO's PFOThreadCount when one is given, under CounterLock.
void CountThreads(EngineState& engine, PFO* pfo, int delta);

// Starts `body` on a thread counted from before it starts until after it ends, so that a zero
// count means that no such thread runs or is on its way. The thread keeps `pfo` alive.
// What `body` captures is released only after the count dropped: move out what must end first.
template <class Body>
bool StartCountedThread(const char* name, EngineState& engine, const PFOPtr& pfo, Body body) {
    CountThreads(engine, pfo.get(), +1);
    auto run = [&engine, pfo, body = std::move(body)]() mutable {
        body();
        CountThreads(engine, pfo.get(), -1);
    };
    if (StartThread(name, std::move(run))) return true;
    CountThreads(engine, pfo.get(), -1);
    return false;
}

// Starts the listener thread of the PFO's protocol; false when it cannot be created.
bool LaunchListener(const PFOPtr& pfo);
bool LaunchTCPListener(const PFOPtr& pfo);

// Listener start-up shared by both protocols: resolves LocalIP into LocalAddress (false when it
// resolves to nothing) and refreshes the OL texts shown in the display.
bool ResolveListenerAddresses(PFO& pfo);

// Resolves OLAddress into OLResolvedAddress unless the last resolution still matches it.
// False when it resolves to nothing.
bool ResolveOutboundLocal(PFO& pfo, SocketAddress& resolved);

}  // namespace qf
