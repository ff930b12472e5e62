#pragma once
// ICMP errors about forwarded UDP datagrams: reading one as a raw IPv4 ICMP socket delivers it
// (IP header, then the ICMP message), and writing the error that tells a client about its own
// datagram. Plain functions on bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qf {

using IPv4Bytes = std::array<uint8_t, 4>;

// A destination-unreachable, source-quench or time-exceeded message about a UDP datagram.
struct ICMPError {
    uint8_t type = 0;
    uint8_t code = 0;
    std::array<uint8_t, 4> headerRest{};  // second word of the ICMP header (pointer, MTU...)
    // The datagram's IP header without its options, the length fields adjusted to match.
    std::array<uint8_t, 20> embeddedHeader{};
    IPv4Bytes embeddedSource{};
    IPv4Bytes embeddedDestination{};
    uint16_t sourcePort = 0;  // host byte order
    uint16_t destinationPort = 0;
    std::array<uint8_t, 2> udpLength{};  // as received
};

// Empty unless `packet` is such an error, whole and consistent with its own length fields.
std::optional<ICMPError> ParseICMPError(std::span<const uint8_t> packet);

constexpr size_t kClientICMPErrorSize = 36;

// The error as the client must see it: about its own datagram from `client`:`clientPort` to
// `local`:`localPort`. Ready to send on a raw ICMP socket, both checksums filled in.
std::array<uint8_t, kClientICMPErrorSize> BuildClientICMPError(const ICMPError& error,
                                                               const IPv4Bytes& client,
                                                               uint16_t clientPort,
                                                               const IPv4Bytes& local,
                                                               uint16_t localPort);

// The Internet checksum of `bytes`. Over bytes whose checksum field is filled in, 0 when valid.
uint16_t InternetChecksum(std::span<const uint8_t> bytes);

}  // namespace qf
