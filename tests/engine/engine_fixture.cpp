#include "engine/engine_fixture.h"

#include <filesystem>

namespace qf::testing {

void RecordingSink::Emit(ConnectionEvent event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    arrived_.notify_all();
}

std::vector<ConnectionEvent> RecordingSink::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<ConnectionEvent> RecordingSink::EventsWithId(EventId id) const {
    std::vector<ConnectionEvent> found;
    for (auto& e : Events())
        if (e.id == id) found.push_back(e);
    return found;
}

bool RecordingSink::WaitForCount(EventId id, size_t count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        size_t n = 0;
        for (auto& e : events_) n += e.id == id;
        return n >= count;
    });
}

TestServer::TestServer(std::function<void(Socket&)> handler, const SocketAddress& address)
    : handler_(std::move(handler)) {
    listener_ = std::move(*Socket::Open(address.family(), SocketType::Stream));
    EXPECT_TRUE(listener_.Bind(address));
    EXPECT_TRUE(listener_.Listen(128));
    port_ = listener_.LocalAddress()->port();
    acceptor_ = std::thread([this] {
        for (;;) {
            SocketAddress peer;
            auto accepted = listener_.Accept(peer);
            if (!accepted) return;
            std::lock_guard lock(mutex_);
            workers_.emplace_back([this, s = std::move(*accepted)]() mutable { handler_(s); });
        }
    });
}

TestServer::~TestServer() {
    listener_.Shutdown();
    acceptor_.join();
    std::lock_guard lock(mutex_);
    for (auto& w : workers_) w.join();
}

DatagramPeer::DatagramPeer(Socket socket, Reply reply)
    : socket_(std::move(socket)), reply_(std::move(reply)) {
    const auto local = socket_.LocalAddress();
    port_ = local ? local->port() : 0;
    family_ = local ? local->family() : AddressFamily::IPv4;
    thread_ = std::thread([this] { Run(); });
}

namespace {
Socket BoundDatagramSocket(AddressFamily family) {
    Socket s = std::move(*Socket::Open(family, SocketType::Datagram));
    EXPECT_TRUE(s.Bind(SocketAddress::Loopback(family)));
    return s;
}
}  // namespace

DatagramPeer::DatagramPeer(Reply reply, AddressFamily family)
    : DatagramPeer(BoundDatagramSocket(family), std::move(reply)) {}

DatagramPeer::~DatagramPeer() {
    stopping_ = true;
    socket_.Shutdown();
    thread_.join();
}

void DatagramPeer::Run() {
    std::vector<char> buffer(65536);
    for (;;) {
        SocketAddress from;
        const auto n = socket_.ReceiveFrom(buffer.data(), buffer.size(), from);
        if (!n || stopping_) return;
        const std::string payload(buffer.data(), *n);
        {
            // Recorded before it is answered: whoever has the answer finds it recorded.
            std::lock_guard lock(mutex_);
            received_.push_back({payload, from});
            arrived_.notify_all();
        }
        if (!reply_) continue;
        const std::string answer = reply_(payload);
        if (!answer.empty()) socket_.SendTo(answer.data(), answer.size(), from);
    }
}

void DatagramPeer::SendTo(uint16_t port, std::string_view payload) {
    SendTo(SocketAddress::Loopback(family_, port), payload);
}

void DatagramPeer::SendTo(const SocketAddress& to, std::string_view payload) {
    EXPECT_TRUE(socket_.SendTo(payload.data(), payload.size(), to));
}

std::vector<DatagramPeer::Datagram> DatagramPeer::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool DatagramPeer::WaitFor(size_t count, const std::function<bool(const Datagram&)>& match,
                           int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        size_t n = 0;
        for (const Datagram& d : received_) n += !match || match(d);
        return n >= count;
    });
}

void Echo(Socket& socket) {
    char buffer[65536];
    for (;;) {
        auto n = socket.Receive(buffer, sizeof buffer);
        if (!n || *n == 0 || !socket.SendAll(buffer, *n)) return;
    }
}

Socket ConnectTo(uint16_t port) {
    return ConnectTo(SocketAddress::Loopback(AddressFamily::IPv4, port));
}

Socket ConnectTo(const SocketAddress& address) {
    Socket s = std::move(*Socket::Open(address.family(), SocketType::Stream));
    EXPECT_TRUE(s.Connect(address, 5000, nullptr)) << address.ToEndpointText();
    return s;
}

std::string ReadAll(Socket& socket) {
    std::string all;
    char buffer[65536];
    for (;;) {
        auto n = socket.Receive(buffer, sizeof buffer);
        if (!n || *n == 0) return all;
        all.append(buffer, *n);
    }
}

std::string RoundTrip(Socket& socket, const std::string& text) {
    if (!socket.SendAll(text.data(), text.size())) return {};
    std::string echoed;
    char buffer[256];
    while (echoed.size() < text.size()) {
        auto n = socket.Receive(buffer, sizeof buffer);
        if (!n || *n == 0) break;
        echoed.append(buffer, *n);
    }
    return echoed;
}

uint16_t FreePort() {
    Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Stream));
    EXPECT_TRUE(s.Bind(SocketAddress::Loopback(AddressFamily::IPv4)));
    return s.LocalAddress()->port();
}

std::string Pattern(size_t size, unsigned seed) {
    std::string data(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (auto& c : data) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

int OpenSocketCount() {
    int n = 0;
    for (auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.starts_with("socket:")) ++n;
    }
    return n;
}

EngineTest::EngineTest() {
    // As the program does at start: a spliced relay cannot ask its sends not to raise SIGPIPE.
    IgnoreBrokenPipes();
    engine.eventSink = &sink;
    engine.preferences.StartStopInterval = 20;
}

EngineTest::~EngineTest() { StopEverything(); }

void EngineTest::StopEverything() {
    for (const PFOPtr& pfo : engine.pfos.Snapshot()) {
        pfo->Enabled = false;
        WaitUntil([&] { return !pfo->WorkerActive; });
        StopPFO(*pfo);
    }
    // Workers end a moment after their PFO has settled. A thread's last touch of the engine is
    // its release of CounterLock, so only a reader holding that lock may then destroy it.
    EXPECT_TRUE(WaitUntil([&] {
        std::lock_guard lock(engine.CounterLock);
        return engine.ThreadCount == 1;
    }));
}

PFOPtr EngineTest::AddTCPPFO(uint16_t localPort, uint16_t remotePort) {
    PFOPtr pfo = engine.pfos.CreateAndAppend(engine);
    pfo->LocalPort = localPort;
    pfo->RemoteHost = u"127.0.0.1";
    pfo->RemotePort = remotePort;
    return pfo;
}

PFOPtr EngineTest::AddUDPPFO(uint16_t localPort, uint16_t remotePort) {
    PFOPtr pfo = AddTCPPFO(localPort, remotePort);
    pfo->protocol = Protocol::UDP;
    return pfo;
}

bool EngineTest::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const int64_t deadline = MonotonicMs() + timeoutMs;
    while (!condition()) {
        if (MonotonicMs() > deadline) return false;
        SleepMs(1);
    }
    return true;
}

bool EngineTest::TickUntil(const PFO& pfo, PFOStatus status, int timeoutMs) {
    return WaitUntil(
        [&] {
            Tick();
            SleepMs(engine.preferences.StartStopInterval);
            return pfo.Status == status && !pfo.WorkerActive;
        },
        timeoutMs);
}

}  // namespace qf::testing
