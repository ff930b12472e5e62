#include "engine/traffic_statistics.h"

#include <gtest/gtest.h>

#include "engine/lifecycle.h"

namespace qf {
namespace {

constexpr double kSteadyBytesPerSample = 1000.0;
constexpr double kSteadyRate = 10000.0;  // bytes per second

class TrafficStatisticsTest : public ::testing::Test {
  protected:
    TrafficStatisticsTest() { pfo->SessionCount = 1; }

    // One 100 ms tick in which the PFO's clients sent `clientBytes`.
    TrafficSample Tick(double clientBytes = 0.0, bool inBits = false) {
        pfo->ClientBytes = pfo->ClientBytes + clientBytes;
        return sampler.Sample(engine, inBits);
    }
    double ClientRate() const { return ShownTrafficRates(*pfo).client; }

    TextCatalog texts;
    EngineState engine{texts};
    PFOPtr pfo = engine.pfos.CreateAndAppend(engine);
    TrafficSampler sampler;
};

TEST_F(TrafficStatisticsTest, SteadyTrafficShowsItsRateFromTheSecondSampleAndFadesOver15s) {
    Tick(kSteadyBytesPerSample);
    EXPECT_EQ(ClientRate(), 0.0);  // the first sample has nothing to average
    for (int sample = 2; sample <= 200; ++sample) {
        Tick(kSteadyBytesPerSample);
        ASSERT_DOUBLE_EQ(ClientRate(), kSteadyRate) << "sample " << sample;
    }
    for (int quiet = 1; quiet <= 150; ++quiet) {
        Tick();
        ASSERT_NEAR(ClientRate(), kSteadyRate * (150 - quiet) / 150, 1e-6) << "quiet " << quiet;
    }
    EXPECT_EQ(ClientRate(), 0.0);
    EXPECT_EQ(ShownTrafficRates(*pfo).server, 0.0);
}

TEST_F(TrafficStatisticsTest, ResetRestartsTheHistoryEvenWhenTrafficOutgrowsTheOldCount) {
    for (int i = 0; i < 20; ++i) Tick(kSteadyBytesPerSample);
    ResetStatistics(*pfo);
    // More bytes than the counter held before the reset: only the reset itself tells.
    Tick(50 * kSteadyBytesPerSample);
    EXPECT_EQ(ClientRate(), 0.0);
    Tick(2 * kSteadyBytesPerSample);
    EXPECT_DOUBLE_EQ(ClientRate(), 2 * kSteadyRate);
}

TEST_F(TrafficStatisticsTest, APFOWithoutSessionsShowsNoRateWhateverItsHistory) {
    for (int i = 0; i < 5; ++i) Tick(kSteadyBytesPerSample);
    pfo->SessionCount = 0;
    const TrafficSample sample = Tick();
    EXPECT_EQ(ClientRate(), 0.0);
    EXPECT_EQ(sample.collectiveBytesPerSecond, 0.0);
    EXPECT_EQ(sample.totalSessions, 0);
}

TEST_F(TrafficStatisticsTest, RowsChangeWithRatesSessionCountsOrTheDisplayUnit) {
    PFOPtr other = engine.pfos.CreateAndAppend(engine);
    other->SessionCount = 2;
    other->TotalSessions = 2;
    other->ServerBytes = 300.0;
    EXPECT_EQ(Tick().changedRows.size(), 2u);  // the first sample shows every row

    TrafficSample sample = Tick(kSteadyBytesPerSample);
    ASSERT_EQ(sample.changedRows.size(), 1u);
    EXPECT_EQ(sample.changedRows[0], pfo);
    EXPECT_EQ(sample.totalSessions, 3);
    EXPECT_DOUBLE_EQ(sample.collectiveBytesPerSecond, kSteadyRate);

    Tick(kSteadyBytesPerSample);
    EXPECT_TRUE(Tick(kSteadyBytesPerSample).changedRows.empty());  // same rate, same counts
    other->TotalSessions = 3;
    EXPECT_EQ(Tick(kSteadyBytesPerSample).changedRows, std::vector<PFOPtr>{other});
    EXPECT_EQ(Tick(kSteadyBytesPerSample, true).changedRows.size(), 2u);
}

}  // namespace
}  // namespace qf
