#include "archive/wrappers/bga32.h"

#include "archive/wrappers/archiverunit.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

ArchiverUnit& Unit() {
    static ArchiverUnit unit("BGA32.DLL", "Bga", "Bga 形式書庫を扱うには BGA32.DLL が 必要です。");
    return unit;
}

}  // namespace

TBGA32::TBGA32() { LoadDLL(); }

void TBGA32::LoadDLL() { Unit().Load(); }
void TBGA32::FreeDLL() { Unit().Free(); }
void TBGA32::LoadClassDLL() { LoadDLL(); }
ArchiverUnit& TBGA32::Library() const { return Unit(); }

int TBGA32::Extract(HWND window, const std::string& archiveFileName,
                    const TArchiverOptions& options, const std::string& dir,
                    const FileList& files, bool useResFile, std::string& output) {
    CommandLine = BuildCommandLine("x", archiveFileName, useResFile, files, dir, options);
    return RunCommand(window, CommandLine, output);
}

int TBGA32::Pack(HWND window, const std::string& archiveFileName,
                 const TArchiverOptions& options, const std::string& dir, const FileList& files,
                 bool useResFile, std::string& output) {
    CommandLine = BuildCommandLine("a", archiveFileName, useResFile, files, dir, options);
    return RunCommand(window, CommandLine, output);
}

int TBGA32::RemoveItems(HWND window, const std::string& archiveFileName,
                        const TArchiverOptions& options, const std::string&,
                        const FileList& files, bool, std::string& output) {
    CommandLine = BuildCommandLine("d", archiveFileName,
                                   options.ResFileUsage.contains(ruOnRemoveItem), files, "",
                                   options);
    return RunCommand(window, CommandLine, output);
}

int TBGA32::MakeSFX(HWND window, const std::string& archiveFileName,
                    const TArchiverOptions& options, const std::string& dir,
                    std::string& output) {
    CommandLine = BuildCommandLine("s", archiveFileName,
                                   options.ResFileUsage.contains(ruOnRemoveItem), {}, dir,
                                   options);
    return RunCommand(window, CommandLine, output);
}

std::string TBGA32::BuildCommandLine(const std::string& command,
                                     const std::string& archiveFileName, bool useResFile,
                                     const FileList& files, const std::string& dir,
                                     const TArchiverOptions& o) const {
    TCmdOpt cmd;
    cmd.AddBool("a", o.a > 0);
    cmd.Add(o.c > 0 ? "-o" : "-n");
    cmd.AddBool("i", o.n > 0 || HasOwnerWindow());
    cmd.AddBool("r", o.r > 0);
    cmd.AddBool("j", o.x < 1);
    cmd.AddNum("l", o.jm);
    cmd.Add(o.UserOptions);
    AddArchiveAndDir(cmd, archiveFileName, dir);
    AddFileList(cmd, o, useResFile, files);
    return command + cmd.Text;
}

int TBGA32::RunCommand(HWND window, const std::string& commandLine, std::string& output) {
    return Unit().Command(window, commandLine, output);
}

bool CheckBgaArchive(const std::string& fileName) {
    try {
        return Unit().ProbeOpen(fileName, true, true);
    } catch (...) {
        return false;
    }
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered =
    RegisterArchiver({atBga, &Create<TBGA32>, &ProbeAs<atBga, CheckBgaArchive>});
}  // namespace

}  // namespace archives
