// Drives one of our archiver libraries through its exported C entries, the
// way the program does: loaded by path with dlopen, entries found by
// prefix + suffix, Windows-style paths in every argument.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace fixtures {

// What FindFirst/FindNext put into the 558-byte entry record.
struct ListedEntry {
    std::string name;         // offset 26
    uint32_t size = 0;        // offset 0
    uint32_t packedSize = 0;  // offset 4
    uint32_t crc = 0;         // offset 8
    uint8_t attributes = 0;   // offset 18
    std::string method;       // offset 547
};

class LibraryDriver {
public:
    LibraryDriver(const std::string& soPath, const std::string& prefix);
    ~LibraryDriver();
    LibraryDriver(const LibraryDriver&) = delete;
    LibraryDriver& operator=(const LibraryDriver&) = delete;

    bool loaded() const { return m_handle != nullptr; }
    void* entry(const std::string& suffix) const;  // nullptr when missing

    int command(const std::string& line, std::string* output = nullptr, HWND owner = nullptr);
    uint32_t openArchive(const std::string& windowsPath, DWORD mode = 0);
    int closeArchive(uint32_t handle);
    // Every entry matching `wildcard`, through FindFirst and FindNext.
    std::vector<ListedEntry> list(const std::string& windowsPath, const std::string& wildcard);
    BOOL checkArchive(const std::string& windowsPath, int mode);
    int extractMem(const std::string& line, std::string& out, size_t bufferSize);
    BOOL setOwnerWindow(HWND window);
    BOOL killOwnerWindow(HWND window);

private:
    void* m_handle = nullptr;
    std::string m_prefix;
};

// The program's view of a POSIX path ("C:\tmp\x.zip").
std::string windowsPath(const std::string& posixPath);

}  // namespace fixtures
