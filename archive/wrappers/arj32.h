// ARJ archives through UNARJ32J.DLL (entry prefix "Unarj"). Listing and
// extraction use that library; packing, removing, updating, self-extractors
// and memory extraction are TLha32's and go to UNLHA32.DLL.
#pragma once

#include <string>

#include "archive/wrappers/lha32.h"

namespace archives {

class TArj32 : public TLha32 {
public:
    // Loads UNARJ32J.DLL only; throws EArchiver when it cannot be loaded.
    TArj32();

    static void LoadDLL();
    static void FreeDLL();

    int Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                const std::string& dir, const FileList& files, bool useResFile, std::string& output) override;
    bool SetOwnerWindow(HWND window, void* callback) override;
    bool KillOwnerWindow(HWND window) override;
};

// True when UNARJ32J.DLL opens the file as an archive; never throws.
bool CheckArjArchive(const std::string& fileName);

}  // namespace archives
