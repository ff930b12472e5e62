#include "config/value_codecs.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace qf {
namespace {

constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(ParseBoolText, AcceptsOnlyTheTrueWordsTrimmedAndFolded) {
    for (TextView yes : {u" Yes ", u"YES", u"1", u"true", u"Yeah", u"on", u"ONE", u"enable",
                         u"Enabled", u"+", u"\tOn\r\n"}) {
        EXPECT_TRUE(ParseBoolText(yes)) << TextToUtf8(yes);
    }
    for (TextView no : {u"", u"2", u"No ", u"false", u"yes!", u"y", u"+1", u"en able"}) {
        EXPECT_FALSE(ParseBoolText(no)) << TextToUtf8(no);
    }
}

TEST(FormatYesNo, KeepsBothWordsThreeWideAndReadsBack) {
    EXPECT_EQ(FormatYesNo(true), u"Yes");
    EXPECT_EQ(FormatYesNo(false), u"No ");
    EXPECT_TRUE(ParseBoolText(FormatYesNo(true)));
    EXPECT_FALSE(ParseBoolText(FormatYesNo(false)));
}

struct IntegerCase {
    TextView text;
    int32_t fallback, minimum, maximum, expected;
};

TEST(ParseIntegerText, GathersDigitsThenClampsUnlessUnlimited) {
    const IntegerCase cases[] = {
        {u"", 5, 1, 10, 5},         // nothing kept: the default, not clamped
        {u"port", 50, 1, 10, 50},   // likewise
        {u"0", 5, 1, 10, 1},        // clamped up
        {u"99", 0, 0, 0, 99},       // 0..0 means no limits
        {u"-", 7, 0, 0, 7},         // nothing read: the default
        {u"-", 50, 1, 10, 10},      // ... which is then clamped
        {u"1,234", 0, 0, 0, 1234},  // digits from anywhere
        {u"8080 (web)", 0, 0, 0, 8080},
        {u"--5", 3, 0, 0, 3},
        {u"5-3", 0, 0, 0, 5},
        {u"-12", 0, -20, 20, -12},
        {u"99999999999", 0, 0, 0, kMax32},
        {u"-99999999999", 0, 0, 0, kMin32},
    };
    for (const IntegerCase& c : cases) {
        EXPECT_EQ(ParseIntegerText(c.text, c.fallback, c.minimum, c.maximum), c.expected)
            << TextToUtf8(c.text);
    }
}

TEST(ParseHexText, ReadsThirtyTwoBitPatterns) {
    const IntegerCase cases[] = {
        {u"FF", 0, 0, 0, 255},       {u"0x1f", 0, 0, 0, 31},  // the x is dropped
        {u"ffffffff", 0, 0, 0, -1},  {u"-1", 0, 0, 0, -1},
        {u"123456789", 0, 0, 0, -1},  // beyond 32 bits saturates
        {u"zz", 9, 0, 0, 9},         {u"FF", 0, 0, 100, 100},
    };
    for (const IntegerCase& c : cases) {
        EXPECT_EQ(ParseHexText(c.text, c.fallback, c.minimum, c.maximum), c.expected)
            << TextToUtf8(c.text);
    }
}

struct DoubleCase {
    TextView text;
    double fallback, minimum, maximum, expected;
};

TEST(ParseDoubleText, ReadsWithoutTheLocaleAndClamps) {
    const DoubleCase cases[] = {
        {u"1e+006", 0, 0, 0, 1e6},  // the plus sign is dropped
        {u"1e+06", 0, 0, 0, 1e6},  {u"3.5 s", 0, 0, 0, 3.5},       {u"1,5", 0, 0, 0, 15},
        {u".5", 0, 0, 0, 0.5},     {u"1.2.3", 0, 0, 0, 1.2},       {u"-2.25", 0, 0, 0, -2.25},
        {u"0x1E", 0, 0, 0, 30},    {u"-", 2.5, 0, 0, 2.5},         {u"--1", 4, 0, 0, 4},
        {u"E5", 7, 0, 0, 7},       {u"1e999", 0, 0, 0, kInfinity}, {u"1e999", 0, 1, 100, 100},
        {u"1e-999", 5, 0, 0, 0},
    };
    for (const DoubleCase& c : cases) {
        EXPECT_EQ(ParseDoubleText(c.text, c.fallback, c.minimum, c.maximum), c.expected)
            << TextToUtf8(c.text);
    }
}

TEST(FormatDoubleText, FixedDecimalsOrSixDigitsWithThreeDigitExponent) {
    struct Case {
        double value;
        int8_t precision;
        TextView expected;
    };
    const Case cases[] = {
        {4.01, -1, u"4.01"},
        {1234567, -1, u"1.23457e+006"},
        {1e6, -1, u"1e+006"},
        {123456, -1, u"123456"},
        {0.0001, -1, u"0.0001"},
        {1e-5, -1, u"1e-005"},
        {1e300, -1, u"1e+300"},
        {-2.5e-300, -1, u"-2.5e-300"},
        {3.14159, 2, u"3.14"},
        {-1.5, 3, u"-1.500"},
        {7, 0, u"7"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDoubleText(c.value, c.precision), c.expected) << c.value;
    }
    // Six significant digits lose the last ones of large integers.
    EXPECT_EQ(ParseDoubleText(FormatDoubleText(1234567, -1), 0, 0, 0), 1234570);
    EXPECT_EQ(ParseDoubleText(FormatDoubleText(1e6, -1), 0, 0, 0), 1e6);
}

TEST(TruncateToInteger, CutsTowardZeroAndGivesTheLowestValueOutOfRange) {
    EXPECT_EQ(TruncateToInt32(2.9), 2);
    EXPECT_EQ(TruncateToInt32(-2.9), -2);
    EXPECT_EQ(TruncateToInt32(2147483647.5), kMax32);
    EXPECT_EQ(TruncateToInt32(-2147483648.9), kMin32);
    EXPECT_EQ(TruncateToInt32(2147483648.0), kMin32);
    EXPECT_EQ(TruncateToInt32(kInfinity), kMin32);
    EXPECT_EQ(TruncateToInt32(std::nan("")), kMin32);
    EXPECT_EQ(TruncateToInt64(4294967296.0 + 5), 4294967301);
    EXPECT_EQ(TruncateToInt64(-1e19), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TruncateToInt64(9.3e18), std::numeric_limits<int64_t>::min());
}

TEST(FormatIntegerText, WritesPlainDecimals) {
    EXPECT_EQ(FormatIntegerText(-42), u"-42");
    EXPECT_EQ(FormatIntegerText(kMin32), u"-2147483648");
    EXPECT_EQ(FormatIntegerText(4294967295), u"4294967295");
    EXPECT_EQ(ParseIntegerText(FormatIntegerText(kMin32), 0, 0, 0), kMin32);
}

TEST(ColourText, WritesRedFirstAndReadsToleratingNoise) {
    EXPECT_EQ(FormatColourText(0x0000FF), u"#FF0000");
    EXPECT_EQ(FormatColourText(0x80FF00), u"#00FF80");
    EXPECT_EQ(ParseColourText(u"#00FF80"), 0x80FF00u);
    EXPECT_EQ(ParseColourText(u" #0a0B0c\r\n"), 0x0C0B0Au);
    EXPECT_EQ(ParseColourText(u"zz"), 0u);
    EXPECT_EQ(ParseColourText(u"zz10zz"), 0x1000u);  // a pair without digits is 0
    EXPECT_EQ(ParseColourText(u"F"), 0x0Fu);
    EXPECT_EQ(ParseColourText(u""), 0u);
    for (Colour colour : {0x000000u, 0xFFFFFFu, 0x123456u}) {
        EXPECT_EQ(ParseColourText(FormatColourText(colour)), colour);
    }
}

TEST(ParseEnumText, NumbersAreClampedAndNamesFoldCase) {
    constexpr std::array<TextView, 16> kNames = {u"en", u"af", u"nl", u"de", u"it", u"fr",
                                                 u"es", u"pt", u"ro", u"hu", u"sv", u"pl",
                                                 u"cs", u"ru", u"ja", u"zh"};
    struct Case {
        TextView text;
        int expected;
        int expectedAllowingNone;
    };
    const Case cases[] = {
        {u"99", 15, 15}, {u"3", 3, 3},   {u"-5", 0, -1},  {u"-1", 0, -1},
        {u"1-", 1, 1},   {u"xx", 0, -1}, {u"DE", 3, 3},   {u"Zh", 15, 15},
        {u"", 0, -1},    {u"-", 0, -1},  {u" de", 0, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseEnumText(c.text, kNames, false), c.expected) << TextToUtf8(c.text);
        EXPECT_EQ(ParseEnumText(c.text, kNames, true), c.expectedAllowingNone)
            << TextToUtf8(c.text);
    }
}

TEST(ScanLongText, ReadsALeadingNumberOnly) {
    EXPECT_EQ(ScanLongText(u" 12]"), 12);
    EXPECT_EQ(ScanLongText(u"+7"), 7);
    EXPECT_EQ(ScanLongText(u"x7"), std::nullopt);
    EXPECT_EQ(ScanLongText(u"-"), std::nullopt);
    EXPECT_EQ(ScanLongText(u"2147483648"), kMax32);
}

}  // namespace
}  // namespace qf
