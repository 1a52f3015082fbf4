// The drive letters of the machine: C: is the root file system, and each
// volume mounted below /media, /run/media or /mnt gets the next free letter
// from D:. A letter stays with its mount point while it is mounted.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform {

struct Drive {
    char letter = 0;     // 'C'..'Z'
    std::string root;    // POSIX mount point, "/" for C:
    std::string device;  // as the mount table names it
    std::string fsType;
    UINT type = DRIVE_UNKNOWN;  // DRIVE_REMOVABLE ... DRIVE_RAMDISK
};

class DriveMap {
public:
    // The drives present now, in letter order (re-reads the mount table).
    static std::vector<Drive> drives();
    // The drive of a letter; letter 0 when it is not assigned.
    static Drive drive(char letter);
    // The drive whose mount point holds the POSIX path (most specific wins).
    static Drive driveOfPosixPath(const std::string& absolutePosixPath);
};

}  // namespace platform
