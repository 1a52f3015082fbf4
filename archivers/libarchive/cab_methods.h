// What libarchive does not report of a cabinet's files: each one's
// compression method (for the entry record's method text) and where its
// file record and data lie (so that extraction can start at any file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace arc {

struct CabFileRecord {
    uint64_t recordOffset = 0;  // of its CFFILE record in the cabinet
    uint32_t size = 0;
    uint32_t folderOffset = 0;  // where its data starts in the folder's decoded data
    uint16_t folder = 0;        // as stored (0xFFFD..0xFFFF: continued across cabinets)
    std::string method;         // "None", "MSZIP", "Quantum", "LZX"
};

// One record per file, in file order; empty when the headers cannot be read.
std::vector<CabFileRecord> cabFileRecords(const std::string& posixPath);

// The methods of cabFileRecords().
std::vector<std::string> cabFileMethods(const std::string& posixPath);

}  // namespace arc
