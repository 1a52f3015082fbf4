// The per-user registry file and the lock that keeps two of our processes
// from losing each other's changes. Every change re-reads the file under an
// exclusive lock, applies itself and replaces the file atomically; reads
// re-read it under a shared lock (the parse is reused while the bytes are
// the same). A file that cannot be read or parsed is
// never replaced.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

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
    std::string m_fileText;    // the file's bytes that m_tree was parsed from
    std::string m_cachedText;  // text form of m_tree, to skip writes that change nothing
};

}  // namespace platform
