#include "archive/wrappers/rar32.h"

#include "archive/wrappers/library_binding.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

LibraryBinding& Binding()
{
    static LibraryBinding binding("UNRAR32.DLL", "Unrar", "この機能の使用には UNRAR32.DLL が 必要です。");
    return binding;
}

}  // namespace

TRar32::TRar32() : TSingleLibraryArchiver(Binding()) {}

void TRar32::LoadDLL()
{
    Binding().Load();
}
void TRar32::FreeDLL()
{
    Binding().Free();
}

// "-e" drops the stored folders; anything but x = 0 keeps them.
int TRar32::Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, options.x == 0 ? "-e" : "-x", archiveFileName, options.ResFileUsage.contains(ruOnUnpack),
                       files, dir, options, output);
}

int TRar32::ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                       const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written)
{
    return SendExtractMem(window, archiveFileName, options, fileName, buffer, bufferSize, written);
}

void TRar32::AddSwitches(TCmdOpt& cmd, const TArchiverOptions& o) const
{
    if (o.c < 1)
        cmd.Add("-u");
    if (o.m > 0)
        cmd.Add("-y");
    if (o.p > 0)
        cmd.Add("-s");
}

bool CheckRarArchive(const std::string& fileName)
{
    return Binding().ProbeOpen(fileName, false, true);
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered = RegisterArchiver({atRar, &Create<TRar32>, &ProbeAs<atRar, CheckRarArchive>});
}  // namespace

}  // namespace archives
