#include "archive/wrappers/zip32.h"

#include <initializer_list>

#include "archive/wrappers/entryslot.h"
#include "archive/wrappers/library_file.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

const char* const kMissingAll = "ZIP 形式書庫を解凍するには UNZIP32.DLL が、作成するには ZIP32J.DLL が必要です。";
const char* const kMissingPack = "ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。";
const char* const kMissingUnpack = "ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。";

// The three libraries and the ten entries, shared by every TZip32.
struct ZipLibraries {
    LibraryFile unzip32{"UNZIP32.DLL"};
    LibraryFile zip32j{"ZIP32J.DLL"};
    LibraryFile lmzip32{"LMZIP32.DLL"};
    EntryTable entries;
    EntrySlot<CommandEntry> zip{entries, "Zip"};
    EntrySlot<CommandEntry> unzip{entries, "UnZip"};
    EntrySlot<OpenArchiveEntry> openArchive{entries, "UnZipOpenArchive"};
    EntrySlot<CloseArchiveEntry> closeArchive{entries, "UnZipCloseArchive"};
    EntrySlot<FindFirstEntry> findFirst{entries, "UnZipFindFirst"};
    EntrySlot<FindNextEntry> findNext{entries, "UnZipFindNext"};
    EntrySlot<CheckArchiveEntry> checkArchive{entries, "UnZipCheckArchive"};
    EntrySlot<ExtractMemEntry> extractMem{entries, "UnZipExtractMem"};
    EntrySlot<SetOwnerWindowExEntry> setOwnerWindowEx{entries, "UnZipSetOwnerWindowEx"};
    EntrySlot<KillOwnerWindowExEntry> killOwnerWindowEx{entries, "UnZipKillOwnerWindowEx"};

    // The first library of the sequence that is loaded and has the entry;
    // LMZIP32.DLL spells the prefix "Unzip". Nothing is cached on failure.
    template <class Fn> Fn Lookup(EntrySlot<Fn>& slot, std::initializer_list<LibraryFile*> sequence)
    {
        if (Fn cached = slot.Cached())
            return cached;
        for (LibraryFile* library : sequence) {
            if (!library->Loaded())
                continue;
            std::string name = slot.Name();
            if (library == &lmzip32 && name.size() > 2 && name[2] == 'Z')
                name[2] = 'z';
            if (FARPROC address = GetProcAddress(library->Module(), name.c_str())) {
                slot.Set(reinterpret_cast<Fn>(address));
                return slot.Cached();
            }
        }
        throw EArchiver(slot.Name() + " のエントリが見つかりません。");
    }

    // Listing entries: LMZIP32, ZIP32J, UNZIP32.
    template <class Fn> Fn Listing(EntrySlot<Fn>& slot)
    {
        TZip32::LoadDLL();
        return Lookup(slot, {&lmzip32, &zip32j, &unzip32});
    }
    // Checking and memory extraction: UNZIP32, LMZIP32, ZIP32J.
    template <class Fn> Fn Unpacking(EntrySlot<Fn>& slot)
    {
        TZip32::LoadDLL();
        return Lookup(slot, {&unzip32, &lmzip32, &zip32j});
    }
    CommandEntry PackCommand()
    {
        TZip32::LoadDLL();
        if (!zip32j.Loaded() && !lmzip32.Loaded())
            throw EArchiver(kMissingPack);
        return Lookup(zip, {&zip32j, &lmzip32});
    }
    CommandEntry UnpackCommand()
    {
        TZip32::LoadDLL();
        if (!unzip32.Loaded() && !lmzip32.Loaded())
            throw EArchiver(kMissingUnpack);
        return Lookup(unzip, {&unzip32, &lmzip32});
    }

    void Load() { LoadLibraries({&unzip32, &zip32j, &lmzip32}, kMissingAll); }
    void Free() { FreeLibraries(entries, {&unzip32, &zip32j, &lmzip32}); }
};

ZipLibraries& Libraries()
{
    static ZipLibraries libraries;
    return libraries;
}

}  // namespace

TZip32::TZip32()
{
    LoadDLL();
}

void TZip32::LoadDLL()
{
    Libraries().Load();
}

void TZip32::FreeDLL()
{
    Libraries().Free();
}
void TZip32::LoadClassDLL()
{
    LoadDLL();
}

ArchiveHandle TZip32::OpenArchive(HWND window, const std::string& archiveFileName, DWORD mode)
{
    ZipLibraries& zip = Libraries();
    return zip.Listing(zip.openArchive)(window, ExpandFileName(archiveFileName).c_str(), mode);
}

