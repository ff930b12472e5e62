#pragma once
// The 28-byte socket address that holds IPv4 and IPv6 addresses alike.
// Its bytes follow the system's IPv6 address layout; an IPv4 address leaves the bytes after
// its 4 address bytes zero, so that byte-wise equality (range terminators, list comparison)
// works for both families.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace qf {

enum class AddressFamily : uint16_t { Unspecified = 0, IPv4 = 2, IPv6 = 10 };

class SocketAddress {
  public:
    static constexpr size_t kSize = 28;

    SocketAddress();  // the empty-text address: IPv4 0.0.0.0 port 0
    static SocketAddress IPv4(const std::array<uint8_t, 4>& bytes, uint16_t port = 0);
    static SocketAddress IPv6(const std::array<uint8_t, 16>& bytes, uint16_t port = 0,
                              uint32_t scopeId = 0, uint32_t flowInfo = 0);
    static SocketAddress Loopback(AddressFamily family, uint16_t port = 0);
    static SocketAddress Any(AddressFamily family, uint16_t port = 0);

    AddressFamily family() const;
    bool isIPv4() const { return family() == AddressFamily::IPv4; }
    bool isIPv6() const { return family() == AddressFamily::IPv6; }
    uint16_t port() const;  // host byte order
    void setPort(uint16_t port);
    std::array<uint8_t, 4> ipv4Bytes() const;
    std::array<uint8_t, 16> ipv6Bytes() const;
    uint32_t scopeId() const;
    uint32_t flowInfo() const;
    // True for the all-zero IPv4 address with port 0 ("no address").
    bool isEmpty() const { return *this == SocketAddress(); }

    // "1.2.3.4", "::1", "fe80::1%2": numeric form without the port.
    std::string ToNumericText() const;
    // "1.2.3.4:80", "[::1]:80": used in error subjects.
    std::string ToEndpointText() const;

    const uint8_t* data() const { return bytes_.data(); }
    uint8_t* data() { return bytes_.data(); }

    friend bool operator==(const SocketAddress& a, const SocketAddress& b) {
        return std::memcmp(a.bytes_.data(), b.bytes_.data(), kSize) == 0;
    }

  private:
    alignas(4) std::array<uint8_t, kSize> bytes_{};
};

static_assert(sizeof(SocketAddress) == SocketAddress::kSize);

}  // namespace qf
