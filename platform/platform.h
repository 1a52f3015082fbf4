// C++ side of the platform layer: path mapping, process arguments, error
// texts and the settings a test can override (where the registry file lives,
// which folders the library search uses, which mount table is read).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32.h"

namespace platform {

// Windows-style path ("C:\a\b", "\a", "/a", "D:x") to the Linux path it
// names. Relative paths are taken against the current directory. Names
// compare without case, as on Windows: a part that does not exist as spelled
// takes the spelling of an entry that differs only in case. Empty when the
// drive letter is not assigned.
std::string toPosixPath(std::string_view windowsPath);
// Linux path to the Windows-style path of the drive it lies on.
std::string toWindowsPath(std::string_view posixPath);

// Full Windows-style form of a path ("D:\a\b"), expanded against the current
// directory and drive with "." and ".." resolved; empty for "" and UNC names.
std::string fullWindowsPath(std::string_view path);

// True when the last whole character of text (a double-byte character
// counting as one) is the single byte c, in the given code page (CP_ACP is
// UTF-8). In code page 932 "表" ends in the byte of "\", yet its last
// character is not "\".
bool lastCharIs(std::string_view text, char c, UINT codePage = CP_ACP);

// The folder that GetTempPathA uses when $TMPDIR is not set: base + "/tidebell-<uid>",
// created with mode 0700. Refuses (empty result, last error 5) a folder that
// is a symbolic link, not a folder, or owned by another user.
std::string privateTempFolder(const std::string& base = "/tmp");
// The folder GetTempPathA uses without $TMPDIR: the private folder below
// systemTemp, or, when that one is refused (planted by another user), the
// same below $XDG_RUNTIME_DIR, then below the user's cache folder
// ($XDG_CACHE_HOME or ~/.cache). Empty (last error 5) when all are refused.
std::string userTempFolder(const std::string& systemTemp = "/tmp");

// Whether a file name matches a Windows file pattern: "*" and "?" (one
// character), letters without case; "*.*" matches every name, and a name
// without a dot matches as if it ended in one.
bool matchesFilePattern(std::string_view pattern, std::string_view name);

// Names the local time zone once for the whole process (TZ=":/etc/localtime"
// when TZ is unset, the zone the C library uses then anyway). Without it,
// every mktime() looks at /etc/localtime again: libarchive makes several
// calls per ZIP entry, which costs more than the rest of listing or
// extracting one entry of a large archive. Call it at start-up, before any
// thread exists.
void pinLocalTimeZone();

// Process arguments, as the entry point received them (argument 0 is the
// program). paramStr(i) has its surrounding quotes removed.
void setArguments(int argc, char** argv);
int paramCount();
std::string paramStr(int index);

// The platform's message text for an error code, in Japanese as a Japanese
// desktop shows it.
std::string systemErrorMessage(DWORD code);

// Test hooks: each returns the previous value; an empty optional restores the
// normal behaviour.
struct Overrides {
    std::optional<std::string> registryFile;  // POSIX path of the per-user registry file
    std::optional<std::vector<std::string>>
        librarySearchFolders;                   // POSIX folders searched before the loader's own search
    std::optional<std::string> mountTable;      // POSIX path read instead of /proc/self/mounts
    std::optional<std::string> tempFolder;      // POSIX folder used by GetTempPathA
    std::optional<std::string> executablePath;  // POSIX path reported as the program
    // Whether registry changes are mirrored onto the desktop (file manager
    // verb, sound theme). Unset: only for the real per-user registry, so a
    // test with its own registry file never touches the user's desktop.
    std::optional<bool> desktopMirror;
    // GSettings schemas that may hold a desktop's sound theme name (GNOME's,
    // MATE's and Cinnamon's).
    std::optional<std::vector<std::string>> soundSettingsSchemas;
};
Overrides& overrides();

}  // namespace platform
