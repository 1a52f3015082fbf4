// RAR archives. RAR 1.5 to 4 (solid too): the headers are read here, the
// data decoded by libunarr at each entry's header offset. RAR5 is listed and
// decoded by the libarchive reader; its data CRC-32s are read here, as
// libarchive reports none.
#pragma once

#include "archivers/common/reader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace arc {

class FileWindow;
class LibarchiveReader;

class RarReader : public Reader {
public:
    RarReader();
    ~RarReader() override;
    RarReader(const RarReader&) = delete;
    RarReader& operator=(const RarReader&) = delete;

    Result open(const std::string& posixPath) override;
    const std::vector<Entry>& entries() const override;
    Result extract(size_t index, Sink& sink) override;

    bool isSolid() const { return m_solid; }
    bool isRar5() const { return m_rar5 != nullptr; }

    // More entries than this is taken as a hostile file, not an archive.
    static constexpr size_t kMaxEntries = 1u << 20;

private:
    struct Location {
        uint64_t headerOffset = 0;
        uint64_t dataOffset = 0;
        uint8_t method = 0x30;
        bool split = false;      // continued from or in another volume
        bool truncated = false;  // the data runs past the end of the file
    };

    Result readHeaders(FileWindow& file);
    // Gives the RAR5 entries listed by libarchive their stored CRC-32; a
    // hard link takes its target's, as it takes its data.
    void addRar5Checksums(FileWindow& file);
    Result extractStored(const Entry& e, const Location& loc, Sink& sink);
    Result extractUnarr(const Entry& e, const Location& loc, Sink& sink);

    std::string m_path;
    bool m_solid = false;
    std::vector<Entry> m_entries;
    std::vector<Location> m_locations;
    std::unique_ptr<LibarchiveReader> m_rar5;
};

// The factory of the RAR library (and of its fuzz target).
std::unique_ptr<Reader> makeRarReader(const std::string& posixPath);

}  // namespace arc
