// LZH/LHA archives: header levels 0 to 3, every method liblhasa decodes
// (-lh0- -lh1- -lh4- to -lh7- -lhx- -lzs- -lz4- -lz5- -pm0- to -pm2-).
// Self-extracting files are found by their first valid header within the
// first 64 KiB.
#pragma once

#include "archivers/common/reader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace arc {

class LzhReader : public Reader {
public:
    LzhReader() = default;
    ~LzhReader() override;
    LzhReader(const LzhReader&) = delete;
    LzhReader& operator=(const LzhReader&) = delete;

    Result open(const std::string& posixPath) override;
    const std::vector<Entry>& entries() const override { return m_entries; }
    Result extract(size_t index, Sink& sink) override;

    // Where the first header was found (0 unless a stub precedes it).
    uint64_t archiveStart() const { return m_start; }

    // How far into a file a self-extractor's stub may reach.
    static constexpr uint64_t kMaxStubSize = 64 * 1024;
    // More entries than this is taken as a hostile file, not an archive.
    static constexpr size_t kMaxEntries = 1u << 20;

private:
    struct Location {
        uint64_t dataOffset = 0;
        uint64_t packedSize = 0;
    };

    void close();

    int m_fd = -1;
    uint64_t m_fileSize = 0;
    uint64_t m_start = 0;
    std::vector<Entry> m_entries;
    std::vector<Location> m_locations;
};

// The factory of the LZH library (and of its fuzz target).
std::unique_ptr<Reader> makeLzhReader(const std::string& posixPath);

}  // namespace arc
