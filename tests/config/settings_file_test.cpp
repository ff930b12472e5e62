#include "config/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "config/settings_keys.h"
#include "config/settings_rules.h"
#include "config/value_codecs.h"
#include "settings_fixture.h"
#include "temp_folder.h"

namespace qf {
namespace {

using testing_support::SettingsBytes;

const Text kForeignMessage =
    u"Abnormal condition encountered: The settings file is either not from this program, or it "
    u"is not a settings file. Default settings will be used.";
const Text kNewerQuestion =
    u"Abnormal condition encountered: The settings file appears to be from a newer version of "
    u"this program. Should I attempt to load it?";

template <class Visit>
void ForEachReadKey(Visit visit) {
    for (const SettingsLine& line : SettingsTable()) {
        const auto* key = std::get_if<SettingKey>(&line);
        if (key != nullptr && key->read) visit(*key);
    }
}

// A value of the same form that differs from `value`.
Text OtherValue(TextView literal, TextView value) {
    if (literal.starts_with(u"Language.Choice")) return u"DE";
    if (value == u"Yes") return u"No";
    if (value == u"No") return u"Yes";
    if (value.starts_with(u"#")) return u"#123456";
    if (!value.empty() && value.find_first_not_of(u"0123456789.") == TextView::npos)
        return FormatDoubleText(ParseDoubleText(value, 0, 0, 0) + 3, -1);
    return Text(value) + u"x";
}

class SettingsFileTest : public testing_support::SettingsTest {
  protected:
    Text WrittenValue(TextView key) {
        const Text saved = Saved();
        return Text(FindSettingValue(SettingsText(saved), key).value_or(u"(missing)"));
    }
};

TEST_F(SettingsFileTest, EveryKeyIsReadAndSurvivesSavingAndLoading) {
    ApplyLoadTimeDefaults(settings, engine);
    const Text defaults = Saved();
    const SettingsText defaultFile(defaults);
    Text lines;
    ForEachReadKey([&](const SettingKey& key) {
        const auto value = FindSettingValue(defaultFile, key.literal);
        ASSERT_TRUE(value) << TextToUtf8(key.literal);
        lines += FormatSettingLine(key.literal, OtherValue(key.literal, *value));
    });
    Load(FileWith(lines + u"\r\nPFO\tUDP\tEnabled \t|9\t|0\tlocalhost|10"));
    const Text changed = Saved();
    const SettingsText changedFile(changed);
    ForEachReadKey([&](const SettingKey& key) {
        EXPECT_NE(FindSettingValue(changedFile, key.literal),
                  FindSettingValue(defaultFile, key.literal))
            << TextToUtf8(key.literal) << " was not read";
    });

    Settings reloaded;
    EngineState otherEngine{texts};
    ApplyLoadTimeDefaults(reloaded, otherEngine);
    LoadSettingsContent(SettingsBytes(changed), reloaded, otherEngine, options, prompts);
    EXPECT_EQ(FormatSettingsFile(reloaded, otherEngine), changed);
    EXPECT_EQ(otherEngine.pfos.Count(), 1);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SettingsFileTest, EngineValuesLiveInTheEngine) {
    Load(FileWith(
        u"\r\nPreferences.MaximumThreads\t1234567\r\nPreferences.UseIPv4LocalhostResolve\tNo"
        u"\r\nPreferences.ResolveCache.RetryDelay 99\r\nDataLog.CombineData=Yes"
        u"\r\nPFOOptionsDialog.LocalPort\t9090\r\nPFOOptionsDialog.CheckTCP\tNo"
        u"\r\nPFOOptionsDialog.ExtraRemoteDestinations\t10.0.0.9|8081, *10.0.0.10|8082"
        u"\r\nPFOAdvancedOptionsDialog.DisableTCPNagle\tYes"));
    EXPECT_EQ(engine.preferences.MaximumThreads, 1234567);
    EXPECT_FALSE(engine.preferences.resolve.useIPv4LocalhostResolve);
    EXPECT_EQ(engine.preferences.resolve.cacheRetryDelayMs, 99);
    EXPECT_TRUE(engine.preferences.DataLogCombineData);
    EXPECT_EQ(engine.defaults.LocalPort, 9090);
    EXPECT_FALSE(engine.defaults.CheckTCP);
    EXPECT_TRUE(engine.defaults.latestAdvancedOptions.TCP_NoDelay);
    ASSERT_EQ(engine.defaults.ExtraRemoteDestinations.size(), 2u);
    EXPECT_EQ(engine.defaults.ExtraRemoteDestinations[1].host, u"10.0.0.10");
    EXPECT_EQ(WrittenValue(u"Preferences.MaximumThreads"), u"1234567") << "every digit kept";
    EXPECT_EQ(WrittenValue(u"PFOOptionsDialog.ExtraRemoteDestinations"),
              u"10.0.0.9|8081, 10.0.0.10|8082");
    // New PFOs take the loaded defaults.
    EXPECT_EQ(CreatePFO(engine)->protocol, Protocol::UDP);
}

TEST_F(SettingsFileTest, EveryLoadSetsTheLoadTimeDefaultsFirst) {
    settings.AutoLog.Enabled = true;
    settings.ShowWelcomeScreen = false;
    settings.FontSize = 20;
    engine.defaults.LocalPort = 1;
    engine.preferences.DataLogEnabled = true;
    Load(FileWith(u"\r\nAutoLog.UpdateInterval\t9"));
    EXPECT_FALSE(settings.AutoLog.Enabled);
    EXPECT_TRUE(settings.ShowWelcomeScreen);
    EXPECT_EQ(settings.FontSize, 20) << "a constructor default only";
    EXPECT_EQ(engine.defaults.LocalPort, 8080);
    EXPECT_FALSE(engine.preferences.DataLogEnabled);
    EXPECT_EQ(settings.AutoLog.UpdateInterval, 9);
    EXPECT_EQ(settings.DateAndTimeParameters, u"yyyy.MM.dd - HH:mm:ss.fff");
}

TEST_F(SettingsFileTest, AHandMadeFileIsReadWithLooseSeparatorsCaseAndLineEnds) {
    ApplyLoadTimeDefaults(settings, engine);
    LoadSettingsContent(
        "ProgramName=quillmark ferrox\nAutoLog.Enabled: yes\nautolog.updateinterval   7\n"
        "Preferences.FontSize\t \r\nAutoLog.NoLogBadIPx\tYes\nPFO\tUDP\tEnabled \t:1\th:2\n",
        settings, engine, options, prompts);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(settings.AutoLog.Enabled);
    EXPECT_EQ(settings.AutoLog.UpdateInterval, 7);
    EXPECT_EQ(settings.FontSize, 10) << "a blank value keeps the default";
    EXPECT_FALSE(settings.AutoLog.NoLogBadIP) << "a longer key is another key";
    // Without SettingsVersion the records are of the oldest form.
    ASSERT_EQ(engine.pfos.Count(), 1);
    EXPECT_EQ(engine.pfos.Snapshot()[0]->RemotePort, 2);
}

TEST_F(SettingsFileTest, ReadingRulesOfOlderFilesAndOddValues) {
    struct Case {
        TextView line;
        TextView settingsVersion;
        TextView programVersion;
        TextView expected;  // the value written back
    };
    const Case cases[] = {
        {u"Preferences.FontSize\t3", u"4.01", u"2.0", u"6"},
        {u"Preferences.FontSize\t40", u"4.01", u"2.0", u"24"},
        {u"Preferences.FontSize\t266", u"4.01", u"2.0", u"10"},
        {u"AutoLog.LogEntryParameters\t%DAT %E", u"2.5", u"2.0", u"\\r\\n#DAT #E"},
        {u"AutoLog.LogEntryParameters\t#DAT %%E %", u"3.0", u"2.0", u"#DAT %%E #"},
        {u"Preferences.DateAndTimeParameters\t%Y-%MY-%D", u"4.01", u"2.0", u"yyyy-MM-dd"},
        {u"Preferences.DateAndTimeParameters\t%H24:%MN", u"4.0", u"2.0", u"HH:mm"},
        {u"DataLog.FilenameParameters\t%DAT_%%.txt", u"4.01", u"2.0", u"#DAT_%%.txt"},
        {u"Preferences.EnableMACBasedBinding\tNo", u"4.0", u"2.0", u"Yes"},
        {u"Preferences.EnableMACBasedBinding\tNo", u"4.01", u"2.0", u"No"},
        {u"Language.Choice\t3", u"4.01", u"1.0", u"ES"},
        {u"Language.Choice\t3", u"4.01", u"2.0", u"DE"},
        {u"Language.Choice\t99", u"4.01", u"1.1", u"SV"},
        {u"Language.Choice\tde", u"4.01", u"2.0", u"DE"},
        {u"Language.Choice\tother", u"4.01", u"1.0", u"Other"},
        {u"Language.Choice\tXX", u"4.01", u"2.0", u"EN"},
        {u"Colours.WindowBackground\t123456", u"4.01", u"2.0", u"#123456"},
        {u"WebInterfaceDynamic.ListeningPortDynamic\t70000", u"4.01", u"2.0", u"4464"},
    };
    for (const Case& c : cases) {
        settings = Settings();
        Load(FileWith(u"\r\n" + Text(c.line), c.settingsVersion, c.programVersion));
        const TextView key = c.line.substr(0, c.line.find(u'\t'));
        EXPECT_EQ(WrittenValue(key), c.expected)
            << TextToUtf8(c.line) << " at " << TextToUtf8(c.settingsVersion);
    }
}

TEST_F(SettingsFileTest, LanguageKeysAreNotReadWhenTheCommandLineChoseTheLanguage) {
    settings.LanguageChoice = 5;
    options.languageGiven = true;
    Load(FileWith(u"\r\nLanguage.Choice\tDE\r\nLanguage.StringsFilePath\t/x.txt"));
    EXPECT_EQ(settings.LanguageChoice, 5);
    EXPECT_EQ(settings.LanguageStringsFilePath, u"");
}

TEST_F(SettingsFileTest, ColumnKeysWidenWithTheirNumberAndReadBack) {
    const Text saved = Saved();
    EXPECT_NE(saved.find(u"\r\nPFOListColumn2.Width         \t95\r\n"), Text::npos);
    EXPECT_NE(saved.find(u"\r\nPFOListColumn12.Width         \t100\r\n"), Text::npos);
    Load(FileWith(u"\r\nPFOListColumn2.Width  \t33\r\nPFOListColumn12.Width.Expanded 44"));
    EXPECT_EQ(settings.Columns[2].Width, 33);
    EXPECT_EQ(settings.Columns[12].WidthExpanded, 44);
}

TEST_F(SettingsFileTest, ForeignFilesShowTheMessageAndApplyNothing) {
    std::vector<std::string> events;
    options.chooseLanguage = [&] { events.push_back("chooser"); };
    const Text files[] = {
        u"\r\nProgramName\tOther Forwarder\r\nAutoLog.Enabled\tYes",
        u"\r\nAutoLog.Enabled\tYes",
    };
    for (const Text& file : files) {
        engine.pfos.CreateAndAppend(engine);
        const int64_t pfos = engine.pfos.Count();
        prompts.shown.clear();
        events.clear();
        ApplyLoadTimeDefaults(settings, engine);
        LoadSettingsContent(SettingsBytes(file + u"\r\nPFO\tTCP\tEnabled \t|1\t|0\tlocalhost|2"),
                            settings, engine, options, prompts);
        EXPECT_EQ(prompts.shown, std::vector<Text>{kForeignMessage});
        EXPECT_EQ(events, std::vector<std::string>{"chooser"});
        EXPECT_FALSE(settings.AutoLog.Enabled);
        EXPECT_EQ(engine.pfos.Count(), pfos);
    }
}

TEST_F(SettingsFileTest, ATenByteFileIsForeignAndABlankOneIsQuietlyIgnored) {
    ApplyLoadTimeDefaults(settings, engine);
    LoadSettingsContent("0123456789", settings, engine, options, prompts);
    EXPECT_EQ(prompts.shown, std::vector<Text>{kForeignMessage});
    prompts.shown.clear();
    Load(u" \r\n\t\r\n                ");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SettingsFileTest, ANewerFileIsAppliedOnlyWhenTheAnswerIsYes) {
    const Text newer = FileWith(
        u"\r\nAutoLog.Enabled\tYes\r\nPFO\tTCP\tEnabled \t|1\t|0\tlocalhost|2", u"4.01", u"2.1");
    Load(newer);
    EXPECT_EQ(prompts.shown, std::vector<Text>{kNewerQuestion});
    EXPECT_FALSE(settings.AutoLog.Enabled);
    EXPECT_EQ(engine.pfos.Count(), 0);

    prompts.loadNewerFile = true;
    Load(newer);
    EXPECT_TRUE(settings.AutoLog.Enabled);
    EXPECT_EQ(engine.pfos.Count(), 1);
}

TEST(HeadlessSettingsPrompts, LogsBothMessagesAndDeclinesNewerFiles) {
    std::vector<Text> logged;
    HeadlessSettingsPrompts prompts([&](TextView caption, TextView text) {
        logged.push_back(Text(caption) + u"|" + Text(text));
    });
    prompts.ShowForeignFile(u"c", u"foreign");
    EXPECT_FALSE(prompts.AskLoadNewerFile(u"c", u"newer"));
    EXPECT_EQ(logged, (std::vector<Text>{u"c|foreign", u"c|newer"}));
}

TEST_F(SettingsFileTest, AMissingFileShowsNothingAndIsCreatedPrivateAtTheNextSave) {
    testing_support::TempFolder folder;
    const Text path = Utf8ToText((folder.path() / "Ferrox.QMS").string());
    int choices = 0;
    options.chooseLanguage = [&] { ++choices; };
    LoadSettingsFile(settings, engine, path, options, prompts);
    EXPECT_EQ(choices, 1);
    options.languageGiven = true;
    LoadSettingsFile(settings, engine, path, options, prompts);
    EXPECT_EQ(choices, 1);
    EXPECT_TRUE(prompts.shown.empty());

    ASSERT_TRUE(SaveSettingsFile(settings, engine, path));
    struct stat facts {};
    ASSERT_EQ(::stat(TextToUtf8(path).c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0600u) << "the file holds the password hash";
    settings.AutoLog.UpdateInterval = 77;
    ASSERT_TRUE(SaveSettingsFile(settings, engine, path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";
    settings = Settings();
    LoadSettingsFile(settings, engine, path, options, prompts);
    EXPECT_EQ(settings.AutoLog.UpdateInterval, 77);
    EXPECT_FALSE(SaveSettingsFile(settings, engine, path + u".missing/x.QMS"));
}

TEST_F(SettingsFileTest, StoredPathsTakeTheirPortableForm) {
    Load(
        FileWith(u"\r\nAutoLog.FilePath\t/opt/ferrox/logs/../logs/events.txt"
                 u"\r\nDataLog.FolderPath\t/srv/capture/"
                 u"\r\nPFOFilterOptionsDialog.LastFilename\t/opt/ferrox/profile.QMFP"));
    EXPECT_EQ(settings.AutoLog.FilePath, u"logs/events.txt");
    EXPECT_EQ(settings.DataLogFolderPath, u"/srv/capture");
    EXPECT_EQ(settings.PFOFilterDialog.LastFilename, u"/opt/ferrox/profile.QMFP")
        << "not a path key";
}

TEST_F(SettingsFileTest, StoredWindowsAreFittedToTheScreen) {
    options.screen = WindowRectangle{0, 1919, 0, 1079};
    Load(
        FileWith(u"\r\nWindowPosition.Left\t-2000\r\nWindowPosition.Right\t-1200"
                 u"\r\nWindowPosition.Top\t100\r\nWindowPosition.Bottom\t900"
                 u"\r\nLogTail.WindowPosition.Left\t2500\r\nLogTail.WindowPosition.Right\t2600"));
    EXPECT_EQ(settings.WindowPosition.Left, -150);
    EXPECT_EQ(settings.WindowPosition.Right, 650);
    EXPECT_EQ(settings.WindowPosition.Top, 100);
    EXPECT_EQ(settings.WindowPosition.Bottom, 900);
    // Relative to the fitted main window: 1969 on the screen is 50 beyond its right edge.
    EXPECT_EQ(settings.LogTailWindowPosition.Right, 1969 + 150);
    EXPECT_EQ(settings.LogTailWindowPosition.Left, 1869 + 150);
}

TEST(FitWindowToScreen, MovesOncePerDirectionAndNeverResizes) {
    const WindowRectangle screen{0, 1919, 0, 1079};
    struct Case {
        WindowRectangle window, expected;
    };
    const Case cases[] = {
        {{100, 900, 50, 600}, {100, 900, 50, 600}},
        {{-2000, -1200, 0, 10}, {-150, 650, 0, 10}},
        {{1500, 2500, -400, -100}, {1069, 2069, -150, 150}},
        {{-500, 3000, 0, 10}, {-150, 3350, 0, 10}},  // wider than the screen: left edge first
        {{INT32_MIN, INT32_MAX, 0, 10}, {-150, INT32_MAX, 0, 10}},
    };
    for (const Case& c : cases) {
        const WindowRectangle fitted = FitWindowToScreen(c.window, screen, 150);
        EXPECT_EQ(fitted.Left, c.expected.Left) << c.window.Left;
        EXPECT_EQ(fitted.Right, c.expected.Right) << c.window.Left;
        EXPECT_EQ(fitted.Top, c.expected.Top) << c.window.Top;
        EXPECT_EQ(fitted.Bottom, c.expected.Bottom) << c.window.Top;
    }
}

}  // namespace
}  // namespace qf
