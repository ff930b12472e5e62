#include "logging/debug_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "temp_folder.h"

namespace qf {
namespace {

std::string Utf16(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) bytes += {c, '\0'};
    return bytes;
}

TEST(DebugLogTest, MarksStartAndEndAndAppendsLaterRuns) {
    testing_support::TempFolder folder;
    const Text path = Utf8ToText((folder.path() / "ferrox.Debug.log").string());
    const PathContext paths = ProcessPathContext(u"/");
    for (int run = 0; run < 2; ++run) {
        DebugLog log(true, path, paths);
        log.Start();
        log.Stop();
    }
    DebugLog off(false, path + u".off", paths);
    off.Start();
    off.Stop();
    EXPECT_FALSE(std::filesystem::exists(TextToUtf8(path + u".off")));

    std::ifstream in(TextToUtf8(path), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string run = Utf16("\r\n\r\n# Log initialized\r\n# Log shut-down");
    EXPECT_EQ(all.str(), "\xFF\xFE" + run + run);
}

}  // namespace
}  // namespace qf
