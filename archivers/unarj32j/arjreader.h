// Lists and extracts ARJ archives, plain or behind a self-extractor stub.
// Only what this one file holds is read: entries continued from or into
// another volume are listed but refused on extraction, as are encrypted
// ("garbled") entries.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archivers/common/reader.h"
#include "archivers/unarj32j/arjfile.h"

namespace arj {

class ArjReader final : public arc::Reader {
public:
    arc::Result open(const std::string& posixPath) override;
    const std::vector<arc::Entry>& entries() const override { return m_entries; }
    arc::Result extract(size_t index, arc::Sink& sink) override;

    // Where the main header was found (0 unless a stub precedes it).
    uint64_t archiveStart() const { return m_start; }

private:
    struct Located {
        uint64_t dataOffset = 0;
        uint8_t method = 0;
        uint8_t flags = 0;
    };

    arc::Result findMainHeader(uint64_t& next);

    ArjFile m_file;
    uint64_t m_start = 0;
    std::vector<arc::Entry> m_entries;
    std::vector<Located> m_located;
};

// The factory the library and the fuzz target use; the path is not looked at.
std::unique_ptr<arc::Reader> makeArjReader(const std::string& posixPath);

}  // namespace arj
