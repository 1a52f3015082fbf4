// The registry's data: two roots (HKEY_CURRENT_USER, HKEY_CLASSES_ROOT) of
// keys with sub-keys and values, and its text form, the format of Windows
// registry export files ("Windows Registry Editor Version 5.00", one
// "[ROOT\path]" section per key, @= for the default value).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace platform {

struct RegistryValue {
    std::string name;  // "" for the default value
    DWORD type = REG_SZ;
    std::string data;  // REG_SZ/REG_EXPAND_SZ without the NUL; REG_DWORD 4 bytes little-endian
};

struct RegistryKey {
    std::string name;  // spelling as created
    // Keyed by the upper-cased name, which is also the enumeration order.
    std::map<std::string, RegistryKey> subKeys;
    std::map<std::string, RegistryValue> values;

    RegistryKey* subKey(std::string_view name);
    const RegistryKey* subKey(std::string_view name) const;
    RegistryKey& createSubKey(std::string_view name);
    bool removeSubKey(std::string_view name);
    RegistryValue* value(std::string_view name);
    const RegistryValue* value(std::string_view name) const;
    void setValue(RegistryValue v);
    bool removeValue(std::string_view name);
};

class RegistryTree {
public:
    enum Root { CurrentUser = 0, ClassesRoot = 1 };
    static constexpr int rootCount = 2;

    RegistryTree();
    // Parses the text form; nullopt for anything it does not understand.
    static std::optional<RegistryTree> parse(std::string_view text);
    std::string text() const;

    RegistryKey& root(int root) { return m_roots[root]; }
    const RegistryKey& root(int root) const { return m_roots[root]; }
    // The key at a path below a root, null when a part is missing.
    RegistryKey* find(int root, const std::vector<std::string>& path);
    const RegistryKey* find(int root, const std::vector<std::string>& path) const;

    static std::string upper(std::string_view name);
    static const char* rootName(int root);

private:
    RegistryKey m_roots[rootCount];
};

}  // namespace platform
