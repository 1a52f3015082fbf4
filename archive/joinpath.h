// Joins a folder and a file name with exactly one "\" between them.
#pragma once

#include <string>

#include "platform/win32.h"

namespace archives {

// The name alone for an empty folder; folder + name when the folder's last
// whole character is "\"; folder + "\" + name otherwise. A double-byte
// character whose second byte is the code of "\" is not a separator.
std::string JoinPath(const std::string& folder, const std::string& fileName);
// As above, with the folder's characters read in the given code page.
std::string JoinPath(const std::string& folder, const std::string& fileName, UINT codePage);

}  // namespace archives
