// The data CRC-32 of each file in a RAR5 archive. libarchive lists RAR5
// entries without it and does not check stored entries itself, so the RAR
// library reads the file headers once more to give the common code the
// checksums it checks every extracted byte against.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace arc {

class FileWindow;

struct Rar5FileChecksum {
    std::string rawName;          // as stored (UTF-8, "/" between folders)
    std::optional<uint32_t> crc;  // none for folders, split or encrypted files
};

// The file headers (not service headers) in archive order, up to the end
// mark or the first damaged or encrypted header. Never allocates by a
// declared size beyond what the file holds.
std::vector<Rar5FileChecksum> readRar5Checksums(FileWindow& file);

}  // namespace arc
