#include "app/language_loader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "config/language_codes.h"
#include "platform/files.h"
#include "resources/text_resources.h"
#include "temp_folder.h"

namespace qf {
namespace {

using testing_support::TempFolder;

// A German program zone and German and Italian general zones, as the real resources will
// hold them once translated.
constexpr std::string_view kProgramResource =
    "\xEF\xBB\xBF[Zone_EN]\r\n[1]\tEnglish one\r\n[2]\tEnglish two\r\n[12]\tEnglish twelve"
    "\r\n[Zone_DE]\r\n[1]\tDeutsch eins\r\n[249]\t\xC3\x9C"
    "bersetzt von Ann\r\n";
constexpr std::string_view kGeneralResource =
    "\xEF\xBB\xBF[Zone_General]\r\n[0]\tEnglish\r\n[1]\tPlease choose\r\n[6]\tDeutsch"
    "\r\n[Zone_EN]\r\n[1]\tOkay\r\n[2]\tCancel"
    "\r\n[Zone_DE]\r\n[2]\tAbbrechen"
    "\r\n[Zone_IT]\r\n[1]\tVa bene\r\n";

struct Message {
    Text title;
    Text text;
};

class LanguageLoaderTest : public testing::Test {
  protected:
    LanguageLoaderTest()
        : loader_(catalog_, FixtureResource,
                  {Utf8ToText(folder_.path().string()),
                   [](const std::string&) { return std::optional<Text>(); }},
                  [this](TextView title, TextView text) {
                      messages_.push_back({Text(title), Text(text)});
                  }) {}

    static std::string_view FixtureResource(int id) {
        if (id == kProgramStringsResource) return kProgramResource;
        if (id == kGeneralStringsResource) return kGeneralResource;
        return {};
    }

    void StartWith(std::vector<Text> languageArguments) {
        loader_.LoadLanguageTables(languageArguments);
    }

    void ExpectEnglish() {
        EXPECT_EQ(catalog_.Program(1), u"English one");
        EXPECT_EQ(catalog_.Program(12), u"English twelve");
        EXPECT_EQ(catalog_.General(1), u"Okay");
        EXPECT_EQ(catalog_.General(2), u"Cancel");
    }

    Text Path(const std::string& file) { return Utf8ToText((folder_.path() / file).string()); }

