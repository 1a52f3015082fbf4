// The registry functions over the per-user registry file.
#include <cstring>
#include <map>
#include <mutex>

#include "platform/desktop_mirror.h"
#include "platform/internal.h"
#include "platform/registry_store.h"

using namespace platform;

namespace {

struct OpenKey {
    int root = 0;
    std::vector<std::string> path;
};

struct KeyTable {
    std::mutex mutex;
    std::map<uintptr_t, OpenKey> keys;
    uintptr_t next = 1;
};

KeyTable& keyTable()
{
    static KeyTable table;
    return table;
}

// The open key a handle stands for; false for an unknown handle.
bool resolve(HKEY key, OpenKey& out)
{
    auto value = reinterpret_cast<uintptr_t>(key);
    if (key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) {
        out = OpenKey{key == HKEY_CURRENT_USER ? RegistryTree::CurrentUser : RegistryTree::ClassesRoot, {}};
        return true;
    }
    KeyTable& t = keyTable();
    std::lock_guard lock(t.mutex);
    auto it = t.keys.find(value);
    if (it == t.keys.end())
        return false;
    out = it->second;
    return true;
}

HKEY newHandle(OpenKey key)
{
    KeyTable& t = keyTable();
    std::lock_guard lock(t.mutex);
    uintptr_t value = (t.next++) << 4;
    t.keys.emplace(value, std::move(key));
    return reinterpret_cast<HKEY>(value);
}

// Splits "a\b\c" (a leading "\" is tolerated); false for an empty part.
bool splitKeyPath(LPCSTR subKey, std::vector<std::string>& parts)
{
    if (!subKey)
        return true;
    std::string_view s(subKey);
    while (!s.empty() && s.front() == '\\')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == '\\')
        s.remove_suffix(1);
    if (s.empty())
        return true;
    size_t i = 0;
    while (i <= s.size()) {
        size_t j = s.find('\\', i);
        if (j == std::string_view::npos)
            j = s.size();
        if (j == i)
            return false;
        parts.emplace_back(s.substr(i, j - i));
        i = j + 1;
    }
    return true;
}

// Base key + sub-key path; an error code when the handle or path is bad.
LONG target(HKEY key, LPCSTR subKey, OpenKey& out)
{
    if (!resolve(key, out))
        return ERROR_INVALID_HANDLE;
    if (!splitKeyPath(subKey, out.path))
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

LONG fail(LONG rc)
{
    SetLastError(static_cast<DWORD>(rc));
    return rc;
}

// Finds the key of an open handle, which another process may have deleted.
const RegistryKey* findOpen(const RegistryTree& tree, const OpenKey& k)
{
    return tree.find(k.root, k.path);
}

}  // namespace

extern "C" LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    if (!result)
        return fail(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    OpenKey k;
    if (LONG rc = target(key, subKey, k))
        return fail(rc);
    LONG rc = RegistryStore::instance().read([&](const RegistryTree& tree) -> LONG {
        return findOpen(tree, k) || desktop::standsOnDesktop(tree, k.root, k.path) ? ERROR_SUCCESS
                                                                                   : ERROR_FILE_NOT_FOUND;
    });
    if (rc != ERROR_SUCCESS)
        return fail(rc);
    *result = newHandle(std::move(k));
    return ERROR_SUCCESS;
}

