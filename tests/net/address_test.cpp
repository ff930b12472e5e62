#include "net/address.h"

#include <gtest/gtest.h>

#include <array>

namespace qf {
namespace {

SocketAddress V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return SocketAddress::IPv4({a, b, c, d});
}

// An IPv6 address from its eight 16-bit groups.
SocketAddress V6(std::array<uint16_t, 8> groups, uint32_t scope = 0) {
    std::array<uint8_t, 16> bytes{};
    for (size_t k = 0; k < 8; ++k) {
        bytes[2 * k] = static_cast<uint8_t>(groups[k] >> 8);
        bytes[2 * k + 1] = static_cast<uint8_t>(groups[k]);
    }
    return SocketAddress::IPv6(bytes, 0, scope);
}

const SocketAddress kInvalidV4 = V4(255, 255, 255, 255);
const SocketAddress kInvalidV6 = V6({0xFFFF, 0xFFFF, 0, 0, 0, 0, 0, 0});

struct ParseCase {
    const char16_t* text;
    bool blankIsAny;
    SocketAddress expected;
};

TEST(ParseAddress, AcceptsTheClassicDottedFormsAndNothingAfterThem) {
    const ParseCase cases[] = {
        {u"192.168.1.5", false, V4(192, 168, 1, 5)},
        {u"10.1", false, V4(10, 0, 0, 1)},
        {u"1.2.65535", false, V4(1, 2, 255, 255)},
        {u"3232235777", false, V4(192, 168, 1, 1)},
        {u"0x7f.1", false, V4(127, 0, 0, 1)},
        {u"010.0.0.1", false, V4(8, 0, 0, 1)},
        {u"300.1.1.1", false, kInvalidV4},
        {u"1.2.65536", false, kInvalidV4},
        {u"08.0.0.1", false, kInvalidV4},
        {u"1.2.3.4 x", false, kInvalidV4},
        {u"1.2.3.4.", false, kInvalidV4},
        {u"1..3.4", false, kInvalidV4},
        {u" 1.2.3.4", false, kInvalidV4},
        {u"1.2.3.4.5", false, kInvalidV4},
        {u"10.0.0.1.example.net", false, kInvalidV4},
        {u"host", false, kInvalidV4},
        {u"", true, V4(0, 0, 0, 0)},
        {u" \t", true, V4(0, 0, 0, 0)},
        {u"", false, kInvalidV4},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(ParseAddress(c.text, c.blankIsAny), c.expected) << TextToUtf8(c.text);
    }
}

TEST(ParseAddress, ReadsIPv6WithScopeAndMarksTextThatIsNone) {
    const ParseCase cases[] = {
        {u"2001:db8::5", false, V6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 5})},
        {u"fe80::1%5", false, V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 5)},
        {u"::", false, V6({})},
        {u"fe80::zz", true, V6({})},
        {u"fe80::zz", false, kInvalidV6},
        {u"[::1]", false, kInvalidV6},
        {u"1:2", true, V6({})},
    };
    for (const ParseCase& c : cases) {
        const SocketAddress parsed = ParseAddress(c.text, c.blankIsAny);
        EXPECT_EQ(parsed, c.expected) << TextToUtf8(c.text);
        EXPECT_EQ(parsed.port(), 0);
    }
}

TEST(FormatAddress, CompressesOnlyTheFirstRunOfZeroGroups) {
    const std::pair<SocketAddress, const char16_t*> cases[] = {
        {V4(192, 168, 1, 5), u"192.168.1.5"},
        {V6({}), u"::"},
        {V6({0, 0, 0, 0, 0, 0, 0, 1}), u"::1"},
        {V6({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1}), u"2001:db8::1:0:0:1"},
        {V6({1, 0, 0, 2, 0, 0, 0, 3}), u"1::2:0:0:0:3"},
        {V6({0, 0, 1, 0, 0, 1, 0, 0}), u"::1:0:0:1:0:0"},
        {V6({1, 2, 3, 4, 5, 6, 7, 0}), u"1:2:3:4:5:6:7:0"},
        {V6({1, 0, 2, 3, 4, 5, 6, 7}), u"1:0:2:3:4:5:6:7"},
        {V6({0, 1, 0, 0, 0, 0, 0, 0}), u"0:1::"},
        {V6({1, 0, 0, 0, 0, 0, 0, 0}), u"1::"},
        {V6({0xABCD, 0x00EF, 0, 0, 0, 0, 0, 0x0100}), u"abcd:ef::100"},
        {V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 5), u"fe80::1%5"},
        {V6({0, 0, 0, 0, 0, 0, 0, 0}, 4294967295u), u"::%4294967295"},
    };
    for (const auto& [address, expected] : cases) {
        EXPECT_EQ(FormatAddress(address), expected) << TextToUtf8(expected);
    }
}

TEST(FormatAddress, NamesAnUnknownFamily) {
    SocketAddress unknown;
    std::memset(unknown.data(), 0, SocketAddress::kSize);
    EXPECT_EQ(FormatAddress(unknown), u"[Bad Format]");
}

TEST(FormatAddress, ReadsBackWhatItWrites) {
    for (const char16_t* text : {u"10.0.0.1", u"::1", u"fe80::1%7", u"2001:db8::1:0:0:1", u"1::"}) {
        EXPECT_EQ(FormatAddress(ParseAddress(text, false)), text) << TextToUtf8(text);
    }
}

int Sign(int value) { return (value > 0) - (value < 0); }

struct CompareCase {
    SocketAddress a, b;
    bool withScope;
    int expected;  // sign of the order of b relative to a
};

TEST(CompareAddresses, OrdersByFamilyThenValueThenOptionallyScope) {
    const SocketAddress fe80 = V6({0xfe80, 0, 0, 0, 0, 0, 0, 1});
    const SocketAddress fe80s50 = V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 50);
    const SocketAddress fe80s100 = V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 100);
    const CompareCase cases[] = {
        {V4(10, 0, 0, 1), V4(10, 0, 0, 2), false, 1},
        {V4(10, 0, 0, 2), V4(10, 0, 0, 1), false, -1},
        {V4(9, 255, 255, 255), V4(10, 0, 0, 0), false, 1},
        {V4(127, 255, 255, 255), V4(128, 0, 0, 0), false, 1},
        {SocketAddress::IPv4({10, 0, 0, 1}, 80), SocketAddress::IPv4({10, 0, 0, 1}, 81), true, 0},
        {V4(255, 255, 255, 255), V6({}), false, 1},
        {V6({0, 0, 0, 0, 0, 0, 0, 2}), V6({0, 0, 0, 0, 0, 0, 0, 1}), false, -1},
        {V6({0x0100, 0, 0, 0, 0, 0, 0, 0}), V6({0x00FF, 0, 0, 0, 0, 0, 0, 0}), false, -1},
        {fe80, fe80s50, true, 1},
        {fe80s50, fe80s100, true, 1},
        {fe80s100, fe80s50, true, -1},
        {fe80, V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 0xFFFFFFFFu), true, 1},
        {fe80, fe80s50, false, 0},
        {fe80s50, fe80s100, false, 0},
    };
    for (const CompareCase& c : cases) {
        EXPECT_EQ(Sign(CompareAddresses(c.a, c.b, c.withScope)), c.expected)
            << c.a.ToNumericText() << " vs " << c.b.ToNumericText() << " scope " << c.withScope;
    }
}

}  // namespace
}  // namespace qf
