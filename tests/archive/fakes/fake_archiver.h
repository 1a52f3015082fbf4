// Scriptable stand-ins for the archiver libraries, for tests.
//
// One source is built into shared libraries named as the real ones
// (libunlha32.so, libunzip32.so, libzip32j.so, liblmzip32.so, libcab32.so,
// libunarj32j.so, libtar32.so, libunrar32.so, libbga32.so), each exporting
// the entries of its prefix, and placed in scenario folders under
// FAKELIBS_DIR (${CMAKE_BINARY_DIR}/tests/fakelibs):
//
//   all                    every library, every entry
//   none                   no library at all
//   zip-only-unzip32       libunzip32.so alone
//   zip-only-lmzip32       liblmzip32.so alone
//   zip-unzip32-lmzip32    libunzip32.so and liblmzip32.so (no ZIP32J)
//   lha-missing-findfirst  libunlha32.so without UnlhaFindFirst
//   arj-only               libunarj32j.so alone (no UNLHA32)
//
// A test points the platform's library search at one folder:
//   platform::overrides().librarySearchFolders =
//       std::vector<std::string>{std::string(FAKELIBS_DIR) + "/all"};
//
// Every fake shares one state library (libfakearc.so, target fakearc_state,
// which a test links) holding the scripts and one call log for all of them,
// so the order of calls across libraries is visible. Each test runs in its
// own process (gtest_discover_tests), so state and the wrappers' caches start
// fresh.
//
// Library keys are the file stems: "unlha32", "unzip32", "zip32j", "lmzip32",
// "cab32", "unarj32j", "tar32", "unrar32", "bga32".
//
// Script keys (FakeArc_Script(library, key, value)), with their defaults:
//   "result"      result of the command entry(ies)                 "0"
//   "output"      text copied (zero-terminated, cut to fit) into the
//                 output buffer when one is given                   ""
//   "progress"    comma-separated states; during a command or ExtractMem
//                 call, each is sent to the owner window as
//                 SendMessageA(owner, RegisterWindowMessageA("wm_arcextract"),
//                 state, address of a 1024-byte zeroed record); the first
//                 non-zero answer stops the call, which then returns 1  ""
//   "open"        handle returned by OpenArchive (0 = failure)      "1"
//   "entries"     names listed by FindFirst/FindNext, "|" between them;
//                 FindFirst keeps names matching its wildcard ("*" and
//                 "*.ext", ASCII case-insensitive)                  ""
//   "findresult"  result of FindFirst/FindNext after the last name  "-1"
//   "close"       result of CloseArchive                            "0"
//   "check"       result of CheckArchive                            "1"
//   "archivetype" result of TarGetArchiveType                       "0"
//   "setowner"    result of SetOwnerWindowEx                        "1"
//   "killowner"   result of KillOwnerWindowEx                       "1"
//   "mem"         bytes ExtractMem copies into the buffer (cut to fit)  ""
//   "memresult"   result of ExtractMem                              "0"
//
// Log: one line per call, fields separated by a tab:
//   library, entry name as exported, then the arguments:
//   command entry:      owner, command line, "null"|"buf", size
//   OpenArchive:        owner, file name, mode (decimal)
//   CloseArchive:       handle
//   FindFirst:          handle, wildcard
//   FindNext:           handle
//   CheckArchive:       file name, mode
//   SetOwnerWindowEx:   window, callback
//   KillOwnerWindowEx:  window
//   ExtractMem:         owner, command line, "null"|"buf", size,
//                       time ("null"|"ptr"), attributes ("null"|"ptr"),
//                       written ("null"|"ptr")
//   GetArchiveType:     file name
//   progress answer:    "progress", state, answer   (entry field "progress")
// Window handles are written as decimal numbers ("0" for none); compare
// with fakearc::windowText(). The ZIP32J fake exports "Zip" but no "UnZip";
// the LMZIP32 fake spells its prefix "Unzip" and exports "Zip" too. Progress
// goes to the window registered with SetOwnerWindowEx, else to the
// command's owner window.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
void FakeArc_Reset();
void FakeArc_Script(const char* library, const char* key, const char* value);
// Every call since the last reset; valid until the next call into the fakes.
const char* FakeArc_Log();
// How many times the library's image was loaded (its initialiser ran) in
// this process; not cleared by FakeArc_Reset.
int FakeArc_Loads(const char* library);
}

namespace fakearc {

using Call = std::vector<std::string>;  // library, entry, arguments...

inline std::vector<Call> calls()
{
    std::vector<Call> out;
    std::istringstream in(FakeArc_Log());
    std::string line;
    while (std::getline(in, line)) {
        Call c;
        std::string::size_type start = 0;
        for (;;) {
            auto tab = line.find('\t', start);
            c.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        out.push_back(std::move(c));
    }
    return out;
}

// The calls of one entry (exported name, e.g. "UnlhaOpenArchive").
inline std::vector<Call> callsOf(const std::string& entry)
{
    std::vector<Call> out;
    for (auto& c : calls())
        if (c.size() > 1 && c[1] == entry)
            out.push_back(c);
    return out;
}

// "library:entry" for each call, in order.
inline std::vector<std::string> sequence()
{
    std::vector<std::string> out;
    for (auto& c : calls())
        out.push_back(c[0] + ":" + c[1]);
    return out;
}

inline std::string windowText(const void* window)
{
    return std::to_string(reinterpret_cast<std::uintptr_t>(window));
}

inline void script(const std::string& library, const std::string& key, const std::string& value)
{
    FakeArc_Script(library.c_str(), key.c_str(), value.c_str());
}

}  // namespace fakearc
