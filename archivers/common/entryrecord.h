// The 558-byte entry record that <Prefix>FindFirst and <Prefix>FindNext fill.
// Public layout of our libraries (little-endian, no padding):
//
//   offset size  field
//        0    4  original size, low 32 bits
//        4    4  compressed size, low 32 bits (0 when the format does not say)
//        8    4  CRC of the original data (kind at offset 19)
//       12    2  ratio: compressed / original in per mille (0 for empty entries)
//       14    2  DOS date of the entry (local time)
//       16    2  DOS time of the entry
//       18    1  DOS attributes (0x01 read-only, 0x02 hidden, 0x04 system,
//                0x10 folder, 0x20 archive)
//       19    1  CRC kind: 0 none, 1 CRC-16, 2 CRC-32
//       20    4  original size, high 32 bits
//       24    2  flags: 0x01 folder, 0x02 encrypted, 0x04 link or special
//                file (never extracted), 0x08 size unknown before decoding
//       26  513  name, UTF-8, "/" between folders, zero-terminated (cut at a
//                character boundary to at most 512 bytes)
//      539    8  attribute text, zero-terminated: five characters "rhsda",
//                each replaced by "-" when its attribute is not set
//      547    8  method text, zero-terminated, cut to 7 bytes ("-lh5-", "Deflate")
//      555    3  zero
#pragma once

#include <cstddef>
#include <cstdint>

#include "archivers/common/reader.h"

namespace arc {

struct EntryRecordLayout {
    static constexpr size_t Size = 558;
    static constexpr size_t OriginalSize = 0;
    static constexpr size_t CompressedSize = 4;
    static constexpr size_t Crc = 8;
    static constexpr size_t Ratio = 12;
    static constexpr size_t DosDate = 14;
    static constexpr size_t DosTime = 16;
    static constexpr size_t Attributes = 18;
    static constexpr size_t CrcKindByte = 19;
    static constexpr size_t OriginalSizeHigh = 20;
    static constexpr size_t Flags = 24;
    static constexpr size_t Name = 26;
    static constexpr size_t NameCapacity = 513;
    static constexpr size_t AttributeText = 539;
    static constexpr size_t MethodText = 547;
    static constexpr size_t TextCapacity = 8;
};

enum EntryRecordFlags : uint16_t {
    EntryFlagFolder = 0x01,
    EntryFlagEncrypted = 0x02,
    EntryFlagSpecial = 0x04,
    EntryFlagSizeUnknown = 0x08,
};

// Fills all 558 bytes of `record` from `entry`.
void fillEntryRecord(const Entry& entry, unsigned char* record);

}  // namespace arc
