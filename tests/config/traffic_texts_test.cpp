#include "config/traffic_texts.h"

#include <gtest/gtest.h>

#include "engine/traffic_statistics.h"

namespace qf {
namespace {

TEST(FormatTraffic, ShowsCountsCombinedRateAndTotalsInTheChosenUnit) {
    TextCatalog texts;
    EngineState engine(texts);
    PFOPtr pfo = engine.pfos.CreateAndAppend(engine);
    TrafficSampler sampler;
    pfo->SessionCount = 2;
    pfo->TotalSessions = 7;
    // Two samples: 100 client and 53.6 server bytes in the 100 ms between them.
    sampler.Sample(engine, false);
    pfo->ClientBytes = 100.0;
    pfo->ServerBytes = 53.6;
    sampler.Sample(engine, false);

    const TrafficTexts bytes = FormatTraffic(*pfo, false);
    EXPECT_EQ(bytes.sessions, u"2/7 (1.50 kBps)");
    EXPECT_EQ(bytes.clientRate, u"1000.00 Bps");
    EXPECT_EQ(bytes.serverRate, u"536.00 Bps");
    EXPECT_EQ(bytes.clientBytes, u"100 Bytes");
    EXPECT_EQ(bytes.serverBytes, u"53 Bytes");
    EXPECT_EQ(FormatTraffic(*pfo, true).clientRate, u"7.81 kbps");

    pfo->SessionCount = 0;
    EXPECT_EQ(FormatTraffic(*pfo, true).sessions, u"0/7 (0.00 bps)");
}

}  // namespace
}  // namespace qf
