// DOS date-time stamps to and from time_t, in the local time zone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "archivers/common/dostime.h"

using namespace arc;

namespace {

// Each test runs in a process of its own, so the zone stays as set.
void useZone(const char* zone)
{
    ::setenv("TZ", zone, 1);
    ::tzset();
}

constexpr uint32_t stamp(int year, int month, int day, int hour, int minute, int twoSeconds)
{
    const uint32_t date = uint32_t((year - 1980) << 9 | month << 5 | day);
    return date << 16 | uint32_t(hour << 11 | minute << 5 | twoSeconds);
}

}  // namespace

TEST(DosTime, TimesBecomeStampsWithin1980To2107)
{
    useZone("UTC");
    struct Case {
        time_t t;
        std::optional<uint32_t> dos;
    };
    const Case cases[] = {
        {315532800, kEarliestDosDateTime},                   // 1980-01-01 00:00:00
        {315532799, std::nullopt},                           // a second before: none
        {0, std::nullopt},                                   // 1970
        {315532859, stamp(1980, 1, 1, 0, 0, 29)},            // 59 seconds: down to 58
        {320630400, stamp(1980, 2, 29, 0, 0, 0)},            // a leap day
        {4354819199, stamp(2107, 12, 31, 23, 59, 29)},       // the last stamp there is
        {4369206610, stamp(2107, 6, 15, 12, 30, 5)},         // 2108-06-15: the year is held at 2107
        {std::numeric_limits<time_t>::max(), std::nullopt},  // no local time
    };
    for (const Case& c : cases)
        EXPECT_EQ(dosDateTimeFromTime(c.t), c.dos) << c.t;
}

TEST(DosTime, StampsAreLocalTime)
{
    useZone("JST-9");
    EXPECT_EQ(dosDateTimeFromTime(315532800 - 9 * 3600), kEarliestDosDateTime);
    EXPECT_EQ(dosDateTimeFromTime(315532800 - 9 * 3600 - 1), std::nullopt);
    EXPECT_EQ(timeFromDosDateTime(kEarliestDosDateTime), 315532800 - 9 * 3600);
}

TEST(DosTime, StampsBecomeTimesAndOddFieldsCarryOver)
{
    useZone("UTC");
    struct Case {
        uint32_t dos;
        time_t t;
    };
    const Case cases[] = {
        {0, 0},  // no stamp
        {kEarliestDosDateTime, 315532800},
        {stamp(2107, 12, 31, 23, 59, 29), 4354819198},
        {stamp(1980, 2, 29, 0, 0, 0), 320630400},
        {stamp(1980, 1, 1, 0, 0, 31), 315532862},  // "62 seconds": the next minute's second 2
        {stamp(1980, 0, 1, 0, 0, 0), 312854400},   // month 0: the December before
        {stamp(1980, 3, 0, 0, 0, 0), 320630400},   // day 0: the last day of February
        {stamp(1980, 1, 1, 0, 60, 0), 315536400},  // minute 60: the next hour
        {stamp(1980, 1, 1, 24, 0, 0), 315619200},  // hour 24: the next day
        {stamp(1980, 13, 1, 0, 0, 0), 347155200},  // month 13: January after
    };
    for (const Case& c : cases)
        EXPECT_EQ(timeFromDosDateTime(c.dos), c.t) << std::hex << c.dos;
}

TEST(DosTime, EvenSecondsGoRoundUnchanged)
{
    useZone("Europe/Berlin");  // summer time too
    for (time_t t = 315532800; t < 4354819199; t += 86400 * 97 + 3602)
        EXPECT_EQ(timeFromDosDateTime(*dosDateTimeFromTime(t)), t - t % 2) << t;
}

TEST(DosTime, WordsSplitAndJoin)
{
    const uint32_t dos = stamp(2001, 9, 8, 7, 6, 5);
    EXPECT_EQ(dosDateTime(dosDateOf(dos), dosTimeOf(dos)), dos);
    EXPECT_EQ(dosDateOf(dos), uint16_t(21 << 9 | 9 << 5 | 8));
    EXPECT_EQ(dosTimeOf(dos), uint16_t(7 << 11 | 6 << 5 | 5));
}