int TZip32::FindFirst(ArchiveHandle archive, EntryRecord& record, const std::string& wildName)
{
    ZipLibraries& zip = Libraries();
    return zip.Listing(zip.findFirst)(archive, wildName.c_str(), &record);
}

int TZip32::FindNext(ArchiveHandle archive, EntryRecord& record)
{
    ZipLibraries& zip = Libraries();
    return zip.Lookup(zip.findNext, {&zip.lmzip32, &zip.zip32j, &zip.unzip32})(archive, &record);
}

int TZip32::CloseArchive(ArchiveHandle archive)
{
    ZipLibraries& zip = Libraries();
    return zip.Listing(zip.closeArchive)(archive);
}

int TZip32::Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool useResFile, std::string& output)
{
    CommandLine = BuildUnpackCommandLine("-x", archiveFileName, useResFile, files, dir, options);
    return RunUnpackCommand(window, CommandLine, output);
}

int TZip32::Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                 const std::string& dir, const FileList& files, bool useResFile, std::string& output)
{
    ZipLibraries& zip = Libraries();
    if (zip.zip32j.Loaded()) {
        CommandLine = BuildPackCommandLine("", archiveFileName, useResFile, files, dir, options);
        return RunPackCommand(window, CommandLine, output);
    }
    if (zip.lmzip32.Loaded()) {
        CommandLine = BuildLmzipPackCommandLine("-ru", archiveFileName, useResFile, files, options);
        return PackAfresh(window, archiveFileName, output);
    }
    throw EArchiver(kMissingPack);
}

// LMZIP32.DLL would add to an existing archive; packing means a new one. The
// old archive is moved aside rather than deleted, and put back when the
// library fails, so a failed pack loses nothing.
int TZip32::PackAfresh(HWND window, const std::string& archiveFileName, std::string& output)
{
    std::string aside;
    if (FileExists(archiveFileName)) {
        for (int i = 0; aside.empty() || FileExists(aside); ++i)
            aside = archiveFileName + ".old" + std::to_string(i);
        if (!MoveFileA(archiveFileName.c_str(), aside.c_str()))
            aside.clear();
    }
    auto restore = [&] {
        if (aside.empty())
            return;
        DeleteFileA(archiveFileName.c_str());
        MoveFileA(aside.c_str(), archiveFileName.c_str());
    };
    int result;
    try {
        result = RunPackCommand(window, CommandLine, output);
    } catch (...) {
        restore();
        throw;
    }
    if (result != 0)
        restore();
    else if (!aside.empty())
        DeleteFileA(aside.c_str());
    return result;
}

int TZip32::RemoveItems(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                        const std::string&, const FileList& files, bool useResFile, std::string& output)
{
    CommandLine = BuildPackCommandLine("-d", archiveFileName, useResFile, files, "", options);
    return RunPackCommand(window, CommandLine, output);
}

int TZip32::Update(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                   const std::string& dir, const FileList& files, bool useResFile, std::string& output)
{
    CommandLine = BuildPackCommandLine("-f", archiveFileName, useResFile, files, dir, options);
    return RunPackCommand(window, CommandLine, output);
}

int TZip32::MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, std::string& output)
{
    if (!Libraries().zip32j.Loaded())
        throw EArchiver("ZIP 形式書庫からの自己解凍書庫作成には ZIP32J.DLL が必要です。");
    const bool win32 = options.gw > 0;
    const std::string exe =
        WriteSelfExtractor(win32 ? "sfx32gui.dat" : "sfx16.dat",
                           win32 ? "zip 書庫からのWin32自己解凍書庫の作成には sfx32gui.dat が必要です。"
                                 : "zip 書庫からのDOS自己解凍書庫の作成には sfx16.dat が必要です。",
                           archiveFileName, dir);
    CommandLine = "-A " + exe;
    return RunPackCommand(window, CommandLine, output);
}

int TZip32::ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                       const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written)
{
    CommandLine = BuildUnpackCommandLine("", archiveFileName, false, {fileName}, "", options);
    ZipLibraries& zip = Libraries();
    return zip.Unpacking(zip.extractMem)(window, CommandLine.c_str(), buffer, bufferSize, nullptr, nullptr, written);
}

int TZip32::CheckArchive(const std::string& archiveFileName, int mode, int)
{
    ZipLibraries& zip = Libraries();
    return zip.Unpacking(zip.checkArchive)(archiveFileName.c_str(), mode);
}

