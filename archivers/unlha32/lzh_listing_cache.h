// Remembers, for the whole process, the directory of the LZH archive last
// walked: the archive viewer lists an archive and then extracts single
// entries from it, and each extraction would otherwise walk every header of
// the archive again to find one.
//
// A remembered listing is used only for the same file: same device, inode,
// size, modification and change time. A file whose time stamps lie within
// a couple of seconds of the walk is not remembered at all, since a rewrite
// in the same tick of the file system's clock would leave all of these
// unchanged. Readers still check the headers they use against the file.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "archivers/common/reader.h"
#include "archivers/unlha32/lzh_header.h"

namespace arc {

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;

    bool operator==(const FileIdentity&) const = default;
    // The newer of the two time stamps.
    int64_t latestStampNs() const { return modifiedNs > changedNs ? modifiedNs : changedNs; }
};

// The identity of an open or named file as fstat or stat gave it.
FileIdentity fileIdentity(const struct stat& st);

// One archive's directory as a walk found it.
struct LzhListing {
    FileIdentity identity;
    uint64_t start = 0;              // offset of the first header
    std::vector<Entry> entries;
    std::vector<LzhHeader> headers;  // headers[i] describes entries[i]
};

class LzhListingCache {
public:
    // Time stamps this close to the walk's start (or later) may not tell a
    // rewrite apart: 2 s covers the coarsest stamps of Linux file systems.
    static constexpr int64_t kSettleNs = 2'000'000'000;
    // Larger directories are not kept after their reader is gone.
    static constexpr size_t kMaxRememberedEntries = 200'000;

    explicit LzhListingCache(int64_t settleNs = kSettleNs) : m_settleNs(settleNs) {}

    // The cache of this process (the library's readers share it).
    static LzhListingCache& process();

    // The real-time clock, in the file system's terms; taken before a walk.
    static int64_t nowNs();

    // The listing remembered for exactly this file, or null.
    std::shared_ptr<const LzhListing> find(const FileIdentity& identity) const;
    // Keeps `listing` (in place of any other) when its file's stamps were
    // settled at `walkStartNs`; otherwise only drops an older listing of it.
    void remember(std::shared_ptr<const LzhListing> listing, int64_t walkStartNs);
    // Drops the listing of this file, if it is the one remembered.
    void forget(const FileIdentity& identity);

private:
    int64_t m_settleNs;
    mutable std::mutex m_mutex;
    std::shared_ptr<const LzhListing> m_last;
};

}  // namespace arc
