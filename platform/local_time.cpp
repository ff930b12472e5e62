#include "platform/local_time.h"

#include <time.h>

namespace qf {

LocalDateTime ToLocalDateTime(std::chrono::system_clock::time_point moment) {
    using namespace std::chrono;
    const auto sinceEpoch = moment.time_since_epoch();
    const time_t seconds = duration_cast<std::chrono::seconds>(sinceEpoch).count();
    const auto milliseconds = duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
    tm fields{};
    localtime_r(&seconds, &fields);
    return {
        fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_wday,
        fields.tm_hour,        fields.tm_min,     fields.tm_sec,  static_cast<int>(milliseconds)};
}

LocalDateTime LocalNow() { return ToLocalDateTime(std::chrono::system_clock::now()); }

}  // namespace qf
