#include "archivers/common/dostime.h"

namespace arc {

std::optional<uint32_t> dosDateTimeFromTime(time_t t)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80)
        return std::nullopt;
    if (tm.tm_year > 207)
        tm.tm_year = 207;
    const uint32_t date = uint32_t((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    const uint32_t time = uint32_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
    return date << 16 | time;
}

time_t timeFromDosDateTime(uint32_t dos)
{
    if (dos == 0)
        return 0;
    std::tm tm{};
    tm.tm_year = int((dos >> 25) & 0x7F) + 80;
    tm.tm_mon = int((dos >> 21) & 0x0F) - 1;
    tm.tm_mday = int((dos >> 16) & 0x1F);
    tm.tm_hour = int((dos >> 11) & 0x1F);
    tm.tm_min = int((dos >> 5) & 0x3F);
    tm.tm_sec = int((dos & 0x1F) * 2);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace arc
