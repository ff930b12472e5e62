#pragma once
// Tolerant parsers from text to values and the fixed forms written back. Their tolerance and
// output are part of the file formats. Pure functions: any thread, no locale.

#include <cstdint>
#include <optional>
#include <span>

#include "platform/text.h"

namespace qf {

// Red in the lowest byte, then green, then blue; the top byte is zero.
using Colour = uint32_t;

constexpr Colour RgbColour(uint8_t red, uint8_t green, uint8_t blue) {
    return Colour{red} | Colour{green} << 8 | Colour{blue} << 16;
}

bool ParseBoolText(TextView text);
// "Yes" or "No ": both three characters wide.
Text FormatYesNo(bool value);

// Digits are gathered from anywhere in the text ("1,234" is 1234). Text without any gives
// `fallback` unclamped; otherwise the result is clamped to minimum..maximum unless both are 0.
int32_t ParseIntegerText(TextView text, int32_t fallback, int32_t minimum, int32_t maximum);
int32_t ParseHexText(TextView text, int32_t fallback, int32_t minimum, int32_t maximum);
double ParseDoubleText(TextView text, double fallback, double minimum, double maximum);

// A leading signed decimal number after optional white space; values beyond 32 bits saturate.
// Nothing when the text does not start with a number.
std::optional<int32_t> ScanLongText(TextView text);

// A number cut toward zero as the processor converts it: out of range, and not a number,
// give the lowest value of the type, whose low bits are zero.
int32_t TruncateToInt32(double value);
int64_t TruncateToInt64(double value);

Text FormatIntegerText(int64_t value);
// A precision of 0 or more gives that many decimals; a negative one gives six significant
// digits with a three-digit exponent from one million on ("1e+006").
Text FormatDoubleText(double value, int8_t precision);

Text FormatColourText(Colour colour);
Colour ParseColourText(TextView text);

// A number is clamped to -1..names.size()-1; a name matches without regard to ASCII case.
// No match gives -1 with `allowNone`, else 0.
int ParseEnumText(TextView text, std::span<const TextView> names, bool allowNone);

}  // namespace qf
