#pragma once
#include <chrono>
#include <cstdint>

namespace qf {

// A moment of the local wall clock, broken into the fields that date templates show.
struct LocalDateTime {
    int year = 1970;
    int month = 1;      // 1..12
    int day = 1;        // 1..31
    int dayOfWeek = 4;  // 0 is Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

LocalDateTime ToLocalDateTime(std::chrono::system_clock::time_point moment);
LocalDateTime LocalNow();

}  // namespace qf
