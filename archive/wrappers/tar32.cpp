#include "archive/wrappers/tar32.h"

#include "archive/wrappers/library_binding.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

LibraryBinding& Binding()
{
    static LibraryBinding binding("tar32.dll", "Tar", "tar/tgz/taz/bz2 形式書庫を扱うには tar32.dll が 必要です。");
    return binding;
}

}  // namespace

TTar32::TTar32() : TSingleLibraryArchiver(Binding()) {}

void TTar32::LoadDLL()
{
    Binding().Load();
}
void TTar32::FreeDLL()
{
    Binding().Free();
}

int TTar32::Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "x", archiveFileName, options.ResFileUsage.contains(ruOnUnpack), files, dir, options,
                       output);
}

int TTar32::Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                 const std::string& dir, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "c", archiveFileName, options.ResFileUsage.contains(ruOnPack), files, dir, options,
                       output);
}

// The self-extractor is made here, without the library; CommandLine stays.
int TTar32::MakeSFX(HWND, const std::string& archiveFileName, const TArchiverOptions&, const std::string& dir,
                    std::string&)
{
    if (dynamic_cast<const TBZ232*>(this))
        throw EArchiver("BZ2 形式書庫は自己解凍形式にできません。");
    WriteSelfExtractor("kmtarsef.exe", "tar/tgz 書庫からの自己解凍書庫の作成には kmtarsef.exe が必要です。",
                       archiveFileName, dir);
    return 0;
}

int TTar32::ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                       const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written)
{
    return SendExtractMem(window, archiveFileName, options, fileName, buffer, bufferSize, written);
}

void TTar32::AddSwitches(TCmdOpt& cmd, const TArchiverOptions& o) const
{
    if (o.a > 0)
        cmd.Add("-AH");
    if (o.a == 0)
        cmd.Add("-I");
    if (!HasOwnerWindow() && o.n > 0)
        cmd.Add("--display-dialog=0");
    if (o.o > 0)
        cmd.Add("-g");
    cmd.AddNum("-check-all-path=", o.p);
    cmd.AddNum("-use-directory=", o.x);
    if (dynamic_cast<const TTgz32*>(this)) {
        if (o.jm > 0)
            cmd.AddNum("z", o.jm);
        else
            cmd.Add("-z");
    } else if (dynamic_cast<const TBZ232*>(this)) {
        if (o.jm > 0)
            cmd.AddNum("B", o.jm);
        else
            cmd.Add("-B");
    }
}

std::string TTar32::BuildCommandLine(const std::string& command, const std::string& archiveFileName, bool useResFile,
                                     const FileList& files, const std::string& dir, const TArchiverOptions& o) const
{
    TCmdOpt cmd;
    cmd.SpaceBeforeValue = true;
    AddSwitches(cmd, o);
    cmd.Add(o.UserOptions);
    if (!archiveFileName.empty())
        cmd.AddStr("f", archiveFileName);
    if (!dir.empty())
        cmd.AddDir("o", dir);
    AddFileList(cmd, o, useResFile, files);
    return command + cmd.Text;
}

int TTar32::RunCommand(HWND window, const std::string& commandLine, std::string& output)
{
    int result = TSingleLibraryArchiver::RunCommand(window, commandLine, output);
    if (window)
        SetForegroundWindow(window);
    return result;
}

TArchiverType GetTarArchiveKind(const std::string& fileName)
{
    try {
        LibraryBinding& library = Binding();
        library.Load();
        int type = library.GetArchiveType(fileName);
        if (type == 1)
            return atTar;
        if (type >= 2 && type <= 5)
            return atTgz;
        if (type == 6 || type == 7)
            return atBZ2;
        return atNone;
    } catch (...) {
        return atNone;
    }
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered = RegisterArchiver({atTar, &Create<TTar32>, &GetTarArchiveKind}) &&
                                         RegisterArchiver({atTgz, &Create<TTgz32>, nullptr}) &&
                                         RegisterArchiver({atBZ2, &Create<TBZ232>, nullptr});
}  // namespace

}  // namespace archives
