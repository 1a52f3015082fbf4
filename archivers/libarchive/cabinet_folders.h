// What a LibarchiveReader knows of a cabinet beyond libarchive's walk: each
// file's folder and record, so that a file is reached by reading its folder
// alone, and what is known to fail in each folder, so that later files of a
// damaged folder fail at once instead of each decoding it again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archivers/common/reader.h"
#include "archivers/libarchive/bounded_source.h"
#include "archivers/libarchive/cab_methods.h"

namespace arc {

class CabinetFolders {
public:
    void clear();
    // Reads the file records of the cabinet at `posixPath` listed as
    // `entries`, and gives each entry its folder's method. The records are
    // kept only when they match the listing and no file is continued
    // across cabinets; otherwise empty() stays true.
    void read(const std::string& posixPath, std::vector<Entry>& entries);
    // No records kept: the cabinet is walked as a whole.
    bool empty() const { return m_records.empty(); }

    // The cabinet as libarchive should see it to read the folder of file
    // `index` alone: the patches that make it list only that folder and its
    // files [start, end). No patches when the cabinet must be read whole.
    Result folderView(const std::string& posixPath, size_t index, std::vector<BoundedSource::Patch>& patches,
                      size_t& start, size_t& end) const;

    // A walk of the folder of file `index` that could not read the header
    // of a file at or before it, and why.
    std::optional<Result> walkFailure(size_t index) const;
    // Notes that the header of file `index` could not be read.
    void noteWalkFailure(size_t index, const Result& failure);

    // Whether the data of file `index` lies past a place where its folder
    // once failed to decode (a folder is one compressed stream).
    bool damaged(size_t index) const;
    // Notes that decoding file `index` failed within its data.
    void noteDamage(size_t index);

private:
    std::vector<CabFileRecord> m_records;
    // Per folder, the decoded offset from which its data is known to fail.
    std::map<uint16_t, uint32_t> m_damage;
    // Per folder, the first file whose header a walk could not read, and why.
    std::map<uint16_t, std::pair<size_t, Result>> m_walkFailure;
};

}  // namespace arc
