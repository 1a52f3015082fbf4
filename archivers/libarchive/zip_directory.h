// The central directory of a ZIP file, read directly: libarchive lists ZIP
// entries but does not report their CRC, packed size or method, which the
// entry record carries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archivers/common/reader.h"

namespace arc {

struct ZipRecord {
    std::string rawName;          // the stored bytes, unconverted
    std::string unicodeName;      // UTF-8 name of an Info-ZIP Unicode Path field that matches rawName, else empty
    uint16_t versionMadeBy = 0;   // high byte: host system (0 DOS, 3 Unix, 11 NTFS, ...)
    uint16_t flags = 0;           // bit 0 encrypted, bit 11 name is UTF-8
    uint16_t method = 0;
    uint32_t dosDateTime = 0;     // date in the high word, time in the low word
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
    uint32_t externalAttributes = 0;
};

// One listed entry and the central directory record it comes from.
struct ZipListed {
    Entry entry;
    size_t record = 0;
};

class ZipDirectory {
public:
    // Reads the end record (ZIP64 too) and every central directory record.
    // Nothing is allocated from a declared count or size that the file does
    // not actually hold.
    Result read(const std::string& posixPath);
    const std::vector<ZipRecord>& records() const { return m_records; }

    // The entries as listed: in local header order (libarchive's), one per
    // local header, Mac resource forks ("__MACOSX/.../._name") left out,
    // names as UTF-8 (the Unicode Path name where it matches).
    std::vector<ZipListed> listing() const;

    // Whether libarchive decodes the method (stored, deflate, bzip2, lzma,
    // zstd, xz, PPMd).
    static bool decodable(uint16_t method);
    // "Stored", "Deflate", "BZip2", ... or "M<number>" for other methods.
    static std::string methodName(uint16_t method);

private:
    std::vector<ZipRecord> m_records;
};

}  // namespace arc
