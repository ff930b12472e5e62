// The real executable, started as a child process on a settings folder of its own.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "config/settings_file.h"
#include "engine/engine_fixture.h"
#include "logging/english.h"
#include "support/child_process.h"
#include "temp_folder.h"

namespace qf {
namespace {

using testing::ChildProcess;
using testing_support::TempFolder;

// Generous: sanitizer builds start and stop slowly on a busy machine.
constexpr int kTimeoutMs = 20000;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

size_t Occurrences(const std::string& haystack, const std::string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

bool WaitFor(const std::function<bool()>& condition) {
    const int64_t deadline = MonotonicMs() + kTimeoutMs;
    while (!condition()) {
        if (MonotonicMs() > deadline) return false;
        SleepMs(20);
    }
    return true;
}

bool WaitReadable(const Socket& socket, int timeoutMs) {
    pollfd entry{socket.handle(), POLLIN, 0};
    return poll(&entry, 1, timeoutMs) == 1;
}

// One exchange through a PFO that may not listen yet; empty when nothing came back.
std::string TCPExchange(uint16_t port, const std::string& text) {
    auto socket = Socket::Open(AddressFamily::IPv4, SocketType::Stream);
    if (!socket ||
        !socket->Connect(SocketAddress::Loopback(AddressFamily::IPv4, port), 1000, nullptr))
        return {};
    if (!socket->SendAll(text.data(), text.size()) || !WaitReadable(*socket, 1000)) return {};
    char buffer[256];
    auto n = socket->Receive(buffer, sizeof buffer);
    return n ? std::string(buffer, *n) : std::string();
}

std::string UDPExchange(uint16_t port, const std::string& text) {
    auto socket = Socket::Open(AddressFamily::IPv4, SocketType::Datagram);
    if (!socket ||
        !socket->SendTo(text.data(), text.size(),
                        SocketAddress::Loopback(AddressFamily::IPv4, port)) ||
        !WaitReadable(*socket, 500))
        return {};
    char buffer[256];
    SocketAddress from;
    auto n = socket->ReceiveFrom(buffer, sizeof buffer, from);
    return n ? std::string(buffer, *n) : std::string();
}

uint16_t FreeUDPPort() {
    Socket s = std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Datagram));
    EXPECT_TRUE(s.Bind(SocketAddress::Loopback(AddressFamily::IPv4)));
    return s.LocalAddress()->port();
}

// Answers every datagram with its own bytes.
class UDPEcho {
  public:
    UDPEcho() : socket_(std::move(*Socket::Open(AddressFamily::IPv4, SocketType::Datagram))) {
        EXPECT_TRUE(socket_.Bind(SocketAddress::Loopback(AddressFamily::IPv4)));
        port_ = socket_.LocalAddress()->port();
        thread_ = std::thread([this] {
            char buffer[2048];
            for (;;) {
                SocketAddress from;
                auto n = socket_.ReceiveFrom(buffer, sizeof buffer, from);
                if (!n || *n == 0) return;
                socket_.SendTo(buffer, *n, from);
            }
        });
    }
    ~UDPEcho() {
        socket_.Shutdown();
        thread_.join();
    }
    uint16_t port() const { return port_; }

  private:
    Socket socket_;
    uint16_t port_ = 0;
    std::thread thread_;
};

// Stands in for the service manager's notification socket.
class NotifySocket {
  public:
    explicit NotifySocket(std::string path) : path_(std::move(path)) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~NotifySocket() { close(fd_); }
    const std::string& path() const { return path_; }

    // The next state line; empty when none came in time.
    std::string Receive() {
        pollfd entry{fd_, POLLIN, 0};
        if (poll(&entry, 1, kTimeoutMs) != 1) return {};
        char buffer[256];
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, size_t(n)) : std::string();
    }

  private:
    std::string path_;
    int fd_ = -1;
};

class ProgramTest : public ::testing::Test {
  protected:
    ProgramTest() { testing::LoadEnglish(texts_); }

    std::filesystem::path SettingsPath() const { return folder_.path() / "quillmark-ferrox.QMS"; }
    std::string SettingsBytes() const { return ReadFile(SettingsPath()); }

