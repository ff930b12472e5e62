#pragma once
// RAII sockets. Ownership rule: a socket is closed exactly once, by its owner or last user;
// any other thread may only Shutdown() it, which wakes the owner's blocked call (on Linux a
// close from another thread wakes nothing and the descriptor number is reused at once).
// Shutdown() and Close() are safe to call from any thread at any time; the data calls are
// for the owner and must not race with Close().

#include <atomic>
#include <cstddef>

#include "platform/result.h"
#include "platform/socket_address.h"

namespace qf {

enum class SocketType { Stream, Datagram, RawIcmp };

class Socket {
  public:
    Socket() = default;
    explicit Socket(int handle) : fd_(handle) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : fd_(other.fd_.exchange(-1)) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    static Result<Socket> Open(AddressFamily family, SocketType type);

    bool valid() const { return fd_.load(std::memory_order_acquire) >= 0; }
    void Shutdown();
    void ShutdownSend();
    void Close();

    Status Bind(const SocketAddress& address);
    Status Listen(int backlog);
    // The peer address is fully zeroed first, so IPv4 peers compare byte-wise.
    Result<Socket> Accept(SocketAddress& peer);
    // Non-blocking connect waited for in short slices; `cancel` (may be null) abandons it.
    Status Connect(const SocketAddress& to, int timeoutMs, const std::atomic<bool>* cancel);
    // 0 means an orderly close (stream) or an empty datagram / a shut-down socket (datagram).
    Result<size_t> Receive(void* buffer, size_t size);
    Status SendAll(const void* data, size_t size);
    Result<size_t> ReceiveFrom(void* buffer, size_t size, SocketAddress& from);
    Status SendTo(const void* data, size_t size, const SocketAddress& to);
    Result<SocketAddress> LocalAddress() const;

    Status SetReuseAddress(bool on);
    Status SetReusePort(bool on);
    Status SetV6Only(bool on);
    Status SetNoDelay(bool on);
    // Idle time and probe interval both `intervalMs`, rounded up to whole seconds.
    Status SetKeepAlive(int intervalMs);

    int handle() const { return fd_.load(std::memory_order_acquire); }

  private:
    template <class F>
    void Guarded(F&& f);

    std::atomic<int> fd_{-1};
    std::atomic_flag guard_ = ATOMIC_FLAG_INIT;  // orders Shutdown against Close
};

// The local address the system would use to reach `destination` (a connected datagram socket
// that sends nothing).
Result<SocketAddress> LocalAddressToward(const SocketAddress& destination);

// Ignores SIGPIPE process-wide; every send also passes MSG_NOSIGNAL.
void IgnoreBrokenPipes();

}  // namespace qf

namespace qf {

// A kernel pipe for moving socket data without copying it through user space.
class Pipe {
  public:
    static Result<Pipe> Open();
    Pipe(Pipe&& other) noexcept;
    Pipe& operator=(Pipe&& other) noexcept;
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    // Moves up to `size` bytes from `source` into the pipe; 0 at an orderly close.
    Result<size_t> FillFrom(Socket& source, size_t size);
    // Moves `size` bytes, all that the pipe holds, to `destination`.
    Status DrainTo(Socket& destination, size_t size);

  private:
    Pipe(int readEnd, int writeEnd) : read_(readEnd), write_(writeEnd) {}
    int read_ = -1;
    int write_ = -1;
};

}  // namespace qf
