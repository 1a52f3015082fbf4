// Windows-style paths over the Linux file system: drive letters, the current
// directory, full-path expansion, drive types and volume labels.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/drive_map.h"
#include "platform/internal.h"
#include "platform/paths.h"
#include "platform/platform.h"

namespace platform {
namespace {

using detail::isSeparator;

std::vector<std::string> splitPosix(std::string_view path)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string_view::npos)
            j = path.size();
        std::string_view part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        i = j + 1;
    }
    return parts;
}

// The current directory; empty (last error set) when the system cannot say:
// a folder deeper than PATH_MAX, or one that was removed.
std::string posixCurrentDirectory()
{
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer)) {
        int e = errno;
        SetLastError(e == ERANGE || e == ENAMETOOLONG ? ERROR_FILENAME_EXCED_RANGE : detail::errorFromErrno(e, true));
        return {};
    }
    return buffer;
}

// A lexically normalised absolute POSIX path; empty when a relative path
// meets an unknown current directory.
std::string absolutePosix(std::string_view path)
{
    std::string full;
    if (!path.empty() && path[0] == '/') {
        full = path;
    } else {
        std::string cwd = posixCurrentDirectory();
        if (cwd.empty())
            return {};
        full = cwd + "/" + std::string(path);
    }
    std::string out;
    for (const auto& part : splitPosix(full))
        out += "/" + part;
    return out.empty() ? "/" : out;
}

// Whether the path can stand as a Windows path that leads back to the same
// file; sets the last error when not.
bool representable(const WindowsPath& w)
{
    for (const auto& part : w.parts) {
        if (detail::unaddressableName(part)) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
    }
    if (w.text().size() > detail::maxWindowsPath) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

// A path part as Windows reads it: trailing dots and blanks are dropped
// ("a. ." is "a"); "." and ".." stay for the caller.
std::string_view windowsPart(std::string_view part)
{
    if (part == "." || part == "..")
        return part;
    while (!part.empty() && (part.back() == '.' || part.back() == ' '))
        part.remove_suffix(1);
    return part;
}

}  // namespace

std::string WindowsPath::text() const
{
    std::string out;
    out += drive;
    out += ":\\";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += '\\';
        out += parts[i];
    }
    if (trailingSeparator && !parts.empty())
        out += '\\';
    return out;
}

std::optional<WindowsPath> WindowsPath::current()
{
    std::string posix = posixCurrentDirectory();
    if (posix.empty())
        return std::nullopt;
    Drive d = DriveMap::driveOfPosixPath(posix);
    WindowsPath w;
    w.drive = d.letter ? d.letter : 'C';
    std::string rest = d.letter ? posix.substr(d.root == "/" ? 0 : d.root.size()) : posix;
    w.parts = splitPosix(rest);
    if (!representable(w))
        return std::nullopt;
    return w;
}

std::optional<WindowsPath> WindowsPath::absolute(std::string_view path)
{
    if (path.empty())
        return std::nullopt;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]))
        return std::nullopt;  // network (UNC) names have no drive here
    // Only a path that needs the current directory asks for it (and fails
    // without one).
    std::optional<WindowsPath> cur;
    const bool fullWithDrive = path.size() >= 3 && path[1] == ':' && isSeparator(path[2]);
    if (!fullWithDrive)
        cur = current();
    WindowsPath w;
    std::string_view rest = path;
    bool rooted = false;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        w.drive = detail::upperAscii(path[0]);
        rest = path.substr(2);
        rooted = !rest.empty() && isSeparator(rest[0]);
        // A drive-relative path: relative to the current directory on the
        // current drive, to the root on any other (one directory per process).
        if (!rooted && !cur)
            return std::nullopt;
        if (!rooted && cur->drive == w.drive)
            w.parts = cur->parts;
    } else if (isSeparator(path[0])) {
        if (!cur)
            return std::nullopt;
        w.drive = cur->drive;
        rooted = true;
    } else {
        if (!cur)
            return std::nullopt;
        w = *cur;
    }
    size_t i = 0;
    while (i < rest.size()) {
        size_t j = i;
        while (j < rest.size() && !isSeparator(rest[j]))
            ++j;
        std::string_view part = windowsPart(rest.substr(i, j - i));
        if (part == "..") {
            if (!w.parts.empty())
                w.parts.pop_back();
        } else if (!part.empty() && part != ".") {
            w.parts.emplace_back(part);
        }
        i = j + 1;
    }
    w.trailingSeparator = !rest.empty() && isSeparator(rest.back());
    return w;
}

std::string toPosixPath(std::string_view windowsPath)
{
    auto w = WindowsPath::absolute(windowsPath);
    if (!w)
        return {};
    Drive d = DriveMap::drive(w->drive);
    if (!d.letter)
        return {};
    std::string out = d.root == "/" ? "" : d.root;
    for (const auto& part : w->parts)
        out += "/" + part;
    if (out.empty())
        return "/";
    if (!detail::posixExists(out)) {
        // Windows names ignore case: "TIDEBELL.ini" is the file
        // "TIDEBELL.INI". Each missing part takes the spelling of an existing
        // entry that differs only in case; the rest stays as given.
        std::string resolved = d.root == "/" ? "" : d.root;
        bool found = true;
        for (const auto& part : w->parts) {
            std::string name = found ? detail::findNameNoCase(resolved.empty() ? "/" : resolved, part) : "";
            found = !name.empty();
            resolved += "/" + (found ? name : part);
        }
        out = resolved;
    }
    if (w->trailingSeparator && !w->parts.empty())
        out += '/';
    return out;
}

