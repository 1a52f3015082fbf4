// Helpers shared by the implementation files of the platform layer; not part
// of its interface.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace platform::detail {

// One code point, as UTF-8.
void appendUtf8(std::string& out, char32_t c);

// Windows error code for an errno value. pathParentMissing distinguishes
// "file not found" (2) from "path not found" (3) for ENOENT.
DWORD errorFromErrno(int error, bool parentMissing = false);
// Sets the last error from errno for an operation on the given POSIX path.
void setLastErrorFromErrno(int error, const std::string& posixPath);

// Copies text into a caller's buffer the way the ...A functions do: at most
// size-1 bytes and a NUL. Returns the number of bytes copied (without NUL).
DWORD copyOut(std::string_view text, LPSTR buffer, DWORD size);
// Copies text when it fits (answers its length); otherwise answers the size
// needed including the NUL and copies nothing, as the path functions do.
DWORD copyPathOut(std::string_view text, LPSTR buffer, DWORD size);

char upperAscii(char c);
bool equalsNoCase(std::string_view a, std::string_view b);
// Byte order of the upper-cased texts, as the registry and NTFS order names.
int compareNoCase(std::string_view a, std::string_view b);
std::string toLowerAscii(std::string_view text);

bool isSeparator(char c);
// A Linux file name that no Windows path can name: one holding "\" (a
// separator there) or ending in "." or " " (dropped from Windows path parts).
bool unaddressableName(std::string_view name);
// The longest Windows path there is (without its NUL).
constexpr size_t maxWindowsPath = 32767;
// POSIX helpers.
std::string posixParent(const std::string& path);  // "/a/b" -> "/a", "/a" -> "/"
std::string posixJoin(const std::string& folder, std::string_view name);
bool posixIsDirectory(const std::string& path);
bool posixExists(const std::string& path);
// The name in folder that equals name without case (the exact name first);
// empty when none.
std::string findNameNoCase(const std::string& folder, std::string_view name);
// The program's own file (POSIX), honouring the test override.
std::string executablePosixPath();
// Whether a file counts as read-only: no write permission for the class
// (owner, group, others) we belong to, whoever we are - the read-only
// attribute of Windows binds administrators too.
bool posixReadOnly(unsigned mode, unsigned uid, unsigned gid);
// Creates the folder and its parents with the given mode; true when it exists
// afterwards.
bool makeFolders(const std::string& path, unsigned mode);

}  // namespace platform::detail
