#include "ui/pfo_columns.h"

#include <gtest/gtest.h>

#include <numeric>

#include "engine/engine_state.h"
#include "logging/english.h"
#include "ui/row_order.h"

namespace qf {
namespace {

TEST(MACFormTest, ReadsTheDigitsBeforeTheFirstSlash) {
    const struct {
        TextView specification;
        TextView form;
    } cases[] = {
        {u"00 11 22 33 44 55 / LAN / 10.0.0.2", u"00-11-22-33-44-55-00"},
        {u"aa-bb-cc-dd-ee-ff-01/eth0", u"AA-BB-CC-DD-EE-FF-01"},
        {u"001122334455", u"00-11-22-33-44-55-00"},
        {u"0011223344", u""},                        // ten digits
        {u"00112233445566778", u""},                 // too many
        {u"00112233445g/eth0", u""},                 // the run ends at "g"
        {u"192.168.1.7", u""},                       // the run ends at "."
        {u"deadbeefcafe", u"DE-AD-BE-EF-CA-FE-00"},  // a host name of hex letters
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MACForm(c.specification), c.form) << TextToUtf8(c.specification);
}

TEST(AdapterNameTest, NamesTheInterfaceOfAMACOrTheNameThatResolved) {
    const struct {
        TextView specification, resolved, detail, name;
    } cases[] = {
        {u"00 11 22 33 44 55 / LAN / 10.0.0.2", u"10.0.0.2", u"eth0", u"10.0.0.2"},
        {u"00 11 22 33 44 55 / Wired LAN ", u"10.0.0.2", u"eth0", u"Wired LAN"},
        {u"001122334455", u"10.0.0.2", u"Wired LAN", u"Wired LAN"},
        {u"localhost", u"127.0.0.1", u"", u"localhost"},
        {u"127.0.0.1", u"127.0.0.1", u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AdapterName(c.specification, c.resolved, c.detail), c.name)
            << TextToUtf8(c.specification);
}

TEST(RowOrderTest, NumbersComeLargestFirstAndTextsSmallestFirst) {
    EXPECT_LT(CompareRowTexts(u"8080", u"80"), 0);
    EXPECT_GT(CompareRowTexts(u"80", u"8080"), 0);
    EXPECT_LT(CompareRowTexts(u"TCP", u"UDP"), 0);
    EXPECT_LT(CompareRowTexts(u"123456789012345678901234567890", u"99"), 0);
    EXPECT_EQ(CompareRowTexts(u"007", u"7"), 0);
    EXPECT_LT(CompareRowTexts(u"1", u""), 0);               // empty counts as 0
    EXPECT_LT(CompareRowTexts(u"Stopped", u"stopped"), 0);  // case matters
    EXPECT_LT(CompareRowTexts(u"10x", u"9"), 0);            // not both numbers: text order
}

TEST(RowOrderTest, SortingTextsThatFormACycleStaysInTheRange) {
    // "60" before "5" (numbers), "5" before "55x" and "55x" before "60" (texts).
    std::vector<Text> texts;
    for (int i = 0; i < 200; ++i) texts.push_back(i % 3 == 0 ? u"5" : i % 3 == 1 ? u"60" : u"55x");
    StableSortRows(texts.begin(), texts.end(),
                   [](const Text& a, const Text& b) { return CompareRowTexts(a, b) < 0; });
    EXPECT_EQ(texts.size(), 200u);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"55x"), 66);
}

TEST(ColumnOrderTest, ReplacesPositionsOutOfRangeAndRepeatedColumns) {
    std::array<int32_t, kColumnCount> identity;
    std::iota(identity.begin(), identity.end(), 0);

    auto stored = identity;
    stored[3] = 17;
    stored[9] = -1;
    EXPECT_EQ(NormalizedColumnOrder(stored), identity);

    const std::array<int32_t, kColumnCount> defaults = {0,  7,  12, 1, 10, 11, 2, 3, 13,
                                                        14, 15, 16, 4, 5,  8,  9, 6};
    EXPECT_EQ(NormalizedColumnOrder(defaults), defaults);
    stored = defaults;
    stored[4] = 17;  // column 10 is then shown nowhere; position 4 takes it, not column 4 twice
    EXPECT_EQ(NormalizedColumnOrder(stored), defaults);

    stored = identity;
    stored[5] = 2;  // column 2 twice: the later one is replaced
    EXPECT_EQ(NormalizedColumnOrder(stored), identity);
}

class RowTextsTest : public ::testing::Test {
  protected:
    RowTextsTest() { testing::LoadEnglish(texts_); }
    TextCatalog texts_;
    EngineState engine_{texts_};
};

TEST_F(RowTextsTest, ShowsEachColumnOfAPFO) {
    PFOPtr pfo = CreatePFO(engine_);
    pfo->protocol = Protocol::UDP;
    pfo->LocalIP = u"localhost";
    pfo->LocalPort = 5353;
    pfo->RemoteHost = u"   ";
    pfo->RemotePort = 53;
    pfo->Note = u"resolver";
    pfo->ForwardICMPForUDP = true;
    pfo->EnableDTFIPFilter = true;
    pfo->Address_ReUse = true;
    pfo->TCP_KeepAlive = true;
    pfo->OLPort = 4000;
    pfo->LocalResolvedText = u"127.0.0.1";
    pfo->Enabled = true;

    const RowTexts row = PFORowTexts(*pfo);
    EXPECT_EQ(row[kStatusColumn], u"Stopped");
    EXPECT_EQ(row[kProtocolColumn], u"UDP");
    EXPECT_EQ(row[kLocalIPColumn], u"127.0.0.1");
    EXPECT_EQ(row[kLocalPortColumn], u"5353");
    EXPECT_EQ(row[kRemoteHostColumn], u"~\\_Client_/~");  // a blank host is the client
    EXPECT_EQ(row[kRemotePortColumn], u"53");
    EXPECT_EQ(row[kNoteColumn], u"resolver");
    EXPECT_EQ(row[kOnOffColumn], u"Enabled");
    EXPECT_EQ(row[kStandardOptionsColumn], u"ForwardICMPForUDP, DTFIPFilter");
    EXPECT_EQ(row[kAdvancedOptionsColumn], u"Address_ReUse, TCP_KeepAlive");
    EXPECT_EQ(row[kMACColumn], u"");
    EXPECT_EQ(row[kAdapterColumn], u"localhost");
    EXPECT_EQ(row[kOLAddressColumn], u"Unavailable");  // never resolved
    EXPECT_EQ(row[kOLPortColumn], u"4000");
    EXPECT_EQ(ColumnTitle(texts_, kOLPortColumn), u"OL Port");
}

TEST_F(RowTextsTest, ABouncingPFOShowsTheClientAsItsRemoteHost) {
    PFOPtr pfo = CreatePFO(engine_);
    pfo->RemoteHost = u"example.org";
    EXPECT_EQ(PFORowTexts(*pfo)[kRemoteHostColumn], u"example.org");
    pfo->Bounce = true;
    EXPECT_EQ(PFORowTexts(*pfo)[kRemoteHostColumn], u"~\\_Client_/~");
    EXPECT_EQ(PFORowTexts(*pfo)[kOnOffColumn], u"Disabled");
}

}  // namespace
}  // namespace qf
