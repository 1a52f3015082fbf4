// Small steps the wrapper units share.
#pragma once

#include <memory>
#include <string>

#include "archive/archiverregistry.h"
#include "archive/libraryapi.h"

namespace archives {

// The full path of a file name (relative names against the current folder).
std::string ExpandFileName(const std::string& fileName);
bool FileExists(const std::string& fileName);
// The name with its extension (from the last "." after the last "\" or ":")
// replaced by ext, or ext appended when it has none.
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);
// The part after the last "\" or ":".
std::string ExtractFileName(const std::string& fileName);

// Calls a command entry with the output buffer's storage and length; an
// empty output goes as a null buffer of size 0.
int RunCommandEntry(CommandEntry entry, HWND window, const std::string& commandLine, std::string& output);

// Writes a self-extracting archive: the stub file (found with SearchPathA;
// EArchiver(missingStubMessage) when absent) followed by the whole archive,
// into the archive's name with the extension ".EXE", placed in dir when dir
// is not empty. Returns the output file name. Refuses (EArchiver) when the
// output would be the archive itself; file errors throw EFileError.
std::string WriteSelfExtractor(const char* stubName, const char* missingStubMessage, const std::string& archiveFileName,
                               const std::string& dir);

// The factory and probe a wrapper unit registers with the core.
template <class Wrapper> std::unique_ptr<TArchiver> Create()
{
    return std::make_unique<Wrapper>();
}
template <TArchiverType type, bool (*check)(const std::string&)> TArchiverType ProbeAs(const std::string& fileName)
{
    return check(fileName) ? type : atNone;
}

}  // namespace archives
