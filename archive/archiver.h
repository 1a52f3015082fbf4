// The abstract archiver: one subclass per archiver library. It fixes the
// operations the archive component calls, what a wrapper answers for an
// operation its format does not offer, and how a wrapper binds its library.
#pragma once

#include <stdexcept>
#include <string>

#include "archive/archiveroptions.h"
#include "archive/cmdopt.h"
#include "archive/filelist.h"
#include "archive/libraryapi.h"
#include "platform/win32.h"

namespace archives {

// Every error the archive layer reports itself; the message is a fixed
// Japanese text (UTF-8) meant for the user.
class EArchiver : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Address of the named export of a loaded library. Throws EArchiver
// "<full path of the library> に <name> のエントリが見つかりません。" when it
// has none (or when module is null).
FARPROC BindEntry(HMODULE module, const char* entryName);

class TArchiver {
public:
    // Subclasses load their library in their constructor (each class runs
    // its own LoadDLL), so a failed load leaves no object behind.
    TArchiver() = default;
    virtual ~TArchiver() = default;
    TArchiver(const TArchiver&) = delete;
    TArchiver& operator=(const TArchiver&) = delete;

    // Class operations: each subclass hides these with its own.
    static void LoadDLL();  // throws "Abstract method 'TArchiver.LoadDLL' was called"
    static void FreeDLL();  // throws "Abstract method 'TArchiver.FreeDLL' was called"

    // ---- Virtual operations, in their fixed order ----
    virtual ArchiveHandle OpenArchive(HWND window, const std::string& archiveFileName, DWORD mode);
    virtual int FindFirst(ArchiveHandle archive, EntryRecord& record, const std::string& wildName);
    virtual int FindNext(ArchiveHandle archive, EntryRecord& record);
    virtual int CloseArchive(ArchiveHandle archive);
    // output: its current length is the capacity the library may fill
    // (empty = no buffer).
    virtual int Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                        const std::string& dir, const FileList& files, bool useResFile, std::string& output) = 0;
    virtual int Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                     const std::string& dir, const FileList& files, bool useResFile, std::string& output);
    virtual int RemoveItems(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                            const std::string& dir, const FileList& files, bool useResFile, std::string& output);
    virtual int Update(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                       const std::string& dir, const FileList& files, bool useResFile, std::string& output);
    virtual int MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                        const std::string& dir, std::string& output);
    virtual int ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                           const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written);
    virtual int CheckArchive(const std::string& archiveFileName, int mode, int extraMode);
    virtual bool SetOwnerWindow(HWND window, void* callback);
    virtual bool KillOwnerWindow(HWND window);
    // Runs LoadDLL of the object's class.
    virtual void LoadPackDLL();

    bool HasOwnerWindow() const { return OwnerWindow != nullptr; }
    HWND GetOwnerWindow() const { return OwnerWindow; }
    // The last command line rendered for the library; empty until the first
    // command operation.
    const std::string& GetCommandLine() const { return CommandLine; }

    // Command-building steps shared by the wrappers.
    static void AddArchiveAndDir(TCmdOpt& cmd, const std::string& archiveFileName, const std::string& dir);
    // Response file when useResFile and options.ResFileName is set, the names
    // inline otherwise; then UserFileList. Returns the number of names.
    static int AddFileList(TCmdOpt& cmd, const TArchiverOptions& options, bool useResFile, const FileList& files);
    // The tail most wrappers end their commands with: UserOptions, then
    // AddArchiveAndDir, then AddFileList.
    static void AddCommonTail(TCmdOpt& cmd, const TArchiverOptions& options, const std::string& archiveFileName,
                              const std::string& dir, bool useResFile, const FileList& files);

protected:
    // LoadDLL / FreeDLL of the object's own class, reached through an object.
    virtual void LoadClassDLL();

    HWND OwnerWindow = nullptr;
    std::string CommandLine;
};

// The six refusals of operations a format does not offer.
namespace refusal {
extern const char* const Pack;
extern const char* const RemoveItems;
extern const char* const Update;
extern const char* const MakeSFX;
extern const char* const ExtractMem;
extern const char* const CheckArchive;
}  // namespace refusal

}  // namespace archives
