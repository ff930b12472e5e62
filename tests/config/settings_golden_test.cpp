// The file written from the defaults and two PFOs, byte for byte. Set FERROX_UPDATE_GOLDEN to
// write the expected file again after a deliberate change of the format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "config/text_files.h"
#include "settings_fixture.h"
#include "temp_folder.h"

namespace qf {
namespace {

using testing_support::Ranges;

const std::string kGoldenPath = FERROX_GOLDEN_FOLDER "/defaults_and_two_pfos.QMS";

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

class SettingsGoldenTest : public testing_support::SettingsTest {
  protected:
    void AddTCPPFO() {
        PFOPtr pfo = AddPFO();
        pfo->Enabled = true;
        pfo->LocalIP = u"192.168.0.2";
        pfo->RemoteHost = u"10.0.0.8";
        pfo->Note = u"web front";
        pfo->AcceptRanges =
            Ranges({{u"10.0.0.0", u"10.255.255.255"}, {u"192.168.1.10", u"192.168.1.20"}});
        pfo->RejectRanges = Ranges({{u"10.1.0.0", u"10.1.255.255"}});
        pfo->EnableIPFilter = pfo->TCP_NoDelay = pfo->TCP_KeepAlive = true;
    }
    void AddUDPPFO() {
        PFOPtr pfo = AddPFO();
        pfo->protocol = Protocol::UDP;
        pfo->LocalIP = u"";
        pfo->LocalPort = 5353;
        pfo->OLAddress = u"10.0.0.5";
        pfo->OLPort = 4000;
        pfo->Bounce = true;
        pfo->RemoteHost = u"10.0.0.8";
        pfo->RemotePort = 53;
        pfo->ExtraRemoteDestinations = {{u"10.0.0.9", 5300}, {u"10.0.0.10", 5301}};
        pfo->MaxSessions = 20;
        pfo->UDPSessionTimeout = 30000;
        pfo->Note = u"50% off\tuntil Friday";
        pfo->ForwardICMPForUDP = pfo->UDP_Port_Bind = true;
    }
};

TEST_F(SettingsGoldenTest, DefaultsAndTwoPFOsAreWrittenExactly) {
    testing_support::TempFolder folder;
    const std::string path = (folder.path() / "Ferrox.QMS").string();
    LoadSettingsFile(settings, engine, Utf8ToText(path), options, prompts);
    AddTCPPFO();
    AddUDPPFO();
    ASSERT_TRUE(SaveSettingsFile(settings, engine, Utf8ToText(path)));
    const std::string written = ReadBytes(path);
    if (std::getenv("FERROX_UPDATE_GOLDEN") != nullptr)
        std::ofstream(kGoldenPath, std::ios::binary) << written;
    EXPECT_EQ(written, ReadBytes(kGoldenPath)) << "written:\n"
                                               << TextToUtf8(DecodeTextFileBytes(written));
}

TEST_F(SettingsGoldenTest, TheExpectedFileReadsBackToTheSameFile) {
    AddTCPPFO();
    const std::string golden = ReadBytes(kGoldenPath);
    ASSERT_FALSE(golden.empty());
    Load(DecodeTextFileBytes(golden));
    EXPECT_TRUE(prompts.shown.empty());
    ASSERT_EQ(engine.pfos.Count(), 2) << "the file's PFOs replace the list";
    EXPECT_EQ(testing_support::SettingsBytes(Saved()), golden);
}

}  // namespace
}  // namespace qf
