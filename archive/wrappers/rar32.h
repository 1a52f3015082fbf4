// RAR archives through UNRAR32.DLL (entry prefix "Unrar"); unpacking only.
#pragma once

#include <string>

#include "archive/wrappers/single_library_archiver.h"

namespace archives {

class TRar32 : public TSingleLibraryArchiver {
public:
    // Loads UNRAR32.DLL; throws EArchiver when it cannot be loaded.
    TRar32();

    static void LoadDLL();
    static void FreeDLL();

    int Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, const FileList& files, bool useResFile, std::string& output) override;
    int ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                   const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written) override;

protected:
    void AddSwitches(TCmdOpt& cmd, const TArchiverOptions& options) const override;
};

// True when UNRAR32.DLL opens the file as an archive; never throws.
bool CheckRarArchive(const std::string& fileName);

}  // namespace archives
