#include "archivers/libarchive/zip_entry_names.h"

#include <algorithm>

#include "archivers/libarchive/zip_directory.h"

namespace arc {

void ZipEntryNames::list(const ZipDirectory& directory, std::vector<Entry>& entries, std::vector<bool>& undecodable)
{
    std::vector<size_t> records;
    entries = directory.listing(records);
    for (size_t i : records) {
        const ZipRecord& r = directory.records()[i];
        undecodable.push_back(!ZipDirectory::decodable(r.method));
        std::vector<std::string> names{std::string(r.rawName)};
        if (!r.unicodeName.empty())
            names.emplace_back(r.unicodeName);
        // libarchive gives names written on Windows with "/" for "\\".
        if (r.rawName.find('\\') != std::string_view::npos) {
            std::string slashed(r.rawName);
            std::replace(slashed.begin(), slashed.end(), '\\', '/');
            names.push_back(std::move(slashed));
        }
        m_names.push_back(std::move(names));
    }
}

bool ZipEntryNames::matches(size_t index, const char* name) const
{
    const auto& expected = m_names[index];
    return name && std::find(expected.begin(), expected.end(), name) != expected.end();
}

size_t ZipEntryNames::sameNamesBefore(size_t index) const
{
    size_t count = 0;
    for (size_t j = 0; j < index; ++j)
        count += m_names[j] == m_names[index];
    return count;
}

}  // namespace arc
