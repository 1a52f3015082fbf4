#include "main/folder_listing.h"

#include <memory>

namespace tidebell {

namespace {

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

}  // namespace

FolderListing::FolderListing(std::string folder) : m_folder(std::move(folder))
{
    const std::string pattern = m_folder + "*.*";
    WIN32_FIND_DATAA data;
    HANDLE first = FindFirstFileA(pattern.c_str(), &data);
    if (first == INVALID_HANDLE_VALUE) {
        m_result = GetLastError();
        return;
    }
    FindHandle find(first);
    m_started = true;
    do {
        FolderEntry entry;
        entry.name = data.cFileName;
        entry.attributes = data.dwFileAttributes;
        entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entry.lastWrite = data.ftLastWriteTime;
        m_entries.push_back(std::move(entry));
    } while (FindNextFileA(find.get(), &data));
    m_result = GetLastError();
}

}  // namespace tidebell
