#include "platform/name_lookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

namespace qf {

std::optional<SocketAddress> ParseNumericIPv6(const std::string& text) {
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0) return std::nullopt;
    SocketAddress address;
    std::memcpy(address.data(), found->ai_addr,
                std::min<size_t>(found->ai_addrlen, SocketAddress::kSize));
    freeaddrinfo(found);
    return address;
}

Result<SocketAddress> LookupHostName(const std::string& name) {
    addrinfo* found = nullptr;
    const int error = getaddrinfo(name.c_str(), nullptr, nullptr, &found);
    if (error != 0) {
        SysError failure{0, "getaddrinfo", name, gai_strerror(error)};
        return failure;
    }
    SocketAddress address;
    std::memset(address.data(), 0, SocketAddress::kSize);
    std::memcpy(address.data(), found->ai_addr,
                std::min<size_t>(found->ai_addrlen, SocketAddress::kSize));
    freeaddrinfo(found);
    address.setPort(0);
    return address;
}

}  // namespace qf
