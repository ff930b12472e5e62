#include "config/settings_text.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

std::optional<Text> Found(TextView fileText, TextView key) {
    const SettingsText file(fileText);
    const auto value = FindSettingValue(file, key);
    return value ? std::optional<Text>(*value) : std::nullopt;
}

TEST(FindSettingValue, MatchesWholeKeysAtLineStartsWithAnySeparator) {
    struct Case {
        TextView file;
        TextView key;
        std::optional<Text> value;
    };
    const Case cases[] = {
        {u"Key\tvalue", u"Key", u"value"},  // the first line counts as a line start
        {u"\r\nKey=value", u"Key", u"value"},
        {u"\r\nKey:  value \t", u"Key", u"value"},
        {u"\r\nKey        \t value", u"  Key  ", u"value"},     // padded written form
        {u"\r\nkEY\tValue", u"Key", u"Value"},                  // keys ignore case, values keep it
        {u"\r\nKeyLonger\tx\r\nKey2=y", u"Key", std::nullopt},  // prefixes never match
        {u"\r\nX Key\tx", u"Key", std::nullopt},                // only at a line start
        {u"\r\nKey\t\r\nOther\tx", u"Key", u""},
        {u"\r\nKey\tfirst\r\nKey\tsecond", u"Key", u"first"},
        // The first separator that occurs at all decides, wherever its line is.
        {u"\r\nKey=equals\r\nKey\ttab", u"Key", u"tab"},
        {u"\r\nKey:colon\r\nKey space", u"Key", u"space"},
        {u"\r\nKey\tvalue\rnext", u"Key", u"value"},
    };
    for (const Case& c : cases) EXPECT_EQ(Found(c.file, c.key), c.value) << TextToUtf8(c.file);
}

TEST(TypedSettingReaders, ChangeTheTargetOnlyForValuesTheyCanRead) {
    const SettingsText file(
        u"\r\nBlank\t \r\nText\t a b \r\nBool\tyes\r\nBig\t1234567\r\nOld\t1e+006"
        u"\r\nNegative\t-1\r\nWord\tmany\r\nPort\t70000\r\nColour\t#0A0B0C\r\nReal\t0.25");
    Text text = u"default";
    EXPECT_TRUE(ReadTextSetting(file, u"Blank", text));
    EXPECT_EQ(text, u"") << "text is taken even blank";
    EXPECT_TRUE(ReadTextSetting(file, u"Text", text));
    EXPECT_EQ(text, u"a b");
    EXPECT_FALSE(ReadTextSetting(file, u"Missing", text));

    bool flag = false;
    EXPECT_TRUE(ReadBoolSetting(file, u"Bool", flag) && flag);
    int32_t number = 7;
    EXPECT_FALSE(ReadInt32Setting(file, u"Blank", number));
    EXPECT_EQ(number, 7);
    EXPECT_TRUE(ReadInt32Setting(file, u"Word", number));
    EXPECT_EQ(number, 7) << "a value without digits keeps the target";
    EXPECT_TRUE(ReadInt32Setting(file, u"Big", number));
    EXPECT_EQ(number, 1234567);
    EXPECT_TRUE(ReadInt32Setting(file, u"Old", number));
    EXPECT_EQ(number, 1000000);

    uint32_t unsignedNumber = 0;
    EXPECT_TRUE(ReadUInt32Setting(file, u"Negative", unsignedNumber));
    EXPECT_EQ(unsignedNumber, 0xFFFFFFFFu);
    uint16_t port = 0;
    EXPECT_TRUE(ReadInt16Setting(file, u"Port", port));
    EXPECT_EQ(port, 70000 % 65536);
    double real = 0;
    EXPECT_TRUE(ReadDoubleSetting(file, u"Real", real));
    EXPECT_EQ(real, 0.25);

    Colour colour = 0xFF000000u;
    EXPECT_TRUE(ReadColourSetting(file, u"Colour", colour));
    EXPECT_EQ(colour, 0xFF0C0B0Au) << "only the three colour bytes change";
}

TEST(FormatSettingLine, PutsTheLineBreakFirstAndATabBetween) {
    EXPECT_EQ(FormatSettingLine(u"Key   ", u"v"), u"\r\nKey   \tv");
}

}  // namespace
}  // namespace qf
