#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstddef>

namespace qf {

static_assert(sizeof(sockaddr_in6) == SocketAddress::kSize);
static_assert(static_cast<int>(AddressFamily::IPv4) == AF_INET);
static_assert(static_cast<int>(AddressFamily::IPv6) == AF_INET6);
static_assert(offsetof(sockaddr_in, sin_port) == offsetof(sockaddr_in6, sin6_port));

namespace {
sockaddr_in6& As6(uint8_t* p) { return *reinterpret_cast<sockaddr_in6*>(p); }
const sockaddr_in6& As6(const uint8_t* p) { return *reinterpret_cast<const sockaddr_in6*>(p); }
sockaddr_in& As4(uint8_t* p) { return *reinterpret_cast<sockaddr_in*>(p); }
const sockaddr_in& As4(const uint8_t* p) { return *reinterpret_cast<const sockaddr_in*>(p); }
}  // namespace

SocketAddress::SocketAddress() { As4(bytes_.data()).sin_family = AF_INET; }

SocketAddress SocketAddress::IPv4(const std::array<uint8_t, 4>& bytes, uint16_t port) {
    SocketAddress a;
    std::memcpy(&As4(a.bytes_.data()).sin_addr, bytes.data(), 4);
    a.setPort(port);
    return a;
}

SocketAddress SocketAddress::IPv6(const std::array<uint8_t, 16>& bytes, uint16_t port,
                                  uint32_t scopeId, uint32_t flowInfo) {
    SocketAddress a;
    auto& s = As6(a.bytes_.data());
    s.sin6_family = AF_INET6;
    s.sin6_flowinfo = flowInfo;
    std::memcpy(&s.sin6_addr, bytes.data(), 16);
    s.sin6_scope_id = scopeId;
    a.setPort(port);
    return a;
}

SocketAddress SocketAddress::Loopback(AddressFamily family, uint16_t port) {
    if (family == AddressFamily::IPv6) {
        std::array<uint8_t, 16> b{};
        b[15] = 1;
        return IPv6(b, port);
    }
    return IPv4({127, 0, 0, 1}, port);
}

SocketAddress SocketAddress::Any(AddressFamily family, uint16_t port) {
    return family == AddressFamily::IPv6 ? IPv6({}, port) : IPv4({}, port);
}

AddressFamily SocketAddress::family() const {
    switch (As6(bytes_.data()).sin6_family) {
        case AF_INET: return AddressFamily::IPv4;
        case AF_INET6: return AddressFamily::IPv6;
        default: return AddressFamily::Unspecified;
    }
}

uint16_t SocketAddress::port() const { return ntohs(As6(bytes_.data()).sin6_port); }
void SocketAddress::setPort(uint16_t port) { As6(bytes_.data()).sin6_port = htons(port); }

std::array<uint8_t, 4> SocketAddress::ipv4Bytes() const {
    std::array<uint8_t, 4> b{};
    std::memcpy(b.data(), &As4(bytes_.data()).sin_addr, 4);
    return b;
}

std::array<uint8_t, 16> SocketAddress::ipv6Bytes() const {
    std::array<uint8_t, 16> b{};
    std::memcpy(b.data(), &As6(bytes_.data()).sin6_addr, 16);
    return b;
}

uint32_t SocketAddress::scopeId() const { return isIPv6() ? As6(bytes_.data()).sin6_scope_id : 0; }
uint32_t SocketAddress::flowInfo() const { return isIPv6() ? As6(bytes_.data()).sin6_flowinfo : 0; }

std::string SocketAddress::ToNumericText() const {
    char text[INET6_ADDRSTRLEN + 16] = {};
    if (isIPv6()) {
        inet_ntop(AF_INET6, &As6(bytes_.data()).sin6_addr, text, sizeof text);
        std::string out = text;
        if (scopeId()) out += "%" + std::to_string(scopeId());
        return out;
    }
    inet_ntop(AF_INET, &As4(bytes_.data()).sin_addr, text, sizeof text);
    return text;
}

std::string SocketAddress::ToEndpointText() const {
    const std::string host = ToNumericText();
    return (isIPv6() ? "[" + host + "]" : host) + ":" + std::to_string(port());
}

}  // namespace qf
