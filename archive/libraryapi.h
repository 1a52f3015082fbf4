// The archiver libraries as the system sees them: the entry points it binds
// by name, their argument order and results, the entry record they fill
// while listing, and the window message they send while they work.
//
// Every entry is named by a library prefix ("Unlha", "UnZip", "Cab", ...)
// followed by one of the suffixes below; the command entry is the bare
// prefix. The libraries export them with C linkage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/win32.h"

namespace archives {

// An open archive inside a library; 0 = failure / none.
using ArchiveHandle = std::uint32_t;

// The per-entry record of FindFirst and FindNext. The caller reserves the
// whole record; the system reads only the zero-terminated file name at byte
// 26. Everything else belongs to the library.
struct EntryRecord {
    static constexpr std::size_t Size = 558;
    static constexpr std::size_t NameOffset = 26;
    static constexpr std::size_t NameCapacity = 513;

    unsigned char bytes[Size] = {};

    // The stored name, up to its first code 0 (at most NameCapacity bytes).
    std::string FileName() const
    {
        const char* p = reinterpret_cast<const char*>(bytes + NameOffset);
        return std::string(p, strnlen(p, NameCapacity));
    }
    // For libraries: stores name, cut to fit, zero-terminated.
    void SetFileName(const char* name)
    {
        std::size_t n = strnlen(name, NameCapacity - 1);
        std::memcpy(bytes + NameOffset, name, n);
        bytes[NameOffset + n] = 0;
    }
};
static_assert(sizeof(EntryRecord) == EntryRecord::Size);

// Mode of OpenArchive when a probe asks whether a file is an archive.
constexpr DWORD OpenModeProbe = 0x800002;
// Mode of the LHA library's CheckArchive when probing.
constexpr int CheckModeProbe = 16;

// The registered window message through which a library reports progress to
// the owner window: wParam = state, lParam = address of the library's
// extracting-information record. A non-zero answer asks it to stop.
constexpr const char* ArcExtractMessageName = "wm_arcextract";

extern "C" {
// Command entry (bare prefix): owner window or 0; command line; output
// buffer, null when its size is 0; buffer size. 0 = success.
typedef int (*CommandEntry)(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize);
// <prefix>OpenArchive: owner window or 0; full file name; mode. 0 = failure.
typedef ArchiveHandle (*OpenArchiveEntry)(HWND owner, LPCSTR fileName, DWORD mode);
// <prefix>CloseArchive: result ignored by the system.
typedef int (*CloseArchiveEntry)(ArchiveHandle archive);
// <prefix>FindFirst: 0 = record filled, -1 = no (more) entry, else error.
typedef int (*FindFirstEntry)(ArchiveHandle archive, LPCSTR wildName, EntryRecord* record);
// <prefix>FindNext: as FindFirst.
typedef int (*FindNextEntry)(ArchiveHandle archive, EntryRecord* record);
// <prefix>CheckArchive: non-zero = a sound archive.
typedef BOOL (*CheckArchiveEntry)(LPCSTR fileName, int mode);
// <prefix>SetOwnerWindowEx: window; callback (the system passes none).
typedef BOOL (*SetOwnerWindowExEntry)(HWND window, void* callback);
// <prefix>KillOwnerWindowEx: window.
typedef BOOL (*KillOwnerWindowExEntry)(HWND window);
// <prefix>ExtractMem: owner window; command line (no command word); buffer;
// buffer size; time stamp out (null); attributes out (null); bytes written
// out. 0 = success.
typedef int (*ExtractMemEntry)(HWND owner, LPCSTR commandLine, LPBYTE buffer, DWORD bufferSize, void* timeOut,
                               WORD* attributesOut, DWORD* writtenOut);
// TarGetArchiveType: 1 tar; 2-5 compressed tar; 6-7 bzip2 tar; else none.
typedef int (*GetArchiveTypeEntry)(LPCSTR fileName);
}

}  // namespace archives
