// How an archiver library is defined. Each library (libunlha32.so, ...) is a
// Reader for its format plus one LibraryDefinition and the export macros
// below, in one source file of the library:
//
//   #include "archivers/common/library.h"
//   #include "archivers/unlha32/lhareader.h"
//
//   static const arc::LibraryDefinition kUnlha = {
//       "UNLHA32.DLL", arc::Dialect::Lha,
//       [](const std::string& posixPath) -> std::unique_ptr<arc::Reader> {
//           return std::make_unique<LhaReader>();   // may look at the file
//       },
//   };
//   ARC_DEFINE_LIBRARY(Unlha, kUnlha)       // the eight common entries
//   ARC_DEFINE_EXTRACTMEM(Unlha, kUnlha)    // all but the ARJ library
//
// tar32 adds ARC_DEFINE_GETARCHIVETYPE(Tar, kTar) and sets archiveType.
//
// Everything around the Reader is done here: the archive handle table,
// FindFirst/FindNext with wildcards and the 558-byte entry record
// (entryrecord.h), the command lines of each dialect with response files,
// safe extraction (no writes outside the destination, no links followed, a
// temporary file renamed into place only after its CRC and size checked
// out), ExtractMem, CheckArchive and progress messages (extractinginfo.h).
// Result codes are those of errors.h.
//
// Build the library with tidebell_add_archiver() (archivers/common/
// CMakeLists.txt): it links archivers_common and tidebell_platform, names
// the file lib<name>.so and hides every symbol but the entries, so that the
// common code's state stays private to each library. A format's Reader gets
// a libFuzzer target with tidebell_add_reader_fuzzer() (same file), which
// tools/fuzz.sh builds and runs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archivers/common/errors.h"
#include "archivers/common/reader.h"
#include "platform/win32.h"

namespace arc {

// The command-line language the program speaks to the library.
enum class Dialect {
    Lha,  // "x"/"e" + LHA switches ("-+", -cN, -xN, ...); used by UNLHA32 and UNARJ32J
    Zip,  // "-x" + "-o" "--i" "-j"; names with "/" and "[[]" escapes
    Cab,  // "-x" + "-o" "-i" "-j"
    Tar,  // "x" + "--use-directory=N" "-z" "-B" "-f ARCHIVE" "-o FOLDER"
    Rar,  // "-x" (with folders) or "-e" (flat) + "-u" "-y" "-s"
};

// Makes the Reader for one archive file (POSIX path). It may look at the
// file to choose among several readers; nullptr means "not this library's
// format". open() is called by the common code, not by the factory.
using ReaderFactory = std::unique_ptr<Reader> (*)(const std::string& posixPath);

struct LibraryDefinition {
    const char* libraryName = "";  // "UNLHA32.DLL"; used in output texts
    Dialect dialect = Dialect::Lha;
    ReaderFactory makeReader = nullptr;
    // <Prefix>GetArchiveType (tar32 only): 1 tar, 2-5 compressed tar, 6-7
    // bzip2 tar, 0 or other: not a tar archive. Null answers 0.
    int (*archiveType)(const std::string& posixPath) = nullptr;
    // <Prefix>CheckArchive in quick mode (mode bit 16): true when the file
    // looks like this format. Null: the Reader's open() decides.
    bool (*quickCheck)(const std::string& posixPath) = nullptr;
};

// CheckArchive mode bit asking only whether the file is an archive of the
// format (the probe of the LHA wrapper). Any other mode decodes every entry
// and checks its CRC.
constexpr int CheckModeQuick = 16;

// The implementations behind the exported entries. `lib` selects the format;
// the arguments and results are those of the entries (archive/libraryapi.h
// describes them from the program's side).
namespace entries {
int command(const LibraryDefinition& lib, HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize);
uint32_t openArchive(const LibraryDefinition& lib, HWND owner, LPCSTR fileName, DWORD mode);
int closeArchive(const LibraryDefinition& lib, uint32_t archive);
int findFirst(const LibraryDefinition& lib, uint32_t archive, LPCSTR wildName, void* record);
int findNext(const LibraryDefinition& lib, uint32_t archive, void* record);
BOOL checkArchive(const LibraryDefinition& lib, LPCSTR fileName, int mode);
BOOL setOwnerWindowEx(const LibraryDefinition& lib, HWND window, void* callback);
BOOL killOwnerWindowEx(const LibraryDefinition& lib, HWND window);
int extractMem(const LibraryDefinition& lib, HWND owner, LPCSTR commandLine, LPBYTE buffer, DWORD bufferSize,
               void* timeOut, WORD* attributesOut, DWORD* writtenOut);
int getArchiveType(const LibraryDefinition& lib, LPCSTR fileName);
}  // namespace entries

}  // namespace arc

