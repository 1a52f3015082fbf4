#include "archive/wrappers/bga32.h"

#include "archive/wrappers/library_binding.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

LibraryBinding& Binding()
{
    static LibraryBinding binding("BGA32.DLL", "Bga", "Bga 形式書庫を扱うには BGA32.DLL が 必要です。");
    return binding;
}

}  // namespace

TBGA32::TBGA32() : TSingleLibraryArchiver(Binding()) {}

void TBGA32::LoadDLL()
{
    Binding().Load();
}
void TBGA32::FreeDLL()
{
    Binding().Free();
}

int TBGA32::Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool useResFile, std::string& output)
{
    return SendCommand(window, "x", archiveFileName, useResFile, files, dir, options, output);
}

int TBGA32::Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                 const std::string& dir, const FileList& files, bool useResFile, std::string& output)
{
    return SendCommand(window, "a", archiveFileName, useResFile, files, dir, options, output);
}

int TBGA32::RemoveItems(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                        const std::string&, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "d", archiveFileName, options.ResFileUsage.contains(ruOnRemoveItem), files, "", options,
                       output);
}

int TBGA32::MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, std::string& output)
{
    return SendCommand(window, "s", archiveFileName, options.ResFileUsage.contains(ruOnRemoveItem), {}, dir, options,
                       output);
}

void TBGA32::AddSwitches(TCmdOpt& cmd, const TArchiverOptions& o) const
{
    cmd.AddBool("a", o.a > 0);
    cmd.Add(o.c > 0 ? "-o" : "-n");
    cmd.AddBool("i", o.n > 0 || HasOwnerWindow());
    cmd.AddBool("r", o.r > 0);
    cmd.AddBool("j", o.x < 1);
    cmd.AddNum("l", o.jm);
}

bool CheckBgaArchive(const std::string& fileName)
{
    return Binding().ProbeOpen(fileName, true, true);
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered = RegisterArchiver({atBga, &Create<TBGA32>, &ProbeAs<atBga, CheckBgaArchive>});
}  // namespace

}  // namespace archives
