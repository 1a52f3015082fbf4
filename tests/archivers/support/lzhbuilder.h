// Writes LZH archives byte by byte for what no installed tool makes: names
// in Shift-JIS or UTF-8, folders given by 0xFF separators, self-extracting
// stubs, broken headers. Data is stored (-lh0-) unless the member brings
// packed bytes of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

struct LzhMember {
    std::string rawName;    // stored as is (levels 2 and 3: the file name header)
    std::string data;       // original bytes; CRC-16 and size are taken from them
    int level = 0;          // 0 to 3
    std::string rawFolder;  // level 1 and 2: folder header, 0xFF between folders
    std::string method = "-lh0-";
    std::string packed;  // stored bytes when not -lh0- (empty: `data`)
    uint8_t attributes = 0x20;
    uint8_t osId = 'M';
    bool directory = false;     // -lhd-, no data
    bool badDataCrc = false;    // stores a CRC-16 that does not match the data
    bool badHeaderCrc = false;  // levels 2 and 3: a header CRC that does not match
    bool headerCrc = true;      // levels 2 and 3: write the header CRC extension
    int statedSizeDelta = 0;    // levels 2 and 3: added to the stated header size (OS-9/68k: -2)
};

// CRC-16 of LZH (reflected 0xA001, start 0).
uint16_t lzhCrc16(const std::string& data);

// One member's header and data.
std::string lzhMember(const LzhMember& m);
// Members followed by the end mark.
std::string buildLzh(const std::vector<LzhMember>& members);

// Recomputes the checksum of the level 0 or 1 header at `at` after a test
// changed its bytes.
void fixLevel0Checksum(std::string& bytes, size_t at = 0);

}  // namespace fixtures
