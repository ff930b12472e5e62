// Load for the forwarder benchmarks, on loopback. Prints one line of key=value results.
//   loadgen conn <port> <workers> <seconds>    connect, send 64 bytes, read the 64-byte echo,
//                                              close; connections per second, p99 latency
//   loadgen pingpong <port> <seconds>          1-byte request and response on one connection
//   loadgen udp <port> <in-flight> <seconds>   64-byte request/response datagrams
//   loadgen idle <port> <count>                holds <count> connections until stdin closes

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const sockaddr_in a = Loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool ReadExactly(int fd, char* buffer, size_t size) {
    for (size_t got = 0; got < size;) {
        const ssize_t n = read(fd, buffer + got, size - got);
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

void Connections(int port, int workers, double seconds) {
    std::atomic<long> done{0}, errors{0};
    std::mutex mutex;
    std::vector<double> latencies;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&] {
            std::vector<double> mine;
            char request[64], reply[64];
            std::memset(request, 'r', sizeof request);
            while (Clock::now() < end) {
                const auto start = Clock::now();
                const int fd = Connect(port);
                bool ok = fd >= 0 && write(fd, request, sizeof request) == sizeof request &&
                          ReadExactly(fd, reply, sizeof reply);
                if (fd >= 0) close(fd);
                if (!ok) {
                    ++errors;
                    continue;
                }
                mine.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - start).count());
                ++done;
            }
            std::lock_guard lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    for (auto& t : threads) t.join();
    std::sort(latencies.begin(), latencies.end());
    const double p99 = latencies.empty() ? 0 : latencies[size_t(latencies.size() * 0.99)];
    std::printf("conns_per_s=%.0f p99_us=%.0f errors=%ld\n", done / seconds, p99, errors.load());
}

void PingPong(int port, double seconds) {
    const int fd = Connect(port);
    if (fd < 0) {
        std::printf("rtt_per_s=0 errors=1\n");
        return;
    }
    long count = 0;
    char byte = 'p';
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        if (write(fd, &byte, 1) != 1 || !ReadExactly(fd, &byte, 1)) break;
        ++count;
    }
    close(fd);
    std::printf("rtt_per_s=%.0f\n", count / seconds);
}

void Datagrams(int port, int inFlight, double seconds) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in a = Loopback(port);
    connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    char payload[64];
    std::memset(payload, 'u', sizeof payload);
    for (int i = 0; i < inFlight; ++i) send(fd, payload, sizeof payload, 0);
    long answered = 0, lost = 0;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            ++lost;  // a datagram went missing: keep the window full
            send(fd, payload, sizeof payload, 0);
            continue;
        }
        if (recv(fd, payload, sizeof payload, 0) <= 0) continue;
        ++answered;
        send(fd, payload, sizeof payload, 0);
    }
    close(fd);
    std::printf("datagrams_per_s=%.0f stalls=%ld\n", answered / seconds, lost);
}

void Idle(int port, int count) {
    std::vector<int> fds;
    for (int i = 0; i < count; ++i) {
        const int fd = Connect(port);
        if (fd < 0) break;
        fds.push_back(fd);
    }
    std::printf("ready=%zu\n", fds.size());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    for (int fd : fds) close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: see the comment at the top of loadgen.cpp\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int port = std::atoi(argv[2]);
    if (mode == "conn" && argc > 4)
        Connections(port, std::atoi(argv[3]), std::atof(argv[4]));
    else if (mode == "pingpong")
        PingPong(port, std::atof(argv[3]));
    else if (mode == "udp" && argc > 4)
        Datagrams(port, std::atoi(argv[3]), std::atof(argv[4]));
    else if (mode == "idle")
        Idle(port, std::atoi(argv[3]));
    else
        return 2;
}
