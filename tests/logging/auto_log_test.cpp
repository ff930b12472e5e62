#include "logging/auto_log.h"

#include <fstream>
#include <sstream>

#include "engine/engine_fixture.h"
#include "logging/english.h"
#include "temp_folder.h"

namespace qf::testing {
namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

Text DecodeUtf16LE(const std::string& bytes) {
    Text text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
    return text;
}

size_t Count(const Text& text, TextView what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != Text::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class AutoLogTest : public EngineTest {
  protected:
    AutoLogTest() { LoadEnglish(texts); }

    // One run: a log writer, one TCP session with `payload`, then the writer's end.
    void RunOnce(const std::string& logPath, const std::string& payload) {
        ConnectionLog log(texts);
        LogOptions options = DefaultLogOptions(texts);
        options.autoLogEnabled = true;
        options.entryTemplate += u"\t#TCD|#TSD|";
        options.autoLogFilePath = Utf8ToText(logPath);
        options.autoLogIntervalSeconds = 1;
        log.SetOptions(options);
        engine.eventSink = &log;
        engine.ThreadStopFlag = false;
        AutoLog writer(engine, log, ProcessPathContext(u"/"));
        ASSERT_TRUE(writer.Start());
        ASSERT_TRUE(WaitUntil([&] { return log.subscribers().Any(); }));

        TestServer server(Echo);
        PFOPtr pfo = AddTCPPFO(FreePort(), server.port());
        ASSERT_TRUE(StartPFO(*pfo));
        {
            Socket client = ConnectTo(pfo->LocalPort);
            ASSERT_TRUE(client.SendAll(payload.data(), payload.size()));
            std::string echoed;
            char buffer[4096];
            while (echoed.size() < payload.size()) {
                auto n = client.Receive(buffer, sizeof buffer);
                ASSERT_TRUE(n && *n > 0);
                echoed.append(buffer, *n);
            }
        }
        DatagramPeer echo([](const std::string& d) { return d; });
        PFOPtr udp = AddUDPPFO(FreePort(), echo.port());
        udp->UDPSessionTimeout = 300;
        ASSERT_TRUE(StartPFO(*udp));
        DatagramPeer udpClient;
        udpClient.SendTo(udp->LocalPort, payload.substr(0, 100));
        ASSERT_TRUE(udpClient.WaitFor(1));
        ASSERT_TRUE(WaitUntil(
            [&] {
                return Count(DecodeUtf16LE(FileBytes(logPath)), u"Session ended") >= ended_ + 2;
            },
            8000));
        StopPFO(*udp);
        ended_ += 2;
        engine.ThreadStopFlag = true;
        ASSERT_TRUE(WaitUntil([&] { return !writer.running(); }));
        StopPFO(*pfo);
        engine.eventSink = &sink;
    }

    size_t ended_ = 0;
};

TEST_F(AutoLogTest, WritesOneLinePerEventAndAppendsWithoutASecondMark) {
    testing_support::TempFolder folder;
    const std::string path = (folder.path() / "connections.log").string();
    RunOnce(path, std::string(1234, 'a'));
    RunOnce(path, std::string(99, 'b'));

    const std::string bytes = FileBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const Text text = DecodeUtf16LE(bytes.substr(2));
    EXPECT_EQ(text.find(u'\uFEFF'), Text::npos);
    EXPECT_EQ(Count(text, u"Session accepted"), 4u);
    EXPECT_EQ(Count(text, u"Session ended"), 4u);
    EXPECT_EQ(text.substr(0, 3), u"\r\n[");
    // Each end line carries that session's exact totals: TCP echoes the payload, UDP 100 bytes.
    auto endLineWith = [&](TextView protocol, TextView totals) {
        for (size_t start = 0, end; start < text.size(); start = end + 2) {
            end = std::min(text.find(u"\r\n", start), text.size());
            const TextView line = TextView(text).substr(start, end - start);
            if (line.find(u"Session ended") != TextView::npos &&
                line.find(protocol) != TextView::npos && line.ends_with(totals))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(endLineWith(u"\tTCP\t", u"\t1234      |1234      |"));
    EXPECT_TRUE(endLineWith(u"\tTCP\t", u"\t99        |99        |"));
    EXPECT_TRUE(endLineWith(u"\tUDP\t", u"\t100       |100       |"));
}

TEST_F(AutoLogTest, EndEntriesCarryExactTotals) {
    ConnectionLog log(texts);
    LogOptions options = DefaultLogOptions(texts);
    options.entryTemplate = u"#G#E #TCD/#TSD;";
    log.SetOptions(options);
    LogQueue tail;
    log.subscribers().Subscribe(tail);
    engine.eventSink = &log;
    TestServer server([](Socket& s) {
        ReadAll(s);
        s.SendAll("0123456789", 10);
    });
    PFOPtr pfo = AddTCPPFO(FreePort(), server.port());
    ASSERT_TRUE(StartPFO(*pfo));
    {
        Socket client = ConnectTo(pfo->LocalPort);
        ASSERT_TRUE(client.SendAll("hello", 5));
        client.ShutdownSend();
        EXPECT_EQ(ReadAll(client), "");  // the forwarder ends both sides at the first close
    }
    Text all;
    ASSERT_TRUE(WaitUntil([&] {
        for (const LogEntry& e : log.subscribers().Take(tail)) all += *e;
        return Count(all, u"Session ended") == 1;
    }));
    EXPECT_NE(all.find(u"Session accepted -/-;"), Text::npos);
    EXPECT_NE(all.find(u"Session ended 5/"), Text::npos);
    StopPFO(*pfo);
    engine.eventSink = &sink;
}

TEST_F(AutoLogTest, NothingIsFormattedWithoutSubscribersAndBadIPMayBeSilenced) {
    ConnectionLog log(texts);
    EXPECT_FALSE(log.Wanted());
    LogQueue tail;
    log.subscribers().Subscribe(tail);
    EXPECT_TRUE(log.Wanted());
    LogOptions options = DefaultLogOptions(texts);
    options.noLogBadIP = true;
    log.SetOptions(options);
    ConnectionEvent event{};
    event.id = EventId::RejectedBadIP;
    log.Emit(event);
    EXPECT_TRUE(log.subscribers().Take(tail).empty());
    event.id = EventId::RejectedTooManySessions;
    log.Emit(event);
    EXPECT_EQ(log.subscribers().Take(tail).size(), 1u);
    log.SetExiting();
    EXPECT_FALSE(log.Wanted());
}

}  // namespace
}  // namespace qf::testing
