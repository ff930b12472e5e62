// Backend for the forwarder benchmarks, on loopback:
//   backend tcp <port> echo         echoes until the client closes
//   backend tcp <port> close-first  echoes one 64-byte request, then closes first
//   backend udp <port>              echoes every datagram
// Runs until killed. One epoll loop per core, sharing the port.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int Bound(int type, int port) {
    const int fd = socket(AF_INET, type | SOCK_NONBLOCK, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        perror("bind");
        std::exit(1);
    }
    if (type == SOCK_STREAM) listen(fd, 4096);
    return fd;
}

void ServeTcp(int port, bool closeFirst) {
    const int listener = Bound(SOCK_STREAM, port);
    const int poller = epoll_create1(0);
    epoll_event event{EPOLLIN, {.fd = listener}};
    epoll_ctl(poller, EPOLL_CTL_ADD, listener, &event);
    std::vector<epoll_event> ready(256);
    char buffer[65536];
    for (;;) {
        const int n = epoll_wait(poller, ready.data(), int(ready.size()), -1);
        for (int i = 0; i < n; ++i) {
            const int fd = ready[i].data.fd;
            if (fd == listener) {
                for (int c; (c = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
                    const int one = 1;
                    setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    epoll_event e{EPOLLIN, {.fd = c}};
                    epoll_ctl(poller, EPOLL_CTL_ADD, c, &e);
                }
                continue;
            }
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) {
                close(fd);
                continue;
            }
            if (write(fd, buffer, size_t(got)) != got || closeFirst) close(fd);
        }
    }
}

void ServeUdp(int port) {
    const int fd = Bound(SOCK_DGRAM, port);
    const int flags = 0;
    char buffer[65536];
    for (;;) {
        sockaddr_storage from{};
        socklen_t length = sizeof from;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        select(fd + 1, &set, nullptr, nullptr, nullptr);
        const ssize_t got =
            recvfrom(fd, buffer, sizeof buffer, flags, reinterpret_cast<sockaddr*>(&from), &length);
        if (got >= 0)
            sendto(fd, buffer, size_t(got), 0, reinterpret_cast<sockaddr*>(&from), length);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: backend tcp|udp <port> [echo|close-first]\n");
        return 2;
    }
    const std::string kind = argv[1];
    const int port = std::atoi(argv[2]);
    const bool closeFirst = argc > 3 && std::string(argv[3]) == "close-first";
    std::vector<std::thread> loops;
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
        loops.emplace_back([&] { kind == "udp" ? ServeUdp(port) : ServeTcp(port, closeFirst); });
    for (auto& t : loops) t.join();
}
