#include "archivers/unlha32/lzh_listing_cache.h"

#include <sys/stat.h>
#include <time.h>

namespace arc {

FileIdentity fileIdentity(const struct stat& st)
{
    FileIdentity id;
    id.device = uint64_t(st.st_dev);
    id.inode = uint64_t(st.st_ino);
    id.size = uint64_t(st.st_size);
    id.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    id.changedNs = int64_t(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return id;
}

LzhListingCache& LzhListingCache::process()
{
    static LzhListingCache cache;
    return cache;
}

int64_t LzhListingCache::nowNs()
{
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::shared_ptr<const LzhListing> LzhListingCache::find(const FileIdentity& identity) const
{
    std::lock_guard lock(m_mutex);
    if (m_last && m_last->identity == identity)
        return m_last;
    return nullptr;
}

void LzhListingCache::remember(std::shared_ptr<const LzhListing> listing, int64_t walkStartNs)
{
    if (!listing)
        return;
    const FileIdentity& id = listing->identity;
    const bool fine = id.modifiedNs % 1'000'000'000 != 0 || id.changedNs % 1'000'000'000 != 0;
    const int64_t settle = m_settleNs ? *m_settleNs : fine ? kFineSettleNs : kCoarseSettleNs;
    const bool settled = id.latestStampNs() < walkStartNs - settle;
    const bool small = listing->entries.size() <= kMaxRememberedEntries;
    std::lock_guard lock(m_mutex);
    if (settled && small)
        m_last = std::move(listing);
    else if (m_last && m_last->identity.device == listing->identity.device &&
             m_last->identity.inode == listing->identity.inode)
        m_last.reset();
}

void LzhListingCache::forget(const FileIdentity& identity)
{
    std::lock_guard lock(m_mutex);
    if (m_last && m_last->identity == identity)
        m_last.reset();
}

}  // namespace arc
