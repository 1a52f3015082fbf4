// Cabinet archives through CAB32.DLL (entry prefix "Cab").
#pragma once

#include <string>

#include "archive/archiver.h"

namespace archives {

class TCab32 : public TArchiver {
public:
    // Loads CAB32.DLL; throws EArchiver when it cannot be loaded.
    TCab32();

    static void LoadDLL();
    static void FreeDLL();

    ArchiveHandle OpenArchive(HWND window, const std::string& archiveFileName, DWORD mode) override;
    int FindFirst(ArchiveHandle archive, EntryRecord& record, const std::string& wildName) override;
    int FindNext(ArchiveHandle archive, EntryRecord& record) override;
    int CloseArchive(ArchiveHandle archive) override;
    int Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, const FileList& files, bool useResFile,
                std::string& output) override;
    int Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
             const std::string& dir, const FileList& files, bool useResFile,
             std::string& output) override;
    int MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, std::string& output) override;
    int ExtractMem(HWND window, const std::string& archiveFileName,
                   const TArchiverOptions& options, const std::string& fileName, LPBYTE buffer,
                   DWORD bufferSize, DWORD* written) override;
    int CheckArchive(const std::string& archiveFileName, int mode, int extraMode) override;
    bool SetOwnerWindow(HWND window, void* callback) override;
    bool KillOwnerWindow(HWND window) override;

    std::string BuildCommandLine(const std::string& command, const std::string& archiveFileName,
                                 bool useResFile, const FileList& files, const std::string& dir,
                                 const TArchiverOptions& options) const;
    int RunCommand(HWND window, const std::string& commandLine, std::string& output);

protected:
    void LoadClassDLL() override;
};

// True when CAB32.DLL opens the file as an archive; never throws.
bool CheckCabArchive(const std::string& fileName);

}  // namespace archives