    // A TCP PFO and a UDP PFO, both enabled, and the connection-event log written every second.
    void WriteSettings(uint16_t tcpTarget, uint16_t udpTarget, uint16_t servicePort = 0) {
        Settings settings;
        EngineState engine(texts_);
        ApplyLoadTimeDefaults(settings, engine);
        settings.AutoLog.Enabled = true;
        settings.AutoLog.FilePath = u"events.log";
        settings.AutoLog.UpdateInterval = 1;
        settings.WebInterfaceDynamic.ListeningPortDynamic = servicePort;
        tcpPort_ = testing::FreePort();
        udpPort_ = FreeUDPPort();
        AddPFO(engine, Protocol::TCP, tcpPort_, tcpTarget);
        AddPFO(engine, Protocol::UDP, udpPort_, udpTarget);
        ASSERT_TRUE(SaveSettingsFile(settings, engine, Utf8ToText(SettingsPath().string())));
    }

    static void AddPFO(EngineState& engine, Protocol protocol, uint16_t port, uint16_t target) {
        PFOPtr pfo = engine.pfos.CreateAndAppend(engine);
        pfo->protocol = protocol;
        pfo->LocalIP = u"127.0.0.1";
        pfo->LocalPort = port;
        pfo->RemoteHost = u"127.0.0.1";
        pfo->RemotePort = target;
        pfo->Enabled = true;
    }

    std::unique_ptr<ChildProcess> Start(std::vector<std::string> arguments,
                                        ChildProcess::Environment environment = {}) {
        arguments.insert(arguments.begin(),
                         {FERROX_EXECUTABLE, "-SettingsFolderPath", folder_.path().string()});
        auto child = std::make_unique<ChildProcess>(arguments, std::move(environment),
                                                    (folder_.path() / "output.txt").string());
        EXPECT_TRUE(child->started());
        return child;
    }

    std::string Output() const { return ReadFile(folder_.path() / "output.txt"); }

    // A stand-in for a program on PATH that records its arguments, one call per line.
    std::string FakeCommand(const std::string& name, const std::string& body = "") {
        const std::string log = (folder_.path() / (name + ".calls")).string();
        const std::string path =
            folder_.Write(name, "#!/bin/sh\necho \"$@\" >> '" + log + "'\n" + body);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }
    std::string CallsOf(const std::string& name) const {
        return ReadFile(folder_.path() / (name + ".calls"));
    }

    TextCatalog texts_;
    TempFolder folder_;
    uint16_t tcpPort_ = 0;
    uint16_t udpPort_ = 0;
};

TEST_F(ProgramTest, ForwardsLogsAndSavesThenStopsInOrderOnSIGTERM) {
    testing::TestServer tcpEcho(testing::Echo);
    UDPEcho udpEcho;
    WriteSettings(tcpEcho.port(), udpEcho.port());
    // A service of another executable runs: this start goes ahead all the same.
    const std::string systemctl =
        FakeCommand("systemctl",
                    "echo LoadState=loaded\necho ActiveState=active\n"
                    "echo 'ExecStart={ path=/opt/other/quillmark-ferrox ; argv[]=x }'\n");
    auto program = Start({}, {{"FERROX_SYSTEMCTL", systemctl}});

    EXPECT_TRUE(WaitFor([&] { return TCPExchange(tcpPort_, "over TCP") == "over TCP"; }));
    EXPECT_TRUE(WaitFor([&] { return UDPExchange(udpPort_, "over UDP") == "over UDP"; }));
    const std::filesystem::path log = folder_.path() / "events.log";
    EXPECT_TRUE(WaitFor([&] {
        const std::string entries = ReadFile(log);
        return entries.find(TextToUtf16LE(u"Session ended")) != std::string::npos &&
               entries.find(TextToUtf16LE(u"UDP")) != std::string::npos;
    })) << Output();
    EXPECT_EQ(ReadFile(log).substr(0, 2), kUtf16LEByteOrderMark);

    // Saved at start; it must be saved again on the way out.
    EXPECT_EQ(Occurrences(SettingsBytes(), TextToUtf16LE(u"\r\nPFO\t")), 2u);
    std::filesystem::remove(SettingsPath());
    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitForExit(kTimeoutMs), 0) << Output();
    EXPECT_EQ(Occurrences(SettingsBytes(), TextToUtf16LE(u"\r\nPFO\t")), 2u);
    EXPECT_EQ(Occurrences(SettingsBytes(), TextToUtf16LE(u"\tEnabled \t")), 2u);
    EXPECT_EQ(TCPExchange(tcpPort_, "after the end"), "");
    EXPECT_EQ(CallsOf("systemctl"), "show Ferrox.service -p LoadState,ActiveState,ExecStart\n");
}

