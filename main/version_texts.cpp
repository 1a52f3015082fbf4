#include "main/version_texts.h"

#include <cstring>
#include <vector>

#include "platform/win32.h"

namespace tidebell {
namespace {

std::optional<std::string> queryText(const std::vector<char>& block, const std::string& path)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || !value)
        return std::nullopt;
    return std::string(static_cast<const char*>(value));
}

}  // namespace

VersionTexts readVersionTexts(const std::string& modulePath)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(modulePath.c_str(), &handle);
    if (size == 0)
        return {};
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(modulePath.c_str(), handle, size, block.data()))
        return {};
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return {};
    DWORD translation = 0;
    std::memcpy(&translation, value, sizeof translation);
    char prefix[64];
    wsprintfA(prefix, "\\StringFileInfo\\%4.4x%4.4x\\", static_cast<unsigned>(translation & 0xFFFF),
              static_cast<unsigned>(translation >> 16));
    return VersionTexts{queryText(block, std::string(prefix) + "FileVersion"),
                        queryText(block, std::string(prefix) + "LegalCopyright")};
}

}  // namespace tidebell
