// Small text and file helpers shared inside the platform layer.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include "platform/internal.h"
#include "platform/platform.h"

namespace platform::detail {

DWORD copyOut(std::string_view text, LPSTR buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    DWORD n = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

DWORD copyPathOut(std::string_view text, LPSTR buffer, DWORD size)
{
    if (!buffer || text.size() + 1 > size) {
        // Leave an empty text rather than whatever was there, so a caller
        // that ignores the answer cannot run past the buffer.
        if (buffer && size > 0)
            buffer[0] = '\0';
        return static_cast<DWORD>(text.size() + 1);
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return static_cast<DWORD>(text.size());
}

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}

int compareNoCase(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(upperAscii(a[i]));
        auto cb = static_cast<unsigned char>(upperAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string toLowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool unaddressableName(std::string_view name)
{
    if (name == "." || name == "..")
        return false;
    return name.find('\\') != std::string_view::npos || (!name.empty() && (name.back() == '.' || name.back() == ' '));
}

std::string posixParent(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    auto slash = p.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return p.substr(0, slash);
}

std::string posixJoin(const std::string& folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    std::string out = folder;
    if (out.back() != '/')
        out += '/';
    out += name;
    return out;
}

bool posixIsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool posixExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string findNameNoCase(const std::string& folder, std::string_view name)
{
    std::string exact = posixJoin(folder, name);
    if (posixExists(exact))
        return std::string(name);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return {};
    while (dirent* entry = ::readdir(dir.get())) {
        if (equalsNoCase(entry->d_name, name))
            return entry->d_name;
    }
    return {};
}

std::string executablePosixPath()
{
    if (overrides().executablePath)
        return *overrides().executablePath;
    char buffer[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer)
        return {};  // a cut name would be another file
    return std::string(buffer, static_cast<size_t>(n));
}

bool posixReadOnly(unsigned mode, unsigned uid, unsigned gid)
{
    if (uid == ::geteuid())
        return !(mode & S_IWUSR);
    if (gid == ::getegid())
        return !(mode & S_IWGRP);
    return !(mode & S_IWOTH);
}

bool makeFolders(const std::string& path, unsigned mode)
{
    if (path.empty())
        return false;
    if (posixIsDirectory(path))
        return true;
    std::string parent = posixParent(path);
    if (parent != path && parent != "." && !makeFolders(parent, mode))
        return false;
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
        return false;
    return posixIsDirectory(path);
}

}  // namespace platform::detail
