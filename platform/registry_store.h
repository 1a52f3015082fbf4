// The per-user registry file and the lock that keeps two of our processes
// from losing each other's changes. Every change re-reads the file under an
// exclusive lock, applies itself and replaces the file atomically; reads use
// a shared lock and a copy cached while the file is unchanged. A file that
// cannot be read or parsed is never replaced.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include <sys/types.h>

#include "platform/registry_tree.h"

namespace platform {

class RegistryStore {
public:
    static RegistryStore& instance();

    // The registry file: overrides().registryFile, else
    // $XDG_CONFIG_HOME/tidebell/registry.reg, else ~/.config/tidebell/registry.reg.
    static std::string filePath();
    // What a new registry holds (a desktop's default sound scheme and the
    // WAVE file type).
    static RegistryTree seed();

    // Runs a read; answers its result or the store's error.
    LONG read(const std::function<LONG(const RegistryTree&)>& action);
    // Runs a change on the current tree; it is saved when the action
    // answers ERROR_SUCCESS and the tree changed.
    LONG modify(const std::function<LONG(RegistryTree&)>& action);

private:
    RegistryStore() = default;
    LONG withLock(bool exclusive, const std::function<LONG(const std::string& path)>& body);
    LONG load(const std::string& path);

    std::mutex m_mutex;
    std::optional<RegistryTree> m_tree;
    std::string m_cachedPath;
    std::string m_cachedText;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
    off_t m_size = -1;
    long long m_mtime = 0;
};

}  // namespace platform
