// BGA archives (.gza, .bza) through BGA32.DLL (entry prefix "Bga").
#pragma once

#include <string>

#include "archive/wrappers/single_library_archiver.h"

namespace archives {

class TBGA32 : public TSingleLibraryArchiver {
public:
    // Loads BGA32.DLL; throws EArchiver when it cannot be loaded.
    TBGA32();

    static void LoadDLL();
    static void FreeDLL();

    int Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, const FileList& files, bool useResFile, std::string& output) override;
    int Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options, const std::string& dir,
             const FileList& files, bool useResFile, std::string& output) override;
    int RemoveItems(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool useResFile, std::string& output) override;
    int MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, std::string& output) override;

protected:
    void AddSwitches(TCmdOpt& cmd, const TArchiverOptions& options) const override;
};

// True when BGA32.DLL opens the existing file as an archive; never throws.
bool CheckBgaArchive(const std::string& fileName);

}  // namespace archives
