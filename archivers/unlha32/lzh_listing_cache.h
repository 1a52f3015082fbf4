// Remembers, for the whole process, the directory of the LZH archive last
// walked: the archive viewer lists an archive and then extracts single
// entries from it, and each extraction would otherwise walk every header of
// the archive again to find one.
//
// A remembered listing is used only for the same file: same device, inode,
// size, modification and change time. A file whose time stamps lie close to
// the walk is not remembered at all, since a rewrite in the same tick of
// the file system's clock would leave all of these unchanged. Readers still
// check the headers they use against the file.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "archivers/common/reader.h"

namespace arc {

struct LzhHeader;

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
    // Where entries[i] lies in the file.
    struct Member {
        uint64_t headerOffset = 0;
        uint64_t headerSize = 0;
        uint64_t packedSize = 0;
        uint64_t dataOffset() const { return headerOffset + headerSize; }
        uint64_t next() const { return dataOffset() + packedSize; }
    };
    FileIdentity identity;
    uint64_t start = 0;  // offset of the first header
    std::vector<Entry> entries;
    std::vector<Member> members;

    // Whether `header`, read at members[index].headerOffset, is still the
    // header that entry came from.
    bool describes(size_t index, const LzhHeader& header) const;
};

class LzhListingCache {
public:
    // How long before the walk a file's newest stamp must lie for its
    // directory to be remembered: file systems with whole-second stamps
    // (2 s on FAT) need two seconds; stamps with nanoseconds come from a
    // clock that lags by at most a tick, far less than this.
    static constexpr int64_t kCoarseSettleNs = 2'000'000'000;
    static constexpr int64_t kFineSettleNs = 100'000'000;
    // Larger directories are not kept after their reader is gone.
    static constexpr size_t kMaxRememberedEntries = 200'000;

    // `settleNs` replaces the two settling times above (tests).
    explicit LzhListingCache(std::optional<int64_t> settleNs = std::nullopt) : m_settleNs(settleNs) {}

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
    std::optional<int64_t> m_settleNs;
    mutable std::mutex m_mutex;
    std::shared_ptr<const LzhListing> m_last;
};

}  // namespace arc
