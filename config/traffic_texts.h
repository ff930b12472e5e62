#pragma once
// The texts the main window shows for a PFO's traffic.

#include "engine/pfo.h"
#include "platform/text.h"

namespace qf {

struct TrafficTexts {
    Text sessions;  // the session column: "current/total (combined rate)"
    Text clientRate;
    Text serverRate;
    Text clientBytes;
    Text serverBytes;
};

// Rates in bits per second when `inBits`, else in bytes. Call on the traffic sampler's thread,
// which owns the rates.
TrafficTexts FormatTraffic(const PFO& pfo, bool inBits);

}  // namespace qf
