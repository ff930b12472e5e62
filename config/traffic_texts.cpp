#include "config/traffic_texts.h"

#include <fmt/format.h>

#include "config/display_formats.h"
#include "engine/traffic_statistics.h"

namespace qf {

TrafficTexts FormatTraffic(const PFO& pfo, bool inBits) {
    const ShownRates rates = ShownTrafficRates(pfo);
    return {
        .sessions =
            AsciiText(fmt::format("{}/{} (", pfo.SessionCount.load(), pfo.TotalSessions.load())) +
            FormatDataRate(rates.combined(), inBits) + u")",
        .clientRate = FormatDataRate(rates.client, inBits),
        .serverRate = FormatDataRate(rates.server, inBits),
        .clientBytes = FormatByteSize(static_cast<int64_t>(pfo.ClientBytes.load())),
        .serverBytes = FormatByteSize(static_cast<int64_t>(pfo.ServerBytes.load())),
    };
}

}  // namespace qf
