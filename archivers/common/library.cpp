// Entries of every archiver library (skeleton: answers "not supported").
#include "archivers/common/library.h"

namespace arc::entries {

int command(const LibraryDefinition&, HWND, LPCSTR, LPSTR output, DWORD outputSize) {
    if (output && outputSize) output[0] = 0;
    return ArcNotSupported;
}
uint32_t openArchive(const LibraryDefinition&, HWND, LPCSTR, DWORD) { return 0; }
int closeArchive(const LibraryDefinition&, uint32_t) { return ArcBadHandle; }
int findFirst(const LibraryDefinition&, uint32_t, LPCSTR, void*) { return ArcBadHandle; }
int findNext(const LibraryDefinition&, uint32_t, void*) { return ArcBadHandle; }
BOOL checkArchive(const LibraryDefinition&, LPCSTR, int) { return FALSE; }
BOOL setOwnerWindowEx(const LibraryDefinition&, HWND, void*) { return FALSE; }
BOOL killOwnerWindowEx(const LibraryDefinition&, HWND) { return FALSE; }
int extractMem(const LibraryDefinition&, HWND, LPCSTR, LPBYTE, DWORD, void*, WORD*, DWORD* written) {
    if (written) *written = 0;
    return ArcNotSupported;
}
int getArchiveType(const LibraryDefinition&, LPCSTR) { return 0; }

}  // namespace arc::entries
