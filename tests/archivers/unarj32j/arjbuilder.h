// Builds ARJ archives byte by byte for what the arj tool does not write:
// hostile and Shift-JIS names, foreign hosts, wrong checksums, hand-coded
// compressed data, broken headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace arjtest {

struct ArjMember {
    std::string rawName;  // stored as is
    std::string data;     // original bytes (size and CRC are taken from them)
    std::string packed;   // stored data when not empty (with `method`)
    uint8_t method = 0;
    uint8_t hostOs = 0;  // 0 DOS, 2 Unix
    uint8_t flags = 0;
    uint8_t fileType = 0;  // 0 binary, 3 folder
    uint16_t accessMode = 0x20;
    uint32_t modified = 0x58B16A4Du;       // 2024-05-17 13:18:26 as DOS date/time
    std::optional<uint32_t> crc;           // overrides the CRC of `data`
    std::optional<uint32_t> originalSize;  // overrides data.size()
    std::string extendedHeader;            // one extended header with these bytes
    bool breakHeaderCrc = false;
};

// A whole archive: main header, members, and the end mark unless asked not to.
std::string buildArj(const std::vector<ArjMember>& members, bool endMark = true);

// Writes bits most significant first, as the compressed streams hold them.
class BitWriter {
public:
    void put(uint32_t value, unsigned count);
    std::string bytes() const;  // padded with zero bits

private:
    std::string m_bytes;
    uint32_t m_acc = 0;
    unsigned m_count = 0;
};

}  // namespace arjtest
