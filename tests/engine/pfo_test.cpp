#include <gtest/gtest.h>

#include "engine/engine_state.h"

namespace qf {
namespace {

TEST(PFOTest, NewPFOTakesTheDefaults) {
    TextCatalog texts;
    EngineState engine(texts);
    PFOPtr pfo = engine.pfos.CreateAndAppend(engine);
    EXPECT_EQ(pfo->protocol, Protocol::TCP);
    EXPECT_EQ(pfo->LocalIP, u"127.0.0.1");
    EXPECT_EQ(pfo->LocalPort, 8080);
    EXPECT_EQ(pfo->RemotePort, 80);
    EXPECT_EQ(pfo->MaxSessions, 100);
    EXPECT_EQ(pfo->UDPSessionTimeout, 60000);
    EXPECT_EQ(pfo->DTFIPInterval, 10000);
    EXPECT_EQ(pfo->DTFIPLastCheck, 666000);
    EXPECT_EQ(pfo->Status, PFOStatus::Stopped);
    EXPECT_FALSE(pfo->TCP_NoDelay);
    EXPECT_EQ(engine.pfos.Count(), 1);

    engine.defaults.CheckTCP = false;
    engine.defaults.CheckUDP = false;
    engine.defaults.AutoApplyLatestAdvancedOptions = true;
    engine.defaults.latestAdvancedOptions.TCP_NoDelay = true;
    PFOPtr udp = CreatePFO(engine);
    EXPECT_EQ(udp->protocol, Protocol::UDP);
    EXPECT_TRUE(udp->TCP_NoDelay);
}

TEST(PFOTest, EditingCopyOwnsFreshRangeLists) {
    TextCatalog texts;
    EngineState engine(texts);
    PFOPtr pfo = CreatePFO(engine);
    EXPECT_EQ(CopyPFOForEditing(*pfo)->AcceptRanges, nullptr);

    RangeList ranges(4);  // three ranges and the terminator
    ranges[0].low = SocketAddress::IPv4({10, 0, 0, 1});
    pfo->AcceptRanges = std::make_shared<const RangeList>(ranges);
    pfo->Note = u"note";
    pfo->RemotePort = 4242;
    PFOPtr copy = CopyPFOForEditing(*pfo);
    ASSERT_NE(copy->AcceptRanges, nullptr);
    EXPECT_NE(copy->AcceptRanges, pfo->AcceptRanges);
    EXPECT_EQ(copy->AcceptRanges->size(), 4u);
    EXPECT_EQ(copy->Note, u"note");
    EXPECT_EQ(copy->RemotePort, 4242);
    EXPECT_EQ(copy->RejectRanges, nullptr);
}

TEST(PFOTest, StatusTexts) {
    TextCatalog texts;
    auto tables = std::make_shared<StringTableSet>();
    for (int id : {118, 122, 123, 124, 129, 252, 253})
        tables->program[id] = AsciiText(std::to_string(id));
    texts.Install(tables);
    EngineState engine(texts);
    struct Case {
        int code;
        bool enabled;
        Text expected;
    } cases[] = {
        {0, true, u"253"},   {1, true, u"252"},   {2, true, u"124"},
        {2, false, u"118"},  {3, true, u"122"},   {253, true, u"118"},
        {254, true, u"123"}, {255, true, u"129"}, {7, true, u"Invalid PFO Status Code"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StatusText(engine, PFOStatus(c.code), c.enabled), c.expected) << c.code;
}

}  // namespace
}  // namespace qf
