#include "platform/name_lookup.h"

#include <netdb.h>
#include <netinet/in.h>
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

Result<std::string> LookupAddressName(const SocketAddress& address) {
    const socklen_t length = address.isIPv4() ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    char host[NI_MAXHOST];
    const int error = getnameinfo(reinterpret_cast<const sockaddr*>(address.data()), length, host,
                                  sizeof host, nullptr, 0, NI_NUMERICSERV);
    if (error != 0) return SysError{0, "getnameinfo", address.ToNumericText(), gai_strerror(error)};
    return std::string(host);
}

}  // namespace qf
