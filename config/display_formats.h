#pragma once
// Amounts, dates and durations as the windows, pages and logs show them. The unit names and
// the day and month abbreviations are fixed English capitals, whatever the language.

#include <cstdint>

#include "platform/local_time.h"
#include "platform/text.h"

namespace qf {

// "512 Bytes", "1.50 KB": base 1024, two decimals from KB on, YB at most.
Text FormatByteSize(int64_t bytes);
// Always two decimals: "0.00 Bps", "800.00 bps". In bits the value is multiplied by 8.
Text FormatDataRate(double bytesPerSecond, bool inBits);

// Replaces, in this order and case-sensitively, yyyy yy MMM MM ddd dd tt hh HH mm ss fff.
Text FormatDateTime(TextView dateTemplate, const LocalDateTime& moment);
// The same for the current local time, read once.
Text FormatDateTime(TextView dateTemplate);

// Older "%Y"-style tokens to the current ones.
Text ConvertLegacyDateTimeTokens(TextView dateTemplate);

// ".999", "01:01.000", up to "364:23:59:59.999"; every part truncated. Empty from 365 days on.
Text FormatDuration(double milliseconds);

}  // namespace qf
