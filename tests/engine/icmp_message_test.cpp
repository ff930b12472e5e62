#include "engine/icmp_message.h"

#include <gtest/gtest.h>

#include <vector>

namespace qf {
namespace {

// An IPv4 header of `optionWords` extra words for a packet of `total` bytes.
std::vector<uint8_t> IPHeader(uint8_t protocol, size_t total, IPv4Bytes source,
                              IPv4Bytes destination, int optionWords = 0) {
    std::vector<uint8_t> h(20 + 4 * optionWords, 0);
    h[0] = static_cast<uint8_t>(0x45 + optionWords);
    h[2] = static_cast<uint8_t>(total >> 8);
    h[3] = static_cast<uint8_t>(total);
    h[4] = 0x12, h[5] = 0x34;  // identification
    h[8] = 64;
    h[9] = protocol;
    std::copy(source.begin(), source.end(), h.begin() + 12);
    std::copy(destination.begin(), destination.end(), h.begin() + 16);
    for (size_t i = 20; i < h.size(); ++i) h[i] = 1;  // no-operation options
    return h;
}

struct PacketShape {
    uint8_t type = 3;
    uint8_t code = 3;
    int outerOptionWords = 0;
    int innerOptionWords = 0;
    uint8_t innerProtocol = 17;
    size_t payloadBytes = 5;   // of the datagram in question
    size_t truncateTo = 0;     // 0: whole
    size_t trailingBytes = 0;  // after the packet's total length
};

// What a raw ICMP socket delivers for an error about a datagram 10.0.0.2:40000 -> 192.0.2.9:53.
std::vector<uint8_t> ErrorPacket(const PacketShape& shape) {
    std::vector<uint8_t> inner =
        IPHeader(shape.innerProtocol, 0, {10, 0, 0, 2}, {192, 0, 2, 9}, shape.innerOptionWords);
    const size_t datagram = inner.size() + 8 + shape.payloadBytes;
    inner[2] = static_cast<uint8_t>(datagram >> 8);
    inner[3] = static_cast<uint8_t>(datagram);
    const uint16_t udpLength = static_cast<uint16_t>(8 + shape.payloadBytes);
    const uint8_t udp[8] = {0x9C, 0x40, 0, 53, uint8_t(udpLength >> 8), uint8_t(udpLength),
                            0xAB, 0xCD};
    std::vector<uint8_t> icmp = {shape.type, shape.code, 0, 0, 0, 0, 0x05, 0xDC};
    icmp.insert(icmp.end(), inner.begin(), inner.end());
    icmp.insert(icmp.end(), udp, udp + 8);
    std::vector<uint8_t> packet =
        IPHeader(1, 0, {192, 0, 2, 1}, {10, 0, 0, 2}, shape.outerOptionWords);
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    if (shape.truncateTo) packet.resize(shape.truncateTo);
    packet[2] = static_cast<uint8_t>(packet.size() >> 8);
    packet[3] = static_cast<uint8_t>(packet.size());
    packet.resize(packet.size() + shape.trailingBytes, 0xEE);
    return packet;
}

TEST(ParseICMPError, AcceptsOnlyWholeErrorsAboutUDPDatagrams) {
    struct Case {
        const char* what;
        PacketShape shape;
        bool accepted;
    };
    const Case cases[] = {
        {"port unreachable, 56 bytes", {}, true},
        {"time exceeded", {.type = 11, .code = 0}, true},
        {"source quench", {.type = 4, .code = 0}, true},
        {"echo reply", {.type = 0, .code = 0}, false},
        {"redirect", {.type = 5, .code = 1}, false},
        {"parameter problem", {.type = 12, .code = 0}, false},
        {"55 bytes", {.truncateTo = 55}, false},
        {"about a TCP segment", {.innerProtocol = 6}, false},
        {"options in the outer header", {.outerOptionWords = 2}, true},
        {"options in the embedded header", {.innerOptionWords = 3}, true},
        {"embedded options cut short", {.innerOptionWords = 3, .truncateTo = 60}, false},
        {"bytes beyond the total length", {.trailingBytes = 7}, true},
    };
    for (const Case& c : cases) {
        const auto packet = ErrorPacket(c.shape);
        EXPECT_EQ(ParseICMPError(packet).has_value(), c.accepted) << c.what;
    }
}

TEST(ParseICMPError, RejectsPacketsInconsistentWithTheirLengthFields) {
    auto packet = ErrorPacket({});
    auto outerVersion6 = packet;
    outerVersion6[0] = 0x65;
    auto innerVersion6 = packet;
    innerVersion6[28] = 0x65;
    auto totalBeyondReceived = packet;
    totalBeyondReceived[3] = 57;
    auto innerTotalWithoutUDP = packet;
    innerTotalWithoutUDP[28 + 3] = 27;
    auto outerHeaderTooShort = packet;
    outerHeaderTooShort[0] = 0x44;
    for (const auto* bad : {&outerVersion6, &innerVersion6, &totalBeyondReceived,
                            &innerTotalWithoutUDP, &outerHeaderTooShort})
        EXPECT_FALSE(ParseICMPError(*bad));
    EXPECT_FALSE(ParseICMPError(std::span<const uint8_t>(packet.data(), 19)));
}

TEST(ParseICMPError, FindsTheFieldsPastAnyOptions) {
    for (int outer : {0, 1}) {
        for (int inner : {0, 2}) {
            const auto error =
                ParseICMPError(ErrorPacket({.outerOptionWords = outer, .innerOptionWords = inner}));
            ASSERT_TRUE(error);
            EXPECT_EQ(error->embeddedSource, (IPv4Bytes{10, 0, 0, 2}));
            EXPECT_EQ(error->embeddedDestination, (IPv4Bytes{192, 0, 2, 9}));
            EXPECT_EQ(error->sourcePort, 40000);
            EXPECT_EQ(error->destinationPort, 53);
            EXPECT_EQ(error->headerRest, (std::array<uint8_t, 4>{0, 0, 0x05, 0xDC}));
            // The options are dropped, so the header says 20 bytes and a datagram of 33.
            EXPECT_EQ(error->embeddedHeader[0], 0x45);
            EXPECT_EQ(error->embeddedHeader[3], 33);
        }
    }
}

TEST(BuildClientICMPError, DescribesTheClientsOwnDatagramWithValidChecksums) {
    const auto error = ParseICMPError(ErrorPacket({.innerOptionWords = 1}));
    ASSERT_TRUE(error);
    const auto m = BuildClientICMPError(*error, {10, 1, 1, 7}, 5555, {10, 1, 1, 1}, 8053);

    EXPECT_EQ(m[0], 3);
    EXPECT_EQ(m[1], 3);
    EXPECT_EQ(InternetChecksum(m), 0);
    const std::span<const uint8_t> header(m.data() + 8, 20);
    EXPECT_EQ(InternetChecksum(header), 0);
    EXPECT_EQ(header[0], 0x45);
    EXPECT_EQ(header[9], 17);
    EXPECT_EQ(header[4], 0x12);  // the rest is the header of our own datagram
    EXPECT_EQ(header[8], 64);
    EXPECT_EQ((std::vector<uint8_t>(header.begin() + 12, header.end())),
              (std::vector<uint8_t>{10, 1, 1, 7, 10, 1, 1, 1}));
    const uint8_t* udp = m.data() + 28;
    EXPECT_EQ(udp[0] << 8 | udp[1], 5555);
    EXPECT_EQ(udp[2] << 8 | udp[3], 8053);
    EXPECT_EQ(udp[4] << 8 | udp[5], 13);
    EXPECT_EQ(udp[6] << 8 | udp[7], 0);
}

TEST(InternetChecksum, MatchesTheWorkedExample) {
    // RFC 1071's example words sum to 0xDDF2; an odd byte counts as a high byte.
    const uint8_t words[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(InternetChecksum(words), static_cast<uint16_t>(~0xDDF2));
    const uint8_t odd[] = {0x01};
    EXPECT_EQ(InternetChecksum(odd), static_cast<uint16_t>(~0x0100));
}

}  // namespace
}  // namespace qf
