#include "net/address.h"

#include <fmt/format.h>

#include <charconv>

#include "platform/name_lookup.h"
#include "platform/text_tools.h"

namespace qf {
namespace {

// The classic dotted forms "a.b.c.d", "a.b.c", "a.b", "a", each part decimal, octal (0...)
// or hexadecimal (0x...), the last part filling the remaining bytes.
std::optional<uint32_t> ParseDottedIPv4(std::string_view text) {
    uint32_t parts[4];
    int count = 0;
    size_t i = 0;
    while (true) {
        if (count == 4 || i >= text.size()) return std::nullopt;
        int base = 10;
        if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X'))
            base = 16, i += 2;
        else if (text[i] == '0')
            base = 8;
        uint64_t value = 0;
        const auto [end, error] =
            std::from_chars(text.data() + i, text.data() + text.size(), value, base);
        const size_t used = static_cast<size_t>(end - (text.data() + i));
        if (error != std::errc() || used == 0 || value > 0xFFFFFFFFu) {
            // "0x" alone counts as zero, as the classic parser has it.
            if (!(base == 16 && used == 0)) return std::nullopt;
        }
        parts[count++] = static_cast<uint32_t>(value);
        i += used;
        if (i == text.size()) break;
        if (text[i] != '.') return std::nullopt;
        ++i;
    }
    uint32_t result = parts[count - 1];
    const uint32_t lastLimit = count == 1 ? 0xFFFFFFFFu : (0xFFFFFFFFu >> (8 * (count - 1)));
    if (result > lastLimit) return std::nullopt;
    for (int k = 0; k < count - 1; ++k) {
        if (parts[k] > 0xFF) return std::nullopt;
        result |= parts[k] << (24 - 8 * k);
    }
    return result;
}

SocketAddress FromHostOrder(uint32_t value) {
    return SocketAddress::IPv4({static_cast<uint8_t>(value >> 24),
                                static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                                static_cast<uint8_t>(value)});
}

uint32_t ToHostOrder(const SocketAddress& a) {
    const auto b = a.ipv4Bytes();
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

}  // namespace

SocketAddress ParseAddress(TextView text, bool blankIsAny) {
    const std::string narrow = TextToUtf8(text);
    if (text.find(u':') != TextView::npos) {
        if (auto parsed = ParseNumericIPv6(narrow)) return *parsed;
        std::array<uint8_t, 16> invalid{};
        if (!blankIsAny) invalid[0] = invalid[1] = invalid[2] = invalid[3] = 0xFF;
        return SocketAddress::IPv6(invalid);
    }
    if (blankIsAny && IsBlank(text)) return SocketAddress();
    // The whole text must be the address: a cut or a tolerated tail would turn text such as
    // "10.0.0.1.example.net" into an address it does not name.
    if (auto value = ParseDottedIPv4(narrow)) return FromHostOrder(*value);
    return SocketAddress::IPv4({255, 255, 255, 255});
}

Text FormatAddress(const SocketAddress& address) {
    if (address.isIPv4()) {
        const auto b = address.ipv4Bytes();
        return Utf8ToText(fmt::format("{}.{}.{}.{}", b[0], b[1], b[2], b[3]));
    }
    if (!address.isIPv6()) return u"[Bad Format]";
    const auto b = address.ipv6Bytes();
    uint16_t g[8];
    for (int k = 0; k < 8; ++k) g[k] = static_cast<uint16_t>((b[2 * k] << 8) | b[2 * k + 1]);
    std::string out;
    bool compressed = false;
    int k = 0;
    if (g[0] == 0 && g[1] == 0) {
        out = "::";
        compressed = true;
        while (k < 8 && g[k] == 0) ++k;
    }
    bool first = true;
    for (; k < 8; ++k) {
        if (!first) out += ':';
        first = false;
        if (g[k] != 0) {
            out += fmt::format("{:x}", g[k]);
        } else if (k == 7 || g[k + 1] != 0 || compressed) {
            out += '0';
        } else {
            // A run of zero groups becomes the one "::" of the text.
            while (k + 1 < 8 && g[k + 1] == 0) ++k;
            compressed = true;
            if (k == 7) out += ':';
        }
    }
    if (address.scopeId()) out += fmt::format("%{}", address.scopeId());
    return Utf8ToText(out);
}

int CompareAddresses(const SocketAddress& a, const SocketAddress& b, bool withScope) {
    if (a.family() != b.family())
        return static_cast<int>(b.family()) - static_cast<int>(a.family());
    if (a.isIPv4()) {
        const uint32_t x = ToHostOrder(a), y = ToHostOrder(b);
        return x == y ? 0 : (y < x ? -1 : 1);
    }
    if (!a.isIPv6()) return 0;
    const auto x = a.ipv6Bytes(), y = b.ipv6Bytes();
    if (const int c = std::memcmp(y.data(), x.data(), 16)) return c < 0 ? -1 : 1;
    if (!withScope || a.scopeId() == b.scopeId()) return 0;
    return b.scopeId() < a.scopeId() ? -1 : 1;
}

bool IsNumericAddressText(TextView text) {
    const std::string narrow = TextToUtf8(text);
    if (text.find(u':') != TextView::npos) return ParseNumericIPv6(narrow).has_value();
    return ParseDottedIPv4(narrow).has_value();
}

}  // namespace qf
