#pragma once
// Internal to the engine: thread accounting and the listener entry points.

#include "engine/engine_state.h"

namespace qf {

// Counts the calling thread in ThreadCount, and in PFOThreadCount when a PFO is given,
// for the lifetime of the scope.
class CountedThread {
  public:
    CountedThread(EngineState& engine, PFO* pfo);
    // For a thread its launcher counted before starting it (see CountLaunch).
    struct Adopt {};
    CountedThread(EngineState& engine, PFO* pfo, Adopt) : engine_(engine), pfo_(pfo) {}
    ~CountedThread();
    CountedThread(const CountedThread&) = delete;
    CountedThread& operator=(const CountedThread&) = delete;

  private:
    EngineState& engine_;
    PFO* pfo_;
};

// Counts a thread before it starts, so that a PFO's thread count never reads 0 while its
// listener is on its way; undone with delta -1 when the thread cannot be created.
void CountLaunch(EngineState& engine, PFO& pfo, int delta);

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
