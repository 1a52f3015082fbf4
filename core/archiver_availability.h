// Which archiver libraries could be loaded at start-up. Probed once; the file
// list reads it to decide which archives it shows.
#pragma once

#include <array>

namespace tidebell {

struct ArchiverAvailability {
    bool HasUnlha32 = false;
    bool HasUnzip32 = false;
    bool HasUnarj32j = false;
    bool HasUnrar32 = false;
    bool HasCab32 = false;
    bool HasTar32 = false;

    // The library names in the order they are probed.
    static const std::array<const char*, 6>& libraryNames();

    // Loads each library by its bare name and releases it at once; a flag is
    // set exactly when a module handle came back.
    static ArchiverAvailability probe();
};

}  // namespace tidebell