// The library first, then the recorded window, in both directions.
bool TZip32::SetOwnerWindow(HWND window, void* callback)
{
    ZipLibraries& zip = Libraries();
    bool accepted = zip.setOwnerWindowEx.Get(zip.unzip32.Module())(window, callback) != 0;
    TArchiver::SetOwnerWindow(window, callback);
    return accepted;
}

bool TZip32::KillOwnerWindow(HWND window)
{
    ZipLibraries& zip = Libraries();
    bool released = zip.killOwnerWindowEx.Get(zip.unzip32.Module())(window) != 0;
    TArchiver::KillOwnerWindow(window);
    return released;
}

void TZip32::LoadPackDLL()
{
    try {
        LoadDLL();
    } catch (...) {
    }
    if (!Libraries().zip32j.Loaded() && !Libraries().lmzip32.Loaded())
        throw EArchiver(kMissingPack);
}

std::string TZip32::NameConverter(const std::string& fileName)
{
    std::string out;
    out.reserve(fileName.size());
    for (char ch : fileName) {
        if (ch == '\\')
            out += '/';
        else if (ch == '[')
            out += "[[]";
        else
            out += ch;
    }
    return out;
}

std::string TZip32::BuildUnpackCommandLine(const std::string& command, const std::string& archiveFileName,
                                           bool useResFile, const FileList& files, const std::string& dir,
                                           const TArchiverOptions& o) const
{
    TCmdOpt cmd;
    cmd.NameConverter = &TZip32::NameConverter;
    if (o.c == 1)
        cmd.Add("-o");
    if (o.n > 0 || HasOwnerWindow())
        cmd.Add("--i");
    if (o.x == 0)
        cmd.Add("-j");
    AddCommonTail(cmd, o, archiveFileName, dir, useResFile, files);
    return command + cmd.Text;
}

std::string TZip32::BuildPackCommandLine(const std::string& command, const std::string& archiveFileName,
                                         bool useResFile, const FileList& files, const std::string& dir,
                                         const TArchiverOptions& o) const
{
    TCmdOpt cmd;
    cmd.NameConverter = &TZip32::NameConverter;
    if (o.a > 0)
        cmd.Add("-S");
    if (o.a < 2)
        cmd.Add("-D");
    if (o.l > 0)
        cmd.Add("-v");
    if (o.n > 0)
        cmd.Add("-q");
    if (o.r > 0)
        cmd.Add("-r");
    if (o.n > 0)
        cmd.Add("-o");
    if (o.u > 0)
        cmd.Add("-u");
    if (o.x == 0)
        cmd.Add("-j");
    if (o.jc > 0)
        cmd.Add("-FF");
    if (o.ji > 0)
        cmd.Add("-k");
    if (o.jm != -1)
        cmd.Add("-" + std::to_string(o.jm));
    if (o.gd > 0)
        cmd.Add("-J");
    AddCommonTail(cmd, o, archiveFileName, dir, useResFile, files);
    return command + cmd.Text;
}

std::string TZip32::BuildLmzipPackCommandLine(const std::string& command, const std::string& archiveFileName,
                                              bool useResFile, const FileList& files, const TArchiverOptions& o) const
{
    TCmdOpt cmd;
    if (o.c == 1)
        cmd.Add("-o");
    if (o.x == 0)
        cmd.Add("-j");
    AddCommonTail(cmd, o, archiveFileName, "", useResFile, files);
    return command + cmd.Text;
}

int TZip32::RunUnpackCommand(HWND window, const std::string& commandLine, std::string& output)
{
    return RunCommandEntry(Libraries().UnpackCommand(), window, commandLine, output);
}

int TZip32::RunPackCommand(HWND window, const std::string& commandLine, std::string& output)
{
    return RunCommandEntry(Libraries().PackCommand(), window, commandLine, output);
}

bool CheckZipArchive(const std::string& fileName)
{
    try {
        TZip32::LoadDLL();
        const std::string fullName = ExpandFileName(fileName);
        if (!FileExists(fullName))
            return false;
        ZipLibraries& zip = Libraries();
        ArchiveHandle handle = zip.Listing(zip.openArchive)(nullptr, fullName.c_str(), OpenModeProbe);
        if (handle != 0)
            zip.Listing(zip.closeArchive)(handle);
        return handle != 0;
    } catch (...) {
        return false;
    }
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered = RegisterArchiver({atZip, &Create<TZip32>, &ProbeAs<atZip, CheckZipArchive>});
}  // namespace

}  // namespace archives
