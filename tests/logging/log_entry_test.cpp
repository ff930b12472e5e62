#include "logging/log_entry.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

// The default templates as the string tables hold them.
constexpr TextView kTemplate1002 =
    u"\\r\\n[#DAT]\t#E\t#P\t#CIP:#CPort -> #LIP:#LPort -> #OLIP:#OLPort -> #RHost:#RPort";

LogEntryValues Accepted() {
    LogEntryValues v;
    v.eventText = u"Session accepted";
    v.localAddress = u"127.0.0.1";
    v.localPort = 8080;
    v.localSpec = u"localhost";
    v.remoteHost = u"example.org";
    v.remotePort = 80;
    v.clientAddress = u"10.0.0.5";
    v.clientPort = 50000;
    v.outboundLocalAddress = u"192.168.1.2";
    v.outboundLocalPort = 40001;
    v.protocol = u"TCP";
    return v;
}

TEST(FormatLogEntryTest, DefaultTemplateLinesUpAcceptedAndEndedEntries) {
    LogEntryValues ended = Accepted();
    ended.eventText = u"Session ended";
    ended.clientPort = 7;
    const Text a = FormatLogEntry(kTemplate1002, u"D", Accepted(), 64);
    const Text e = FormatLogEntry(kTemplate1002, u"D", ended, 64);
    EXPECT_EQ(a, u"\r\n[D]\tSession accepted" + Text(48, u' ') +
                     u"\tTCP\t       10.0.0.5:50000 ->       127.0.0.1:8080  ->     "
                     u"192.168.1.2:40001 ->     example.org:80   ");
    EXPECT_EQ(a.find(u':'), e.find(u':'));
    EXPECT_EQ(a.rfind(u':'), e.rfind(u':'));
    EXPECT_EQ(a.size(), e.size());
}

TEST(FormatLogEntryTest, TemplateFeatures) {
    LogEntryValues end = Accepted();
    end.eventText = u"Session ended";
    end.clientData = 1500;
    end.serverData = 0;
    LogEntryValues http = Accepted();
    http.eventText = u"200 OK [GET /]";
    http.protocol = u"HTTP";
    const struct {
        TextView entryTemplate;
        const LogEntryValues& values;
        Text expected;
    } cases[] = {
        {u"#G#E|#CIP", Accepted(), u"Session accepted|10.0.0.5"},
        {u"#G#Z#CIP|", Accepted(), u"       10.0.0.5|"},
        {u"100%% #G", Accepted(), u"100% "},
        {u"#G a\\\\b \\r\\n", Accepted(), u" a\\b \r\n"},
        {u"%%P#G", Accepted(), u"%P"},
        {u"[#TCD][#TSD]", Accepted(), u"[-         ][-         ]"},
        {u"[#TCD][#TSD]", end, u"[1500      ][0         ]"},
        {u"#G#ES|#ED", http, u"200|OK [GET /]"},
        {u"#G#ES|#ED", end, u"Session ended|"},
        {u"#G#LHost #LPort #RHost", Accepted(), u"localhost 8080 example.org"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatLogEntry(c.entryTemplate, u"D", c.values, 20), c.expected)
            << TextToUtf8(c.entryTemplate);
}

TEST(FormatLogEntryTest, RejectionDetailsSplitAtTheFirstHyphen) {
    LogEntryValues v = Accepted();
    v.eventText = u"Session rejected - too many sessions";
    EXPECT_EQ(FormatLogEntry(u"#G#ES|#ED", u"", v, 0), u"Session rejected|too many sessions");
}

}  // namespace
}  // namespace qf
