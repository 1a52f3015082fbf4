// One fake archiver library. Built several times with
//   FAKE_LIB        the library key ("unlha32", ...)
//   FAKE_PREFIX     the entry prefix token (Unlha, UnZip, Unzip, ...)
//   FAKE_ZIP_COMMAND     also export the pack command "Zip"
//   FAKE_NO_COMMAND      export no bare-prefix command entry
//   FAKE_EXTRACTMEM      export <prefix>ExtractMem
//   FAKE_ARCHIVETYPE     export <prefix>GetArchiveType
//   FAKE_OMIT_FINDFIRST  leave <prefix>FindFirst out
// It records every call in the shared log and answers as scripted.
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "archive/libraryapi.h"
#include "tests/archive/fakes/fakearc_internal.h"

#define FAKE_CAT2(a, b) a##b
#define FAKE_CAT(a, b) FAKE_CAT2(a, b)
#define FAKE_ENTRY(suffix) FAKE_CAT(FAKE_PREFIX, suffix)
#define FAKE_STR2(x) #x
#define FAKE_STR(x) FAKE_STR2(x)

using archives::ArchiveHandle;
using archives::EntryRecord;

namespace {

HWND g_owner = nullptr;            // registered by SetOwnerWindowEx
std::vector<std::string> g_found;  // names FindFirst selected
std::size_t g_next = 0;

std::string get(const char* key, const char* fallback)
{
    return FakeArc_Get(FAKE_LIB, key, fallback);
}
int getInt(const char* key, int fallback)
{
    std::string v = get(key, "");
    return v.empty() ? fallback : int(std::strtol(v.c_str(), nullptr, 0));
}

std::string window(HWND w)
{
    return std::to_string(reinterpret_cast<std::uintptr_t>(w));
}
const char* ptr(const void* p)
{
    return p ? "ptr" : "null";
}

void log(std::initializer_list<std::string> fields)
{
    std::string line = FAKE_LIB;
    for (const std::string& f : fields)
        line += "\t" + f;
    FakeArc_Append(line.c_str());
}

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> out;
    if (text.empty())
        return out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, sep))
        out.push_back(part);
    return out;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// "*" and "*.ext" (ASCII case-insensitive); anything else must be equal.
[[maybe_unused]] bool matches(const std::string& wild, const std::string& name)
{
    if (wild.empty() || wild == "*" || wild == "*.*")
        return true;
    std::string tail = wild[0] == '*' ? wild.substr(1) : wild;
    if (wild[0] != '*' && tail.size() != name.size())
        return false;
    if (tail.size() > name.size())
        return false;
    std::string end = name.substr(name.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (lower(tail[i]) != lower(end[i]))
            return false;
    return true;
}

// Sends the scripted progress states; true when the window asked to stop.
bool sendProgress(HWND owner)
{
    HWND target = g_owner ? g_owner : owner;
    if (!target)
        return false;
    UINT message = RegisterWindowMessageA(archives::ArcExtractMessageName);
    unsigned char info[1024] = {};
    for (const std::string& state : split(get("progress", ""), ',')) {
        LRESULT answer = SendMessageA(target, message, WPARAM(std::strtol(state.c_str(), nullptr, 0)), LPARAM(info));
        log({"progress", state, std::to_string(answer)});
        if (answer != 0)
            return true;
    }
    return false;
}

int command(const char* entry, HWND owner, LPCSTR commandLine, LPSTR output, DWORD size)
{
    log({entry, window(owner), commandLine ? commandLine : "(null)", output ? "buf" : "null", std::to_string(size)});
    if (output && size > 0) {
        std::string text = get("output", "");
        std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
        std::memcpy(output, text.data(), n);
        output[n] = 0;
    }
    if (sendProgress(owner))
        return 1;
    return getInt("result", 0);
}

bool fillNext(EntryRecord* record)
{
    if (g_next >= g_found.size())
        return false;
    record->SetFileName(g_found[g_next++].c_str());
    return true;
}

__attribute__((constructor)) void noteLoad()
{
    FakeArc_NoteLoad(FAKE_LIB);
}

}  // namespace

