// The central directory of a ZIP file, read directly: it is the listing (in
// one read, without touching the entries), and it carries what libarchive
// does not report (CRC, packed size, method).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archivers/common/reader.h"

namespace arc {

struct ZipRecord {
    std::string_view rawName;      // the stored bytes, unconverted
    std::string_view unicodeName;  // UTF-8 name of an Info-ZIP Unicode Path field that matches rawName, else empty
    uint16_t versionMadeBy = 0;    // high byte: host system (0 DOS, 3 Unix, 11 NTFS, ...)
    uint16_t flags = 0;            // bit 0 encrypted, bit 11 name is UTF-8
    uint16_t method = 0;
    uint32_t dosDateTime = 0;  // date in the high word, time in the low word
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
    uint32_t externalAttributes = 0;
};

class ZipDirectory {
public:
    // Reads the end record (ZIP64 too) and hands every central directory
    // record to `each`, in directory order; the record's names are valid
    // during the call only. The directory is read in small pieces and
    // nothing is allocated from a declared count or size. `expect`, if
    // given, first learns how many records the directory can hold at most.
    static Result scan(const std::string& posixPath, const std::function<void(const ZipRecord&)>& each,
                       const std::function<void(size_t)>& expect = {});

    // The same, keeping every record (records(), names owned here).
    Result read(const std::string& posixPath);
    const std::vector<ZipRecord>& records() const { return m_records; }

    // Fills `en` (a new Entry) with what a record lists: type, attributes,
    // name as UTF-8 (the Unicode Path name where there is one), "/" between folders.
    static void fillEntry(const ZipRecord& r, Entry& en);
    // Mac resource forks ("__MACOSX/.../._name") are not listed.
    static bool isResourceFork(std::string_view rawName);
    // Which records are listed, in order, given each record's local header
    // offset and whether it is a resource fork (in directory order): by
    // offset (libarchive's order), the first of those sharing an offset,
    // resource forks left out. False when that is every record as given
    // (the usual case), `order` then left empty.
    static bool listedOrder(size_t count, const std::function<uint64_t(size_t)>& offsetOf,
                            const std::vector<bool>& forks, std::vector<size_t>& order);
    // records() listed that way; `records` receives each entry's record index.
    std::vector<Entry> listing(std::vector<size_t>& records) const;

    // Whether libarchive decodes the method (stored, deflate, bzip2, lzma,
    // zstd, xz, PPMd).
    static bool decodable(uint16_t method);
    // "Stored", "Deflate", "BZip2", ... or "M<number>" for other methods.
    static std::string methodName(uint16_t method);

private:
    std::vector<ZipRecord> m_records;
    std::deque<std::string> m_names;  // what the records' names view
};

}  // namespace arc
