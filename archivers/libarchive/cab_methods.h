// The compression method of each file of a cabinet, for the entry record's
// method text (libarchive does not report it).
#pragma once

#include <string>
#include <vector>

namespace arc {

// One text per file record, in file order ("None", "MSZIP", "Quantum",
// "LZX"); empty when the headers cannot be read.
std::vector<std::string> cabFileMethods(const std::string& posixPath);

}  // namespace arc
