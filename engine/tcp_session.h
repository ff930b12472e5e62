#pragma once
// A relayed TCP session, shared by its two relay threads; the last one to finish ends it.

#include <atomic>
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

// Runs on the session set-up thread: connects to the destination and starts the relays.
void SetUpTCPSession(const PFOPtr& pfo, Socket client, const SocketAddress& clientAddress);

}  // namespace qf
