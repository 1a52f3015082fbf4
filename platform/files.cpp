// Files and folders: enumeration, attributes, open files and file times.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/atomic_file.h"
#include "platform/drive_map.h"
#include "platform/kernel_handle_table.h"
#include "platform/internal.h"
#include "platform/paths.h"
#include "platform/platform.h"

using namespace platform;

namespace {

constexpr int64_t epochDifference = 11644473600LL;  // seconds from 1601 to 1970

FILETIME toFileTime(const timespec& t)
{
    uint64_t ticks = static_cast<uint64_t>((t.tv_sec + epochDifference) * 10000000LL + t.tv_nsec / 100);
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

int64_t ticksOf(const FILETIME& t)
{
    return static_cast<int64_t>((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

FILETIME fromTicks(int64_t ticks)
{
    auto u = static_cast<uint64_t>(ticks);
    return FILETIME{static_cast<DWORD>(u & 0xFFFFFFFFu), static_cast<DWORD>(u >> 32)};
}

DWORD attributesOf(std::string_view name, const struct stat& st)
{
    DWORD a = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        a |= FILE_ATTRIBUTE_HIDDEN;
    if (detail::posixReadOnly(st.st_mode, st.st_uid, st.st_gid))
        a |= FILE_ATTRIBUTE_READONLY;
    return a;
}

// "?" stands for one character (a whole UTF-8 sequence), "*" for any run;
// letters compare without case.
bool windowsPatternMatch(const char* p, const char* s)
{
    while (*p) {
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (!*p)
                return true;
            for (const char* t = s;; t = CharNextA(t)) {
                if (windowsPatternMatch(p, t))
                    return true;
                if (!*t)
                    return false;
            }
        }
        if (!*s)
            return false;
        if (*p == '?') {
            s = CharNextA(s);
            ++p;
            continue;
        }
        if (detail::upperAscii(*p) != detail::upperAscii(*s))
            return false;
        ++p;
        ++s;
    }
    return !*s;
}

// What an enumeration keeps of an entry until it is fetched: a whole
// WIN32_FIND_DATAA is 320 bytes, which a folder of 100,000 files would hold
// 32 MB of.
struct FoundEntry {
    std::string name;
    DWORD attributes = 0;
    FILETIME accessed{};
    FILETIME written{};
    uint64_t size = 0;
};

class FindSearch : public HandleObject {
public:
    std::vector<FoundEntry> entries;
    size_t next = 0;

    void fetch(WIN32_FIND_DATAA* data)
    {
        const FoundEntry& e = entries[next++];
        *data = WIN32_FIND_DATAA{};
        data->dwFileAttributes = e.attributes;
        data->ftCreationTime = e.written;
        data->ftLastAccessTime = e.accessed;
        data->ftLastWriteTime = e.written;
        data->nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(e.size & 0xFFFFFFFFu);
        std::memcpy(data->cFileName, e.name.data(), e.name.size());
    }
};

class OpenFile : public HandleObject {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile() override { ::close(m_fd); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// POSIX form of a path for a file operation; empty (last error 3) when its
// drive is not assigned.
std::string posixFor(LPCSTR path)
{
    std::string posix = path ? toPosixPath(path) : std::string();
    if (posix.empty())
        SetLastError(path && *path ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
    return posix;
}

bool isDriveRoot(LPCSTR path)
{
    auto w = WindowsPath::absolute(path ? path : "");
    return w && w->parts.empty();
}

}  // namespace

namespace platform {

// Whether a name matches a Windows file pattern ("*.*" matches every name;
// a name without a dot also matches as if it ended in one).
bool matchesFilePattern(std::string_view pattern, std::string_view name)
{
    std::string p(pattern), n(name);
    if (windowsPatternMatch(p.c_str(), n.c_str()))
        return true;
    return n.find('.') == std::string::npos && windowsPatternMatch(p.c_str(), (n + ".").c_str());
}

}  // namespace platform

extern "C" HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    if (!pattern || !*pattern || !data) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string_view full(pattern);
    size_t cut = full.find_last_of("\\/");
    std::string folder, namePattern;
    if (cut != std::string_view::npos) {
        folder = std::string(full.substr(0, cut + 1));
        namePattern = std::string(full.substr(cut + 1));
    } else if (full.size() >= 2 && full[1] == ':') {
        folder = std::string(full.substr(0, 2));
        namePattern = std::string(full.substr(2));
    } else {
        folder = ".";
        namePattern = std::string(full);
    }
    auto where = WindowsPath::absolute(folder);
    if (!where || !DriveMap::drive(where->drive).letter) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (namePattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool root = where->parts.empty();
    std::string posix = toPosixPath(where->text());
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(posix.c_str()), ::closedir);
    if (!dir) {
        int e = errno;
        // A drive whose root cannot be opened has no medium or has gone.
        if (root && (e == ENOENT || e == ENOTDIR))
            SetLastError(ERROR_NOT_READY);
        else
            SetLastError(e == ENOENT ? ERROR_PATH_NOT_FOUND : detail::errorFromErrno(e, true));
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<FindSearch>();
    errno = 0;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        bool dots = name == "." || name == "..";
        // A name that folder + name would resolve to another file (or to
        // none) is left out: it cannot be addressed.
        if ((dots && root) || name.size() >= MAX_PATH || detail::unaddressableName(name) ||
            !matchesFilePattern(namePattern, name))
            continue;
        struct stat st;
        // Relative to the open folder: no path walk per entry.
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, 0) != 0 &&
            ::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        FoundEntry found;
        found.name.assign(name);
        found.attributes = attributesOf(name, st);
        found.accessed = toFileTime(st.st_atim);
        found.written = toFileTime(st.st_mtim);
        found.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        search->entries.push_back(std::move(found));
    }
    if (errno != 0 && search->entries.empty()) {
        SetLastError(detail::errorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    if (search->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // "." and ".." first, then by name without case, as NTFS lists.
    std::sort(search->entries.begin(), search->entries.end(), [](const FoundEntry& a, const FoundEntry& b) {
        auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
        if (rank(a.name) != rank(b.name))
            return rank(a.name) < rank(b.name);
        int c = detail::compareNoCase(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    search->fetch(data);
    SetLastError(ERROR_SUCCESS);
    return KernelHandleTable::add(search);
}

extern "C" BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data)
{
    auto search = KernelHandleTable::get<FindSearch>(find);
    if (!search || !data) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    search->fetch(data);
    return TRUE;
}

extern "C" BOOL FindClose(HANDLE find)
{
    if (!KernelHandleTable::remove<FindSearch>(find)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD GetFileAttributesA(LPCSTR path)
{
    std::string posix = posixFor(path);
    if (posix.empty())
        return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (::stat(posix.c_str(), &st) != 0) {
        int e = errno;
        if (isDriveRoot(path))
            SetLastError(ERROR_NOT_READY);
        else
            detail::setLastErrorFromErrno(e, posix);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string trimmed = posix;
    while (trimmed.size() > 1 && trimmed.back() == '/')  // a folder given with its final separator
        trimmed.pop_back();
    return attributesOf(trimmed.substr(trimmed.find_last_of('/') + 1), st);
}

extern "C" BOOL DeleteFileA(LPCSTR path)
{
    std::string posix = posixFor(path);
    if (posix.empty())
        return FALSE;
    struct stat st;
    if (::lstat(posix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (::unlink(posix.c_str()) != 0) {
        detail::setLastErrorFromErrno(errno, posix);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL CreateDirectoryA(LPCSTR path, void*)
{
    std::string posix = posixFor(path);
    if (posix.empty())
        return FALSE;
    if (::mkdir(posix.c_str(), 0777) != 0) {
        int e = errno;
        SetLastError(e == EEXIST   ? ERROR_ALREADY_EXISTS
                     : e == ENOENT ? ERROR_PATH_NOT_FOUND
                                   : detail::errorFromErrno(e));
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL RemoveDirectoryA(LPCSTR path)
{
    std::string posix = posixFor(path);
    if (posix.empty())
        return FALSE;
    if (::rmdir(posix.c_str()) != 0) {
        int e = errno;
        if (e == ENOTEMPTY || e == EEXIST)
            SetLastError(ERROR_DIR_NOT_EMPTY);
        else
            detail::setLastErrorFromErrno(e, posix);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists)
{
    std::string source = posixFor(from), target = posixFor(to);
    if (source.empty() || target.empty())
        return FALSE;
    if (failIfExists && detail::posixExists(target)) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    std::string data;
    if (!AtomicFile::read(source, data)) {
        detail::setLastErrorFromErrno(errno, source);
        return FALSE;
    }
    if (DWORD rc = AtomicFile::write(target, data)) {
        SetLastError(rc);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL MoveFileA(LPCSTR from, LPCSTR to)
{
    std::string source = posixFor(from), target = posixFor(to);
    if (source.empty() || target.empty())
        return FALSE;
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (::rename(source.c_str(), target.c_str()) == 0)
        return TRUE;
    if (errno != EXDEV) {
        detail::setLastErrorFromErrno(errno, source);
        return FALSE;
    }
    if (!CopyFileA(from, to, TRUE))
        return FALSE;
    ::unlink(source.c_str());
    return TRUE;
}

extern "C" HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE)
{
    std::string posix = posixFor(path);
    if (posix.empty())
        return INVALID_HANDLE_VALUE;
    int flags = O_CLOEXEC;
    bool read = access & GENERIC_READ, write = access & GENERIC_WRITE;
    flags |= (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if ((flags & O_TRUNC) && !write) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    bool existed = detail::posixExists(posix);
    if (detail::posixIsDirectory(posix)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int fd = ::open(posix.c_str(), flags, 0666);
    if (fd < 0) {
        int e = errno;
        if (e == EEXIST)
            SetLastError(ERROR_FILE_EXISTS);
        else
            detail::setLastErrorFromErrno(e, posix);
        return INVALID_HANDLE_VALUE;
    }
    // Windows reports an existing file that it opened or replaced this way.
    bool reportExisting = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return KernelHandleTable::add(std::make_shared<OpenFile>(fd));
}

extern "C" BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, LPDWORD done, void*)
{
    auto f = KernelHandleTable::get<OpenFile>(file);
    if (done)
        *done = 0;
    if (!f || (!buffer && toRead)) {
        SetLastError(f ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < toRead) {
        ssize_t n = ::read(f->fd(), static_cast<char*>(buffer) + total, toRead - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastError(errno == EISDIR || errno == EBADF ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT);
            return FALSE;
        }
        if (n == 0)
            break;
        total += static_cast<DWORD>(n);
    }
    if (done)
        *done = total;
    return TRUE;
}

extern "C" BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD done, void*)
{
    auto f = KernelHandleTable::get<OpenFile>(file);
    if (done)
        *done = 0;
    if (!f || (!buffer && toWrite)) {
        SetLastError(f ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < toWrite) {
        ssize_t n = ::write(f->fd(), static_cast<const char*>(buffer) + total, toWrite - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastError(errno == EBADF ? ERROR_ACCESS_DENIED : detail::errorFromErrno(errno));
            if (done)
                *done = total;
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (done)
        *done = total;
    return TRUE;
}

extern "C" DWORD GetFileSize(HANDLE file, LPDWORD high)
{
    auto f = KernelHandleTable::get<OpenFile>(file);
    struct stat st;
    if (!f || ::fstat(f->fd(), &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFFu;
    }
    auto size = static_cast<uint64_t>(st.st_size);
    if (high)
        *high = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

extern "C" DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    auto f = KernelHandleTable::get<OpenFile>(file);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t offset = distanceHigh
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                                static_cast<uint32_t>(distance))
                         : distance;
    int whence = method == FILE_BEGIN     ? SEEK_SET
                 : method == FILE_CURRENT ? SEEK_CUR
                 : method == FILE_END     ? SEEK_END
                                          : -1;
    off_t at = whence < 0 ? -1 : ::lseek(f->fd(), offset, whence);
    if (at < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);  // Windows: ERROR_NEGATIVE_SEEK and friends
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(at) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<uint64_t>(at) & 0xFFFFFFFFu);
}

extern "C" BOOL CloseHandle(HANDLE handle)
{
    if (!KernelHandleTable::remove<OpenFile>(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// ---- File times ----

namespace {

int64_t localOffsetSeconds(time_t at)
{
    struct tm local;
    if (!::localtime_r(&at, &local))
        return 0;
    return local.tm_gmtoff;
}

}  // namespace

extern "C" BOOL FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local)
{
    if (!utc || !local)
        return FALSE;
    int64_t ticks = ticksOf(*utc);
    time_t seconds = static_cast<time_t>(ticks / 10000000 - epochDifference);
    *local = fromTicks(ticks + localOffsetSeconds(seconds) * 10000000LL);
    return TRUE;
}

extern "C" BOOL LocalFileTimeToFileTime(const FILETIME* local, LPFILETIME utc)
{
    if (!local || !utc)
        return FALSE;
    int64_t ticks = ticksOf(*local);
    time_t seconds = static_cast<time_t>(ticks / 10000000 - epochDifference);
    // The offset in force at the local time (good except inside a clock change).
    int64_t offset = localOffsetSeconds(seconds - localOffsetSeconds(seconds));
    *utc = fromTicks(ticks - offset * 10000000LL);
    return TRUE;
}

extern "C" BOOL FileTimeToSystemTime(const FILETIME* time, LPSYSTEMTIME system)
{
    if (!time || !system)
        return FALSE;
    int64_t ticks = ticksOf(*time);
    if (ticks < 0)
        return FALSE;
    time_t seconds = static_cast<time_t>(ticks / 10000000 - epochDifference);
    struct tm t;
    if (!::gmtime_r(&seconds, &t))
        return FALSE;
    system->wYear = static_cast<WORD>(t.tm_year + 1900);
    system->wMonth = static_cast<WORD>(t.tm_mon + 1);
    system->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    system->wDay = static_cast<WORD>(t.tm_mday);
    system->wHour = static_cast<WORD>(t.tm_hour);
    system->wMinute = static_cast<WORD>(t.tm_min);
    system->wSecond = static_cast<WORD>(t.tm_sec);
    system->wMilliseconds = static_cast<WORD>((ticks / 10000) % 1000);
    return TRUE;
}

extern "C" BOOL SystemTimeToFileTime(const SYSTEMTIME* system, LPFILETIME time)
{
    if (!system || !time || system->wMonth < 1 || system->wMonth > 12 || system->wDay < 1 || system->wDay > 31 ||
        system->wHour > 23 || system->wMinute > 59 || system->wSecond > 59 || system->wMilliseconds > 999 ||
        system->wYear < 1601)
        return FALSE;
    struct tm t {};
    t.tm_year = system->wYear - 1900;
    t.tm_mon = system->wMonth - 1;
    t.tm_mday = system->wDay;
    t.tm_hour = system->wHour;
    t.tm_min = system->wMinute;
    t.tm_sec = system->wSecond;
    time_t seconds = ::timegm(&t);
    *time = fromTicks((static_cast<int64_t>(seconds) + epochDifference) * 10000000LL + system->wMilliseconds * 10000LL);
    return TRUE;
}

extern "C" BOOL FileTimeToDosDateTime(const FILETIME* time, WORD* dosDate, WORD* dosTime)
{
    SYSTEMTIME s;
    if (!dosDate || !dosTime || !FileTimeToSystemTime(time, &s) || s.wYear < 1980 || s.wYear > 2107) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *dosDate = static_cast<WORD>(((s.wYear - 1980) << 9) | (s.wMonth << 5) | s.wDay);
    *dosTime = static_cast<WORD>((s.wHour << 11) | (s.wMinute << 5) | (s.wSecond / 2));
    return TRUE;
}

extern "C" BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, LPFILETIME time)
{
    SYSTEMTIME s{};
    s.wYear = static_cast<WORD>(1980 + (dosDate >> 9));
    s.wMonth = static_cast<WORD>((dosDate >> 5) & 0xF);
    s.wDay = static_cast<WORD>(dosDate & 0x1F);
    s.wHour = static_cast<WORD>(dosTime >> 11);
    s.wMinute = static_cast<WORD>((dosTime >> 5) & 0x3F);
    s.wSecond = static_cast<WORD>((dosTime & 0x1F) * 2);
    if (!SystemTimeToFileTime(&s, time)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
