#include "archive/wrappers/arj32.h"

#include "archive/wrappers/archiverunit.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

ArchiverUnit& Unit() {
    static ArchiverUnit unit("UNARJ32J.DLL", "Unarj",
                             "ARJ 形式書庫を扱うには UNARJ32J.DLL が 必要です。");
    return unit;
}

}  // namespace

TArj32::TArj32() : TLha32(NoLoad{}) { LoadDLL(); }

void TArj32::LoadDLL() { Unit().Load(); }
void TArj32::FreeDLL() { Unit().Free(); }
void TArj32::LoadClassDLL() { LoadDLL(); }
ArchiverUnit& TArj32::Library() const { return Unit(); }

// The LHA switch set goes to the ARJ library's command entry; unlike
// TLha32, the caller's response-file flag is used.
int TArj32::Extract(HWND window, const std::string& archiveFileName,
                    const TArchiverOptions& options, const std::string& dir,
                    const FileList& files, bool useResFile, std::string& output) {
    CommandLine = BuildCommandLine("x", archiveFileName, useResFile, files, dir, options);
    return Unit().Command(window, CommandLine, output);
}

// Registration runs TLha32's first (the base, then UNLHA32.DLL, which must
// be loaded already: otherwise its entry-not-found error ends the call),
// then the ARJ library's.
bool TArj32::SetOwnerWindow(HWND window, void* callback) {
    TArchiver::SetOwnerWindow(window, callback);
    LhaLibrary().SetOwnerWindowEx(window, callback);
    return Unit().SetOwnerWindowEx(window, callback) != 0;
}

bool TArj32::KillOwnerWindow(HWND window) {
    bool released = Unit().KillOwnerWindowEx(window) != 0;
    LhaLibrary().KillOwnerWindowEx(window);
    TArchiver::KillOwnerWindow(window);
    return released;
}

bool CheckArjArchive(const std::string& fileName) {
    try {
        return Unit().ProbeOpen(fileName, false, true);
    } catch (...) {
        return false;
    }
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered =
    RegisterArchiver({atArj, &Create<TArj32>, &ProbeAs<atArj, CheckArjArchive>});
}  // namespace

}  // namespace archives
