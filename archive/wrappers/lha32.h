// LZH archives through UNLHA32.DLL (entry prefix "Unlha"); the model of the
// wrapper family. TArj32 derives from it.
#pragma once

#include <string>

#include "archive/wrappers/single_library_archiver.h"

namespace archives {

class TLha32 : public TSingleLibraryArchiver {
public:
    // Loads UNLHA32.DLL; throws EArchiver when it cannot be loaded.
    TLha32();

    static void LoadDLL();
    static void FreeDLL();

    int Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, const FileList& files, bool useResFile, std::string& output) override;
    int Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options, const std::string& dir,
             const FileList& files, bool useResFile, std::string& output) override;
    int RemoveItems(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool useResFile, std::string& output) override;
    int Update(HWND window, const std::string& archiveFileName, const TArchiverOptions& options, const std::string& dir,
               const FileList& files, bool useResFile, std::string& output) override;
    int MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, std::string& output) override;
    int ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                   const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written) override;

protected:
    // For a subclass that lists through another library; commands still go
    // to UNLHA32.DLL.
    explicit TLha32(LibraryBinding& listing) : TSingleLibraryArchiver(listing) {}
    static LibraryBinding& LhaLibrary();
    LibraryBinding& CommandLibrary() const override { return LhaLibrary(); }
    // The full LHA switch set, "-+" first.
    void AddSwitches(TCmdOpt& cmd, const TArchiverOptions& options) const override;
};

// True when UNLHA32.DLL accepts the file as an LZH archive; never throws.
bool CheckLhaArchive(const std::string& fileName);

}  // namespace archives
