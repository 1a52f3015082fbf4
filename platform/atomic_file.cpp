#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string_view>

#include "platform/internal.h"

namespace platform {
namespace {

// Temporary files are named "<file>.tbtmp-<pid>-XXXXXX": the name says whose
// they are and which process writes them.
const std::string tempMark = ".tbtmp-";

// A writer killed between creating its temporary file and the rename leaves
// the file behind. Those of this target are removed: regular files of ours
// whose writer is gone (and that are not brand new, in case the process
// lives in another PID namespace), or any older than an hour (PIDs are
// reused).
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
        size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || rest.size() - dash - 1 != 6)
            continue;
        pid_t pid = 0;
        bool digits = true;
        for (char c : rest.substr(0, dash)) {
            digits = c >= '0' && c <= '9' && pid < 100000000;
            if (!digits)
                break;
            pid = pid * 10 + (c - '0');
        }
        std::string path = detail::posixJoin(folder, name);
        struct stat st;
        if (!digits || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        const time_t age = now - st.st_mtime;
        const bool writerGone = pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
        if ((writerGone && age >= 10) || age >= 3600)
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
    std::string temp = target + tempMark + std::to_string(::getpid()) + "-XXXXXX";
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
