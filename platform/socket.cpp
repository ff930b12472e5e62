#include "platform/socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/clock.h"

namespace qf {
namespace {

const sockaddr* AsSockaddr(const SocketAddress& a) {
    return reinterpret_cast<const sockaddr*>(a.data());
}

Status SetOption(int fd, int level, int name, int value, const char* what) {
    if (setsockopt(fd, level, name, &value, sizeof value) != 0)
        return LastError("setsockopt", what);
    return {};
}

int ToSystemType(SocketType type) {
    switch (type) {
        case SocketType::Stream: return SOCK_STREAM;
        case SocketType::Datagram: return SOCK_DGRAM;
        case SocketType::RawIcmp: return SOCK_RAW;
    }
    return SOCK_STREAM;
}

Status WaitForConnect(int fd, const SocketAddress& to, int timeoutMs,
                      const std::atomic<bool>* cancel) {
    constexpr int kSliceMs = 50;
    const int64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        if (cancel && cancel->load())
            return ErrorFromCode(ECANCELED, "connect", to.ToEndpointText());
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0) return ErrorFromCode(ETIMEDOUT, "connect", to.ToEndpointText());
        pollfd p{fd, POLLOUT, 0};
        const int n = poll(&p, 1, static_cast<int>(std::min<int64_t>(left, kSliceMs)));
        if (n < 0 && errno != EINTR) return LastError("poll", to.ToEndpointText());
        if (n > 0) break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error) return ErrorFromCode(error, "connect", to.ToEndpointText());
    return {};
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_.store(other.fd_.exchange(-1));
    }
    return *this;
}

template <class F>
void Socket::Guarded(F&& f) {
    while (guard_.test_and_set(std::memory_order_acquire)) guard_.wait(true);
    f();
    guard_.clear(std::memory_order_release);
    guard_.notify_one();
}

void Socket::Shutdown() {
    Guarded([&] {
        if (const int fd = fd_.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
    });
}

void Socket::ShutdownSend() {
    Guarded([&] {
        if (const int fd = fd_.load(); fd >= 0) ::shutdown(fd, SHUT_WR);
    });
}

void Socket::Close() {
    int fd = -1;
    Guarded([&] { fd = fd_.exchange(-1); });
    if (fd >= 0) ::close(fd);
}

Result<Socket> Socket::Open(AddressFamily family, SocketType type) {
    const int protocol = type == SocketType::RawIcmp ? IPPROTO_ICMP : 0;
    const int fd = ::socket(static_cast<int>(family), ToSystemType(type) | SOCK_CLOEXEC, protocol);
    if (fd < 0) return LastError("socket", family == AddressFamily::IPv6 ? "IPv6" : "IPv4");
    return Socket(fd);
}

Status Socket::Bind(const SocketAddress& address) {
    if (::bind(handle(), AsSockaddr(address), SocketAddress::kSize) != 0)
        return LastError("bind", address.ToEndpointText());
    return {};
}

Status Socket::Listen(int backlog) {
    if (::listen(handle(), backlog) != 0) return LastError("listen");
    return {};
}

Result<Socket> Socket::Accept(SocketAddress& peer) {
    for (;;) {
        peer = SocketAddress();
        std::memset(peer.data(), 0, SocketAddress::kSize);
        socklen_t length = SocketAddress::kSize;
        const int fd =
            ::accept4(handle(), reinterpret_cast<sockaddr*>(peer.data()), &length, SOCK_CLOEXEC);
        if (fd >= 0) return Socket(fd);
        if (errno != EINTR) return LastError("accept");
    }
}

Status Socket::Connect(const SocketAddress& to, int timeoutMs, const std::atomic<bool>* cancel) {
    const int fd = handle();
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    Status result;
    if (::connect(fd, AsSockaddr(to), SocketAddress::kSize) != 0) {
        result = errno == EINPROGRESS ? WaitForConnect(fd, to, timeoutMs, cancel)
                                      : LastError("connect", to.ToEndpointText());
    }
    fcntl(fd, F_SETFL, flags);
    return result;
}

Result<size_t> Socket::Receive(void* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::recv(handle(), buffer, size, 0);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) return LastError("recv");
    }
}

Status Socket::SendAll(const void* data, size_t size) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(handle(), p, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return LastError("send");
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return {};
}

