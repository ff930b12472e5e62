#include "config/display_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "text_cases.h"

namespace qf {
namespace {

using testing_support::ExpectEach;

TEST(FormatByteSize, PicksTheUnitByWholePowersOf1024) {
    struct Case {
        int64_t bytes;
        TextView expected;
    };
    const Case cases[] = {
        {0, u"0 Bytes"},
        {-5, u"-5 Bytes"},
        {512, u"512 Bytes"},
        {1023, u"1023 Bytes"},
        {1024, u"1.00 KB"},
        {1536, u"1.50 KB"},
        {1048575, u"1024.00 KB"},  // just below a power stays in the lower unit
        {1048576, u"1.00 MB"},     // an exact power never does
        {int64_t{1} << 40, u"1.00 TB"},
        {std::numeric_limits<int64_t>::max(), u"8.00 EB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatByteSize(c.bytes), c.expected) << c.bytes;
}

TEST(FormatDataRate, AlwaysTwoDecimalsInByteOrBitUnits) {
    struct Case {
        double rate;
        bool inBits;
        TextView expected;
    };
    const Case cases[] = {
        {0, false, u"0.00 Bps"},
        {0, true, u"0.00 bps"},
        {100, true, u"800.00 bps"},
        {128, true, u"1.00 kbps"},
        {3 * 1048576.0, false, u"3.00 MBps"},
        {1023.996, false, u"1024.00 Bps"},
        {std::pow(1024.0, 9), false, u"1024.00 YBps"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDataRate(c.rate, c.inBits), c.expected) << c.rate;
    }
}

TEST(FormatDataRate, HugeRatesAreWrittenWhole) {
    const Text text = FormatDataRate(1e300, false);
    EXPECT_GT(text.size(), 256u);
    EXPECT_TRUE(text.ends_with(u".00 YBps"));
}

TEST(FormatDateTime, ReplacesTokensInOrder) {
    const LocalDateTime afternoon{2005, 3, 9, 3, 13, 4, 5, 7};
    const auto format = [&](TextView dateTemplate) {
        return FormatDateTime(dateTemplate, afternoon);
    };
    ExpectEach(format, {
                           {u"yy-MM", u"5-03"},
                           {u"yyyy.MM.dd - HH:mm:ss.fff", u"2005.03.09 - 13:04:05.007"},
                           {u"ddd dd MMM yyyy hh:mm tt", u"WED 09 MAR 2005 01:04 PM"},
                           {u"yyyyy MMMM", u"2005y MARM"},  // each token acts on the last result
                           {u"YYYY DD SS", u"YYYY DD SS"},  // case-sensitive
                       });
}

TEST(FormatDateTime, TwelveHourClockAroundMidnightAndNoon) {
    LocalDateTime moment{2024, 12, 31, 2, 0, 0, 0, 0};
    EXPECT_EQ(FormatDateTime(u"hh tt MMM", moment), u"12 AM DEC");
    moment.hour = 12;
    EXPECT_EQ(FormatDateTime(u"hh tt", moment), u"12 PM");
    moment.hour = 23;
    EXPECT_EQ(FormatDateTime(u"hh tt HH", moment), u"11 PM 23");
}

TEST(FormatDateTime, CurrentTimeFillsEveryToken) {
    const Text text = FormatDateTime(u"yyyy.MM.dd HH:mm:ss.fff");
    ASSERT_EQ(text.size(), 23u);
    EXPECT_EQ(text.find_first_not_of(u"0123456789.: "), Text::npos);
}

TEST(ConvertLegacyDateTimeTokens, MapsEveryOldToken) {
    EXPECT_EQ(ConvertLegacyDateTimeTokens(u"%D.%MY.%Y %H24:%MN:%S.%MS %AP %H12"),
              u"dd.MM.yyyy HH:mm:ss.fff tt hh");
}

TEST(FormatDuration, TruncatesEveryComponent) {
    struct Case {
        double milliseconds;
        TextView expected;
    };
    const Case cases[] = {
        {0, u".000"},
        {999.9, u".999"},
        {59999.99, u"59.999"},
        {61000, u"01:01.000"},
        {3600000, u"01:00:00.000"},
        {86399999, u"23:59:59.999"},
        {86400000, u"1:00:00:00.000"},
        {3.1536e10 - 1, u"364:23:59:59.999"},
        {3.1536e10, u""},
        {3.2e10, u""},
        {-5, u".000"},  // a clock step backwards shows no time, not a wrapped one
        {std::nan(""), u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDuration(c.milliseconds), c.expected) << c.milliseconds;
    }
}

}  // namespace
}  // namespace qf
