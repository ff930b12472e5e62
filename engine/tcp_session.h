#pragma once
// A relayed TCP session, shared by its two relay threads; the last one to finish ends it.

#include <atomic>
#include <functional>
#include <list>

#include "engine/capture.h"
#include "engine/pfo.h"

namespace qf {

struct TCPSession {
    TCPSession(PFOPtr pfo, Socket client, Socket server, const SocketAddress& clientAddress)
        : pfo(std::move(pfo)),
          client(std::move(client)),
          server(std::move(server)),
          clientAddress(clientAddress) {}

    const PFOPtr pfo;
    Socket client;  // closed by the destructor: the last user
    Socket server;
    const SocketAddress clientAddress;
    SocketAddress outboundLocal;  // the server connection's local address
    CaptureFiles capture;         // set before the relays start

    // Written by one relay each, read once both relays have finished.
    double clientData = 0.0;
    double serverData = 0.0;

    std::atomic<int> relaysRunning{0};
    std::atomic<bool> socketsShutDown{false};
    std::list<TCPSession*>::iterator listPosition;  // TCPListLock
};

// Shuts down the server connection of every listed session whose client `ends` picks, which
// makes its relays end it. Any thread; holds TCPListLock while it walks.
void ShutDownTCPSessions(PFO& pfo, const std::function<bool(const SocketAddress& client)>& ends);

// Runs on the session set-up thread: connects to the destination, starts the server-to-client
// relay, calls `setUpEnded` and then relays the client's bytes itself until the session ends.
// `setUpEnded` is called once, also when the set-up fails.
void RunTCPSession(const PFOPtr& pfo, Socket client, const SocketAddress& clientAddress,
                   const std::function<void()>& setUpEnded);

}  // namespace qf
