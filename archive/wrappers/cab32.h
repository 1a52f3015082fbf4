// Cabinet archives through CAB32.DLL (entry prefix "Cab").
#pragma once

#include <string>

#include "archive/wrappers/single_library_archiver.h"

namespace archives {

class TCab32 : public TSingleLibraryArchiver {
public:
    // Loads CAB32.DLL; throws EArchiver when it cannot be loaded.
    TCab32();

    static void LoadDLL();
    static void FreeDLL();

    int Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, const FileList& files, bool useResFile, std::string& output) override;
    int Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options, const std::string& dir,
             const FileList& files, bool useResFile, std::string& output) override;
    int MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, std::string& output) override;
    int ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                   const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written) override;

protected:
    void AddSwitches(TCmdOpt& cmd, const TArchiverOptions& options) const override;
};

// True when CAB32.DLL opens the file as an archive; never throws.
bool CheckCabArchive(const std::string& fileName);

}  // namespace archives
