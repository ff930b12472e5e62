#include "config/pfo_record.h"

#include <gtest/gtest.h>

#include "net/address.h"
#include "settings_fixture.h"
#include "text_cases.h"

namespace qf {
namespace {

using testing_support::Ranges;
using testing_support::TextCase;

constexpr TextView kExampleRecord =
    u"PFO\tTCP\tEnabled \t192.168.0.2|8080\t|0\t10.0.0.8|80, 10.0.0.9|8081\t100\t60000\t\t10000"
    u"\tweb%20front\t10.0.0.0-10.255.255.255\t\tEnableIPFilter,TCP_NoDelay";

std::vector<Text> RangeTexts(const RangeListPtr& ranges) {
    std::vector<Text> texts;
    for (const AddressRange& range : *ranges)
        texts.push_back(FormatAddress(range.low) + u"-" + FormatAddress(range.high));
    return texts;
}

class PFORecordTest : public ::testing::Test {
  protected:
    PFOPtr Parsed(TextView record, double version = kCurrentRecordVersion) {
        PFOPtr pfo = CreatePFO(engine);
        ParsePFORecord(*pfo, record, version);
        return pfo;
    }

    TextCatalog texts;
    EngineState engine{texts};
};

TEST_F(PFORecordTest, WritesTheExampleFieldByField) {
    PFOPtr pfo = CreatePFO(engine);
    pfo->Enabled = true;
    pfo->LocalIP = u"192.168.0.2";
    pfo->LocalPort = 8080;
    pfo->RemoteHost = u"10.0.0.8";
    pfo->RemotePort = 80;
    pfo->ExtraRemoteDestinations = {{u"10.0.0.9", 8081}};
    pfo->Note = u"web front";
    pfo->AcceptRanges = Ranges({{u"10.0.0.0", u"10.255.255.255"}});
    pfo->EnableIPFilter = true;
    pfo->TCP_NoDelay = true;
    EXPECT_EQ(WritePFORecord(*pfo), kExampleRecord);
}

TEST_F(PFORecordTest, ReadsTheExampleIntoEveryField) {
    const PFOPtr pfo = Parsed(Text(u"\r\n") + Text(kExampleRecord));
    EXPECT_EQ(pfo->protocol, Protocol::TCP);
    EXPECT_TRUE(pfo->Enabled);
    EXPECT_EQ(pfo->LocalIP, u"192.168.0.2");
    EXPECT_EQ(pfo->LocalPort, 8080);
    EXPECT_EQ(pfo->OLAddress, u"");
    EXPECT_EQ(pfo->OLPort, 0);
    EXPECT_EQ(pfo->RemoteHost, u"10.0.0.8");
    EXPECT_EQ(pfo->RemotePort, 80);
    EXPECT_FALSE(pfo->Bounce);
    ASSERT_EQ(pfo->ExtraRemoteDestinations.size(), 1u);
    EXPECT_EQ(pfo->ExtraRemoteDestinations[0].host, u"10.0.0.9");
    EXPECT_EQ(pfo->ExtraRemoteDestinations[0].port, 8081);
    EXPECT_EQ(pfo->MaxSessions, 100);
    EXPECT_EQ(pfo->UDPSessionTimeout, 60000);
    EXPECT_EQ(pfo->DTFIPFilePath, u"");
    EXPECT_EQ(pfo->DTFIPInterval, 10000);
    EXPECT_EQ(pfo->Note, u"web front");
    EXPECT_EQ(RangeTexts(pfo->AcceptRanges),
              (std::vector<Text>{u"10.0.0.0-10.255.255.255", u"0.0.0.0-0.0.0.0"}));
    EXPECT_EQ(pfo->RejectRanges, nullptr);
    EXPECT_TRUE(pfo->EnableIPFilter);
    EXPECT_TRUE(pfo->TCP_NoDelay);
    EXPECT_FALSE(pfo->TCP_KeepAlive || pfo->ForwardICMPForUDP || pfo->Outbound_Bind);
}

TEST_F(PFORecordTest, EveryFieldSurvivesWritingAndReading) {
    PFOPtr pfo = CreatePFO(engine);
    pfo->protocol = Protocol::UDP;
    pfo->LocalIP = u"fe80::1%2";
    pfo->LocalPort = 65535;
    pfo->OLAddress = u"10.0.0.5";
    pfo->OLPort = 4000;
    pfo->Bounce = true;
    pfo->RemoteHost = u"";
    pfo->RemotePort = 53;
    pfo->ExtraRemoteDestinations = {{u"10.0.0.9", 5300}, {u"::1", 5301}};
    pfo->MaxSessions = 0;
    pfo->UDPSessionTimeout = 2000000;
    pfo->DTFIPFilePath = u"/var/lib/filter list.txt";
    pfo->DTFIPInterval = 1234567;
    pfo->Note = u"50% off\ttwo  spaces, a %20 and\r\na line break";
    pfo->AcceptRanges = Ranges({{u"10.0.0.0", u"10.0.0.9"}, {u"fe80::1", u"fe80::ff"}});
    pfo->RejectRanges = Ranges({{u"10.0.0.5", u"10.0.0.5"}});
    pfo->ForwardICMPForUDP = pfo->EnableDTFIPFilter = pfo->UDP_Port_Bind = true;
    pfo->DTFIPFilter_ApplyToExistingConnectionsOnUpdate = pfo->TCP_KeepAlive = true;
    const Text record = WritePFORecord(*pfo);
    ASSERT_EQ(record.find_first_of(u"\r\n"), Text::npos);
    const PFOPtr read = Parsed(record);
    EXPECT_EQ(WritePFORecord(*read), record);
    EXPECT_EQ(read->Note, pfo->Note);
    EXPECT_TRUE(read->Bounce);
}

TEST_F(PFORecordTest, NotesAreEscapedAndDecodedInOnePass) {
    struct Case {
        TextView note;
        TextView escaped;
    };
    const Case cases[] = {
        {u"50% off\tnow", u"50%%%20off%09now"},
        {u"a %20", u"a%20%%20"},
        {u"%%41", u"%%%%41"},
        {u"two\r\nlines", u"two%0D%0Alines"},
        {u"", u""},
    };
    for (const Case& c : cases) {
        PFOPtr pfo = CreatePFO(engine);
        pfo->Note = c.note;
        const Text record = WritePFORecord(*pfo);
        EXPECT_NE(record.find(Text(u"\t") + Text(c.escaped) + u"\t"), Text::npos)
            << TextToUtf8(c.note);
        EXPECT_EQ(Parsed(record)->Note, c.note) << TextToUtf8(c.note);
    }
}

// A record up to the note field: TCP, enabled, port 1 to localhost:2, limits 1.
constexpr TextView kHead = u"PFO\tTCP\tEnabled \t|1\t|0\tlocalhost|2\t1\t1\t\t1\t";

TEST_F(PFORecordTest, NoteDecodingKeepsTheRestAfterAnEscapeItCannotRead) {
    const TextCase cases[] = {
        {u"%41%42", u"AB"},
        {u"50%zz%20off", u"50%zz%20off"},
        {u"a%20b%", u"a b%"},
        {u"100%4", u"100%4"},
    };
    for (const auto& [field, note] : cases)
        EXPECT_EQ(Parsed(Text(kHead) + Text(field))->Note, note) << TextToUtf8(field);
}

TEST_F(PFORecordTest, ReadsLooseSpellings) {
    const PFOPtr pfo = Parsed(
        u"PFO\tudp\tYes\t|1\t|0\tlocalhost|2\t1\t1\t\t1\t\t\t\t tcp_keepalive , "
        u"outbound_bind,Bogus");
    EXPECT_EQ(pfo->protocol, Protocol::UDP);
    EXPECT_TRUE(pfo->Enabled);
    EXPECT_TRUE(pfo->TCP_KeepAlive);
    EXPECT_TRUE(pfo->Outbound_Bind);
    EXPECT_FALSE(pfo->TCP_NoDelay || pfo->EnableIPFilter);
    // Another protocol word leaves the default, and the position still moves by three.
    const PFOPtr other = Parsed(u"PFO\tSCTP\tEnabled \t|7\t|0\tlocalhost|2");
    EXPECT_EQ(other->protocol, Protocol::TCP);
    EXPECT_EQ(other->LocalPort, 0) << "the field after the protocol was read as 'P'";
}

TEST_F(PFORecordTest, Version4_0HasColonSeparatorsAndTheOutboundLocalField) {
    const PFOPtr pfo = Parsed(
        u"PFO\tTCP\tEnabled \t192.168.0.2:8080\t10.0.0.5:7000\t*10.0.0.8:80, *10.0.0.9:8081"
        u"\t100000\t120000",
        4.0);
    EXPECT_EQ(pfo->LocalIP, u"192.168.0.2");
    EXPECT_EQ(pfo->LocalPort, 8080);
    EXPECT_EQ(pfo->OLAddress, u"10.0.0.5");
    EXPECT_EQ(pfo->OLPort, 7000);
    EXPECT_TRUE(pfo->Bounce);
    EXPECT_EQ(pfo->RemoteHost, u"10.0.0.8");
    EXPECT_EQ(pfo->RemotePort, 80);
    ASSERT_EQ(pfo->ExtraRemoteDestinations.size(), 1u);
    EXPECT_EQ(pfo->ExtraRemoteDestinations[0].host, u"10.0.0.9");
    EXPECT_EQ(pfo->MaxSessions, 100000);
    EXPECT_EQ(pfo->UDPSessionTimeout, 120000);
}

TEST_F(PFORecordTest, Version3_9HasNoOutboundLocalField) {
    const PFOPtr pfo = Parsed(
        u"PFO\tUDP\tDisabled\t192.168.0.2:8080\t10.0.0.8:80\t7\t9000\t/f\t500\tn\t\t\tTCP_NoDelay",
        3.9);
    EXPECT_EQ(pfo->OLAddress, u"");
    EXPECT_EQ(pfo->RemoteHost, u"10.0.0.8");
    EXPECT_EQ(pfo->RemotePort, 80);
    EXPECT_EQ(pfo->MaxSessions, 7);
    EXPECT_EQ(pfo->UDPSessionTimeout, 9000);
    EXPECT_EQ(pfo->DTFIPFilePath, u"/f");
    EXPECT_EQ(pfo->DTFIPInterval, 500);
    EXPECT_EQ(pfo->Note, u"n");
    EXPECT_TRUE(pfo->TCP_NoDelay);
}

TEST_F(PFORecordTest, Version1_0HasBooleanFieldsForTheOptions) {
    PFOPtr pfo = CreatePFO(engine);
    pfo->TCP_NoDelay = true;
    ParsePFORecord(*pfo,
                   u"PFO\tTCP\tEnabled \t1.2.3.4:80\t5.6.7.8:81\t10\t2000\tYes\tNo\tYes\t/f\t300"
                   u"\tYes\tnote\t\t\tNo\tYes\tYes",
                   1.0);
    EXPECT_EQ(pfo->RemoteHost, u"5.6.7.8");
    EXPECT_TRUE(pfo->ForwardICMPForUDP);
    EXPECT_FALSE(pfo->EnableIPFilter);
    EXPECT_TRUE(pfo->EnableDTFIPFilter);
    EXPECT_EQ(pfo->DTFIPFilePath, u"/f");
    EXPECT_EQ(pfo->DTFIPInterval, 300);
    EXPECT_TRUE(pfo->DTFIPFilter_ApplyToExistingConnectionsOnUpdate);
    EXPECT_EQ(pfo->Note, u"note");
    EXPECT_FALSE(pfo->Outbound_Bind);
    EXPECT_TRUE(pfo->UDP_Port_Bind);
    EXPECT_TRUE(pfo->Address_ReUse);
    EXPECT_TRUE(pfo->TCP_NoDelay) << "kept as it was";
}

TEST_F(PFORecordTest, BelowVersion1_0AllAdvancedOptionsAreOff) {
    PFOPtr pfo = CreatePFO(engine);
    pfo->setAdvancedOptions({true, true, true, true, true});
    ParsePFORecord(*pfo, u"PFO\tTCP\tEnabled \t1.2.3.4:80\t5.6.7.8:81\t10\t2000\tNo\tYes\tNo", 0.9);
    EXPECT_TRUE(pfo->EnableIPFilter);
    const AdvancedOptions off = pfo->advancedOptions();
    EXPECT_FALSE(off.Outbound_Bind || off.UDP_Port_Bind || off.Address_ReUse || off.TCP_NoDelay ||
                 off.TCP_KeepAlive);
}

TEST_F(PFORecordTest, ARecordCutShortKeepsTheDefaultsOfWhatIsMissing) {
    const PFOPtr cut = Parsed(u"PFO\tTCP\tEnabled \t|9000\t|0\t10.0.0.1|81\t5");
    EXPECT_EQ(cut->LocalPort, 9000);
    EXPECT_EQ(cut->MaxSessions, 5);
    EXPECT_EQ(cut->UDPSessionTimeout, 60000);
    EXPECT_EQ(cut->DTFIPInterval, 10000);
    EXPECT_EQ(cut->AcceptRanges, nullptr);

    // An empty destinations field ends reading: the default remote host and limits stay.
    const PFOPtr noDestination = Parsed(u"PFO\tTCP\tEnabled \t|9000\t|0\t\t7\t8");
    EXPECT_EQ(noDestination->RemoteHost, engine.defaults.RemoteHost);
    EXPECT_EQ(noDestination->RemotePort, 80);
    EXPECT_EQ(noDestination->MaxSessions, 100);

    // The record ends at its line end; the next line is not its continuation.
    const PFOPtr twoLines = Parsed(u"PFO\tTCP\tEnabled \t|9000\t|0\tlocalhost|1\r\n5\t6");
    EXPECT_EQ(twoLines->MaxSessions, 100);
}

TEST_F(PFORecordTest, AppliesNoLimits) {
    const PFOPtr pfo = Parsed(u"PFO\tTCP\tEnabled \t|70000\t|-1\tlocalhost|0\t0\t999\t\t-5");
    EXPECT_EQ(pfo->LocalPort, 70000 % 65536);
    EXPECT_EQ(pfo->OLPort, 65535);
    EXPECT_EQ(pfo->RemotePort, 0);
    EXPECT_EQ(pfo->MaxSessions, 0);
    EXPECT_EQ(pfo->UDPSessionTimeout, 999);
    EXPECT_EQ(pfo->DTFIPInterval, -5);
}

TEST_F(PFORecordTest, ReadsRangeEntriesTolerantly) {
    struct Case {
        TextView field;
        std::vector<Text> ranges;  // without the terminator
    };
    const Case cases[] = {
        {u"10.0.0.1 - 10.0.0.5x-junk,1,", {u"10.0.0.1-10.0.0.5"}},
        {u"10.0.0.7", {u"10.0.0.7-10.0.0.7"}},
        {u"fe80::1-fe80::9-fe80::ff, 1.2.3.4-1.2.3.5", {u"fe80::1-fe80::9", u"1.2.3.4-1.2.3.5"}},
        {u"x1.2.3.4", {}},
    };
    for (const Case& c : cases) {
        const PFOPtr pfo = Parsed(Text(kHead) + u"note\t" + Text(c.field));
        ASSERT_NE(pfo->AcceptRanges, nullptr) << TextToUtf8(c.field);
        std::vector<Text> expected = c.ranges;
        expected.push_back(u"0.0.0.0-0.0.0.0");
        EXPECT_EQ(RangeTexts(pfo->AcceptRanges), expected) << TextToUtf8(c.field);
    }
    // A blank field leaves the list as it was.
    PFOPtr kept = CreatePFO(engine);
    kept->RejectRanges = Ranges({{u"1.1.1.1", u"1.1.1.2"}});
    ParsePFORecord(*kept, Text(kHead) + u"note\t\t \t", kCurrentRecordVersion);
    EXPECT_EQ(kept->AcceptRanges, nullptr);
    EXPECT_EQ(RangeTexts(kept->RejectRanges).front(), u"1.1.1.1-1.1.1.2");
}

TEST_F(PFORecordTest, LiteralHostsAreTheirOwnResolutionAndNamesAreLookedUp) {
    const PFOPtr pfo =
        Parsed(u"PFO\tTCP\tEnabled \t127.0.0.1|1\tlocalhost|0\tunresolvable.invalid|2");
    EXPECT_EQ(pfo->LocalResolvedText, u"127.0.0.1");
    EXPECT_EQ(pfo->OLResolvedText, u"") << "localhost stays unresolved";
    EXPECT_EQ(pfo->RemoteResolvedText, u"") << "a failed lookup does not stop reading";
    EXPECT_EQ(pfo->RemoteHost, u"unresolvable.invalid");
    const PFOPtr v6 = Parsed(u"PFO\tTCP\tEnabled \t|1\t::1|0\t*1.2.3.4|2");
    EXPECT_EQ(v6->LocalResolvedText, u"");
    EXPECT_EQ(v6->OLResolvedText, u"::1");
    EXPECT_EQ(v6->RemoteResolvedText, u"1.2.3.4");
}

TEST_F(PFORecordTest, ListReadsEveryMarkedLineWhereverItStands) {
    engine.pfos.CreateAndAppend(engine);
    const Text text =
        u"garbage\nPFO\tUDP\tEnabled \t|1\t|0\tlocalhost|2\r\nnot PFO\tTCP\n"
        u"PFO\tTCP\tDisabled\t|3\t|0\tlocalhost|4\r\nPFO TCP";
    EXPECT_EQ(ParsePFORecordList(engine, u"\r\n" + text, false, kCurrentRecordVersion), 2);
    ASSERT_EQ(engine.pfos.Count(), 3);
    EXPECT_EQ(engine.pfos.Snapshot()[1]->LocalPort, 1);
    EXPECT_EQ(engine.pfos.Snapshot()[2]->LocalPort, 3);

    EXPECT_EQ(ParsePFORecordList(engine, u"\r\nPFO\tTCP\tEnabled \t|5\t|0\tlocalhost|6", true, 100),
              1);
    ASSERT_EQ(engine.pfos.Count(), 1);
    EXPECT_EQ(engine.pfos.Snapshot()[0]->LocalPort, 5);

    EXPECT_EQ(ParsePFORecordList(engine, u"\r\nPFOTCP\r\npfo\tTCP", false, 100), 0);
    EXPECT_EQ(engine.pfos.Count(), 1);
}

TEST_F(PFORecordTest, WritesTheListWithALineBreakBeforeEachRecord) {
    EXPECT_EQ(WritePFORecords(engine.pfos), u"");
    engine.pfos.CreateAndAppend(engine)->LocalPort = 1;
    engine.pfos.CreateAndAppend(engine)->LocalPort = 2;
    const Text records = WritePFORecords(engine.pfos);
    EXPECT_TRUE(records.starts_with(u"\r\nPFO\tTCP\tDisabled\t127.0.0.1|1\t"));
    EXPECT_NE(records.find(u"\r\nPFO\tTCP\tDisabled\t127.0.0.1|2\t"), Text::npos);
}

TEST(ParseDestinationList, SplitsEntriesAndDropsStarsAndLeadingSpaces) {
    const auto list = ParseDestinationList(u"10.0.0.9|8081, *10.0.0.10||8082,,  h*|70000", u"|");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].host, u"10.0.0.9");
    EXPECT_EQ(list[1].host, u"10.0.0.10");
    EXPECT_EQ(list[1].port, 8082);
    EXPECT_EQ(list[2].host, u"h");
    EXPECT_EQ(list[2].port, 70000 % 65536);
    EXPECT_TRUE(ParseDestinationList(u"", u"|").empty());
}

}  // namespace
}  // namespace qf
