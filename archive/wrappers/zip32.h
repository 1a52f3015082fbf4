// ZIP archives through up to three libraries: UNZIP32.DLL (unpacking),
// ZIP32J.DLL (packing) and LMZIP32.DLL (both; its entries spell the prefix
// "Unzip"). Each entry is looked up in a fixed sequence of the loaded ones.
#pragma once

#include <string>

#include "archive/archiver.h"

namespace archives {

class TZip32 : public TArchiver {
public:
    // Loads each of the three that it can; throws EArchiver when none loads.
    TZip32();

    static void LoadDLL();
    static void FreeDLL();

    ArchiveHandle OpenArchive(HWND window, const std::string& archiveFileName, DWORD mode) override;
    int FindFirst(ArchiveHandle archive, EntryRecord& record, const std::string& wildName) override;
    int FindNext(ArchiveHandle archive, EntryRecord& record) override;
    int CloseArchive(ArchiveHandle archive) override;
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
    // Passes the mode only; extraMode is ignored.
    int CheckArchive(const std::string& archiveFileName, int mode, int extraMode) override;
    bool SetOwnerWindow(HWND window, void* callback) override;
    bool KillOwnerWindow(HWND window) override;
    // Throws unless ZIP32J.DLL or LMZIP32.DLL is loaded.
    void LoadPackDLL() override;

    // "\" becomes "/" and "[" becomes "[[]" in file names.
    static std::string NameConverter(const std::string& fileName);

    // Unpacking (Extract, ExtractMem): -o, --i, -j, then the common tail.
    std::string BuildUnpackCommandLine(const std::string& command, const std::string& archiveFileName, bool useResFile,
                                       const FileList& files, const std::string& dir,
                                       const TArchiverOptions& options) const;
    // Packing with ZIP32J.DLL (Pack, RemoveItems, Update).
    std::string BuildPackCommandLine(const std::string& command, const std::string& archiveFileName, bool useResFile,
                                     const FileList& files, const std::string& dir,
                                     const TArchiverOptions& options) const;
    // Packing with LMZIP32.DLL: -o, -j, the common tail without a folder.
    std::string BuildLmzipPackCommandLine(const std::string& command, const std::string& archiveFileName,
                                          bool useResFile, const FileList& files,
                                          const TArchiverOptions& options) const;
    int RunUnpackCommand(HWND window, const std::string& commandLine, std::string& output);
    int RunPackCommand(HWND window, const std::string& commandLine, std::string& output);

protected:
    void LoadClassDLL() override;

private:
    // Runs CommandLine with "Zip" on a fresh archive file.
    int PackAfresh(HWND window, const std::string& archiveFileName, std::string& output);
};

// True when a ZIP library opens the existing file as an archive; never throws.
bool CheckZipArchive(const std::string& fileName);

}  // namespace archives
