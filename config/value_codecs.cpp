#include "config/value_codecs.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "config/text_helpers.h"

namespace qf {
namespace {

struct ScannedMagnitude {
    uint64_t value = 0;
    bool negative = false;
    bool overflow = false;
};

int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return 99;
}

bool IsScanSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// What the C library's integer conversions read: white space, a sign, then digits.
std::optional<ScannedMagnitude> ScanMagnitude(TextView text, int base) {
    size_t at = 0;
    while (at < text.size() && IsScanSpace(text[at]))
        ++at;
    ScannedMagnitude scanned;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
        scanned.negative = text[at++] == u'-';
    }
    const size_t firstDigit = at;
    for (; at < text.size() && DigitValue(text[at]) < base; ++at) {
        const uint64_t next = scanned.value * base + DigitValue(text[at]);
        scanned.overflow = scanned.overflow || next > std::numeric_limits<uint32_t>::max();
        scanned.value = scanned.overflow ? scanned.value : next;
    }
    if (at == firstDigit)
        return std::nullopt;
    return scanned;
}

// "%x" with a 32-bit unsigned long: saturates, and a minus sign negates modulo 2^32.
std::optional<int32_t> ScanHexText(TextView text) {
    const auto scanned = ScanMagnitude(text, 16);
    if (!scanned)
        return std::nullopt;
    uint32_t bits = std::numeric_limits<uint32_t>::max();
    if (!scanned->overflow) {
        bits = static_cast<uint32_t>(scanned->value);
        if (scanned->negative)
            bits = 0u - bits;
    }
    return static_cast<int32_t>(bits);
}

bool HasNegativeExponent(std::string_view number) {
    const size_t exponent = number.find_first_of("eE");
    return exponent != std::string_view::npos && exponent + 1 < number.size() &&
           number[exponent + 1] == '-';
}