TEST_F(ProgramTest, AsAServiceTellsTheServiceManagerWhenReadyAndWhenStopping) {
    testing::TestServer tcpEcho(testing::Echo);
    UDPEcho udpEcho;
    WriteSettings(tcpEcho.port(), udpEcho.port());
    NotifySocket notify((folder_.path() / "notify").string());
    auto program = Start({"-service"}, {{"NOTIFY_SOCKET", notify.path()}});

    EXPECT_EQ(notify.Receive(), "READY=1");
    EXPECT_TRUE(WaitFor([&] { return TCPExchange(tcpPort_, "service") == "service"; }));
    EXPECT_TRUE(WaitFor([&] { return UDPExchange(udpPort_, "service") == "service"; }));
    program->Signal(SIGTERM);
    EXPECT_EQ(notify.Receive(), "STOPPING=1");
    EXPECT_EQ(program->WaitForExit(kTimeoutMs), 0) << Output();
}

TEST_F(ProgramTest, AStartBesideItsOwnRunningServiceOpensTheServicesWebInterface) {
    WriteSettings(9, 9, 43210);
    const std::string before = SettingsBytes();
    const std::string systemctl = FakeCommand(
        "systemctl", "echo LoadState=loaded\necho ActiveState=active\necho 'ExecStart={ path=" +
                         std::string(FERROX_EXECUTABLE) + " ; argv[]=x }'\n");
    FakeCommand("xdg-open");
    const std::string path = folder_.path().string() + ":" + std::getenv("PATH");
    auto program = Start({}, {{"FERROX_SYSTEMCTL", systemctl}, {"PATH", path}});

    EXPECT_EQ(program->WaitForExit(kTimeoutMs), 0) << Output();
    EXPECT_EQ(CallsOf("xdg-open"), "http://127.0.0.1:43210\n");
    EXPECT_EQ(SettingsBytes(), before);  // it ended before the save at start
    EXPECT_EQ(TCPExchange(tcpPort_, "nobody"), "");
}

TEST_F(ProgramTest, ServiceInstallAndRemovalAnswerTheirResultWords) {
    const std::string systemctl = FakeCommand("systemctl");
    const ChildProcess::Environment manager = {{"FERROX_UNIT_FOLDER", folder_.path().string()},
                                               {"FERROX_SYSTEMCTL", systemctl}};
    const struct {
        const char* option;
        const char* word;
        int exitCode;
    } steps[] = {
        {"-DoServiceInstall", "SUCCESS", 0},
        {"DOSERVICEINSTALL", "ERROR_SERVICE_EXISTS", 1},
        {"-doserviceremove", "SUCCESS", 0},
        {"-DoServiceRemove", "ERROR_SERVICE_DOES_NOT_EXIST", 1},
    };
    for (const auto& step : steps) {
        auto program = Start({step.option}, manager);
        EXPECT_EQ(program->WaitForExit(kTimeoutMs), step.exitCode) << step.option;
        EXPECT_EQ(Output().substr(0, Output().find('\n')), step.word) << Output();
        if (step.word == std::string("ERROR_SERVICE_EXISTS")) {
            const std::string unit = ReadFile(folder_.path() / "Ferrox.service");
            EXPECT_NE(
                unit.find("ExecStart=\"" + std::string(FERROX_EXECUTABLE) +
                          "\" -Service -SettingsFolderPath \"" + folder_.path().string() + "\"\n"),
                std::string::npos)
                << unit;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Ferrox.service"));
}

TEST_F(ProgramTest, DebugLogMarksStartAndEndOnlyWhenAskedFor) {
    const std::filesystem::path debugLog = folder_.path() / "quillmark-ferrox.Debug.log";
    auto quiet = Start({"-Help"});
    EXPECT_EQ(quiet->WaitForExit(kTimeoutMs), 0);
    EXPECT_NE(Output().find("Available command-line options:"), std::string::npos) << Output();
    EXPECT_FALSE(std::filesystem::exists(debugLog));

    auto logged = Start({"-Help", "with-DoDebugLOG-inside"});
    EXPECT_EQ(logged->WaitForExit(kTimeoutMs), 0);
    const std::string lines = "\r\n\r\n# Log initialized\r\n# Log shut-down";
    EXPECT_EQ(ReadFile(debugLog),
              std::string(kUtf16LEByteOrderMark) + TextToUtf16LE(Utf8ToText(lines)));
}

}  // namespace
}  // namespace qf
