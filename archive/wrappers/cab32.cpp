#include "archive/wrappers/cab32.h"

#include "archive/wrappers/archiverunit.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

ArchiverUnit& Unit() {
    static ArchiverUnit unit("CAB32.DLL", "Cab", "CAB 形式書庫を扱うには CAB32.DLL が 必要です。");
    return unit;
}

}  // namespace

TCab32::TCab32() { LoadDLL(); }

void TCab32::LoadDLL() { Unit().Load(); }
void TCab32::FreeDLL() { Unit().Free(); }
void TCab32::LoadClassDLL() { LoadDLL(); }
ArchiverUnit& TCab32::Library() const { return Unit(); }

int TCab32::Extract(HWND window, const std::string& archiveFileName,
                    const TArchiverOptions& options, const std::string& dir,
                    const FileList& files, bool, std::string& output) {
    CommandLine = BuildCommandLine("-x", ExpandFileName(archiveFileName),
                                   options.ResFileUsage.contains(ruOnUnpack), files, dir, options);
    return RunCommand(window, CommandLine, output);
}

int TCab32::Pack(HWND window, const std::string& archiveFileName,
                 const TArchiverOptions& options, const std::string& dir, const FileList& files,
                 bool, std::string& output) {
    CommandLine = BuildCommandLine("-a", archiveFileName, options.ResFileUsage.contains(ruOnPack),
                                   files, dir, options);
    return RunCommand(window, CommandLine, output);
}

int TCab32::MakeSFX(HWND window, const std::string& archiveFileName,
                    const TArchiverOptions& options, const std::string& dir,
                    std::string& output) {
    CommandLine = BuildCommandLine("-f", archiveFileName, false, {}, dir, options);
    return RunCommand(window, CommandLine, output);
}

int TCab32::ExtractMem(HWND window, const std::string& archiveFileName,
                       const TArchiverOptions& options, const std::string& fileName,
                       LPBYTE buffer, DWORD bufferSize, DWORD* written) {
    CommandLine = BuildCommandLine("", archiveFileName, false, {fileName}, "", options);
    return Unit().ExtractMem(window, CommandLine, buffer, bufferSize, written);
}

std::string TCab32::BuildCommandLine(const std::string& command,
                                     const std::string& archiveFileName, bool useResFile,
                                     const FileList& files, const std::string& dir,
                                     const TArchiverOptions& o) const {
    TCmdOpt cmd;
    if (o.c == 1) cmd.Add("-o");
    if (o.n > 0 || HasOwnerWindow()) cmd.Add("-i");
    if (o.r > 0) cmd.Add("-r");
    if (o.x == 0) cmd.Add("-j");
    if (o.ji > 0) cmd.Add("-q");
    cmd.Add(o.UserOptions);
    AddArchiveAndDir(cmd, archiveFileName, dir);
    AddFileList(cmd, o, useResFile, files);
    return command + cmd.Text;
}

int TCab32::RunCommand(HWND window, const std::string& commandLine, std::string& output) {
    return Unit().Command(window, commandLine, output);
}

bool CheckCabArchive(const std::string& fileName) {
    try {
        return Unit().ProbeOpen(fileName, false, true);
    } catch (...) {
        return false;
    }
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered =
    RegisterArchiver({atCab, &Create<TCab32>, &ProbeAs<atCab, CheckCabArchive>});
}  // namespace

}  // namespace archives