    TempFolder folder_;
    TextCatalog catalog_;
    std::vector<Message> messages_;
    LanguageLoader loader_;
};

TEST_F(LanguageLoaderTest, StartsInEnglishWithTheLanguageNames) {
    StartWith({});
    ExpectEnglish();
    EXPECT_EQ(catalog_.LanguageName(0), u"English");
    EXPECT_EQ(catalog_.LanguageName(6), u"Deutsch");
    EXPECT_EQ(loader_.languageIndex(), 0);
    EXPECT_FALSE(loader_.languageGiven());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(LanguageLoaderTest, CommandLineCodeInEitherCaseSelectsTheLanguage) {
    for (const Text& code : {Text(u"de"), Text(u"DE")}) {
        StartWith({code});
        EXPECT_EQ(loader_.languageIndex(), 3);
        EXPECT_TRUE(loader_.languageGiven());
        EXPECT_EQ(catalog_.Program(1), u"Deutsch eins");
        EXPECT_EQ(catalog_.Program(2), u"English two");
        EXPECT_EQ(catalog_.General(2), u"Abbrechen");
        EXPECT_EQ(catalog_.General(1), u"Okay");
    }
}

TEST_F(LanguageLoaderTest, UnknownCodeKeepsEnglishButStillOverridesTheSavedChoice) {
    StartWith({u"xx"});
    EXPECT_EQ(loader_.languageIndex(), 0);
    EXPECT_TRUE(loader_.languageGiven());
    loader_.ApplySavedLanguage(3, {});
    ExpectEnglish();
}

TEST_F(LanguageLoaderTest, SavedChoiceAppliesWithoutACommandLineLanguage) {
    StartWith({});
    loader_.ApplySavedLanguage(3, {});
    EXPECT_EQ(loader_.languageIndex(), 3);
    EXPECT_EQ(catalog_.Program(1), u"Deutsch eins");
}

TEST_F(LanguageLoaderTest, ItalianHasGeneralTextsOnly) {
    StartWith({});
    loader_.LoadLanguage(*FindLanguageIndex(u"it"), {});
    EXPECT_EQ(catalog_.General(1), u"Va bene");
    EXPECT_EQ(catalog_.Program(1), u"English one");
}

TEST_F(LanguageLoaderTest, ChangingLanguageLeavesNothingOfThePreviousOne) {
    StartWith({u"de"});
    EXPECT_EQ(catalog_.Program(249), u"\u00DCbersetzt von Ann");
    loader_.LoadLanguage(4, {});
    EXPECT_EQ(catalog_.Program(1), u"English one");
    EXPECT_EQ(catalog_.General(2), u"Cancel");
    EXPECT_EQ(catalog_.Program(249), u"");
}

TEST_F(LanguageLoaderTest, BlankOrMissingStringsFileFallsBackToEnglishWithAMessage) {
    folder_.Write("blank.txt", " \r\n\t\r\n");
    folder_.Write("mark-only.txt", "\xFF\xFE");
    for (const char* file : {"blank.txt", "mark-only.txt", "missing.txt"}) {
        messages_.clear();
        StartWith({Path(file)});
        EXPECT_EQ(loader_.languageIndex(), kExternalLanguageIndex);
        ExpectEnglish();
        ASSERT_EQ(messages_.size(), 2u) << file;  // one for each table
        EXPECT_EQ(messages_[0].title, u"No language information found");
        EXPECT_EQ(messages_[0].text, u"Language strings file is blank; English will be used...");
    }
}

TEST_F(LanguageLoaderTest, StringsFileFillsBothTablesAndKeepsEnglishWhereEmpty) {
    folder_.Write("mine.txt",
                  "[Zone_Internal]\r\n[1]\tMy one\\nsecond line\r\n[2]\tkeep \\\\n as is"
                  "\r\n[12]\t\r\n[Zone_External]\r\n[2]\tMy cancel\r\n");
    StartWith({Path("mine.txt")});
    EXPECT_EQ(loader_.languageIndex(), kExternalLanguageIndex);
    EXPECT_EQ(loader_.stringsFilePath(), Path("mine.txt"));
    EXPECT_EQ(catalog_.Program(1), u"My one\nsecond line");
    EXPECT_EQ(catalog_.Program(2), u"keep \\n as is");
    EXPECT_EQ(catalog_.Program(12), u"English twelve");
    EXPECT_EQ(catalog_.General(2), u"My cancel");
    EXPECT_EQ(catalog_.General(1), u"Okay");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(LanguageLoaderTest, StringsFileWithProgramZoneOnlyKeepsEnglishGeneralTexts) {
    Text utf16 = u"\uFEFF[Zone_Internal]\n[1]\tUnicode \u00FC\n";  // Linux line ends
    std::string bytes;
    for (char16_t unit : utf16)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    folder_.Write("utf16.txt", bytes);
    StartWith({Path("utf16.txt")});
    EXPECT_EQ(catalog_.Program(1), u"Unicode \u00FC");
    EXPECT_EQ(catalog_.General(1), u"Okay");
}

TEST_F(LanguageLoaderTest, RelativeStringsFilePathIsMadeFull) {
    StartWith({u"strings/de.txt"});
    EXPECT_EQ(loader_.stringsFilePath(), Utf8ToText(AbsolutePath("strings/de.txt")));
    EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(LanguageLoaderTest, ReadersNeverSeeAHalfLoadedLanguage) {
    StartWith({});
    std::atomic<bool> done = false;
    std::atomic<int> mixed = 0;
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done) {
                const auto tables = catalog_.Snapshot();
                const bool german = tables->program[1] == u"Deutsch eins";
                if (german != (tables->general[2] == u"Abbrechen")) ++mixed;
                if (catalog_.Program(2) != u"English two") ++mixed;
            }
        });
    }
    for (int round = 0; round < 200; ++round) loader_.LoadLanguage(round % 2 ? 3 : 0, {});
    done = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
}  // namespace qf
