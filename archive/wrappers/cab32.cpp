#include "archive/wrappers/cab32.h"

#include "archive/wrappers/library_binding.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

LibraryBinding& Binding()
{
    static LibraryBinding binding("CAB32.DLL", "Cab", "CAB 形式書庫を扱うには CAB32.DLL が 必要です。");
    return binding;
}

}  // namespace

TCab32::TCab32() : TSingleLibraryArchiver(Binding()) {}

void TCab32::LoadDLL()
{
    Binding().Load();
}
void TCab32::FreeDLL()
{
    Binding().Free();
}

int TCab32::Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "-x", ExpandFileName(archiveFileName), options.ResFileUsage.contains(ruOnUnpack), files,
                       dir, options, output);
}

int TCab32::Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                 const std::string& dir, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "-a", archiveFileName, options.ResFileUsage.contains(ruOnPack), files, dir, options,
                       output);
}

int TCab32::MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, std::string& output)
{
    return SendCommand(window, "-f", archiveFileName, false, {}, dir, options, output);
}

int TCab32::ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                       const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written)
{
    return SendExtractMem(window, archiveFileName, options, fileName, buffer, bufferSize, written);
}

void TCab32::AddSwitches(TCmdOpt& cmd, const TArchiverOptions& o) const
{
    if (o.c == 1)
        cmd.Add("-o");
    if (o.n > 0 || HasOwnerWindow())
        cmd.Add("-i");
    if (o.r > 0)
        cmd.Add("-r");
    if (o.x == 0)
        cmd.Add("-j");
    if (o.ji > 0)
        cmd.Add("-q");
}

bool CheckCabArchive(const std::string& fileName)
{
    return Binding().ProbeOpen(fileName, false, true);
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered = RegisterArchiver({atCab, &Create<TCab32>, &ProbeAs<atCab, CheckCabArchive>});
}  // namespace

}  // namespace archives
