// Open archives by handle: small 32-bit numbers, never addresses. A number
// is not given out again while the process runs (until 2^32 opens), so a
// closed handle stays invalid instead of naming someone else's archive.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "archivers/common/reader.h"
#include "archivers/common/wildcard.h"

namespace arc {

struct LibraryDefinition;

struct OpenArchive {
    const LibraryDefinition* library = nullptr;
    std::unique_ptr<Reader> reader;
    WildcardSet find;  // patterns of the last FindFirst
    size_t next = 0;   // index FindNext looks at first
    bool findStarted = false;
    std::mutex mutex;  // guards find/next while one call walks the list
};

class HandleTable {
public:
    static constexpr size_t kMaxOpen = 65536;

    // 0 when the table is full.
    uint32_t add(std::shared_ptr<OpenArchive> archive);
    // Null for unknown or closed handles and for another library's handles.
    std::shared_ptr<OpenArchive> get(uint32_t handle, const LibraryDefinition& library) const;
    bool remove(uint32_t handle, const LibraryDefinition& library);
    size_t size() const;

    static HandleTable& instance();

private:
    mutable std::mutex m_mutex;
    std::map<uint32_t, std::shared_ptr<OpenArchive>> m_open;
    uint32_t m_last = 0;
};

}  // namespace arc
