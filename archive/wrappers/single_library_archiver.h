// The base of every wrapper served by one library (all but ZIP's three): it
// binds that library, maps listing, checking and the owner window one to one
// onto its entries, and renders and runs commands, so that a wrapper names
// only its library, its switches and the operations its format offers.
#pragma once

#include <string>

#include "archive/archiver.h"

namespace archives {

class LibraryBinding;

class TSingleLibraryArchiver : public TArchiver {
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

    // The command word directly followed by the wrapper's switches and the
    // common tail (TArchiver::AddCommonTail).
    virtual std::string BuildCommandLine(const std::string& command, const std::string& archiveFileName,
                                         bool useResFile, const FileList& files, const std::string& dir,
                                         const TArchiverOptions& options) const;
    // Calls the command entry of CommandLibrary(); an empty output passes a
    // null buffer.
    virtual int RunCommand(HWND window, const std::string& commandLine, std::string& output);

protected:
    // Loads the library; throws its EArchiver when it cannot be loaded, so
    // a failed load leaves no object behind.
    explicit TSingleLibraryArchiver(LibraryBinding& library);

    // The wrapper's switches, in their order, for BuildCommandLine.
    virtual void AddSwitches(TCmdOpt& cmd, const TArchiverOptions& options) const = 0;
    // The library that runs commands and memory extraction: the one above,
    // unless a wrapper sends them elsewhere.
    virtual LibraryBinding& CommandLibrary() const { return m_library; }
    LibraryBinding& Library() const { return m_library; }
    void LoadClassDLL() override;

    // One command operation: builds the line, keeps it in CommandLine and
    // runs it; the library's result.
    int SendCommand(HWND window, const std::string& command, const std::string& archiveFileName, bool useResFile,
                    const FileList& files, const std::string& dir, const TArchiverOptions& options,
                    std::string& output);
    // ExtractMem for the wrappers that offer it: the line without command
    // word, response file or folder, with the one file name.
    int SendExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                       const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written);

private:
    LibraryBinding& m_library;
};

}  // namespace archives
