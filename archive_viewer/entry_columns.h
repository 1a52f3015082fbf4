// The size and update-time columns of the archive viewer, read from the
// entry record that our archiver libraries fill while listing.
#pragma once

#include <cstdint>
#include <string>

#include "archive/libraryapi.h"

namespace tidebell {

// The entry's original size in bytes as a plain decimal number; empty when
// the library could not know it before decoding.
std::string entrySizeText(const archives::EntryRecord& record);

// The entry's time stamp like the main list shows times: "yyyy/mm/dd
// hh:mm:ss" at the two-second resolution of the DOS stamp, with the given
// date and time separators; empty when the entry has no stamp.
std::string entryTimeText(const archives::EntryRecord& record, char dateSeparator, char timeSeparator);
std::string dosTimeText(std::uint16_t dosDate, std::uint16_t dosTime, char dateSeparator, char timeSeparator);

// The user's locale date and time separators ("/" and ":" when the locale
// does not show one).
char localeDateSeparator();
char localeTimeSeparator();

}  // namespace tidebell
