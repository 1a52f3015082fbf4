#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/internal.h"

namespace platform {
namespace {

// Temporary files are named "<file>.tbtmp-<writer>-XXXXXX", where <writer>
// names the process that writes them: "<boot>-<pidns>-<pid>-<start>" (the
// boot id without its dashes, the PID namespace's inode, the process id and
// its start time in clock ticks since boot), or, where /proc cannot tell
// those, the process id alone.
const std::string tempMark = ".tbtmp-";

std::string readSmallFile(const char* path)
{
    std::string text;
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[1024];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() < 4096)
        text.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return text;
}

// The start time of a process (field 22 of /proc/<pid>/stat), or "" when it
// does not run. The name field may hold spaces and parentheses: the fields
// are counted from its last ")".
std::string processStart(pid_t pid)
{
    const std::string stat = readSmallFile(("/proc/" + std::to_string(pid) + "/stat").c_str());
    size_t at = stat.rfind(')');
    if (at == std::string::npos)
        return {};
    for (int field = 2; field < 22 && at != std::string::npos; ++field)
        at = stat.find(' ', at + 1);
    if (at == std::string::npos)
        return {};
    const size_t endAt = stat.find_first_of(" \n", at + 1);
    return stat.substr(at + 1, endAt == std::string::npos ? std::string::npos : endAt - at - 1);
}

struct WriterId {
    std::string boot;  // 32 hex digits
    std::string pidNamespace;
    std::string start;
    bool known() const { return !boot.empty() && !pidNamespace.empty() && !start.empty(); }
};

const WriterId& thisBoot()
{
    static const WriterId id = [] {
        WriterId w;
        for (char c : readSmallFile("/proc/sys/kernel/random/boot_id"))
            if (std::isxdigit(static_cast<unsigned char>(c)))
                w.boot += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (w.boot.size() != 32)
            w.boot.clear();
        struct stat st;
        if (::stat("/proc/self/ns/pid", &st) == 0)
            w.pidNamespace = std::to_string(st.st_ino);
        return w;
    }();
    return id;
}

// This process's part of its temporary files' names (the start time is
// read for each write: a forked child has its own).
std::string writerName()
{
    WriterId w = thisBoot();
    w.start = processStart(::getpid());
    if (!w.known())
        return std::to_string(::getpid());
    return w.boot + "-" + w.pidNamespace + "-" + std::to_string(::getpid()) + "-" + w.start;
}

bool decimal(std::string_view text, size_t maxDigits)
{
    return !text.empty() && text.size() <= maxDigits &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

enum class Writer { Running, Gone, GoneLongAgo, Unknown };

// Whose a temporary file is, from the <writer> part of its name (nullopt:
// not a name of ours).
std::optional<Writer> writerOf(std::string_view writer)
{
    std::vector<std::string_view> parts;
    for (size_t from = 0;;) {
        const size_t dash = writer.find('-', from);
        parts.push_back(writer.substr(from, dash == std::string_view::npos ? dash : dash - from));
        if (dash == std::string_view::npos)
            break;
        from = dash + 1;
    }
    if (parts.size() == 1) {
        // The older naming, by process id alone: its writer's id may be
        // reused or belong to another PID namespace, so age tells too.
        if (!decimal(parts[0], 9))
            return std::nullopt;
        const pid_t pid = static_cast<pid_t>(std::stol(std::string(parts[0])));
        return pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH ? Writer::GoneLongAgo : Writer::Unknown;
    }
    if (parts.size() != 4 || parts[0].size() != 32 || !decimal(parts[1], 20) || !decimal(parts[2], 9) ||
        !decimal(parts[3], 20) || !std::all_of(parts[0].begin(), parts[0].end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        }))
        return std::nullopt;
    const WriterId& here = thisBoot();
    if (here.boot.empty())
        return Writer::Unknown;
    // No process of an earlier boot still runs.
    if (parts[0] != here.boot)
        return Writer::Gone;
    // Another PID namespace's process ids mean nothing here.
    if (parts[1] != here.pidNamespace)
        return Writer::Unknown;
    pid_t pid = 0;
    for (char c : parts[2])
        pid = pid * 10 + (c - '0');
    // The same process id with another start time is a later process.
    return processStart(pid) == parts[3] ? Writer::Running : Writer::Gone;
}

// A writer killed between creating its temporary file and the rename leaves
// the file behind. Those of this target are removed at once when their
// writer no longer runs; those whose writer cannot be told (another PID
// namespace) only when older than an hour, longer than any write takes.
// Files of the older naming whose process id is free go once they are not
// brand new. A live writer's file is never touched.
void removeStaleTemporaries(const std::string& folder, const std::string& target)
{
    const std::string prefix = target.substr(target.rfind('/') + 1) + tempMark;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view rest = name.substr(prefix.size());
        const size_t dash = rest.rfind('-');
        if (dash == std::string_view::npos || rest.size() - dash - 1 != 6)
            continue;
        const std::optional<Writer> writer = writerOf(rest.substr(0, dash));
        if (!writer || *writer == Writer::Running)
            continue;
        std::string path = detail::posixJoin(folder, name);
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        const time_t age = now - st.st_mtime;
        if (*writer == Writer::Gone || (*writer == Writer::GoneLongAgo && age >= 10) || age >= 3600)
            ::unlink(path.c_str());
    }
}

}  // namespace

DWORD AtomicFile::write(const std::string& posixPath, const std::string& data)
{
    std::string target = posixPath;
    char resolved[PATH_MAX];
    struct stat lst;
    if (::lstat(posixPath.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) && ::realpath(posixPath.c_str(), resolved))
        target = resolved;

    std::string folder = detail::posixParent(target);
    if (!detail::posixIsDirectory(folder))
        return ERROR_PATH_NOT_FOUND;
    removeStaleTemporaries(folder, target);
    std::string temp = target + tempMark + writerName() + "-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return detail::errorFromErrno(errno);
    struct stat st;
    mode_t mode = 0666;
    if (::stat(target.c_str(), &st) == 0) {
        // Renaming over a read-only file would bypass its protection.
        if (detail::posixReadOnly(st.st_mode, st.st_uid, st.st_gid)) {
            ::close(fd);
            ::unlink(temp.c_str());
            return ERROR_ACCESS_DENIED;
        }
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);

    size_t done = 0;
    DWORD result = ERROR_SUCCESS;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result = detail::errorFromErrno(errno);
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (result == ERROR_SUCCESS && ::fsync(fd) != 0)
        result = detail::errorFromErrno(errno);
    if (::close(fd) != 0 && result == ERROR_SUCCESS)
        result = detail::errorFromErrno(errno);
    if (result == ERROR_SUCCESS && ::rename(temp.c_str(), target.c_str()) != 0)
        result = detail::errorFromErrno(errno);
    if (result != ERROR_SUCCESS) {
        ::unlink(temp.c_str());
        return result;
    }
    // Make the rename itself durable.
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return ERROR_SUCCESS;
}

bool AtomicFile::read(const std::string& posixPath, std::string& data)
{
    int fd = ::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    data.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int e = errno;
            ::close(fd);
            errno = e;
            return false;
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace platform
