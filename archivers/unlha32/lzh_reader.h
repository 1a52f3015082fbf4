// LZH/LHA archives: header levels 0 to 3, every method liblhasa decodes
// (-lh0- -lh1- -lh4- to -lh7- -lhx- -lzs- -lz4- -lz5- -pm0- to -pm2-).
// Self-extracting files are found by their first valid header within the
// first 64 KiB.
#pragma once

#include "archivers/common/reader.h"
#include "archivers/unlha32/lzh_listing_cache.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace arc {

class FileWindow;
class LzhListingCache;

class LzhReader : public Reader {
public:
    // Directories are remembered in, and taken from, `cache` (by default
    // the one of the process, lzh_listing_cache.h).
    LzhReader();
    explicit LzhReader(LzhListingCache& cache);
    ~LzhReader() override;
    LzhReader(const LzhReader&) = delete;
    LzhReader& operator=(const LzhReader&) = delete;

    Result open(const std::string& posixPath) override;
    const std::vector<Entry>& entries() const override;
    Result extract(size_t index, Sink& sink) override;

    // Where the first header was found (0 unless a stub precedes it).
    uint64_t archiveStart() const;
    // Whether the last open() took a remembered directory instead of a walk.
    bool openedFromMemory() const { return m_remembered; }

    // How far into a file a self-extractor's stub may reach.
    static constexpr uint64_t kMaxStubSize = 64 * 1024;
    // More entries than this is taken as a hostile file, not an archive.
    static constexpr size_t kMaxEntries = 1u << 20;

private:
    void close();
    // Lists every member, or with `only` the members it matches.
    Result walk(LzhListing& listing, const WildcardSet* only);
    bool stillDescribesFile(const LzhListing& listing);
    Result checkedMember(size_t index, const LzhListing::Member*& member);

    LzhListingCache& m_cache;
    int m_fd = -1;
    uint64_t m_fileSize = 0;
    std::unique_ptr<FileWindow> m_window;
    std::shared_ptr<const LzhListing> m_listing;  // what entries() shows
    bool m_remembered = false;                    // m_listing was not walked by this open()
    // A walk made after a remembered header no longer matched the file:
    // from then on the reader takes its headers, or its failure, from it.
    std::shared_ptr<const LzhListing> m_rewalked;
    Result m_rewalkFailure;
};

// The factory of the LZH library (and of its fuzz target).
std::unique_ptr<Reader> makeLzhReader(const std::string& posixPath);

}  // namespace arc
