#include "archivers/libarchive/cabinet_folders.h"

#include <algorithm>
#include <cstdio>

namespace arc {

void CabinetFolders::clear()
{
    m_records.clear();
    m_damage.clear();
    m_walkFailure.clear();
}

void CabinetFolders::read(const std::string& posixPath, std::vector<Entry>& entries)
{
    std::vector<CabFileRecord> records = cabFileRecords(posixPath);
    if (records.size() != entries.size())
        return;
    for (size_t i = 0; i < records.size(); ++i)
        entries[i].method = records[i].method;
    // Files continued across cabinets are read from the whole cabinet only.
    if (std::none_of(records.begin(), records.end(), [](const CabFileRecord& r) { return r.folder >= 0xFFFD; }))
        m_records = std::move(records);
}

// The same bytes, patched so that the header lists the folder alone and only
// its files, whose records then name folder 0. libarchive reads a few
// records instead of every folder and file, and seeks to the folder's data.
Result CabinetFolders::folderView(const std::string& posixPath, size_t index,
                                  std::vector<BoundedSource::Patch>& patches, size_t& start, size_t& end) const
{
    // libarchive takes a folder's files only from its first one.
    const uint16_t folder = m_records[index].folder;
    start = index;
    end = index + 1;
    while (start > 0 && m_records[start - 1].folder == folder)
        --start;
    while (end < m_records.size() && m_records[end].folder == folder)
        ++end;
    patches.clear();
    std::FILE* file = std::fopen(posixPath.c_str(), "rb");
    if (!file)
        return Result::fail(Status::ReadError, "cannot read " + posixPath);
    unsigned char header[36], record[8];
    const bool read = std::fread(header, 1, sizeof header, file) == sizeof header &&
                      std::fseek(file, 36 + 8 * long(folder), SEEK_SET) == 0 && std::fread(record, 1, 8, file) == 8;
    std::fclose(file);
    // Reserved areas or neighbouring cabinets move the folder table: read
    // such a cabinet whole.
    if (!read || (header[30] & 0x07) != 0)
        return Result::success();
    auto le = [](uint64_t v, int bytes) {
        std::string s;
        for (int k = 0; k < bytes; ++k)
            s += static_cast<char>(v >> (8 * k));
        return s;
    };
    patches = {{16, le(m_records[start].recordOffset, 4)},
               {26, le(1, 2) + le(end - start, 2)},
               {36, std::string(reinterpret_cast<char*>(record), sizeof record)}};
    for (size_t i = start; i < end; ++i)
        patches.emplace_back(m_records[i].recordOffset + 8, le(0, 2));
    return Result::success();
}

std::optional<Result> CabinetFolders::walkFailure(size_t index) const
{
    if (m_records.empty())
        return std::nullopt;
    const auto failed = m_walkFailure.find(m_records[index].folder);
    if (failed != m_walkFailure.end() && index >= failed->second.first)
        return failed->second.second;
    return std::nullopt;
}

void CabinetFolders::noteWalkFailure(size_t index, const Result& failure)
{
    if (index < m_records.size())
        m_walkFailure.emplace(m_records[index].folder, std::make_pair(index, failure));
}

bool CabinetFolders::damaged(size_t index) const
{
    if (m_records.empty())
        return false;
    const CabFileRecord& record = m_records[index];
    const auto damage = m_damage.find(record.folder);
    return damage != m_damage.end() && record.folderOffset >= damage->second;
}

void CabinetFolders::noteDamage(size_t index)
{
    if (m_records.empty())
        return;
    const CabFileRecord& record = m_records[index];
    const uint32_t end = record.folderOffset + std::min<uint32_t>(record.size, UINT32_MAX - record.folderOffset);
    auto [at, added] = m_damage.emplace(record.folder, end);
    if (!added)
        at->second = std::min(at->second, end);
}

}  // namespace arc
