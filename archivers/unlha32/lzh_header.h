// One LZH member header (levels 0 to 3), read from an archive file without
// trusting any of its sizes: every length is checked against what the file
// really holds before it is used.
#pragma once

#include <cstdint>
#include <string>

namespace arc {

class FileWindow;

struct LzhHeader {
    enum class Read : uint8_t {
        Ok,
        End,      // end-of-archive mark (a zero byte) or the end of the file
        Corrupt,  // something that is not a sound header (see message)
    };

    uint64_t offset = 0;       // where the header starts in the file
    uint64_t headerSize = 0;   // bytes from offset to the first data byte
    uint64_t packedSize = 0;   // compressed data size (extended headers excluded)
    uint64_t size = 0;         // original size
    std::string method;        // the five method characters, "-lh5-"
    std::string rawPath;       // stored folder and name, raw bytes, "/" between folders
    uint16_t crc = 0;          // CRC-16 of the original data
    uint32_t dosDateTime = 0;  // level 0 and 1 store a DOS stamp ...
    uint32_t unixTime = 0;     // ... levels 2 and 3 a Unix time
    bool hasDosDateTime = false;
    bool hasUnixTime = false;
    uint8_t attributes = 0x20;
    uint8_t level = 0;
    uint8_t osId = 0;
    std::string message;  // why a header was Corrupt

    bool isDirectory() const { return method == "-lhd-"; }
    uint64_t dataOffset() const { return offset + headerSize; }

    // Reads the header at `offset` of `file`. Headers never exceed 1 MiB;
    // anything larger is Corrupt.
    Read readAt(FileWindow& file, uint64_t offset);

    // True for the five method bytes of an LZH header ("-lh?-", "-lz?-", "-pm?-").
    static bool looksLikeMethod(const char* fiveBytes);
};

}  // namespace arc
