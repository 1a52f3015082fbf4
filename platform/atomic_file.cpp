#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/internal.h"

namespace platform {

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
    std::string temp = target + ".XXXXXX";
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
