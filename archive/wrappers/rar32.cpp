#include "archive/wrappers/rar32.h"

#include "archive/wrappers/archiverunit.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

ArchiverUnit& Unit() {
    static ArchiverUnit unit("UNRAR32.DLL", "Unrar", "この機能の使用には UNRAR32.DLL が 必要です。");
    return unit;
}

}  // namespace

TRar32::TRar32() { LoadDLL(); }

void TRar32::LoadDLL() { Unit().Load(); }
void TRar32::FreeDLL() { Unit().Free(); }
void TRar32::LoadClassDLL() { LoadDLL(); }
ArchiverUnit& TRar32::Library() const { return Unit(); }

// "-e" drops the stored folders; anything but x = 0 keeps them.
int TRar32::Extract(HWND window, const std::string& archiveFileName,
                    const TArchiverOptions& options, const std::string& dir,
                    const FileList& files, bool, std::string& output) {
    CommandLine = BuildCommandLine(options.x == 0 ? "-e" : "-x", archiveFileName,
                                   options.ResFileUsage.contains(ruOnUnpack), files, dir, options);
    return RunCommand(window, CommandLine, output);
}

int TRar32::ExtractMem(HWND window, const std::string& archiveFileName,
                       const TArchiverOptions& options, const std::string& fileName,
                       LPBYTE buffer, DWORD bufferSize, DWORD* written) {
    CommandLine = BuildCommandLine("", archiveFileName, false, {fileName}, "", options);
    return Unit().ExtractMem(window, CommandLine, buffer, bufferSize, written);
}

std::string TRar32::BuildCommandLine(const std::string& command,
                                     const std::string& archiveFileName, bool useResFile,
                                     const FileList& files, const std::string& dir,
                                     const TArchiverOptions& o) const {
    TCmdOpt cmd;
    if (o.c < 1) cmd.Add("-u");
    if (o.m > 0) cmd.Add("-y");
    if (o.p > 0) cmd.Add("-s");
    cmd.Add(o.UserOptions);
    AddArchiveAndDir(cmd, archiveFileName, dir);
    AddFileList(cmd, o, useResFile, files);
    return command + cmd.Text;
}

int TRar32::RunCommand(HWND window, const std::string& commandLine, std::string& output) {
    return Unit().Command(window, commandLine, output);
}

bool CheckRarArchive(const std::string& fileName) {
    try {
        return Unit().ProbeOpen(fileName, false, true);
    } catch (...) {
        return false;
    }
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered =
    RegisterArchiver({atRar, &Create<TRar32>, &ProbeAs<atRar, CheckRarArchive>});
}  // namespace

}  // namespace archives
