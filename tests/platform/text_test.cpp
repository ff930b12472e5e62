#include "platform/text.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    Text expected;
};

class Utf8Decoding : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Decoding, GivesTheExpectedUnits) {
    EXPECT_EQ(Utf8ToText(GetParam().utf8), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Decoding,
    testing::Values(Utf8Case{"Ascii", "Port 80", u"Port 80"},
                    Utf8Case{"TwoThreeAndFourBytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
                             u"é€\U0001F600"},
                    Utf8Case{"HighestCodePoint", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
                    Utf8Case{"OverlongSlash", "\xC0\xAF", u"\uFFFD\uFFFD"},
                    Utf8Case{"OverlongThreeByteNul", "\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"OverlongFourByte", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"EncodedSurrogate", "\xED\xA0\x80x", u"\uFFFD\uFFFD\uFFFDx"},
                    Utf8Case{"BeyondUnicode", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"InvalidLeadBytes", "\xF5\xFF", u"\uFFFD\uFFFD"},
                    Utf8Case{"LoneContinuation", "a\x80z", u"a\uFFFDz"},
                    // A cut sequence is one replacement, and the byte that cut it is kept.
                    Utf8Case{"TruncatedBeforeAscii",
                             "\xE2\x82"
                             "A",
                             u"\uFFFDA"},
                    Utf8Case{"TruncatedAtEnd", "ok\xF0\x9F\x98", u"ok\uFFFD"},
                    Utf8Case{"EmbeddedNulKept", std::string("a\0b", 3), Text(u"a\0b", 3)}),
    [](const auto& info) { return info.param.name; });

TEST(TextToUtf8, EncodesPairsAndReplacesUnpairedSurrogates) {
    EXPECT_EQ(TextToUtf8(u"é€\U0001F600"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    const char16_t loneHigh[] = {u'a', 0xD83D, u'b', 0};
    const char16_t loneLow[] = {0xDE00, 0};
    const char16_t highAtEnd[] = {u'x', 0xD83D, 0};
    EXPECT_EQ(TextToUtf8(loneHigh),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(TextToUtf8(loneLow), "\xEF\xBF\xBD");
    EXPECT_EQ(TextToUtf8(highAtEnd), "x\xEF\xBF\xBD");
}

TEST(TextToUtf8, RoundTripsEveryScalarValueRange) {
    Text all;
    for (char32_t cp = 0; cp <= 0x10FFFF; cp += 97) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        if (cp < 0x10000) {
            all.push_back(static_cast<char16_t>(cp));
        } else {
            all.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            all.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
    }
    EXPECT_EQ(Utf8ToText(TextToUtf8(all)), all);
}

}  // namespace
}  // namespace qf
