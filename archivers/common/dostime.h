// DOS date-time stamps: the date (years from 1980, month, day) in the high
// word and the time (hours, minutes, seconds / 2) in the low word, in local
// time. Archives store them, and the libraries' callers are handed them.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace arc {

// 1980-01-01 00:00:00, the earliest stamp there is.
constexpr uint32_t kEarliestDosDateTime = (1u << 5 | 1u) << 16;

constexpr uint32_t dosDateTime(uint16_t date, uint16_t time)
{
    return uint32_t(date) << 16 | time;
}
constexpr uint16_t dosDateOf(uint32_t dosDateTime)
{
    return uint16_t(dosDateTime >> 16);
}
constexpr uint16_t dosTimeOf(uint32_t dosDateTime)
{
    return uint16_t(dosDateTime);
}

// The stamp of the local time `t`, to the even second below. None before
// 1980, or where `t` has no local time; years past 2107, the last a stamp
// holds, are taken as 2107.
std::optional<uint32_t> dosDateTimeFromTime(time_t t);

// The time a stamp stands for, read as local time. 0 stands for no stamp and
// gives 0. Fields out of range carry over as mktime carries them: month 0 is
// the December before, day 0 the last day of the month before, 62 seconds
// the next minute's second 2.
time_t timeFromDosDateTime(uint32_t dosDateTime);

}  // namespace arc