// "%lf" without the locale: decimal or "0x" hexadecimal; overflow gives infinity and
// underflow zero, as the C library does.
std::optional<double> ScanDouble(std::string_view number) {
    const bool negative = number.starts_with('-');
    if (negative)
        number.remove_prefix(1);
    if (number.starts_with('-'))
        return std::nullopt;
    double value = 0;
    std::from_chars_result read{};
    if (number.starts_with("0x") || number.starts_with("0X")) {
        read = std::from_chars(number.data() + 2, number.data() + number.size(), value,
                               std::chars_format::hex);
        if (read.ec == std::errc::invalid_argument)
            read = {number.data() + 1, std::errc{}};
    } else {
        read = std::from_chars(number.data(), number.data() + number.size(), value);
    }
    if (read.ec == std::errc::invalid_argument)
        return std::nullopt;
    if (read.ec == std::errc::result_out_of_range) {
        value = HasNegativeExponent(number) ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

template <class T>
T ClampUnlessUnlimited(T value, T minimum, T maximum) {
    if (minimum == 0 && maximum == 0)
        return value;
    if (value < minimum)
        return minimum;
    if (value > maximum)
        return maximum;
    return value;
}

template <class T, class Scan>
T ParseNumberText(TextView text, TextView digits, T fallback, T minimum, T maximum, Scan scan) {
    const Text kept = KeepOnlyCharacters(text, digits);
    if (kept.empty())
        return fallback;
    return ClampUnlessUnlimited<T>(scan(kept).value_or(fallback), minimum, maximum);
}

Text WidenAscii(const std::string& ascii) {
    return AsciiText(ascii);
}

// glibc writes at least two exponent digits; the stored form has three.
std::string WithThreeDigitExponent(std::string number) {
    const size_t exponent = number.find('e');
    if (exponent == std::string::npos)
        return number;
    const size_t digits = exponent + 2;
    while (number.size() - digits < 3)
        number.insert(digits, 1, '0');
    return number;
}

template <class Integer>
Integer TruncateTo(double value) {
    // The bounds are powers of two, exact as doubles; NaN fails both tests.
    constexpr double kLimit = -static_cast<double>(std::numeric_limits<Integer>::min());
    if (!(value > -kLimit - 1 && value < kLimit))
        return std::numeric_limits<Integer>::min();
    return static_cast<Integer>(value);
}

}  // namespace

bool ParseBoolText(TextView text) {
    static constexpr std::array<TextView, 9> kTrueWords = {
        u"1", u"true", u"yes", u"yeah", u"on", u"one", u"enable", u"enabled", u"+"};
    const Text word = AsciiLowerText(TrimCharacters(text, kBlankCharacters));
    return std::find(kTrueWords.begin(), kTrueWords.end(), word) != kTrueWords.end();
}

Text FormatYesNo(bool value) {
    return value ? u"Yes" : u"No ";
}

std::optional<int32_t> ScanLongText(TextView text) {
    const auto scanned = ScanMagnitude(text, 10);
    if (!scanned)
        return std::nullopt;
    constexpr uint64_t kMaxPositive = std::numeric_limits<int32_t>::max();
    const uint64_t limit = scanned->negative ? kMaxPositive + 1 : kMaxPositive;
    const uint64_t magnitude = scanned->overflow ? limit : std::min(scanned->value, limit);
    const int64_t value = static_cast<int64_t>(magnitude);
    return static_cast<int32_t>(scanned->negative ? -value : value);
}

int32_t ParseIntegerText(TextView text, int32_t fallback, int32_t minimum, int32_t maximum) {
    return ParseNumberText(text, u"-0123456789", fallback, minimum, maximum, ScanLongText);
}

int32_t ParseHexText(TextView text, int32_t fallback, int32_t minimum, int32_t maximum) {
    return ParseNumberText(text, u"-0123456789ABCDEFabcdef", fallback, minimum, maximum,
                           ScanHexText);
}

double ParseDoubleText(TextView text, double fallback, double minimum, double maximum) {
    return ParseNumberText(text, u"-0123456789.EexX", fallback, minimum, maximum,
                           [](const Text& kept) { return ScanDouble(TextToUtf8(kept)); });
}

int32_t TruncateToInt32(double value) {
    return TruncateTo<int32_t>(value);
}

int64_t TruncateToInt64(double value) {
    return TruncateTo<int64_t>(value);
}

Text FormatIntegerText(int64_t value) {
    return WidenAscii(fmt::format("{}", value));
}

Text FormatDoubleText(double value, int8_t precision) {
    if (precision >= 0)
        return WidenAscii(fmt::format("{:.{}f}", value, precision));
    return WidenAscii(WithThreeDigitExponent(fmt::format("{:g}", value)));
}

Text FormatColourText(Colour colour) {
    return WidenAscii(fmt::format("#{:02X}{:02X}{:02X}", colour & 0xFF, (colour >> 8) & 0xFF,
                                  (colour >> 16) & 0xFF));
}

Colour ParseColourText(TextView text) {
    const TextView digits = TrimCharacters(text, u" \t\r\n#");
    Colour colour = 0;
    for (int component = 0; component < 3; ++component) {
        const TextView pair = digits.substr(std::min<size_t>(digits.size(), component * 2), 2);
        const auto byte = static_cast<Colour>(ParseHexText(pair, 0, 0, 0)) & 0xFF;
        colour |= byte << (component * 8);
    }
    return colour;
}

int ParseEnumText(TextView text, std::span<const TextView> names, bool allowNone) {
    const int count = static_cast<int>(names.size());
    int index = -1;
    if (text.find_first_not_of(u"0123456789-") == TextView::npos) {
        index = std::clamp(ScanLongText(text).value_or(-1), -1, std::max(count - 1, -1));
    } else {
        const auto match = std::find_if(names.begin(), names.end(), [text](TextView name) {
            return EqualsIgnoringAsciiCase(text, name);
        });
        if (match != names.end())
            index = static_cast<int>(match - names.begin());
    }
    return index == -1 && !allowNone ? 0 : index;
}

}  // namespace qf
