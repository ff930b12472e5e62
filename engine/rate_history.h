#pragma once
// The smoothed data rate of one direction of a PFO: the average byte delta per 100 ms sample
// over the last 150 samples (15 seconds). Not thread-safe: the traffic sampler owns it.

#include <array>
#include <cstdint>

namespace qf {

class RateHistory {
  public:
    static constexpr int kSamples = 150;
    static constexpr int kSamplesPerSecond = 10;

    // Adds one sample of the direction's byte counter. `restart` (the statistics were reset)
    // starts the history afresh, as does a counter below the previous one. True when the rate
    // changed.
    bool Sample(double counter, bool restart);
    double BytesPerSecond() const { return rate_ * kSamplesPerSecond; }

  private:
    std::array<double, kSamples> deltas_{};  // most recent first
    double rate_ = 0.0;                      // average delta per sample
    double lastCounter_ = 0.0;
    int32_t olderSamples_ = -1;  // deltas kept besides the newest; -1 until the first sample
};

}  // namespace qf
