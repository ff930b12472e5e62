#pragma once
// One log entry from the user's template: parameters such as "#E" or "#CIP" replaced by an
// event's values and, unless switched off with "#G", padded so that entries line up.

#include "platform/text.h"

namespace qf {

struct LogEntryValues {
    Text eventText;
    Text localAddress;
    uint16_t localPort = 0;
    Text localSpec;
    Text remoteHost;
    uint16_t remotePort = 0;
    Text clientAddress;
    uint16_t clientPort = 0;
    Text outboundLocalAddress;
    uint16_t outboundLocalPort = 0;
    Text protocol;             // "TCP", "UDP" or "HTTP"
    double clientData = -1.0;  // -1 unless a session ended
    double serverData = -1.0;
};

// `dateText` is the moment already formatted by the date template; `eventWidth` the width
// that event texts are padded to (the longest rejection text of the current language).
Text FormatLogEntry(TextView entryTemplate, TextView dateText, const LogEntryValues& values,
                    size_t eventWidth);

}  // namespace qf
