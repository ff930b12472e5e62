#include "config/text_files.h"

#include <gtest/gtest.h>

#include "temp_folder.h"
#include "text_cases.h"

namespace qf {
namespace {

using testing_support::ExpectEach;

std::string Utf16Bytes(TextView text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

PathContext NoEnvironment(Text baseFolder) {
    return {std::move(baseFolder), [](const std::string&) { return std::optional<Text>(); }};
}

TEST(EncodeTextFileBytes, WritesTheMarkAndLittleEndianUnitsThatDecodeBack) {
    using namespace std::string_literals;
    EXPECT_EQ(EncodeTextFileBytes(u"A\u20AC"), "\xFF\xFE\x41\0\xAC\x20"s);
    EXPECT_EQ(EncodeTextFileBytes(u""), "\xFF\xFE");
    const Text text = u"line\r\n\U0001F600\t\u00E9";
    EXPECT_EQ(DecodeTextFileBytes(EncodeTextFileBytes(text)), text);
}

TEST(DecodeLegacyText, TakesValidUTF8ElseWindows1252) {
    ExpectEach([](TextView bytes) { return DecodeLegacyText(TextToUtf8(bytes)); },
               {{u"plain", u"plain"}, {u"caf\u00E9", u"caf\u00E9"}});
    EXPECT_EQ(DecodeLegacyText("caf\xE9 \x80\x9F\x81"), u"caf\u00E9 \u20AC\u0178\u0081");
    EXPECT_EQ(DecodeLegacyText("\xC3"), u"\u00C3") << "a cut UTF-8 sequence is not UTF-8";
}

TEST(DecodeTextFileBytes, ChoosesTheEncodingByByteOrderMark) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        std::string bytes;
        Text expected;
    };
    const Case cases[] = {
        {"LittleEndian", "\xFF\xFE\x41\0\xAC\x20"s, u"A\u20AC"},
        {"BigEndian", "\xFE\xFF\0\x41\x20\xAC"s, u"A\u20AC"},
        {"Utf8", "\x41\xE2\x82\xAC", u"A\u20AC"},
        {"Utf8MarkKept", "\xEF\xBB\xBF\x41", u"\uFEFFA"},
        {"OddTrailingByteDropped", "\xFF\xFE\x41\0\x42"s, u"A"},
        {"ZeroUnitEnds", "\xFF\xFE\x61\0\0\0\x62\0"s, u"a"},
        {"ZeroByteEnds", "ab\0cd"s, u"ab"},
        {"MarkOnly", "\xFF\xFE", u""},
        {"OneByte", "A", u""},
        {"Empty", "", u""},
        {"BadUtf8Replaced", "a\xFFz", u"a\uFFFDz"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeTextFileBytes(c.bytes), c.expected) << c.name;
}

class TextFilesTest : public testing::Test {
  protected:
    testing_support::TempFolder folder_;
    PathContext context_ = NoEnvironment(Utf8ToText(folder_.path().string()));
};

TEST_F(TextFilesTest, OneContentInEveryEncodingReadsTheSame) {
    const Text content = u"Z\u00FCrich \u20AC \U0001F600\r\n[12]\tline two";
    const std::string little = folder_.Write("le.txt", Utf16Bytes(content, false));
    const std::string big = folder_.Write("be.txt", Utf16Bytes(content, true));
    const std::string utf8 = folder_.Write("u8.txt", TextToUtf8(content));
    EXPECT_EQ(ReadTextFileAsWide(Utf8ToText(little), context_), content);
    EXPECT_EQ(ReadTextFileAsWide(Utf8ToText(big), context_), content);
    EXPECT_EQ(ReadTextFileAsWide(Utf8ToText(utf8), context_), content);
}

TEST_F(TextFilesTest, ExpandsThePathAndGivesNothingForNonFiles) {
    std::filesystem::create_directory(folder_.path() / "sub");
    folder_.Write("sub/a.txt", "hello");
    EXPECT_EQ(ReadTextFileAsWide(u"sub/a.txt", context_), u"hello");
    EXPECT_EQ(ReadTextFileAsWide(u"sub\\a.txt", context_), u"hello");
    EXPECT_EQ(ReadTextFileAsWide(u"sub", context_), u"");
    EXPECT_EQ(ReadTextFileAsWide(u"missing.txt", context_), u"");
    EXPECT_EQ(ReadTextFileAsWide(u"/dev/zero", context_), u"");
    EXPECT_EQ(ReadTextFileAsWide(u"C:\\sub\\a.txt", context_), u"");
}

TEST_F(TextFilesTest, QueryFileSizeTellsFilesFromFolders) {
    folder_.Write("five.txt", "12345");
    EXPECT_EQ(QueryFileSize(u"five.txt", context_), 5);
    EXPECT_EQ(QueryFileSize(u"", context_), -1);  // the base folder itself
    EXPECT_EQ(QueryFileSize(u"missing.txt", context_), 0);
    EXPECT_EQ(QueryFileSize(u"C:\\five.txt", context_), 0);
}

TEST(NormalizeLineEnds, MakesEveryLineEndCrLf) {
    EXPECT_EQ(NormalizeLineEnds(u"a\nb\rc\r\nd\n\r"), u"a\r\nb\r\nc\r\nd\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds(u"\r\n\r\n"), u"\r\n\r\n");
}

}  // namespace
}  // namespace qf
