#include "platform/local_time.h"

#include <time.h>

namespace qf {

LocalDateTime LocalNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm fields{};
    localtime_r(&now.tv_sec, &fields);
    return {fields.tm_year + 1900, fields.tm_mon + 1,
            fields.tm_mday,        fields.tm_wday,
            fields.tm_hour,        fields.tm_min,
            fields.tm_sec,         static_cast<int>(now.tv_nsec / 1000000)};
}

}  // namespace qf
