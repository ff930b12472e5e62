#pragma once
// Internal to the engine: thread accounting and the listener entry points.

#include "engine/engine_state.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace qf {

// Polls `condition` every `periodMs` until it is false.
template <class Condition>
void WaitWhile(Condition condition, int periodMs = 1) {
    while (condition()) SleepMs(periodMs);
}

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

// True when no thread may be started for a new session.
bool ThreadLimitReached(const EngineState& engine);

// Starts the listener thread of the PFO's protocol; false when it cannot be created.
bool LaunchListener(const PFOPtr& pfo);
bool LaunchTCPListener(const PFOPtr& pfo);
bool LaunchUDPListener(const PFOPtr& pfo);

// Keeps why the last start failed, for the status display; empty after a good start.
void RecordStartError(PFO& pfo, const std::string& message);

// Listener start-up shared by both protocols: resolves the addresses, opens ListenSocket with
// `type` and binds it to ListenAddress (LocalAddress with LocalPort). A failure is recorded and
// leaves ListenSocket closed.
bool OpenListenSocket(PFO& pfo, SocketType type);

// Listener start-up shared by both protocols: resolves LocalIP into LocalAddress (false when it
// resolves to nothing) and refreshes the OL texts shown in the display.
bool ResolveListenerAddresses(PFO& pfo);

// Resolves OLAddress into OLResolvedAddress unless the last resolution still matches it.
// False when it resolves to nothing.
bool ResolveOutboundLocal(PFO& pfo, SocketAddress& resolved);

}  // namespace qf
