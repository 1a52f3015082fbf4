#include "archive/wrappers/unitarchiver.h"

#include "archive/wrappers/archiverunit.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

ArchiveHandle TUnitArchiver::OpenArchive(HWND window, const std::string& archiveFileName,
                                         DWORD mode) {
    return Library().OpenArchive(window, ExpandFileName(archiveFileName), mode);
}

int TUnitArchiver::FindFirst(ArchiveHandle archive, EntryRecord& record,
                             const std::string& wildName) {
    return Library().FindFirst(archive, wildName, record);
}

int TUnitArchiver::FindNext(ArchiveHandle archive, EntryRecord& record) {
    return Library().FindNext(archive, record);
}

int TUnitArchiver::CloseArchive(ArchiveHandle archive) { return Library().CloseArchive(archive); }

int TUnitArchiver::CheckArchive(const std::string& archiveFileName, int mode, int extraMode) {
    return Library().CheckArchive(archiveFileName, mode + extraMode);
}

bool TUnitArchiver::SetOwnerWindow(HWND window, void* callback) {
    TArchiver::SetOwnerWindow(window, callback);
    return Library().SetOwnerWindowEx(window, callback) != 0;
}

bool TUnitArchiver::KillOwnerWindow(HWND window) {
    bool released = Library().KillOwnerWindowEx(window) != 0;
    TArchiver::KillOwnerWindow(window);
    return released;
}

}  // namespace archives
