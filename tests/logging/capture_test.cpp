#include "logging/capture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/engine_fixture.h"
#include "logging/english.h"
#include "temp_folder.h"

namespace qf::testing {
namespace {

TEST(ExpandDataLogFileNameTest, NamesFollowTheTemplate) {
    CaptureNameValues v{u"192.168.0.2", 8080,        u"lan", u"example.org", 80,       u"10.0.0.5",
                        50000,          u"10.0.0.9", 40000,  u"TCP",         u"Client"};
    const Text date = u"2026.03.02 - 12:30:45.123";
    const struct {
        TextView fileTemplate;
        Text expected;
    } cases[] = {
        {u"[#DAT]_#LIP,#LPort_#CIP,#CPort_#SOD.txt",
         u"[2026.03.02 - 12.30.45.123]_192.168.0.2,8080_10.0.0.5,50000_Client.txt"},
        {u"a/b\\c 100%%", u"a_b_c 100%"},
        {u"#LHost #RHost:#RPort #OLIP,#OLPort #P", u"lan example.org#80 10.0.0.9,40000 TCP"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandDataLogFileName(c.fileTemplate, date, v), c.expected);

    v.clientAddress = u"fe80::1";
    v.remoteHost = u"../../etc/x";
    EXPECT_EQ(ExpandDataLogFileName(u"#CIP_#RHost", u"", v), u"fe80##1_.._.._etc_x");
}

std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        files[entry.path().filename().string()] = all.str();
    }
    return files;
}

class CaptureTest : public EngineTest {
  protected:
    CaptureTest() : opener(texts, ProcessPathContext(u"/")) {
        LoadEnglish(texts);
        opener.SetOptions(
            {Utf8ToText(folder.path().string()), texts.Program(1011), u"HH.mm.ss.fff"});
        engine.captureOpener = &opener;
        engine.preferences.DataLogEnabled = true;
    }

    // One session: the client sends `fromClient`, the server answers `fromServer` and closes.
    void Exchange(const std::string& fromClient, const std::string& fromServer,
                  const char* localIP = "127.0.0.1") {
        TestServer server([&](Socket& s) {
            std::string got;
            char buffer[65536];
            while (got.size() < fromClient.size()) {
                auto n = s.Receive(buffer, sizeof buffer);
                if (!n || *n == 0) return;
                got.append(buffer, *n);
            }
            s.SendAll(fromServer.data(), fromServer.size());
        });
        PFOPtr pfo = AddTCPPFO(FreePort(), server.port());
        pfo->LocalIP = Utf8ToText(localIP);
        ASSERT_TRUE(StartPFO(*pfo));
        const auto family = pfo->LocalAddress.family();
        Socket client = std::move(*Socket::Open(family, SocketType::Stream));
        ASSERT_TRUE(client.Connect(SocketAddress::Loopback(family, pfo->LocalPort), 5000, nullptr));
        ASSERT_TRUE(client.SendAll(fromClient.data(), fromClient.size()));
        EXPECT_EQ(ReadAll(client).size(), fromServer.size());
        client.Close();
        ASSERT_TRUE(sink.WaitForCount(EventId::Ended, ++sessions));
        StopPFO(*pfo);
    }

    // One UDP client's two datagrams to a PFO with a main and an extra destination; each
    // destination answers with its own prefix. Files are named by remote port and source.
    std::map<std::string, std::string> UDPExchange() {
        opener.SetOptions({Utf8ToText(folder.path().string()), u"#RPort_#SOD", u"HH"});
        DatagramPeer a([](const std::string& p) { return "a" + p; });
        DatagramPeer b([](const std::string& p) { return "bb" + p; });
        PFOPtr pfo = AddUDPPFO(FreePort(), a.port());
        pfo->ExtraRemoteDestinations = {{u"127.0.0.1", b.port()}};
        EXPECT_TRUE(StartPFO(*pfo));
        DatagramPeer client;
        client.SendTo(pfo->LocalPort, "one");
        EXPECT_TRUE(client.WaitFor(2));
        client.SendTo(pfo->LocalPort, "two");
        EXPECT_TRUE(client.WaitFor(4));
        StopPFO(*pfo);
        ports = {std::to_string(a.port()), std::to_string(b.port())};
        return FilesIn(folder.path());
    }

    testing_support::TempFolder folder;
    CaptureFileOpener opener;
    std::pair<std::string, std::string> ports;
    size_t sessions = 0;
};

TEST_F(CaptureTest, EachDirectionGoesToItsOwnFileNamedByTheDefaultTemplate) {
    const std::string up = Pattern(300000, 1), down = Pattern(200000, 2);
    Exchange(up, down);
    const auto files = FilesIn(folder.path());
    ASSERT_EQ(files.size(), 2u);
    auto client = files.begin(), server = std::next(client);
    EXPECT_TRUE(client->first.ends_with("_Client.txt")) << client->first;
    EXPECT_TRUE(server->first.ends_with("_Server.txt")) << server->first;
    EXPECT_EQ(client->first.substr(0, client->first.size() - 10),
              server->first.substr(0, server->first.size() - 10));
    EXPECT_TRUE(client->first.starts_with("[")) << client->first;
    EXPECT_NE(client->first.find("]_127.0.0.1,"), std::string::npos) << client->first;
    EXPECT_TRUE(client->second == up);
    EXPECT_TRUE(server->second == down);
}

TEST_F(CaptureTest, CombinedModeWritesWholeChunksOfBothDirectionsToOneFile) {
    engine.preferences.DataLogCombineData = true;
    const std::string up(70000, 'u'), down(90000, 'd');
    Exchange(up, down);
    const auto files = FilesIn(folder.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files.begin()->first.ends_with("_Combined.txt"));
    const std::string& bytes = files.begin()->second;
    EXPECT_EQ(bytes.size(), up.size() + down.size());
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 'u'), long(up.size()));
}

TEST_F(CaptureTest, AUDPSessionHasOneClientFileAndAServerFilePerDestination) {
    const auto files = UDPExchange();
    const auto& [a, b] = ports;
    EXPECT_EQ(files, (std::map<std::string, std::string>{{a + "_Client", "onetwo"},
                                                         {a + "_Server", "aoneatwo"},
                                                         {b + "_Server", "bbonebbtwo"}}));
}

TEST_F(CaptureTest, AUDPSessionInCombinedModeWritesEverythingToOneFile) {
    engine.preferences.DataLogCombineData = true;
    const auto files = UDPExchange();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, ports.first + "_Combined");
    EXPECT_EQ(files.begin()->second.size(), std::string("onetwoaoneatwobbonebbtwo").size());
}

TEST_F(CaptureTest, IPv6ClientsShowHashesInTheName) {
    Exchange("x", "y", "::1");
    const auto files = FilesIn(folder.path());
    EXPECT_EQ(files.size(), 2u);
    for (const auto& [name, bytes] : files)
        EXPECT_NE(name.find("_##1,"), std::string::npos) << name;
}

TEST_F(CaptureTest, MissingFolderIsReportedAndTheSessionStillRelays) {
    opener.SetOptions(
        {Utf8ToText((folder.path() / "missing").string()), texts.Program(1011), u"HH.mm.ss"});
    Exchange("ping", "pong");
    const auto failures = sink.EventsWithId(EventId::CaptureFileFailed);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].text,
              u"Unable to open the file for data logging! The data will not be logged.");
    EXPECT_TRUE(FilesIn(folder.path()).empty());
}

}  // namespace
}  // namespace qf::testing
