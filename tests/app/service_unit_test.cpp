#include "app/service_unit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_folder.h"

namespace qf {
namespace {

TEST(ServiceUnitTest, InstallTwiceAndRemoveTwice) {
    testing_support::TempFolder folder;
    const std::string log = (folder.path() / "systemctl.log").string();
    // A stand-in for systemctl that records its arguments.
    const std::string fake = folder.Write("systemctl", "#!/bin/sh\necho \"$@\" >> " + log + "\n");
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    const ServiceManager manager{folder.path().string(), fake};

    EXPECT_EQ(InstallService(manager, u"/opt/a b/quillmark-ferrox", u"/srv/cfg"), "SUCCESS");
    EXPECT_EQ(InstallService(manager, u"/opt/a b/quillmark-ferrox", u"/srv/cfg"),
              "ERROR_SERVICE_EXISTS");
    std::ifstream unit(manager.unitPath());
    const std::string text((std::istreambuf_iterator<char>(unit)), {});
    EXPECT_NE(text.find("ExecStart=\"/opt/a b/quillmark-ferrox\" -Service -SettingsFolderPath "
                        "\"/srv/cfg\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("Type=notify"), std::string::npos);
    EXPECT_NE(text.find("Description=Quillmark Ferrox Service"), std::string::npos);

    EXPECT_EQ(RemoveService(manager), "SUCCESS");
    EXPECT_EQ(RemoveService(manager), "ERROR_SERVICE_DOES_NOT_EXIST");
    std::ifstream calls(log);
    const std::string recorded((std::istreambuf_iterator<char>(calls)), {});
    EXPECT_EQ(recorded,
              "daemon-reload\nenable Ferrox.service\ndisable Ferrox.service\ndaemon-reload\n");
}

TEST(ServiceUnitTest, CommandLineQuotesOnceAndEscapesSystemdSpecials) {
    EXPECT_EQ(ServiceCommandLine(u"\"/opt/my app/ferrox\"", u"/cfg"),
              u"\"/opt/my app/ferrox\" -Service -SettingsFolderPath \"/cfg\"");
    EXPECT_EQ(ServiceCommandLine(u"/opt/100%/$x\\y", u"/c"),
              u"\"/opt/100%%/$$x\\\\y\" -Service -SettingsFolderPath \"/c\"");
}

TEST(ServiceUnitTest, AMissingUnitFolderIsAnUnknownError) {
    const ServiceManager manager{"/nonexistent-ferrox-units", ""};
    EXPECT_EQ(InstallService(manager, u"/x", u"/y"), "ERROR_UNKNOWN");
}

}  // namespace
}  // namespace qf
