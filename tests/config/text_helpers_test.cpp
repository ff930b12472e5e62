#include "config/text_helpers.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

TEST(TextHelpers, BlankMeansOnlySpaceTabAndLineBreaks) {
    EXPECT_TRUE(IsBlankText(u""));
    EXPECT_TRUE(IsBlankText(u" \t\r\n"));
    EXPECT_FALSE(IsBlankText(u" x "));
    EXPECT_FALSE(IsBlankText(u"\u00A0"));
}

TEST(TextHelpers, KeepAndRemoveWorkAnywhereInTheText) {
    EXPECT_EQ(KeepOnlyCharacters(u"a1-b2 c3", u"0123456789-"), u"1-23");
    EXPECT_EQ(RemoveCharacters(u"a1-b2 c3", u"0123456789-"), u"ab c");
}

TEST(TextHelpers, TakeTokenConsumesOneDelimiter) {
    Text rest = u"10.0.0.1|8080||x";
    EXPECT_EQ(TakeToken(rest, u"|:"), u"10.0.0.1");
    EXPECT_EQ(rest, u"8080||x");
    EXPECT_EQ(TakeToken(rest, u"|:"), u"8080");
    EXPECT_EQ(TakeToken(rest, u"|:"), u"");  // a leading delimiter gives an empty token
    EXPECT_EQ(rest, u"x");
    EXPECT_EQ(TakeToken(rest, u"|:"), u"x");
    EXPECT_EQ(rest, u"");
}

TEST(TextHelpers, ReplaceAllDoesNotRescanWhatItInserted) {
    Text text = u"aaa";
    ReplaceAll(text, u"a", u"aa");
    EXPECT_EQ(text, u"aaaaaa");
    text = u"%%%";
    ReplaceAll(text, u"%%", u"%");
    EXPECT_EQ(text, u"%%");
}

TEST(TextHelpers, CaseFoldingIsAsciiOnly) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase(u"LaNGuage", u"language"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"\u00C9", u"\u00E9"));
    EXPECT_EQ(AsciiUpperText(u"de-\u00E9"), u"DE-\u00E9");
}

}  // namespace
}  // namespace qf
