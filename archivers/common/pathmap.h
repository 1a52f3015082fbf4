// Windows-style paths of command lines to POSIX paths, through the
// platform's drive mapping. Tests of the common code may put their own
// mapping in place.
#pragma once

#include <string>
#include <string_view>

namespace arc {

using PathMapper = std::string (*)(std::string_view windowsPath);

// Empty when the path names no mapped drive.
std::string toPosix(std::string_view windowsPath);
// Replaces the mapping (nullptr restores the platform's); returns the old one.
PathMapper setPathMapper(PathMapper mapper);

}  // namespace arc
