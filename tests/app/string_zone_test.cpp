#include "app/string_zone.h"

#include <gtest/gtest.h>

#include <vector>

#include "text_cases.h"

namespace qf {
namespace {

using testing_support::ExpectEach;

TEST(ApplyZoneReplacements, FollowsTheEscapeTable) {
    ExpectEach(ApplyZoneReplacements,
               {
                   {u"two\\nlines", u"two\nlines"},
                   {u"keep\\\\n literal", u"keep\\n literal"},
                   {u"a\\r\\n\\tb", u"a\r\n\tb"},
                   {u"\\\\r\\\\n[#E]", u"\\r\\n[#E]"},
                   {u"say \\\"hi\\\" it\\'s", u"say \"hi\" it's"},
                   {u"C:\\Program Files\\x", u"C:\\Program Files\\x"},
                   {u"#ProgNameAndVersion", u"Quillmark Ferrox v2.0"},
                   {u"About ProgName ProgVersion", u"About Quillmark Ferrox v2.0"},
                   {u"#ProgName #ProgVersion", u"Quillmark Ferrox v2.0"},
               });
}

class FillTableFromZoneTest : public testing::Test {
  protected:
    FillTableFromZoneTest() : table_(1024, u"old") {}
    void Fill(TextView content, TextView header) { FillTableFromZone(table_, content, header); }
    std::vector<Text> table_;
};

TEST_F(FillTableFromZoneTest, ReadsEntriesOfTheNamedZoneOnly) {
    Fill(
        u"\uFEFF[Zone_EN]\r\n[0]\tZero\r\n[2]\tTwo\r\nlines\r\n[3]\t\r\n[ 7]\tSeven"
        u"\r\n[Zone_DE]\r\n[0]\tNull\r\n",
        u"[Zone_EN]");
    EXPECT_EQ(table_[0], u"Zero");
    EXPECT_EQ(table_[2], u"Two\r\nlines");
    EXPECT_EQ(table_[3], u"old");  // an empty text keeps the entry
    EXPECT_EQ(table_[7], u"Seven");
    EXPECT_EQ(table_[1], u"old");
}

TEST_F(FillTableFromZoneTest, OnlyTheLastEntryOfTheContentIsTrimmed) {
    const TextView content =
        u"[Zone_EN]\r\n[1]\tOne \\r\\n\r\n\r\n[Zone_DE]\r\n[1]\tEins\t\r\n\r\n";
    Fill(content, u"[Zone_EN]");
    EXPECT_EQ(table_[1], u"One \r\n\r\n");
    Fill(content, u"[Zone_DE]");
    EXPECT_EQ(table_[1], u"Eins");
}

TEST_F(FillTableFromZoneTest, BadIdsNeverWriteOutsideTheTable) {
    Fill(
        u"[Zone_EN]\r\n[-5]\tNegative\r\n[1024]\tToo far\r\n[99999999999]\tHuge"
        u"\r\n[1023]\tLast\r\n[x7]\tNot a number\r\n[5]\r\n[6]\tSix\r\n[9]",
        u"[Zone_EN]");
    EXPECT_EQ(table_[1023], u"Last");
    EXPECT_EQ(table_[0], u"Not a number");  // a text that does not start with a number is 0
    EXPECT_EQ(table_[5], u"old");           // no separator: no text
    EXPECT_EQ(table_[6], u"Six");
    EXPECT_EQ(table_[9], u"old");
    EXPECT_EQ(std::count(table_.begin(), table_.end(), u"old"), 1024 - 3);
}

TEST_F(FillTableFromZoneTest, MissingHeaderOrBrokenEntryStopsQuietly) {
    Fill(u"[Zone_EN]\r\n[1]\tOne", u"[Zone_FR]");
    Fill(u"[Zone_EN]\r\n[1]\tOne\r\n[2", u"[Zone_EN]");
    Fill(u"[Zone_EN]", u"[Zone_EN]");
    EXPECT_EQ(table_[1], u"One");
    EXPECT_EQ(std::count(table_.begin(), table_.end(), u"old"), 1023);
}

}  // namespace
}  // namespace qf
