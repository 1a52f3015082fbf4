// The ZIP reader: lists from the central directory, read once, and extracts
// an entry by going straight to its local header. Stored, deflate and
// Deflate64 data are decoded here; the methods only libarchive knows (bzip2,
// LZMA, xz, zstd, PPMd) by a libarchive handle over that entry alone, so
// that an entry whose data fails costs the others nothing. Files whose
// central directory cannot be read go through a LibarchiveReader.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archivers/common/reader.h"
#include "archivers/libarchive/libarchive_reader.h"
#include "archivers/libarchive/zip_directory.h"

namespace arc {

class ZipReader : public Reader {
public:
    ZipReader() = default;
    ~ZipReader() override;
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    Result open(const std::string& posixPath) override;
    const std::vector<Entry>& entries() const override;
    Result extract(size_t index, Sink& sink) override;

    // libarchive handles opened to decode entries so far: one per entry of
    // a method only it knows, however many of them fail.
    uint64_t libarchiveHandles() const { return m_libarchiveHandles; }

private:
    void close();
    // What extraction needs of an entry's central directory record.
    struct Location {
        uint64_t localOffset = 0;
        uint64_t packedSize = 0;
        uint16_t method = 0;
        size_t listed = 0;  // the entry's place in the whole listing
    };
    // Adds the record's entry to m_entries if its name is wanted: known
    // (`nameWanted`) or looked up by its listed name. Whether it was added.
    bool addEntry(const ZipRecord& r, bool nameWanted);
    // Where the entry's data starts, from its local header.
    Result dataStart(const Location& at, uint64_t& start) const;
    // `size`: the entry's size as the directory gives it.
    Result extractHere(const Location& at, uint64_t size, Sink& sink) const;
    Result extractThroughLibarchive(const Location& at, const Entry& e, Sink& sink);

    std::string m_path;
    int m_fd = -1;
    uint64_t m_fileSize = 0;
    std::vector<Entry> m_entries;
    std::vector<Location> m_locations;  // of each entry
    // Everything goes through a LibarchiveReader when the central directory
    // could not be read.
    bool m_allLibarchive = false;
    std::unique_ptr<LibarchiveReader> m_libarchive;
    uint64_t m_libarchiveHandles = 0;
};

}  // namespace arc
