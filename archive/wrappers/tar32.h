// The tar family (tar, gzip- or compress-packed, bzip2-packed, ar, deb, rpm,
// cpio) through tar32.dll (entry prefix "Tar"). TTgz32 and TBZ232 override
// nothing: TTar32 asks the object which of them it is where formats differ.
#pragma once

#include <string>

#include "archive/archivertype.h"
#include "archive/wrappers/single_library_archiver.h"

namespace archives {

class TTar32 : public TSingleLibraryArchiver {
public:
    // Loads tar32.dll; throws EArchiver when it cannot be loaded.
    TTar32();

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

    // Switches written with a blank before their values; the archive and the
    // folder go as -f and -o switches instead of the common tail's.
    std::string BuildCommandLine(const std::string& command, const std::string& archiveFileName, bool useResFile,
                                 const FileList& files, const std::string& dir,
                                 const TArchiverOptions& options) const override;
    // Then brings the owner window to the front.
    int RunCommand(HWND window, const std::string& commandLine, std::string& output) override;

protected:
    void AddSwitches(TCmdOpt& cmd, const TArchiverOptions& options) const override;
};

// gzip- or compress-packed files and tar archives.
class TTgz32 : public TTar32 {
public:
    TTgz32() = default;
};

// bzip2-packed files and tar archives; never made self-extracting.
class TBZ232 : public TTar32 {
public:
    TBZ232() = default;
};

// atTar, atTgz, atBZ2 or atNone from tar32.dll's archive-type answer for
// the file; never throws.
TArchiverType GetTarArchiveKind(const std::string& fileName);

}  // namespace archives
