// LZH archives through UNLHA32.DLL (entry prefix "Unlha"); the model of the
// wrapper family. TArj32 derives from it.
#pragma once

#include <string>

#include "archive/wrappers/unitarchiver.h"

namespace archives {

// Listing, checking and the owner window come from TUnitArchiver, through
// UNLHA32.DLL's entries.
class TLha32 : public TUnitArchiver {
public:
    // Loads UNLHA32.DLL; throws EArchiver when it cannot be loaded.
    TLha32();

    static void LoadDLL();
    static void FreeDLL();

    int Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, const FileList& files, bool useResFile,
                std::string& output) override;
    int Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
             const std::string& dir, const FileList& files, bool useResFile,
             std::string& output) override;
    int RemoveItems(HWND window, const std::string& archiveFileName,
                    const TArchiverOptions& options, const std::string& dir,
                    const FileList& files, bool useResFile, std::string& output) override;
    int Update(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
               const std::string& dir, const FileList& files, bool useResFile,
               std::string& output) override;
    int MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, std::string& output) override;
    int ExtractMem(HWND window, const std::string& archiveFileName,
                   const TArchiverOptions& options, const std::string& fileName, LPBYTE buffer,
                   DWORD bufferSize, DWORD* written) override;

    // The full LHA switch set, "-+" first; the command word directly before.
    std::string BuildCommandLine(const std::string& command, const std::string& archiveFileName,
                                 bool useResFile, const FileList& files, const std::string& dir,
                                 const TArchiverOptions& options) const;
    // Calls the command entry "Unlha"; an empty output passes a null buffer.
    int RunCommand(HWND window, const std::string& commandLine, std::string& output);

protected:
    // For subclasses that load another library instead.
    struct NoLoad {};
    explicit TLha32(NoLoad) {}
    // UNLHA32.DLL, whatever Library() a subclass names.
    static ArchiverUnit& LhaLibrary();
    void LoadClassDLL() override;
    ArchiverUnit& Library() const override;
};

// True when UNLHA32.DLL accepts the file as an LZH archive; never throws.
bool CheckLhaArchive(const std::string& fileName);

}  // namespace archives
