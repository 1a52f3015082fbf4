// ARJ headers: the main header at the start of an archive and one local
// header before each entry's data share one layout. Each is a "basic
// header" (id 0x60 0xEA, a 16-bit size, the fields, the name and the
// comment, then the CRC-32 of those bytes) followed by extended headers,
// each a 16-bit size, data and CRC-32, ended by a size of 0.
#pragma once

#include <cstdint>
#include <string>

#include "archivers/unarj32j/arjfile.h"

namespace arj {

enum ArjFlag : uint8_t {
    kGarbled = 0x01,  // encrypted
    kVolume = 0x04,   // continues in the next volume
    kExtFile = 0x08,  // continued from the previous volume
    kPathSym = 0x10,  // "\" in the name was turned into "/"
};

enum ArjFileType : uint8_t {
    kBinary = 0,
    kText = 1,
    kMainHeader = 2,
    kDirectory = 3,
    kVolumeLabel = 4,
    kChapterLabel = 5,
};

enum ArjHostOs : uint8_t { kMsDos = 0, kUnix = 2, kOs2 = 5, kWin95 = 10, kWin32 = 11 };

struct ArjHeader {
    uint8_t version = 0;
    uint8_t minVersion = 0;
    uint8_t hostOs = 0;
    uint8_t flags = 0;
    uint8_t method = 0;
    uint8_t fileType = 0;
    uint32_t modified = 0;  // DOS date/time, Unix seconds for Unix hosts
    uint32_t packedSize = 0;
    uint32_t originalSize = 0;
    uint32_t crc = 0;
    uint16_t accessMode = 0;  // DOS attributes, Unix mode bits for Unix hosts
    std::string name;         // raw bytes as stored
    uint64_t dataOffset = 0;  // first byte after the header and its extensions
};

enum class HeaderRead {
    Ok,
    End,        // the header of size 0 that ends the archive
    EndOfFile,  // no byte left where a header should start
    Bad,        // not a sound header (wrong id, size, CRC, cut off)
    IoError,
};

// Largest basic header a sound archive has; larger sizes are refused.
constexpr uint16_t kMaxBasicHeader = 2600;

HeaderRead readHeader(const ArjFile& file, uint64_t offset, ArjHeader& header);

}  // namespace arj
