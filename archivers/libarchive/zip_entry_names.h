// The names libarchive may report for each ZIP entry listed from the
// central directory (the stored bytes, the Unicode Path field, the stored
// name with "/" for "\"), so that a walk of the local headers can tell
// whether it reached the intended entry.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "archivers/common/reader.h"

namespace arc {

class ZipDirectory;

class ZipEntryNames {
public:
    void clear() { m_names.clear(); }
    // No listing from a central directory: entries are known by position.
    bool empty() const { return m_names.empty(); }

    // Lists `directory` into `entries`, noting in `undecodable` whose method
    // cannot be decoded, and keeps each entry's names.
    void list(const ZipDirectory& directory, std::vector<Entry>& entries, std::vector<bool>& undecodable);

    // Whether `name` (as libarchive reports it; may be null) is entry `index`'s.
    bool matches(size_t index, const char* name) const;
    // How many entries before `index` have the same names: entry `index` is
    // the one after that many others of its names.
    size_t sameNamesBefore(size_t index) const;

private:
    std::vector<std::vector<std::string>> m_names;
};

}  // namespace arc
