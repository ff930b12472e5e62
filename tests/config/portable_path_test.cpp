#include "config/portable_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/files.h"
#include "text_cases.h"

namespace qf {
namespace {

using testing_support::ExpectEach;

PathContext ContextWith(Text baseFolder, std::map<std::string, Text> environment) {
    return {std::move(baseFolder),
            [environment = std::move(environment)](const std::string& name) -> std::optional<Text> {
                const auto found = environment.find(name);
                if (found == environment.end())
                    return std::nullopt;
                return found->second;
            }};
}

TEST(NormalizePathText, RemovesDotsAndParentElements) {
    ExpectEach(NormalizePathText, {
                                      {u"/a/b/../c", u"/a/c"},
                                      {u"/a/./b", u"/a/b"},
                                      {u"/a//b/", u"/a/b"},
                                      {u"/../x", u"/x"},
                                      {u"/", u"/"},
                                      {u"", u""},
                                      {u"../x", u"../x"},
                                      {u"a/../../x", u"../x"},
                                      {u"a/..", u""},
                                      {u"../../a/b/..", u"../../a"},
                                  });
}

class PortablePathTest : public testing::Test {
  protected:
    PathContext context_ = ContextWith(u"/opt/tools/Tool", {{"HOME", u"/home/ann"}});
};

TEST_F(PortablePathTest, RoundTripsToTheNormalizedPath) {
    struct Case {
        TextView path;
        TextView portable;
    };
    const Case cases[] = {
        {u"/opt/tools/Tool/logs/a.txt", u"logs/a.txt"},      // inside
        {u"/opt/tools/Tool", u""},                           // the folder itself
        {u"/opt/tools/Data/x.txt", u"../Data/x.txt"},        // beside
        {u"/opt/tools/ToolBox/x.txt", u"../ToolBox/x.txt"},  // sibling named like it
        {u"/opt/x.txt", u"../../x.txt"},                     // above
        {u"/opt/tools/Tool/./logs/../b.txt", u"b.txt"},      // not yet normalized
        {u"/home/ann/docs/x.txt", u"%HOME%/docs/x.txt"},     // under an environment folder
        {u"/home/ann/.config/qf/s.txt", u"%XDG_CONFIG_HOME%/qf/s.txt"},
        {u"/home/ann", u"%HOME%"},
        {u"/home/anna/x", u"/home/anna/x"},  // not under /home/ann
        {u"/tmp/cap/x.bin", u"%TMPDIR%/cap/x.bin"},
        {u"/srv/data/x", u"/srv/data/x"},  // outside everything
    };
    for (const Case& c : cases) {
        const Text portable = MakePortablePath(c.path, context_);
        EXPECT_EQ(portable, c.portable) << TextToUtf8(c.path);
        EXPECT_EQ(ExpandPortablePath(portable, context_), NormalizePathText(c.path))
            << TextToUtf8(c.path);
    }
}

TEST_F(PortablePathTest, DefinedVariablesWinOverDefaults) {
    const PathContext context = ContextWith(
        u"/opt/Tool", {{"HOME", u"/home/ann/"}, {"XDG_CONFIG_HOME", u"/cfg"}, {"TMPDIR", u""}});
    EXPECT_EQ(MakePortablePath(u"/cfg/x", context), u"%XDG_CONFIG_HOME%/x");
    EXPECT_EQ(MakePortablePath(u"/home/ann/.config/x", context), u"%HOME%/.config/x");
    EXPECT_EQ(ExpandPortablePath(u"%APPDATA%\\x", context), u"/cfg/x");
    EXPECT_EQ(ExpandPortablePath(u"%TEMP%/x", context), u"/tmp/x");  // empty means undefined
}

TEST_F(PortablePathTest, ExpandsStoredFormsOfBothSystems) {
    const auto expand = [this](TextView stored) { return ExpandPortablePath(stored, context_); };
    ExpectEach(expand, {
                           {u"logs\\a.txt", u"/opt/tools/Tool/logs/a.txt"},
                           {u"\\logs\\a.txt",
                            u"/opt/tools/Tool/logs/a.txt"},  // Windows: relative to the folder
                           {u"..\\Data\\x.txt", u"/opt/tools/Data/x.txt"},
                           {u"", u"/opt/tools/Tool"},
                           {u"/abs/../y", u"/y"},
                           {u"%home%/x", u"/home/ann/x"},
                           {u"%APPDATA%\\qf\\s.txt", u"/home/ann/.config/qf/s.txt"},
                           {u"%LOCALAPPDATA%/x", u"/home/ann/.local/share/x"},
                           {u"%USERPROFILE%/x", u"/home/ann/x"},
                           {u"%NOPE%/x", u"/opt/tools/Tool/%NOPE%/x"},  // kept, not deleted
                           {u"50%/x", u"/opt/tools/Tool/50%/x"},        // a lone % stays
                           {u"a%%b", u"/opt/tools/Tool/a%%b"},
                           {u"%NOPE%HOME%/x", u"/opt/tools/Tool/%NOPE/home/ann/x"},
                           {u"C:\\Data\\x.txt", u"C:\\Data\\x.txt"},  // foreign: left alone
                           {u"\\\\server\\share\\x", u"\\\\server\\share\\x"},
                       });
}

TEST_F(PortablePathTest, ForeignAndRelativeInputIsNotRewritten) {
    EXPECT_EQ(MakePortablePath(u"C:\\Data\\x.txt", context_), u"C:\\Data\\x.txt");
    EXPECT_EQ(MakePortablePath(u"logs/./a.txt", context_), u"logs/a.txt");
    EXPECT_EQ(MakePortablePath(u"", context_), u"");
}

TEST(ProcessPaths, UseTheRealExecutableAndEnvironment) {
    EXPECT_EQ(TextToUtf8(ExecutableFolder()),
              std::filesystem::path(ExecutablePath()).parent_path().string());
    const PathContext context = ProcessPathContext(u"/base");
    const auto path = EnvironmentValue("PATH");
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(context.environment("PATH"), Utf8ToText(*path));
}

}  // namespace
}  // namespace qf
