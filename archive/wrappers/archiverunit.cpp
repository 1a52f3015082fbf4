#include "archive/wrappers/archiverunit.h"

#include "archive/wrappers/wrapperutil.h"

namespace archives {

ArchiverUnit::ArchiverUnit(const char* fileName, const std::string& prefix,
                           const char* missingMessage)
    : m_library(fileName),
      m_missingMessage(missingMessage),
      m_command(m_entries, prefix),
      m_openArchive(m_entries, prefix + "OpenArchive"),
      m_closeArchive(m_entries, prefix + "CloseArchive"),
      m_findFirst(m_entries, prefix + "FindFirst"),
      m_findNext(m_entries, prefix + "FindNext"),
      m_extractMem(m_entries, prefix + "ExtractMem"),
      m_checkArchive(m_entries, prefix + "CheckArchive"),
      m_setOwnerWindowEx(m_entries, prefix + "SetOwnerWindowEx"),
      m_killOwnerWindowEx(m_entries, prefix + "KillOwnerWindowEx"),
      m_getArchiveType(m_entries, prefix + "GetArchiveType") {}

void ArchiverUnit::Load() { LoadLibraries({&m_library}, m_missingMessage); }

void ArchiverUnit::Free() { FreeLibraries(m_entries, {&m_library}); }

int ArchiverUnit::Command(HWND window, const std::string& commandLine, std::string& output) {
    return RunCommandEntry(m_command.Get(Loading()), window, commandLine, output);
}

ArchiveHandle ArchiverUnit::OpenArchive(HWND window, const std::string& fullName, DWORD mode) {
    return m_openArchive.Get(Loading())(window, fullName.c_str(), mode);
}

int ArchiverUnit::CloseArchive(ArchiveHandle archive) {
    return m_closeArchive.Get(Loading())(archive);
}

int ArchiverUnit::FindFirst(ArchiveHandle archive, const std::string& wildName,
                            EntryRecord& record) {
    return m_findFirst.Get(Loading())(archive, wildName.c_str(), &record);
}

int ArchiverUnit::FindNext(ArchiveHandle archive, EntryRecord& record) {
    return m_findNext.Get(Bound())(archive, &record);
}

int ArchiverUnit::ExtractMem(HWND window, const std::string& commandLine, LPBYTE buffer,
                             DWORD size, DWORD* written) {
    // No time stamp and no attributes are asked for.
    return m_extractMem.Get(Loading())(window, commandLine.c_str(), buffer, size, nullptr,
                                       nullptr, written);
}

BOOL ArchiverUnit::CheckArchive(const std::string& fileName, int mode) {
    return m_checkArchive.Get(Loading())(fileName.c_str(), mode);
}

BOOL ArchiverUnit::SetOwnerWindowEx(HWND window, void* callback) {
    return m_setOwnerWindowEx.Get(Bound())(window, callback);
}

BOOL ArchiverUnit::KillOwnerWindowEx(HWND window) {
    return m_killOwnerWindowEx.Get(Bound())(window);
}

int ArchiverUnit::GetArchiveType(const std::string& fileName) {
    return m_getArchiveType.Get(Loading())(fileName.c_str());
}

bool ArchiverUnit::ProbeOpen(const std::string& fileName, bool requireExisting,
                             bool closeFailed) {
    Load();
    const std::string fullName = ExpandFileName(fileName);
    if (requireExisting && !FileExists(fullName)) return false;
    ArchiveHandle handle = OpenArchive(nullptr, fullName, OpenModeProbe);
    if (handle != 0 || closeFailed) CloseArchive(handle);
    return handle != 0;
}

}  // namespace archives
