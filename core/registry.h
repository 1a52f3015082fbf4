// The registry object through which the windows read and write the registry:
// choose a root, open a key by a path (a leading "\" makes it absolute from
// the root, otherwise it is relative to the open key), read and write a key's
// default (or named) value as a string, list sub-key names, delete a key with
// everything below it, close. Keys are opened with KEY_ALL_ACCESS even for
// reading, as the windows expect of it.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace tidebell {

class TRegistry {
public:
    explicit TRegistry(HKEY root = HKEY_CURRENT_USER);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY rootKey() const { return m_root; }
    // Choosing a root closes the open key.
    void setRootKey(HKEY root);

    // Opens `key`, creating it (and missing keys on its way) when `canCreate`.
    // On success the key becomes the open key, replacing the previous one; on
    // failure the open key stays as it was.
    bool openKey(const std::string& key, bool canCreate);
    // The registry's result of the last openKey (ERROR_SUCCESS after a
    // success).
    LONG lastOpenResult() const { return m_lastOpenResult; }
    void closeKey();
    bool hasOpenKey() const { return m_current != nullptr; }
    // Path of the open key below the root, without a leading "\".
    const std::string& currentPath() const { return m_currentPath; }

    // The value `name` ("" for the default value) of the open key as a
    // string; "" when it is missing. A value of another type raises
    // ERegistryException "'<name>' のデータ型が不正です".
    std::string readString(const std::string& name) const;
    // Writes a REG_SZ value; a failure raises ERegistryException
    // "'<name>' の設定に失敗しました".
    void writeString(const std::string& name, const std::string& value);

    // Sub-key names of the open key in enumeration order; empty when no key
    // is open.
    std::vector<std::string> getKeyNames() const;

    // Deletes `key` (absolute or relative, as for openKey) with all its
    // sub-keys, deepest first. False when the key could not be deleted.
    bool deleteKey(const std::string& key);

private:
    // The key a path is taken from, and the path with its leading "\" gone.
    HKEY baseFor(const std::string& key, std::string& subPath, bool& relative) const;

    HKEY m_root;
    HKEY m_current = nullptr;
    std::string m_currentPath;
    LONG m_lastOpenResult = ERROR_SUCCESS;
};

// The text a window shows when the registry itself could not be read (its
// file unreadable or damaged), as opposed to a key that is not there;
// empty for every other result.
std::string registryUnreadableText(LONG openResult);

}  // namespace tidebell
