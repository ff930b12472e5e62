#pragma once
// A real engine on loopback with a recording event sink and display, and small TCP peers.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/connection_event.h"
#include "engine/engine_state.h"
#include "engine/lifecycle.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace qf::testing {

class RecordingSink : public ConnectionEventSink {
  public:
    bool Wanted() const override { return true; }
    void Emit(ConnectionEvent event) override;
    std::vector<ConnectionEvent> Events() const;
    std::vector<ConnectionEvent> EventsWithId(EventId id) const;
    // Waits up to `timeoutMs` until `count` events with `id` have arrived.
    bool WaitForCount(EventId id, size_t count, int timeoutMs = 5000) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<ConnectionEvent> events_;
};

class RecordingDisplay : public PFODisplay {
  public:
    void RefreshRow(const PFO&) override { ++refreshes; }
    void Resort() override { ++resorts; }
    void SaveSettings() override { ++saves; }
    void DropSelection(const PFO&) override { ++dropped; }
    bool DeleteRow(const PFO&) override { return ++deletedRows, hasRows.load(); }
    void AfterDelete() override { ++afterDeletes; }

    std::atomic<int> refreshes{0}, resorts{0}, saves{0}, dropped{0}, deletedRows{0},
        afterDeletes{0};
    std::atomic<bool> hasRows{true};
};

// A TCP server (on IPv4 loopback unless told otherwise) that runs `handler` for every
// connection on its own thread.
class TestServer {
  public:
    explicit TestServer(
        std::function<void(Socket&)> handler,
        const SocketAddress& address = SocketAddress::Loopback(AddressFamily::IPv4));
    ~TestServer();
    uint16_t port() const { return port_; }

  private:
    Socket listener_;
    uint16_t port_ = 0;
    std::function<void(Socket&)> handler_;
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
};

// Records every datagram its socket receives, on a thread of its own, and answers each with
// `reply(payload)` unless that is empty. Raw ICMP sockets record whole IP packets.
class DatagramPeer {
  public:
    struct Datagram {
        std::string payload;
        SocketAddress from;
    };
    using Reply = std::function<std::string(const std::string&)>;

    explicit DatagramPeer(Socket socket, Reply reply = {});
    // A UDP peer on the loopback address of `family`.
    explicit DatagramPeer(Reply reply = {}, AddressFamily family = AddressFamily::IPv4);
    ~DatagramPeer();

    uint16_t port() const { return port_; }
    void SendTo(uint16_t port, std::string_view payload);
    void SendTo(const SocketAddress& to, std::string_view payload);
    std::vector<Datagram> Received() const;
    // Waits until `count` received datagrams satisfy `match` (all do when it is empty).
    bool WaitFor(size_t count, const std::function<bool(const Datagram&)>& match = {},
                 int timeoutMs = 5000) const;

  private:
    void Run();

    Socket socket_;
    uint16_t port_ = 0;
    AddressFamily family_;
    Reply reply_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Datagram> received_;
    std::thread thread_;
};

void Echo(Socket& socket);
Socket ConnectTo(uint16_t port);
Socket ConnectTo(const SocketAddress& address);
// Reads until the peer closes; returns what arrived.
std::string ReadAll(Socket& socket);
// Sends `text` through an echoing session and reads as many bytes back (fewer when it ends).
std::string RoundTrip(Socket& socket, const std::string& text);
// A port that was free a moment ago.
uint16_t FreePort();
std::string Pattern(size_t size, unsigned seed);
// Parked relay threads keep their pipes, so only sockets tell whether a session leaked.
int OpenSocketCount();

class EngineTest : public ::testing::Test {
  protected:
    EngineTest();
    ~EngineTest() override;

    PFOPtr AddTCPPFO(uint16_t localPort, uint16_t remotePort);
    PFOPtr AddUDPPFO(uint16_t localPort, uint16_t remotePort);
    void Tick() { Reconcile(engine, display); }
    // Ticks the reconciler until `pfo` reaches `status`; false after `timeoutMs`.
    bool TickUntil(const PFO& pfo, PFOStatus status, int timeoutMs = 5000);
    bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
    void StopEverything();

    TextCatalog texts;
    EngineState engine{texts};
    RecordingSink sink;
    RecordingDisplay display;
};

}  // namespace qf::testing
