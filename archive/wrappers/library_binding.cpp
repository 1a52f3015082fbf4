#include "archive/wrappers/library_binding.h"

#include "archive/wrappers/wrapperutil.h"

namespace archives {

LibraryBinding::LibraryBinding(const char* fileName, const std::string& prefix, const char* missingMessage)
    : m_library(fileName), m_missingMessage(missingMessage), m_command(m_entries, prefix),
      m_openArchive(m_entries, prefix + "OpenArchive"), m_closeArchive(m_entries, prefix + "CloseArchive"),
      m_findFirst(m_entries, prefix + "FindFirst"), m_findNext(m_entries, prefix + "FindNext"),
      m_extractMem(m_entries, prefix + "ExtractMem"), m_checkArchive(m_entries, prefix + "CheckArchive"),
      m_setOwnerWindowEx(m_entries, prefix + "SetOwnerWindowEx"),
      m_killOwnerWindowEx(m_entries, prefix + "KillOwnerWindowEx"),
      m_getArchiveType(m_entries, prefix + "GetArchiveType")
{
}

void LibraryBinding::Load()
{
    LoadLibraries({&m_library}, m_missingMessage);
}

void LibraryBinding::Free()
{
    FreeLibraries(m_entries, {&m_library});
}

int LibraryBinding::Command(HWND window, const std::string& commandLine, std::string& output)
{
    return RunCommandEntry(m_command.Get(Loading()), window, commandLine, output);
}

ArchiveHandle LibraryBinding::OpenArchive(HWND window, const std::string& fullName, DWORD mode)
{
    return m_openArchive.Get(Loading())(window, fullName.c_str(), mode);
}

int LibraryBinding::CloseArchive(ArchiveHandle archive)
{
    return m_closeArchive.Get(Loading())(archive);
}

int LibraryBinding::FindFirst(ArchiveHandle archive, const std::string& wildName, EntryRecord& record)
{
    return m_findFirst.Get(Loading())(archive, wildName.c_str(), &record);
}

int LibraryBinding::FindNext(ArchiveHandle archive, EntryRecord& record)
{
    return m_findNext.Get(Bound())(archive, &record);
}

int LibraryBinding::ExtractMem(HWND window, const std::string& commandLine, LPBYTE buffer, DWORD size, DWORD* written)
{
    // No time stamp and no attributes are asked for.
    return m_extractMem.Get(Loading())(window, commandLine.c_str(), buffer, size, nullptr, nullptr, written);
}

BOOL LibraryBinding::CheckArchive(const std::string& fileName, int mode)
{
    return m_checkArchive.Get(Loading())(fileName.c_str(), mode);
}

BOOL LibraryBinding::SetOwnerWindowEx(HWND window, void* callback)
{
    return m_setOwnerWindowEx.Get(Bound())(window, callback);
}

BOOL LibraryBinding::KillOwnerWindowEx(HWND window)
{
    return m_killOwnerWindowEx.Get(Bound())(window);
}

int LibraryBinding::GetArchiveType(const std::string& fileName)
{
    return m_getArchiveType.Get(Loading())(fileName.c_str());
}

bool LibraryBinding::ProbeOpen(const std::string& fileName, bool requireExisting, bool closeFailed) noexcept
{
    try {
        Load();
        const std::string fullName = ExpandFileName(fileName);
        if (requireExisting && !FileExists(fullName))
            return false;
        ArchiveHandle handle = OpenArchive(nullptr, fullName, OpenModeProbe);
        if (handle != 0 || closeFailed)
            CloseArchive(handle);
        return handle != 0;
    } catch (...) {
        return false;
    }
}

}  // namespace archives
