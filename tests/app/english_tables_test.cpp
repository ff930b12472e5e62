#include <gtest/gtest.h>

#include <algorithm>

#include "config/language_codes.h"
#include "app/language_loader.h"
#include "resources/text_resources.h"

namespace qf {
namespace {

// The built-in resources, as the program loads them.
class EnglishTablesTest : public testing::Test {
  protected:
    EnglishTablesTest()
        : loader_(catalog_, TextResource,
                  {u"/nowhere", [](const std::string&) { return std::optional<Text>(); }},
                  [this](TextView, TextView) { ++messages_; }) {
        loader_.LoadLanguageTables({});
    }

    static int NonEmpty(std::span<const Text> table) {
        return static_cast<int>(
            std::count_if(table.begin(), table.end(), [](const Text& t) { return !t.empty(); }));
    }

    TextCatalog catalog_;
    int messages_ = 0;
    LanguageLoader loader_;
};

TEST_F(EnglishTablesTest, EventAndLogTextsAreExact) {
    const std::pair<int, TextView> program[] = {
        {133, u"Session rejected - unable to resolve Outbound-Local (OL) address"},
        {134, u"Session ended"},
        {135, u"Session rejected - bad IP"},
        {136, u"Session rejected - too many threads"},
        {137, u"Session rejected - too many sessions"},
        {138, u"Session rejected - too many threads"},
        {139, u"Session rejected - allocation fault"},
        {140, u"Session rejected - unable to resolve remote host"},
        {141, u"Session rejected - unable to create new socket"},
        {142, u"Session rejected - unable to establish remote host connection"},
        {143, u"Session accepted"},
        {148, u"Session rejected - bad socket"},
        {1001,
         u"\\r\\n[#E], Local IP: #LIP, Local port: #LPort, Protocol: #P, Connector's IP: "
         u"#CIP, Connector's port: #CPort, Time: [#DAT]"},
        {1002,
         u"\\r\\n[#DAT]\t#E\t#P\t#CIP:#CPort -> #LIP:#LPort -> #OLIP:#OLPort -> "
         u"#RHost:#RPort"},
        {1003,
         u"\\r\\n[#DAT]\t#E\t#P\t#CIP:#CPort -> #LIP:#LPort -> #OLIP:#OLPort -> "
         u"#RHost:#RPort#G#Z"},
        {1011, u"[#DAT]_#LIP,#LPort_#CIP,#CPort_#SOD.txt"},
        {1015, u"Unable to open the file for data logging! The data will not be logged."},
    };
    for (const auto& [id, text] : program) EXPECT_EQ(catalog_.Program(id), text) << id;
    EXPECT_EQ(catalog_.General(62), u"yyyy.MM.dd - HH:mm:ss.fff");
}

TEST_F(EnglishTablesTest, EveryListedEntryIsLoadedWithItsPlaceholdersFilled) {
    const auto tables = catalog_.Snapshot();
    EXPECT_EQ(NonEmpty(tables->program), 191);
    EXPECT_EQ(NonEmpty(tables->general), 194);
    for (std::span<const Text> table :
         {std::span<const Text>(tables->program), std::span<const Text>(tables->general)}) {
        for (const Text& text : table) EXPECT_EQ(text.find(u"ProgName"), Text::npos);
    }
    EXPECT_EQ(catalog_.Program(0), u"");
    EXPECT_EQ(catalog_.Program(11), u"Quillmark Ferrox - configuration for automatic logging");
    EXPECT_EQ(catalog_.Program(270), u"Welcome to Quillmark Ferrox");
    EXPECT_EQ(catalog_.Program(119), u"~\\_Client_/~");
    EXPECT_EQ(catalog_.General(0), u"Okay");
    EXPECT_EQ(catalog_.General(606), u"Install Quillmark Ferrox v2.0");
    EXPECT_EQ(catalog_.General(623),
              u"Would you like to install version v2.0 of Quillmark Ferrox?");
    EXPECT_EQ(catalog_.General(644), u"This program starts with Windows.");
    EXPECT_EQ(messages_, 0);
}

TEST_F(EnglishTablesTest, LineBreaksStandInTheZoneOrComeFromEscapes) {
    EXPECT_TRUE(catalog_.Program(905).starts_with(u"Purpose:\r\nAllows administrator"));
    EXPECT_TRUE(catalog_.Program(906).starts_with(u"Purpose:\r\nAllow administrator"));
    EXPECT_EQ(catalog_.Program(906).find(u'\\'), Text::npos);
    EXPECT_EQ(catalog_.Program(192),
              u"There is currently one or more session, choosing Yes will close all current "
              u"sessions\r\n\r\nAre you sure you wish to continue?");
    EXPECT_TRUE(catalog_.Program(44).find(u"Programs\\Startup\\ folder") != Text::npos);
}

TEST_F(EnglishTablesTest, LanguageNamesInTheirOwnLanguages) {
    EXPECT_EQ(catalog_.LanguageName(0), u"English");
    EXPECT_EQ(catalog_.LanguageName(1), u"Please choose your language");
    EXPECT_EQ(catalog_.LanguageName(2 * *FindLanguageIndex(u"de")), u"Deutsch");
    EXPECT_EQ(catalog_.LanguageName(2 * *FindLanguageIndex(u"zh")), u"\u4E2D\u6587");
    for (int entry = 0; entry < 2 * kBuiltInLanguages; ++entry) {
        EXPECT_FALSE(catalog_.LanguageName(entry).empty()) << entry;
    }
    EXPECT_TRUE(catalog_.LanguageName(2 * kBuiltInLanguages).empty());
}

TEST_F(EnglishTablesTest, EveryBuiltInLanguageGivesCompleteTables) {
    for (int index = 0; index < kBuiltInLanguages; ++index) {
        loader_.LoadLanguage(index, {});
        EXPECT_EQ(NonEmpty(catalog_.Snapshot()->program), 191) << index;
        EXPECT_EQ(NonEmpty(catalog_.Snapshot()->general), 194) << index;
    }
}

}  // namespace
}  // namespace qf
