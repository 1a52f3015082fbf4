#include "archive_viewer/entry_columns.h"

#include <QLocale>
#include <cstdio>

namespace tidebell {

namespace {

// Offsets of the entry record as our archiver libraries lay it out
// (little-endian): original size low and high words, DOS date and time,
// flags.
constexpr std::size_t kOriginalSize = 0;
constexpr std::size_t kDosDate = 14;
constexpr std::size_t kDosTime = 16;
constexpr std::size_t kOriginalSizeHigh = 20;
constexpr std::size_t kFlags = 24;
constexpr std::uint16_t kFlagSizeUnknown = 0x08;

std::uint32_t word32(const archives::EntryRecord& record, std::size_t at)
{
    const unsigned char* p = record.bytes + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t word16(const archives::EntryRecord& record, std::size_t at)
{
    const unsigned char* p = record.bytes + at;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// The first character of a locale format that is no field letter.
char separatorIn(const QString& format, char fallback)
{
    for (const QChar c : format) {
        if (!c.isLetter() && c != u'\'' && c.unicode() < 0x80 && c != u' ') {
            return static_cast<char>(c.unicode());
        }
    }
    return fallback;
}

}  // namespace

std::string entrySizeText(const archives::EntryRecord& record)
{
    if (word16(record, kFlags) & kFlagSizeUnknown) {
        return {};
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(word32(record, kOriginalSizeHigh)) << 32) | word32(record, kOriginalSize);
    return std::to_string(size);
}

std::string dosTimeText(std::uint16_t dosDate, std::uint16_t dosTime, char dateSeparator, char timeSeparator)
{
    const int day = dosDate & 0x1F;
    const int month = (dosDate >> 5) & 0x0F;
    if (day == 0 || month == 0 || month > 12) {
        return {};
    }
    const int year = 1980 + (dosDate >> 9);
    const int hour = dosTime >> 11;
    const int minute = (dosTime >> 5) & 0x3F;
    const int second = (dosTime & 0x1F) * 2;
    char text[32];
    std::snprintf(text, sizeof text, "%04d%c%02d%c%02d %02d%c%02d%c%02d", year, dateSeparator, month, dateSeparator,
                  day, hour, timeSeparator, minute, timeSeparator, second);
    return text;
}

std::string entryTimeText(const archives::EntryRecord& record, char dateSeparator, char timeSeparator)
{
    return dosTimeText(word16(record, kDosDate), word16(record, kDosTime), dateSeparator, timeSeparator);
}

char localeDateSeparator()
{
    return separatorIn(QLocale::system().dateFormat(QLocale::ShortFormat), '/');
}

char localeTimeSeparator()
{
    return separatorIn(QLocale::system().timeFormat(QLocale::ShortFormat), ':');
}

}  // namespace tidebell
