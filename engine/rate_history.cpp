#include "engine/rate_history.h"

#include <algorithm>
#include <numeric>

namespace qf {

bool RateHistory::Sample(double counter, bool restart) {
    if (restart || lastCounter_ > counter) {
        lastCounter_ = counter;
        olderSamples_ = -1;
    }
    const int shifted = std::min(olderSamples_ + 1, kSamples - 1);
    std::copy_backward(deltas_.begin(), deltas_.begin() + shifted, deltas_.begin() + shifted + 1);
    deltas_[0] = counter - lastCounter_;
    lastCounter_ = counter;
    // The delta since creation or a reset is not averaged: it may span any time.
    const int averaged = olderSamples_ + 1;
    const double rate =
        averaged == 0
            ? 0.0
            : std::accumulate(deltas_.begin(), deltas_.begin() + averaged, 0.0) / averaged;
    olderSamples_ = std::min(averaged, kSamples - 1);
    const bool changed = rate != rate_;
    rate_ = rate;
    return changed;
}

}  // namespace qf
