// The part of a wrapper that maps listing, checking and the owner window one
// to one onto a single library's entries: the same for every library but
// ZIP's three. Each wrapper names its library through Library().
#pragma once

#include <string>

#include "archive/archiver.h"

namespace archives {

class ArchiverUnit;

class TUnitArchiver : public TArchiver {
public:
    // Expands the name to a full path, then the library's OpenArchive.
    ArchiveHandle OpenArchive(HWND window, const std::string& archiveFileName, DWORD mode) override;
    int FindFirst(ArchiveHandle archive, EntryRecord& record, const std::string& wildName) override;
    int FindNext(ArchiveHandle archive, EntryRecord& record) override;
    int CloseArchive(ArchiveHandle archive) override;
    // The name unchanged, mode + extraMode.
    int CheckArchive(const std::string& archiveFileName, int mode, int extraMode) override;
    // The base records the window first, then the library is asked.
    bool SetOwnerWindow(HWND window, void* callback) override;
    // The library releases the window first, then the base forgets it.
    bool KillOwnerWindow(HWND window) override;

protected:
    // The library whose entries serve the operations above.
    virtual ArchiverUnit& Library() const = 0;
};

}  // namespace archives
