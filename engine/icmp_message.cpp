#include "engine/icmp_message.h"

#include <algorithm>

namespace qf {
namespace {

constexpr size_t kIPHeaderMinimum = 20;
constexpr size_t kICMPHeaderSize = 8;
constexpr size_t kUDPHeaderSize = 8;
constexpr uint8_t kProtocolUDP = 17;
constexpr uint8_t kDestinationUnreachable = 3;
constexpr uint8_t kSourceQuench = 4;
constexpr uint8_t kTimeExceeded = 11;

uint16_t ReadBE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

void WriteBE16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

size_t HeaderLength(const uint8_t* header) { return (header[0] & 0x0F) * 4u; }
bool IsIPv4Header(const uint8_t* header) {
    return header[0] >> 4 == 4 && HeaderLength(header) >= kIPHeaderMinimum;
}

bool IsForwardedType(uint8_t type) {
    return type == kDestinationUnreachable || type == kSourceQuench || type == kTimeExceeded;
}

// The outer packet as far as its total length reaches; empty when it is not whole.
std::span<const uint8_t> WholePacket(std::span<const uint8_t> packet) {
    if (packet.size() < kIPHeaderMinimum || !IsIPv4Header(packet.data())) return {};
    const size_t total = ReadBE16(packet.data() + 2);
    if (total < HeaderLength(packet.data()) || total > packet.size()) return {};
    return packet.first(total);
}

void CopyWithoutOptions(const uint8_t* header, std::array<uint8_t, 20>& out) {
    std::copy_n(header, out.size(), out.begin());
    const size_t options = HeaderLength(header) - kIPHeaderMinimum;
    out[0] = 0x45;
    WriteBE16(out.data() + 2, static_cast<uint16_t>(ReadBE16(header + 2) - options));
}

}  // namespace

std::optional<ICMPError> ParseICMPError(std::span<const uint8_t> received) {
    const std::span<const uint8_t> packet = WholePacket(received);
    if (packet.empty()) return std::nullopt;
    const std::span<const uint8_t> icmp = packet.subspan(HeaderLength(packet.data()));
    if (icmp.size() < kICMPHeaderSize + kIPHeaderMinimum + kUDPHeaderSize) return std::nullopt;
    if (!IsForwardedType(icmp[0])) return std::nullopt;
    const uint8_t* inner = icmp.data() + kICMPHeaderSize;
    if (!IsIPv4Header(inner) || inner[9] != kProtocolUDP) return std::nullopt;
    const size_t innerLength = HeaderLength(inner);
    if (icmp.size() < kICMPHeaderSize + innerLength + kUDPHeaderSize) return std::nullopt;
    // The datagram in question carried at least a UDP header.
    if (ReadBE16(inner + 2) < innerLength + kUDPHeaderSize) return std::nullopt;
    const uint8_t* udp = inner + innerLength;
    ICMPError error;
    error.type = icmp[0];
    error.code = icmp[1];
    std::copy_n(icmp.data() + 4, 4, error.headerRest.begin());
    CopyWithoutOptions(inner, error.embeddedHeader);
    std::copy_n(inner + 12, 4, error.embeddedSource.begin());
    std::copy_n(inner + 16, 4, error.embeddedDestination.begin());
    error.sourcePort = ReadBE16(udp);
    error.destinationPort = ReadBE16(udp + 2);
    std::copy_n(udp + 4, 2, error.udpLength.begin());
    return error;
}

std::array<uint8_t, kClientICMPErrorSize> BuildClientICMPError(const ICMPError& error,
                                                               const IPv4Bytes& client,
                                                               uint16_t clientPort,
                                                               const IPv4Bytes& local,
                                                               uint16_t localPort) {
    std::array<uint8_t, kClientICMPErrorSize> message{};
    message[0] = error.type;
    message[1] = error.code;
    std::copy(error.headerRest.begin(), error.headerRest.end(), message.begin() + 4);
    uint8_t* header = message.data() + kICMPHeaderSize;
    std::copy(error.embeddedHeader.begin(), error.embeddedHeader.end(), header);
    std::copy(client.begin(), client.end(), header + 12);
    std::copy(local.begin(), local.end(), header + 16);
    WriteBE16(header + 10, 0);
    WriteBE16(header + 10, InternetChecksum({header, kIPHeaderMinimum}));
    uint8_t* udp = header + kIPHeaderMinimum;
    WriteBE16(udp, clientPort);
    WriteBE16(udp + 2, localPort);
    std::copy(error.udpLength.begin(), error.udpLength.end(), udp + 4);
    WriteBE16(message.data() + 2, InternetChecksum(message));
    return message;
}

uint16_t InternetChecksum(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) sum += ReadBE16(bytes.data() + i);
    if (bytes.size() % 2) sum += static_cast<uint32_t>(bytes.back()) << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

}  // namespace qf
