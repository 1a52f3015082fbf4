#include "core/registry.h"

#include "core/exceptions.h"
#include "platform/platform.h"

namespace tidebell {

namespace {

constexpr char kInvalidType[] = "'%s' のデータ型が不正です";
constexpr char kSetFailed[] = "'%s' の設定に失敗しました";

// Owns one key handle for the length of a scope.
class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle()
    {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
        }
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    HKEY* out() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

std::vector<std::string> subKeyNames(HKEY key)
{
    std::vector<std::string> names;
    if (key == nullptr) {
        return names;
    }
    std::vector<char> buffer(256);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LONG result = RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA && buffer.size() < 65536) {
            buffer.resize(buffer.size() * 2);
            --index;  // the same index again with the larger buffer
            continue;
        }
        if (result != ERROR_SUCCESS) {
            break;  // ERROR_NO_MORE_ITEMS, or a failure that ends the list
        }
        names.emplace_back(buffer.data(), length);
    }
    return names;
}

// Deletes parent\subKey after everything below it.
bool deleteTree(HKEY parent, const std::string& subKey)
{
    {
        KeyHandle key;
        if (RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_ALL_ACCESS, key.out()) == ERROR_SUCCESS) {
            // Names are collected first: deleting while enumerating would
            // shift the indexes.
            for (const std::string& child : subKeyNames(key.get())) {
                deleteTree(key.get(), child);
            }
        }
    }
    return RegDeleteKeyA(parent, subKey.c_str()) == ERROR_SUCCESS;
}

}  // namespace

TRegistry::TRegistry(HKEY root) : m_root(root) {}

TRegistry::~TRegistry()
{
    closeKey();
}

void TRegistry::setRootKey(HKEY root)
{
    closeKey();
    m_root = root;
}

HKEY TRegistry::baseFor(const std::string& key, std::string& subPath, bool& relative) const
{
    relative = key.empty() || key.front() != '\\';
    subPath = relative ? key : key.substr(1);
    return (relative && m_current != nullptr) ? m_current : m_root;
}

bool TRegistry::openKey(const std::string& key, bool canCreate)
{
    std::string subPath;
    bool relative = false;
    const HKEY base = baseFor(key, subPath, relative);
    HKEY opened = nullptr;
    LONG result;
    if (canCreate) {
        DWORD disposition = 0;
        result = RegCreateKeyExA(base, subPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                 &opened, &disposition);
    } else {
        result = RegOpenKeyExA(base, subPath.c_str(), 0, KEY_ALL_ACCESS, &opened);
    }
    m_lastOpenResult = result;
    if (result != ERROR_SUCCESS) {
        return false;
    }
    std::string path =
        (relative && m_current != nullptr && !m_currentPath.empty()) ? m_currentPath + "\\" + subPath : subPath;
    closeKey();
    m_current = opened;
    m_currentPath = std::move(path);
    return true;
}

void TRegistry::closeKey()
{
    if (m_current != nullptr) {
        RegCloseKey(m_current);
        m_current = nullptr;
    }
    m_currentPath.clear();
}

std::string TRegistry::readString(const std::string& name) const
{
    if (m_current == nullptr) {
        return {};
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(m_current, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return {};
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        throw ERegistryException(formatMessage(kInvalidType, name));
    }
    std::string data(size, '\0');
    if (size > 0 && RegQueryValueExA(m_current, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(data.data()),
                                     &size) != ERROR_SUCCESS) {
        return {};
    }
    data.resize(size);
    // The stored text ends at its first terminating zero.
    const auto end = data.find('\0');
    if (end != std::string::npos) {
        data.resize(end);
    }
    return data;
}

void TRegistry::writeString(const std::string& name, const std::string& value)
{
    const LONG result = m_current == nullptr ? static_cast<LONG>(ERROR_INVALID_HANDLE)
                                             : RegSetValueExA(m_current, name.c_str(), 0, REG_SZ,
                                                              reinterpret_cast<const BYTE*>(value.c_str()),
                                                              static_cast<DWORD>(value.size() + 1));
    if (result != ERROR_SUCCESS) {
        throw ERegistryException(formatMessage(kSetFailed, name));
    }
}

std::vector<std::string> TRegistry::getKeyNames() const
{
    return subKeyNames(m_current);
}

bool TRegistry::deleteKey(const std::string& key)
{
    std::string subPath;
    bool relative = false;
    const HKEY base = baseFor(key, subPath, relative);
    if (subPath.empty()) {
        return false;  // never the root or the open key itself
    }
    return deleteTree(base, subPath);
}

std::string registryUnreadableText(LONG openResult)
{
    if (openResult != ERROR_CANTREAD && openResult != ERROR_REGISTRY_CORRUPT && openResult != ERROR_BADDB) {
        return {};
    }
    return formatMessage("レジストリを読み込めません: %s",
                         platform::systemErrorMessage(static_cast<DWORD>(openResult)));
}

}  // namespace tidebell
