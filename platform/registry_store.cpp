#include "platform/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/atomic_file.h"
#include "platform/internal.h"
#include "platform/platform.h"

namespace platform {

RegistryStore& RegistryStore::instance()
{
    static RegistryStore store;
    return store;
}

std::string RegistryStore::filePath()
{
    if (overrides().registryFile)
        return *overrides().registryFile;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        std::string h = home && *home ? home : "";
        if (h.empty())
            if (passwd* pw = ::getpwuid(::getuid()))
                h = pw->pw_dir;
        config = h + "/.config";
    }
    return config + "/tidebell/registry.reg";
}

LONG RegistryStore::withLock(bool exclusive, const std::function<LONG(const std::string&)>& body)
{
    std::string path = filePath();
    std::string folder = detail::posixParent(path);
    if (!detail::makeFolders(folder, 0700))
        return ERROR_CANTOPEN;
    std::string lockPath = path + ".lock";
    int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) {
        // Writers replace the file by renaming, so a reader always sees a
        // whole file: without a lock file (a read-only folder) it can still
        // read what is there.
        if (!exclusive && detail::posixExists(path))
            return body(path);
        return ERROR_CANTOPEN;
    }
    struct Unlock {
        int fd;
        ~Unlock() { ::close(fd); }  // closing releases the lock
    } unlock{lockFd};
    int rc;
    do
        rc = ::flock(lockFd, exclusive ? LOCK_EX : LOCK_SH);
    while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return ERROR_CANTOPEN;

    struct stat st;
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        // First use: seed under the exclusive lock (another process may have
        // seeded between our shared lock and this one).
        if (!exclusive) {
            do
                rc = ::flock(lockFd, LOCK_EX);
            while (rc != 0 && errno == EINTR);
            if (rc != 0)
                return ERROR_CANTOPEN;
        }
        if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
            if (AtomicFile::write(path, seed().text()) != ERROR_SUCCESS)
                return ERROR_CANTWRITE;
        }
    }
    return body(path);
}

LONG RegistryStore::load(const std::string& path)
{
    // The file is read every time (it is small); only the parse is skipped
    // when its bytes are those parsed last. File times are too coarse to
    // tell two quick changes apart.
    std::string text;
    if (!AtomicFile::read(path, text)) {
        m_tree.reset();
        return ERROR_CANTREAD;
    }
    if (m_tree && text == m_fileText)
        return ERROR_SUCCESS;
    m_tree = RegistryTree::parse(text);
    if (!m_tree)
        return ERROR_REGISTRY_CORRUPT;
    m_fileText = std::move(text);
    m_cachedText = m_tree->text();
    return ERROR_SUCCESS;
}

LONG RegistryStore::read(const std::function<LONG(const RegistryTree&)>& action)
{
    std::lock_guard guard(m_mutex);
    return withLock(false, [&](const std::string& path) -> LONG {
        LONG rc = load(path);
        return rc != ERROR_SUCCESS ? rc : action(*m_tree);
    });
}

LONG RegistryStore::modify(const std::function<LONG(RegistryTree&)>& action)
{
    std::lock_guard guard(m_mutex);
    return withLock(true, [&](const std::string& path) -> LONG {
        LONG rc = load(path);
        if (rc != ERROR_SUCCESS)
            return rc;
        RegistryTree changed = *m_tree;
        rc = action(changed);
        if (rc != ERROR_SUCCESS)
            return rc;
        std::string text = changed.text();
        if (text == m_cachedText)
            return ERROR_SUCCESS;
        if (AtomicFile::write(path, text) != ERROR_SUCCESS)
            return ERROR_CANTWRITE;
        m_tree = std::move(changed);
        m_cachedText = text;
        m_fileText = std::move(text);
        return ERROR_SUCCESS;
    });
}

}  // namespace platform
