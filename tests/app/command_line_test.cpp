#include "app/command_line.h"

#include <gtest/gtest.h>

#include "app/settings_location.h"

namespace qf {
namespace {

TEST(CommandLineTest, OptionsInEitherSpellingAndAnyCase) {
    const CommandLine line =
        ParseCommandLine({u"-help", u"NOINSTALL", u"-startminimised", u"junk", u"--service",
                          u"-SERVICE", u"-language", u"de", u"x-DoDebugLog-y", u"doserviceremove"});
    EXPECT_TRUE(line.help);
    EXPECT_TRUE(line.noInstall);
    EXPECT_TRUE(line.startMinimized);
    EXPECT_TRUE(line.runningAsService);
    EXPECT_TRUE(line.debugLog);
    EXPECT_TRUE(line.doServiceRemove);
    EXPECT_FALSE(line.doInstall);
    EXPECT_EQ(line.languageArguments, std::vector<Text>{u"de"});
    EXPECT_FALSE(ParseCommandLine({u"debuglog"}).debugLog);
}

TEST(CommandLineTest, SettingsFolderValues) {
    const struct {
        std::vector<Text> arguments;
        Text folder;
    } cases[] = {
        {{u"-SettingsFolderPath", u"/srv/cfg//"}, u"/srv/cfg"},
        {{u"-settingsfolderpath", u"ab"}, u""},
        {{u"-SettingsFolderPath"}, u""},
        {{u"SettingsFolderPath", u"/home/a b/x"}, u"/home/a b/x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCommandLine(c.arguments).settingsFolderPath, c.folder);
    // The short value is still examined as an option of its own.
    EXPECT_TRUE(ParseCommandLine({u"-SettingsFolderPath", u"-h"}).settingsFolderPath.empty());
}

TEST(SettingsLocationTest, InstalledProgramsUseTheConfigurationFolder) {
    const EnvironmentLookup environment = [](const std::string& name) -> std::optional<Text> {
        if (name == "HOME") return u"/home/ann";
        return std::nullopt;
    };
    const struct {
        Text executable;
        Text folderArgument;
        Text folder;
        bool installed;
    } cases[] = {
        {u"/opt/ferrox/quillmark-ferrox", u"", u"/home/ann/.config/Quillmark Ferrox", true},
        {u"/usr/local/bin/quillmark-ferrox", u"", u"/home/ann/.config/Quillmark Ferrox", true},
        {u"/home/ann/tools/quillmark-ferrox", u"", u"/home/ann/tools", false},
        {u"/opt/ferrox/quillmark-ferrox", u"/srv/cfg", u"/srv/cfg", false},
        {u"/home/ann/quillmark-ferrox", u"/usr/share/x", u"/home/ann/.config/Quillmark Ferrox",
         true},
        {u"/home/ann/optional/quillmark-ferrox", u"", u"/home/ann/optional", false},
    };
    for (const auto& c : cases) {
        const SettingsLocation location =
            LocateSettings(c.executable, c.folderArgument, environment);
        EXPECT_EQ(location.folder, c.folder) << TextToUtf8(c.executable);
        EXPECT_EQ(location.installed, c.installed);
        EXPECT_EQ(location.file, c.folder + u"/quillmark-ferrox.QMS");
        EXPECT_EQ(location.debugLog, c.folder + u"/quillmark-ferrox.Debug.log");
    }
    EXPECT_EQ(LocateSettings(u"/x/Ferrox.exe", u"", environment).file, u"/x/Ferrox.QMS");
}

}  // namespace
}  // namespace qf
