// Process-wide facts: arguments, test overrides, the temporary folder and
// SearchPathA.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/internal.h"
#include "platform/paths.h"
#include "platform/platform.h"

namespace platform {
namespace {

std::mutex argumentsMutex;
std::vector<std::string> arguments;

}  // namespace

Overrides& overrides()
{
    static Overrides o;
    return o;
}

void pinLocalTimeZone()
{
    if (std::getenv("TZ") == nullptr)
        ::setenv("TZ", ":/etc/localtime", 0);
    ::tzset();
}

void setArguments(int argc, char** argv)
{
    std::lock_guard lock(argumentsMutex);
    arguments.clear();
    for (int i = 0; i < argc; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
}

int paramCount()
{
    std::lock_guard lock(argumentsMutex);
    return arguments.empty() ? 0 : static_cast<int>(arguments.size()) - 1;
}

std::string paramStr(int index)
{
    std::lock_guard lock(argumentsMutex);
    if (index < 0 || static_cast<size_t>(index) >= arguments.size())
        return {};
    std::string s = arguments[static_cast<size_t>(index)];
    // Quotes group words on a Windows command line and are not part of the
    // argument; a shell has usually removed them already.
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = s.substr(1, s.size() - 2);
    // The desktop's file managers start the program with the Linux path of a
    // file; the program expects the drive-letter path the Windows shell would
    // give, so an existing file's path is handed over in that form.
    struct stat st;
    if (index > 0 && !s.empty() && s.front() == '/' && ::stat(s.c_str(), &st) == 0) {
        std::string windows = toWindowsPath(s);
        if (!windows.empty())
            return windows;
    }
    return s;
}

std::string privateTempFolder(const std::string& base)
{
    std::string folder = detail::posixJoin(base, "tidebell-" + std::to_string(::geteuid()));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        SetLastError(detail::errorFromErrno(errno, true));
        return {};
    }
    struct stat st;
    // lstat: a symbolic link planted by someone else must not be followed.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return {};
    }
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return {};
    }
    return folder;
}

std::string userTempFolder(const std::string& systemTemp)
{
    std::string folder = privateTempFolder(systemTemp);
    if (!folder.empty())
        return folder;
    // Anyone may plant our name in the shared folder, and we cannot remove
    // what they own there; folders of the user's own are next.
    DWORD refused = GetLastError();
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        folder = privateTempFolder(runtime);
        if (!folder.empty())
            return folder;
    }
    std::string cache;
    if (const char* xdgCache = std::getenv("XDG_CACHE_HOME"); xdgCache && *xdgCache == '/')
        cache = xdgCache;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        cache = detail::posixJoin(home, ".cache");
    if (!cache.empty() && detail::makeFolders(cache, 0700)) {
        folder = privateTempFolder(cache);
        if (!folder.empty())
            return folder;
    }
    SetLastError(refused);
    return {};
}

}  // namespace platform

using namespace platform;

namespace {

// The non-empty items of a separated list.
std::vector<std::string> splitList(std::string_view list, char separator)
{
    std::vector<std::string> items;
    size_t i = 0;
    while (i <= list.size()) {
        size_t j = list.find(separator, i);
        if (j == std::string_view::npos)
            j = list.size();
        if (j > i)
            items.emplace_back(list.substr(i, j - i));
        i = j + 1;
    }
    return items;
}

}  // namespace

extern "C" DWORD GetTempPathA(DWORD size, LPSTR buffer)
{
    std::string posix;
    if (overrides().tempFolder) {
        posix = *overrides().tempFolder;
    } else if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir && *tmpdir) {
        posix = tmpdir;
    } else {
        posix = userTempFolder("/tmp");
        if (posix.empty())
            return 0;
    }
    std::string text = toWindowsPath(posix);
    if (text.empty()) {
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    if (text.back() != '\\')
        text += '\\';
    return detail::copyPathOut(text, buffer, size);
}

extern "C" DWORD SearchPathA(LPCSTR path, LPCSTR fileName, LPCSTR extension, DWORD size, LPSTR buffer, LPSTR* filePart)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = fileName;
    size_t lastSeparator = name.find_last_of("\\/");
    std::string leaf = lastSeparator == std::string::npos ? name : name.substr(lastSeparator + 1);
    if (extension && *extension && leaf.find('.') == std::string::npos)
        name += extension;

    // Candidate POSIX folders, in search order.
    std::vector<std::string> folders;
    if (lastSeparator != std::string::npos || (name.size() >= 2 && name[1] == ':')) {
        std::string posix = toPosixPath(name);
        if (!posix.empty()) {
            folders.push_back(detail::posixParent(posix));
            name = posix.substr(posix.rfind('/') + 1);
        }
    } else if (path) {
        for (const auto& folder : splitList(path, ';'))
            folders.push_back(toPosixPath(folder));
    } else {
        std::string exe = detail::executablePosixPath();
        if (!exe.empty())
            folders.push_back(detail::posixParent(exe));
        folders.push_back(".");
        if (const char* envPath = std::getenv("PATH"))
            for (const auto& folder : splitList(envPath, ':'))
                folders.push_back(folder);
    }
    for (const auto& folder : folders) {
        if (folder.empty())
            continue;
        std::string found = detail::findNameNoCase(folder, name);
        if (found.empty() || detail::posixIsDirectory(detail::posixJoin(folder, found)))
            continue;
        std::string text = toWindowsPath(detail::posixJoin(folder, found));
        if (text.empty())
            continue;  // no Windows path names it
        DWORD n = detail::copyPathOut(text, buffer, size);
        if (filePart)
            *filePart = n == text.size() ? buffer + text.rfind('\\') + 1 : nullptr;
        return n;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}
