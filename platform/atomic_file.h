// Replacing a file's contents so that readers see either the old or the new
// file, never a torn one: write a sibling temporary file, flush it, rename.
// Temporary files that a killed writer left beside the file are cleared by
// the next write of it.
#pragma once

#include <string>

#include "platform/win32.h"

namespace platform {

class AtomicFile {
public:
    // Replaces (or creates) the POSIX file with data. A symbolic link is
    // followed and its target replaced; an existing file keeps its mode, and
    // a read-only one is refused (ERROR_ACCESS_DENIED).
    // Answers ERROR_SUCCESS or the Windows error code.
    static DWORD write(const std::string& posixPath, const std::string& data);
    // Reads the whole file; false with errno set when it cannot.
    static bool read(const std::string& posixPath, std::string& data);
};

}  // namespace platform