extern "C" LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, void*, PHKEY result,
                                LPDWORD disposition)
{
    if (!result)
        return fail(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    OpenKey k;
    if (LONG rc = target(key, subKey, k))
        return fail(rc);
    DWORD how = REG_OPENED_EXISTING_KEY;
    LONG rc = RegistryStore::instance().modify([&](RegistryTree& tree) -> LONG {
        OpenKey base;
        resolve(key, base);
        RegistryKey* node = tree.find(base.root, base.path);
        if (!node)
            return ERROR_KEY_DELETED;
        for (size_t i = base.path.size(); i < k.path.size(); ++i) {
            if (!node->subKey(k.path[i]))
                how = REG_CREATED_NEW_KEY;
            node = &node->createSubKey(k.path[i]);
        }
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS)
        return fail(rc);
    if (disposition)
        *disposition = how;
    *result = newHandle(std::move(k));
    return ERROR_SUCCESS;
}

extern "C" LONG RegCloseKey(HKEY key)
{
    if (key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    KeyTable& t = keyTable();
    std::lock_guard lock(t.mutex);
    return t.keys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

extern "C" LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    OpenKey k;
    if (!resolve(key, k))
        return fail(ERROR_INVALID_HANDLE);
    if (data && !dataSize)
        return fail(ERROR_INVALID_PARAMETER);
    LONG rc = RegistryStore::instance().read([&](const RegistryTree& tree) -> LONG {
        const RegistryKey* node = findOpen(tree, k);
        if (!node)
            return ERROR_KEY_DELETED;
        const RegistryValue* v = node->value(valueName ? valueName : "");
        if (!v)
            return ERROR_FILE_NOT_FOUND;
        std::string bytes = v->data;
        if (v->type == REG_SZ || v->type == REG_EXPAND_SZ)
            bytes += '\0';
        if (type)
            *type = v->type;
        if (!dataSize)
            return ERROR_SUCCESS;
        DWORD available = *dataSize;
        *dataSize = static_cast<DWORD>(bytes.size());
        if (!data)
            return ERROR_SUCCESS;
        if (available < bytes.size())
            return ERROR_MORE_DATA;
        std::memcpy(data, bytes.data(), bytes.size());
        return ERROR_SUCCESS;
    });
    return rc == ERROR_SUCCESS ? rc : fail(rc);
}

extern "C" LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize)
{
    OpenKey k;
    if (!resolve(key, k))
        return fail(ERROR_INVALID_HANDLE);
    if (!data && dataSize)
        return fail(ERROR_INVALID_PARAMETER);
    RegistryValue v;
    v.name = valueName ? valueName : "";
    v.type = type;
    v.data.assign(reinterpret_cast<const char*>(data), data ? dataSize : 0);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // The text ends at its first NUL; the size counts the NUL.
        size_t nul = v.data.find('\0');
        if (nul != std::string::npos)
            v.data.resize(nul);
    } else if (type == REG_DWORD && dataSize != 4) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    LONG rc = RegistryStore::instance().modify([&](RegistryTree& tree) -> LONG {
        RegistryKey* node = tree.find(k.root, k.path);
        if (!node)
            return ERROR_KEY_DELETED;
        node->setValue(v);
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS)
        return fail(rc);
    desktop::valueChanged(k.root, k.path);
    return rc;
}

extern "C" LONG RegDeleteValueA(HKEY key, LPCSTR valueName)
{
    OpenKey k;
    if (!resolve(key, k))
        return fail(ERROR_INVALID_HANDLE);
    LONG rc = RegistryStore::instance().modify([&](RegistryTree& tree) -> LONG {
        RegistryKey* node = tree.find(k.root, k.path);
        if (!node)
            return ERROR_KEY_DELETED;
        return node->removeValue(valueName ? valueName : "") ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (rc != ERROR_SUCCESS)
        return fail(rc);
    desktop::valueChanged(k.root, k.path);
    return rc;
}

namespace {

LONG deleteKey(HKEY key, LPCSTR subKey, bool tree)
{
    OpenKey k;
    if (LONG rc = target(key, subKey, k))
        return fail(rc);
    LONG rc = RegistryStore::instance().modify([&](RegistryTree& t) -> LONG {
        RegistryKey* node = t.find(k.root, k.path);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
        if (k.path.empty()) {
            // A root itself cannot go; a tree delete of it empties it.
            if (!tree)
                return ERROR_ACCESS_DENIED;
            node->subKeys.clear();
            node->values.clear();
            return ERROR_SUCCESS;
        }
        if (!tree && !node->subKeys.empty())
            return ERROR_KEY_HAS_CHILDREN;
        std::vector<std::string> parentPath(k.path.begin(), k.path.end() - 1);
        t.find(k.root, parentPath)->removeSubKey(k.path.back());
        return ERROR_SUCCESS;
    });
    rc = desktop::keyDeleted(k.root, k.path, k.path.empty(), rc);
    return rc == ERROR_SUCCESS ? rc : fail(rc);
}

}  // namespace

extern "C" LONG RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    if (!subKey || !*subKey)
        return fail(ERROR_INVALID_PARAMETER);
    return deleteKey(key, subKey, false);
}

extern "C" LONG RegDeleteTreeA(HKEY key, LPCSTR subKey)
{
    if (subKey && *subKey)
        return deleteKey(key, subKey, true);
    // No sub-key: everything below the key goes, the key and its values stay.
    OpenKey k;
    if (!resolve(key, k))
        return fail(ERROR_INVALID_HANDLE);
    LONG rc = RegistryStore::instance().modify([&](RegistryTree& t) -> LONG {
        RegistryKey* node = t.find(k.root, k.path);
        if (!node)
            return ERROR_KEY_DELETED;
        node->subKeys.clear();
        return ERROR_SUCCESS;
    });
    rc = desktop::keyDeleted(k.root, k.path, true, rc);
    return rc == ERROR_SUCCESS ? rc : fail(rc);
}

extern "C" LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPSTR cls, LPDWORD clsSize,
                              FILETIME* lastWrite)
{
    OpenKey k;
    if (!resolve(key, k))
        return fail(ERROR_INVALID_HANDLE);
    if (!name || !nameSize)
        return fail(ERROR_INVALID_PARAMETER);
    LONG rc = RegistryStore::instance().read([&](const RegistryTree& tree) -> LONG {
        const RegistryKey* node = findOpen(tree, k);
        if (!node)
            return ERROR_KEY_DELETED;
        if (index >= node->subKeys.size())
            return ERROR_NO_MORE_ITEMS;
        auto it = node->subKeys.begin();
        std::advance(it, index);
        const std::string& n = it->second.name;
        if (*nameSize < n.size() + 1)
            return ERROR_MORE_DATA;
        std::memcpy(name, n.c_str(), n.size() + 1);
        *nameSize = static_cast<DWORD>(n.size());
        return ERROR_SUCCESS;
    });
    if (rc == ERROR_SUCCESS) {
        if (cls && clsSize && *clsSize)
            cls[0] = '\0';
        if (clsSize)
            *clsSize = 0;
        if (lastWrite)
            *lastWrite = FILETIME{0, 0};
    }
    return rc == ERROR_SUCCESS ? rc : fail(rc);
}

extern "C" LONG RegQueryInfoKeyA(HKEY key, LPSTR cls, LPDWORD clsSize, LPDWORD, LPDWORD subKeys, LPDWORD maxSubKeyLen,
                                 LPDWORD maxClassLen, LPDWORD values, LPDWORD maxValueNameLen, LPDWORD maxValueLen,
                                 LPDWORD securityDescriptor, FILETIME* lastWrite)
{
    OpenKey k;
    if (!resolve(key, k))
        return fail(ERROR_INVALID_HANDLE);
    LONG rc = RegistryStore::instance().read([&](const RegistryTree& tree) -> LONG {
        const RegistryKey* node = findOpen(tree, k);
        if (!node)
            return ERROR_KEY_DELETED;
        DWORD maxKey = 0, maxName = 0, maxData = 0;
        for (const auto& [_, sub] : node->subKeys)
            maxKey = std::max<DWORD>(maxKey, static_cast<DWORD>(sub.name.size()));
        for (const auto& [_, v] : node->values) {
            maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
            DWORD size = static_cast<DWORD>(v.data.size() + ((v.type == REG_SZ || v.type == REG_EXPAND_SZ) ? 1 : 0));
            maxData = std::max(maxData, size);
        }
        if (subKeys)
            *subKeys = static_cast<DWORD>(node->subKeys.size());
        if (maxSubKeyLen)
            *maxSubKeyLen = maxKey;
        if (values)
            *values = static_cast<DWORD>(node->values.size());
        if (maxValueNameLen)
            *maxValueNameLen = maxName;
        if (maxValueLen)
            *maxValueLen = maxData;
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS)
        return fail(rc);
    if (cls && clsSize && *clsSize)
        cls[0] = '\0';
    if (clsSize)
        *clsSize = 0;
    if (maxClassLen)
        *maxClassLen = 0;
    if (securityDescriptor)
        *securityDescriptor = 0;
    if (lastWrite)
        *lastWrite = FILETIME{0, 0};
    return ERROR_SUCCESS;
}