Result<size_t> Socket::ReceiveFrom(void* buffer, size_t size, SocketAddress& from) {
    for (;;) {
        std::memset(from.data(), 0, SocketAddress::kSize);
        socklen_t length = SocketAddress::kSize;
        const ssize_t n = ::recvfrom(handle(), buffer, size, 0,
                                     reinterpret_cast<sockaddr*>(from.data()), &length);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) return LastError("recvfrom");
    }
}

Status Socket::SendTo(const void* data, size_t size, const SocketAddress& to) {
    for (;;) {
        if (::sendto(handle(), data, size, MSG_NOSIGNAL, AsSockaddr(to), SocketAddress::kSize) >= 0)
            return {};
        if (errno != EINTR) return LastError("sendto", to.ToEndpointText());
    }
}

Result<SocketAddress> Socket::LocalAddress() const {
    SocketAddress address;
    std::memset(address.data(), 0, SocketAddress::kSize);
    socklen_t length = SocketAddress::kSize;
    if (::getsockname(handle(), reinterpret_cast<sockaddr*>(address.data()), &length) != 0)
        return LastError("getsockname");
    return address;
}

Status Socket::SetReuseAddress(bool on) {
    return SetOption(handle(), SOL_SOCKET, SO_REUSEADDR, on, "SO_REUSEADDR");
}

Status Socket::SetReusePort(bool on) {
    return SetOption(handle(), SOL_SOCKET, SO_REUSEPORT, on, "SO_REUSEPORT");
}

Status Socket::SetV6Only(bool on) {
    return SetOption(handle(), IPPROTO_IPV6, IPV6_V6ONLY, on, "IPV6_V6ONLY");
}

Status Socket::SetNoDelay(bool on) {
    return SetOption(handle(), IPPROTO_TCP, TCP_NODELAY, on, "TCP_NODELAY");
}

Status Socket::SetKeepAlive(int intervalMs) {
    const int seconds = std::max(1, (intervalMs + 999) / 1000);
    if (auto s = SetOption(handle(), SOL_SOCKET, SO_KEEPALIVE, 1, "SO_KEEPALIVE"); !s) return s;
    if (auto s = SetOption(handle(), IPPROTO_TCP, TCP_KEEPIDLE, seconds, "TCP_KEEPIDLE"); !s)
        return s;
    if (auto s = SetOption(handle(), IPPROTO_TCP, TCP_KEEPINTVL, seconds, "TCP_KEEPINTVL"); !s)
        return s;
    return SetOption(handle(), IPPROTO_TCP, TCP_KEEPCNT, 10, "TCP_KEEPCNT");
}

Result<SocketAddress> LocalAddressToward(const SocketAddress& destination) {
    auto probe = Socket::Open(destination.family(), SocketType::Datagram);
    if (!probe) return probe.error();
    if (::connect(probe->handle(), AsSockaddr(destination), SocketAddress::kSize) != 0)
        return LastError("connect", destination.ToEndpointText());
    auto local = probe->LocalAddress();
    if (local) local->setPort(0);
    return local;
}

void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

}  // namespace qf

namespace qf {

Result<Pipe> Pipe::Open() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return LastError("pipe2");
    return Pipe(ends[0], ends[1]);
}

Pipe::Pipe(Pipe&& other) noexcept : read_(other.read_), write_(other.write_) {
    other.read_ = other.write_ = -1;
}

Pipe& Pipe::operator=(Pipe&& other) noexcept {
    std::swap(read_, other.read_);
    std::swap(write_, other.write_);
    return *this;
}

Pipe::~Pipe() {
    if (read_ >= 0) ::close(read_);
    if (write_ >= 0) ::close(write_);
}

Result<size_t> Pipe::FillFrom(Socket& source, size_t size) {
    for (;;) {
        const ssize_t n = splice(source.handle(), nullptr, write_, nullptr, size, SPLICE_F_MOVE);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) return LastError("splice", "socket to pipe");
    }
}

Status Pipe::DrainTo(Socket& destination, size_t size) {
    while (size > 0) {
        const ssize_t n =
            splice(read_, nullptr, destination.handle(), nullptr, size, SPLICE_F_MOVE);
        if (n < 0) {
            if (errno == EINTR) continue;
            return LastError("splice", "pipe to socket");
        }
        size -= static_cast<size_t>(n);
    }
    return {};
}

}  // namespace qf
