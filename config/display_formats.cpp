#include "config/display_formats.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>

#include "config/text_helpers.h"

namespace qf {
namespace {

constexpr int kLargestUnit = 8;
constexpr std::array<std::string_view, 9> kByteUnits = {"Bytes", "KB", "MB", "GB", "TB",
                                                        "PB",    "EB", "ZB", "YB"};
constexpr std::array<std::string_view, 9> kByteRateUnits = {"Bps",  "kBps", "MBps", "GBps", "TBps",
                                                            "PBps", "EBps", "ZBps", "YBps"};
constexpr std::array<std::string_view, 9> kBitRateUnits = {"bps",  "kbps", "Mbps", "Gbps", "Tbps",
                                                           "Pbps", "Ebps", "Zbps", "Ybps"};
constexpr std::array<std::string_view, 7> kDayNames = {"SUN", "MON", "TUE", "WED",
                                                       "THU", "FRI", "SAT"};
constexpr std::array<std::string_view, 12> kMonthNames = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// The whole power of 1024 not above `amount`, counted exactly: logarithms put exact powers
// such as 1048576 one unit too low.
int UnitExponent(double amount) {
    int exponent = 0;
    for (double next = 1024; exponent < kLargestUnit && amount >= next; next *= 1024)
        ++exponent;
    return exponent;
}

Text FormatInUnit(double amount, int exponent, int decimals,
                  const std::array<std::string_view, 9>& units) {
    const double scaled = amount / std::pow(1024.0, exponent);
    return AsciiText(fmt::format("{:.{}f} {}", scaled, decimals, units[exponent]));
}

Text Digits(unsigned value, int width) {
    return AsciiText(fmt::format("{:0{}}", value, width));
}

struct TokenValue {
    TextView token;
    Text value;
};

void ReplaceTokens(Text& text, std::span<const TokenValue> tokens) {
    for (const TokenValue& token : tokens)
        ReplaceAll(text, token.token, token.value);
}

unsigned TwelveHourClock(int hour) {
    const int twelve = hour % 12;
    return twelve == 0 ? 12 : twelve;
}

}  // namespace

Text FormatByteSize(int64_t bytes) {
    const auto amount = static_cast<double>(bytes);
    const int exponent = UnitExponent(amount);
    return FormatInUnit(amount, exponent, exponent == 0 ? 0 : 2, kByteUnits);
}

Text FormatDataRate(double bytesPerSecond, bool inBits) {
    const double amount = inBits ? bytesPerSecond * 8 : bytesPerSecond;
    return FormatInUnit(amount, UnitExponent(amount), 2, inBits ? kBitRateUnits : kByteRateUnits);
}

Text FormatDateTime(TextView dateTemplate, const LocalDateTime& moment) {
    const auto year = static_cast<unsigned>(moment.year);
    const TokenValue tokens[] = {
        {u"yyyy", Digits(year, 1)},
        {u"yy", Digits(year % 100, 1)},
        {u"MMM", AsciiText(kMonthNames[(moment.month + 11) % 12])},
        {u"MM", Digits(moment.month, 2)},
        {u"ddd", AsciiText(kDayNames[moment.dayOfWeek % 7])},
        {u"dd", Digits(moment.day, 2)},
        {u"tt", moment.hour < 12 ? u"AM" : u"PM"},
        {u"hh", Digits(TwelveHourClock(moment.hour), 2)},
        {u"HH", Digits(moment.hour, 2)},
        {u"mm", Digits(moment.minute, 2)},
        {u"ss", Digits(moment.second, 2)},
        {u"fff", Digits(moment.millisecond, 3)},
    };
    Text text(dateTemplate);
    ReplaceTokens(text, tokens);
    return text;
}

Text FormatDateTime(TextView dateTemplate) {
    return FormatDateTime(dateTemplate, LocalNow());
}

Text ConvertLegacyDateTimeTokens(TextView dateTemplate) {
    const TokenValue tokens[] = {
        {u"%Y", u"yyyy"}, {u"%MY", u"MM"}, {u"%D", u"dd"}, {u"%AP", u"tt"},  {u"%H12", u"hh"},
        {u"%H24", u"HH"}, {u"%MN", u"mm"}, {u"%S", u"ss"}, {u"%MS", u"fff"},
    };
    Text text(dateTemplate);
    ReplaceTokens(text, tokens);
    return text;
}

Text FormatDuration(double milliseconds) {
    constexpr double kYear = 3.1536e10;
    if (!(milliseconds < kYear))
        return {};
    const auto total = static_cast<uint64_t>(std::max(milliseconds, 0.0));
    const auto ms = static_cast<unsigned>(total % 1000);
    const auto seconds = static_cast<unsigned>(total / 1000 % 60);
    const auto minutes = static_cast<unsigned>(total / 60000 % 60);
    const auto hours = static_cast<unsigned>(total / 3600000 % 24);
    const auto days = static_cast<unsigned>(total / 86400000);
    std::string text;
    if (total < 1000) {
        text = fmt::format(".{:03}", ms);
    } else if (total < 60000) {
        text = fmt::format("{:02}.{:03}", seconds, ms);
    } else if (total < 3600000) {
        text = fmt::format("{:02}:{:02}.{:03}", minutes, seconds, ms);
    } else if (total < 86400000) {
        text = fmt::format("{:02}:{:02}:{:02}.{:03}", hours, minutes, seconds, ms);
    } else {
        text = fmt::format("{}:{:02}:{:02}:{:02}.{:03}", days, hours, minutes, seconds, ms);
    }
    return AsciiText(text);
}

}  // namespace qf