#define ARC_EXPORT extern "C" __attribute__((visibility("default")))

// The eight entries every library has: <Prefix> (command), OpenArchive,
// CloseArchive, FindFirst, FindNext, CheckArchive, SetOwnerWindowEx,
// KillOwnerWindowEx.
#define ARC_DEFINE_LIBRARY(Prefix, definition)                                                                         \
    ARC_EXPORT int Prefix(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize)                              \
    {                                                                                                                  \
        return ::arc::entries::command(definition, owner, commandLine, output, outputSize);                            \
    }                                                                                                                  \
    ARC_EXPORT uint32_t Prefix##OpenArchive(HWND owner, LPCSTR fileName, DWORD mode)                                   \
    {                                                                                                                  \
        return ::arc::entries::openArchive(definition, owner, fileName, mode);                                         \
    }                                                                                                                  \
    ARC_EXPORT int Prefix##CloseArchive(uint32_t archive)                                                              \
    {                                                                                                                  \
        return ::arc::entries::closeArchive(definition, archive);                                                      \
    }                                                                                                                  \
    ARC_EXPORT int Prefix##FindFirst(uint32_t archive, LPCSTR wildName, void* record)                                  \
    {                                                                                                                  \
        return ::arc::entries::findFirst(definition, archive, wildName, record);                                       \
    }                                                                                                                  \
    ARC_EXPORT int Prefix##FindNext(uint32_t archive, void* record)                                                    \
    {                                                                                                                  \
        return ::arc::entries::findNext(definition, archive, record);                                                  \
    }                                                                                                                  \
    ARC_EXPORT BOOL Prefix##CheckArchive(LPCSTR fileName, int mode)                                                    \
    {                                                                                                                  \
        return ::arc::entries::checkArchive(definition, fileName, mode);                                               \
    }                                                                                                                  \
    ARC_EXPORT BOOL Prefix##SetOwnerWindowEx(HWND window, void* callback)                                              \
    {                                                                                                                  \
        return ::arc::entries::setOwnerWindowEx(definition, window, callback);                                         \
    }                                                                                                                  \
    ARC_EXPORT BOOL Prefix##KillOwnerWindowEx(HWND window)                                                             \
    {                                                                                                                  \
        return ::arc::entries::killOwnerWindowEx(definition, window);                                                  \
    }

// <Prefix>ExtractMem: owner window; command line naming one file (no command
// word, the dialect's switches, the archive, the entry); buffer; size; time
// out (null, or a DWORD receiving the DOS date in the high and the DOS time
// in the low word); attributes out (null, or the DOS attributes); bytes
// written out. An entry larger than the buffer fills it and answers
// ArcBufferTooSmall.
#define ARC_DEFINE_EXTRACTMEM(Prefix, definition)                                                                      \
    ARC_EXPORT int Prefix##ExtractMem(HWND owner, LPCSTR commandLine, LPBYTE buffer, DWORD bufferSize, void* timeOut,  \
                                      WORD* attributesOut, DWORD* writtenOut)                                          \
    {                                                                                                                  \
        return ::arc::entries::extractMem(definition, owner, commandLine, buffer, bufferSize, timeOut, attributesOut,  \
                                          writtenOut);                                                                 \
    }

// <Prefix>GetArchiveType: file name (Windows-style).
#define ARC_DEFINE_GETARCHIVETYPE(Prefix, definition)                                                                  \
    ARC_EXPORT int Prefix##GetArchiveType(LPCSTR fileName)                                                             \
    {                                                                                                                  \
        return ::arc::entries::getArchiveType(definition, fileName);                                                   \
    }
