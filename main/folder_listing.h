// One reading of a folder ("folder\*.*", every attribute, in the platform's
// order): what the folder tree and the file list take from each entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace tidebell {

struct FolderEntry {
    std::string name;  // bytes in the ANSI code page
    DWORD attributes = 0;
    uint64_t size = 0;
    FILETIME lastWrite{};

    bool isFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

class FolderListing {
public:
    // Reads `folder` (ending in "\") to its end.
    explicit FolderListing(std::string folder);

    const std::string& folder() const { return m_folder; }
    // The platform's code of the last step: 18 after a complete reading,
    // the error number when the reading could not start.
    DWORD result() const { return m_result; }
    // Whether the reading could start (an empty drive root cannot).
    bool started() const { return m_started; }
    const std::vector<FolderEntry>& entries() const { return m_entries; }

private:
    std::string m_folder;
    DWORD m_result = 0;
    bool m_started = false;
    std::vector<FolderEntry> m_entries;
};

}  // namespace tidebell