extern "C" {

#ifndef FAKE_NO_COMMAND
FAKEARC_EXPORT int FAKE_PREFIX(HWND owner, LPCSTR commandLine, LPSTR output, DWORD size)
{
    return command(FAKE_STR(FAKE_PREFIX), owner, commandLine, output, size);
}
#endif

#ifdef FAKE_ZIP_COMMAND
FAKEARC_EXPORT int Zip(HWND owner, LPCSTR commandLine, LPSTR output, DWORD size)
{
    return command("Zip", owner, commandLine, output, size);
}
#endif

FAKEARC_EXPORT ArchiveHandle FAKE_ENTRY(OpenArchive)(HWND owner, LPCSTR fileName, DWORD mode)
{
    log({FAKE_STR(FAKE_ENTRY(OpenArchive)), window(owner), fileName, std::to_string(mode)});
    return ArchiveHandle(getInt("open", 1));
}

FAKEARC_EXPORT int FAKE_ENTRY(CloseArchive)(ArchiveHandle archive)
{
    log({FAKE_STR(FAKE_ENTRY(CloseArchive)), std::to_string(archive)});
    return getInt("close", 0);
}

#ifndef FAKE_OMIT_FINDFIRST
FAKEARC_EXPORT int FAKE_ENTRY(FindFirst)(ArchiveHandle archive, LPCSTR wildName, EntryRecord* record)
{
    log({FAKE_STR(FAKE_ENTRY(FindFirst)), std::to_string(archive), wildName});
    g_found.clear();
    g_next = 0;
    for (const std::string& name : split(get("entries", ""), '|'))
        if (matches(wildName, name))
            g_found.push_back(name);
    return fillNext(record) ? 0 : getInt("findresult", -1);
}
#endif

FAKEARC_EXPORT int FAKE_ENTRY(FindNext)(ArchiveHandle archive, EntryRecord* record)
{
    log({FAKE_STR(FAKE_ENTRY(FindNext)), std::to_string(archive)});
    return fillNext(record) ? 0 : getInt("findresult", -1);
}

FAKEARC_EXPORT BOOL FAKE_ENTRY(CheckArchive)(LPCSTR fileName, int mode)
{
    log({FAKE_STR(FAKE_ENTRY(CheckArchive)), fileName, std::to_string(mode)});
    return getInt("check", 1);
}

FAKEARC_EXPORT BOOL FAKE_ENTRY(SetOwnerWindowEx)(HWND window_, void* callback)
{
    log({FAKE_STR(FAKE_ENTRY(SetOwnerWindowEx)), window(window_), ptr(callback)});
    g_owner = window_;
    return getInt("setowner", 1);
}

FAKEARC_EXPORT BOOL FAKE_ENTRY(KillOwnerWindowEx)(HWND window_)
{
    log({FAKE_STR(FAKE_ENTRY(KillOwnerWindowEx)), window(window_)});
    g_owner = nullptr;
    return getInt("killowner", 1);
}

#ifdef FAKE_EXTRACTMEM
FAKEARC_EXPORT int FAKE_ENTRY(ExtractMem)(HWND owner, LPCSTR commandLine, LPBYTE buffer, DWORD size, void* timeOut,
                                          WORD* attributesOut, DWORD* writtenOut)
{
    log({FAKE_STR(FAKE_ENTRY(ExtractMem)), window(owner), commandLine, ptr(buffer), std::to_string(size), ptr(timeOut),
         ptr(attributesOut), ptr(writtenOut)});
    std::string data = get("mem", "");
    std::size_t n = data.size() < size ? data.size() : size;
    if (buffer && n)
        std::memcpy(buffer, data.data(), n);
    if (writtenOut)
        *writtenOut = DWORD(n);
    if (sendProgress(owner))
        return 1;
    return getInt("memresult", 0);
}
#endif

#ifdef FAKE_ARCHIVETYPE
FAKEARC_EXPORT int FAKE_ENTRY(GetArchiveType)(LPCSTR fileName)
{
    log({FAKE_STR(FAKE_ENTRY(GetArchiveType)), fileName});
    return getInt("archivetype", 0);
}
#endif
}
