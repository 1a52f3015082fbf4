#include "archive/wrappers/arj32.h"

#include "archive/wrappers/library_binding.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

LibraryBinding& Binding()
{
    static LibraryBinding binding("UNARJ32J.DLL", "Unarj", "ARJ 形式書庫を扱うには UNARJ32J.DLL が 必要です。");
    return binding;
}

}  // namespace

TArj32::TArj32() : TLha32(Binding()) {}

void TArj32::LoadDLL()
{
    Binding().Load();
}
void TArj32::FreeDLL()
{
    Binding().Free();
}

// The LHA switch set goes to the ARJ library's command entry; unlike
// TLha32, the caller's response-file flag is used.
int TArj32::Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool useResFile, std::string& output)
{
    CommandLine = BuildCommandLine("x", archiveFileName, useResFile, files, dir, options);
    return Binding().Command(window, CommandLine, output);
}

// Registration runs TLha32's first (the base, then UNLHA32.DLL, which must
// be loaded already: otherwise its entry-not-found error ends the call),
// then the ARJ library's.
bool TArj32::SetOwnerWindow(HWND window, void* callback)
{
    TArchiver::SetOwnerWindow(window, callback);
    LhaLibrary().SetOwnerWindowEx(window, callback);
    return Binding().SetOwnerWindowEx(window, callback) != 0;
}

bool TArj32::KillOwnerWindow(HWND window)
{
    bool released = Binding().KillOwnerWindowEx(window) != 0;
    LhaLibrary().KillOwnerWindowEx(window);
    TArchiver::KillOwnerWindow(window);
    return released;
}

bool CheckArjArchive(const std::string& fileName)
{
    return Binding().ProbeOpen(fileName, false, true);
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered = RegisterArchiver({atArj, &Create<TArj32>, &ProbeAs<atArj, CheckArjArchive>});
}  // namespace

}  // namespace archives
