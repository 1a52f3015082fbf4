#include "tests/archivers/support/library_driver.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace fixtures {
namespace {

using CommandFn = int (*)(HWND, LPCSTR, LPSTR, DWORD);
using OpenFn = uint32_t (*)(HWND, LPCSTR, DWORD);
using CloseFn = int (*)(uint32_t);
using FindFirstFn = int (*)(uint32_t, LPCSTR, void*);
using FindNextFn = int (*)(uint32_t, void*);
using CheckFn = BOOL (*)(LPCSTR, int);
using ExtractMemFn = int (*)(HWND, LPCSTR, LPBYTE, DWORD, void*, WORD*, DWORD*);
using OwnerFn = BOOL (*)(HWND, void*);
using KillOwnerFn = BOOL (*)(HWND);

uint32_t le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

ListedEntry decode(const unsigned char* r)
{
    ListedEntry e;
    e.size = le32(r);
    e.packedSize = le32(r + 4);
    e.crc = le32(r + 8);
    e.attributes = r[18];
    e.name = std::string(reinterpret_cast<const char*>(r + 26), strnlen(reinterpret_cast<const char*>(r + 26), 513));
    e.method = std::string(reinterpret_cast<const char*>(r + 547), strnlen(reinterpret_cast<const char*>(r + 547), 8));
    return e;
}

}  // namespace

LibraryDriver::LibraryDriver(const std::string& soPath, const std::string& prefix)
    : m_handle(dlopen(soPath.c_str(), RTLD_NOW | RTLD_LOCAL)), m_prefix(prefix)
{
}

LibraryDriver::~LibraryDriver()
{
    if (m_handle)
        dlclose(m_handle);
}

void* LibraryDriver::entry(const std::string& suffix) const
{
    return m_handle ? dlsym(m_handle, (m_prefix + suffix).c_str()) : nullptr;
}

int LibraryDriver::command(const std::string& line, std::string* output, HWND owner)
{
    auto fn = reinterpret_cast<CommandFn>(entry(""));
    if (!fn)
        return -1000;
    char buffer[4096] = {};
    int rc = fn(owner, line.c_str(), output ? buffer : nullptr, output ? sizeof buffer : 0);
    if (output)
        *output = buffer;
    return rc;
}

uint32_t LibraryDriver::openArchive(const std::string& path, DWORD mode)
{
    auto fn = reinterpret_cast<OpenFn>(entry("OpenArchive"));
    return fn ? fn(nullptr, path.c_str(), mode) : 0;
}

int LibraryDriver::closeArchive(uint32_t handle)
{
    auto fn = reinterpret_cast<CloseFn>(entry("CloseArchive"));
    return fn ? fn(handle) : -1000;
}

std::vector<ListedEntry> LibraryDriver::list(const std::string& path, const std::string& wildcard)
{
    std::vector<ListedEntry> out;
    auto first = reinterpret_cast<FindFirstFn>(entry("FindFirst"));
    auto next = reinterpret_cast<FindNextFn>(entry("FindNext"));
    uint32_t h = openArchive(path);
    if (!h || !first || !next)
        return out;
    unsigned char record[558];
    std::memset(record, 0xCC, sizeof record);
    for (int rc = first(h, wildcard.c_str(), record); rc == 0; rc = next(h, record)) {
        out.push_back(decode(record));
        if (out.size() > 100000)
            break;  // a library that never ends the list
    }
    closeArchive(h);
    return out;
}

BOOL LibraryDriver::checkArchive(const std::string& path, int mode)
{
    auto fn = reinterpret_cast<CheckFn>(entry("CheckArchive"));
    return fn ? fn(path.c_str(), mode) : FALSE;
}

int LibraryDriver::extractMem(const std::string& line, std::string& out, size_t bufferSize)
{
    auto fn = reinterpret_cast<ExtractMemFn>(entry("ExtractMem"));
    if (!fn)
        return -1000;
    std::string buffer(bufferSize, '\0');
    DWORD written = 0;
    int rc = fn(nullptr, line.c_str(), reinterpret_cast<LPBYTE>(buffer.data()), static_cast<DWORD>(bufferSize), nullptr,
                nullptr, &written);
    out = buffer.substr(0, std::min<size_t>(written, bufferSize));
    return rc;
}

BOOL LibraryDriver::setOwnerWindow(HWND window)
{
    auto fn = reinterpret_cast<OwnerFn>(entry("SetOwnerWindowEx"));
    return fn ? fn(window, nullptr) : FALSE;
}

BOOL LibraryDriver::killOwnerWindow(HWND window)
{
    auto fn = reinterpret_cast<KillOwnerFn>(entry("KillOwnerWindowEx"));
    return fn ? fn(window) : FALSE;
}

std::string windowsPath(const std::string& posixPath)
{
    return platform::toWindowsPath(posixPath);
}

}  // namespace fixtures