std::string toWindowsPath(std::string_view posixPath)
{
    if (posixPath.empty())
        return {};
    std::string abs = absolutePosix(posixPath);
    if (abs.empty())
        return {};
    Drive d = DriveMap::driveOfPosixPath(abs);
    WindowsPath w;
    w.drive = d.letter ? d.letter : 'C';
    w.parts = splitPosix(d.letter && d.root != "/" ? abs.substr(d.root.size()) : abs);
    w.trailingSeparator = posixPath.back() == '/';
    if (!representable(w))
        return {};
    return w.text();
}

std::string fullWindowsPath(std::string_view path)
{
    auto w = WindowsPath::absolute(path);
    return w && representable(*w) ? w->text() : std::string();
}

}  // namespace platform

using namespace platform;

// A current directory that no Windows path can name is an error (0), never
// another folder: callers build file names on the answer.
extern "C" DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    auto w = WindowsPath::current();
    if (!w) {
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    return detail::copyPathOut(w->text(), buffer, size);
}

extern "C" BOOL SetCurrentDirectoryA(LPCSTR path)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string posix = toPosixPath(path);
    if (posix.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (::chdir(posix.c_str()) != 0) {
        int e = errno;
        SetLastError(e == ENOENT ? ERROR_PATH_NOT_FOUND : detail::errorFromErrno(e));
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* filePart)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    auto w = WindowsPath::absolute(path);
    if (!w || !representable(*w)) {
        // The current directory's own error when it was the cause.
        if (GetLastError() == ERROR_SUCCESS)
            SetLastError(ERROR_INVALID_NAME);
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    std::string text = w->text();
    DWORD n = detail::copyPathOut(text, buffer, size);
    if (filePart) {
        *filePart = nullptr;
        if (n == text.size() && !w->trailingSeparator && !w->parts.empty())
            *filePart = buffer + text.rfind('\\') + 1;
    }
    return n;
}

extern "C" DWORD GetLogicalDrives(void)
{
    DWORD mask = 0;
    for (const auto& d : DriveMap::drives())
        mask |= 1u << (d.letter - 'A');
    return mask;
}

namespace {

// The drive named by a root such as "C:\", "C:" or "c:/"; null means the
// current drive. Letter 0 when the text names no drive.
char driveLetterOfRoot(LPCSTR root)
{
    auto currentDrive = [] {
        auto cur = WindowsPath::current();
        return cur ? cur->drive : '\0';
    };
    if (!root)
        return currentDrive();
    std::string_view r(root);
    if (r.size() >= 2 && r[1] == ':' && std::isalpha(static_cast<unsigned char>(r[0])) &&
        (r.size() == 2 || (r.size() == 3 && isSeparator(r[2]))))
        return detail::upperAscii(r[0]);
    if (r.size() == 1 && isSeparator(r[0]))
        return currentDrive();
    return 0;
}

// "/dev/disk/by-label" escapes blanks and other bytes as "\xHH".
std::string unescapeLabel(const std::string& name)
{
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

std::string labelOfDevice(const std::string& device)
{
    std::error_code ec;
    if (device.rfind("/dev/", 0) != 0)
        return {};
    auto target = std::filesystem::canonical(device, ec);
    if (ec)
        return {};
    std::filesystem::directory_iterator it("/dev/disk/by-label", ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (std::filesystem::canonical(it->path(), ec2) == target && !ec2)
            return unescapeLabel(it->path().filename().string());
    }
    return {};
}

}  // namespace

extern "C" UINT GetDriveTypeA(LPCSTR root)
{
    char letter = driveLetterOfRoot(root);
    if (!letter)
        return DRIVE_NO_ROOT_DIR;
    Drive d = DriveMap::drive(letter);
    return d.letter ? d.type : DRIVE_NO_ROOT_DIR;
}

extern "C" BOOL GetVolumeInformationA(LPCSTR root, LPSTR volumeName, DWORD volumeNameSize, LPDWORD serial,
                                      LPDWORD maxComponentLength, LPDWORD flags, LPSTR fsName, DWORD fsNameSize)
{
    char letter = driveLetterOfRoot(root);
    Drive d = letter ? DriveMap::drive(letter) : Drive{};
    if (!d.letter) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat st;
    if (::stat(d.root.c_str(), &st) != 0) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    detail::copyOut(labelOfDevice(d.device), volumeName, volumeNameSize);
    if (serial)
        *serial = static_cast<DWORD>(st.st_dev);
    if (maxComponentLength)
        *maxComponentLength = 255;
    if (flags)
        *flags = 0x3;  // case-sensitive names, case preserved
    detail::copyOut(d.fsType, fsName, fsNameSize);
    return TRUE;
}
