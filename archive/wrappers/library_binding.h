// The process-wide state of a wrapper's one library: the library file and
// the cached addresses of its entries, with one stub per entry. Entries are
// bound on first use; the stubs of the command entry, OpenArchive,
// CloseArchive, FindFirst, CheckArchive, ExtractMem and GetArchiveType load
// the library first, the others rely on an earlier load.
#pragma once

#include <string>

#include "archive/libraryapi.h"
#include "archive/wrappers/entryslot.h"
#include "archive/wrappers/library_file.h"

namespace archives {

class LibraryBinding {
public:
    // prefix: "Unlha", "Cab", ...; missingMessage: LoadDLL's message.
    LibraryBinding(const char* fileName, const std::string& prefix, const char* missingMessage);

    // Loads the library unless loaded; throws EArchiver(missingMessage).
    void Load();
    // Forgets every entry, then unloads the library.
    void Free();
    bool Loaded() const { return m_library.Loaded(); }

    int Command(HWND window, const std::string& commandLine, std::string& output);
    ArchiveHandle OpenArchive(HWND window, const std::string& fullName, DWORD mode);
    int CloseArchive(ArchiveHandle archive);
    int FindFirst(ArchiveHandle archive, const std::string& wildName, EntryRecord& record);
    int FindNext(ArchiveHandle archive, EntryRecord& record);
    int ExtractMem(HWND window, const std::string& commandLine, LPBYTE buffer, DWORD size, DWORD* written);
    BOOL CheckArchive(const std::string& fileName, int mode);
    BOOL SetOwnerWindowEx(HWND window, void* callback);
    BOOL KillOwnerWindowEx(HWND window);
    int GetArchiveType(const std::string& fileName);

    // The open probe of content detection: load, expand the name, (only for
    // an existing file when requireExisting) open with the probe mode and
    // close the handle (also a 0 handle when closeFailed). True when the
    // handle was non-zero; false also when the library or an entry is
    // missing, since a probe never throws.
    bool ProbeOpen(const std::string& fileName, bool requireExisting, bool closeFailed) noexcept;

private:
    HMODULE Bound() { return m_library.Module(); }
    HMODULE Loading()
    {
        Load();
        return m_library.Module();
    }

    LibraryFile m_library;
    const char* m_missingMessage;
    EntryTable m_entries;
    EntrySlot<CommandEntry> m_command;
    EntrySlot<OpenArchiveEntry> m_openArchive;
    EntrySlot<CloseArchiveEntry> m_closeArchive;
    EntrySlot<FindFirstEntry> m_findFirst;
    EntrySlot<FindNextEntry> m_findNext;
    EntrySlot<ExtractMemEntry> m_extractMem;
    EntrySlot<CheckArchiveEntry> m_checkArchive;
    EntrySlot<SetOwnerWindowExEntry> m_setOwnerWindowEx;
    EntrySlot<KillOwnerWindowExEntry> m_killOwnerWindowEx;
    EntrySlot<GetArchiveTypeEntry> m_getArchiveType;
};

}  // namespace archives
