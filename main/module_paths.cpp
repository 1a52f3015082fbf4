#include "main/module_paths.h"

#include <algorithm>
#include <vector>

#include "platform/desktop.h"
#include "platform/win32.h"

namespace tidebell {

std::string executablePath()
{
    std::vector<char> buffer(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        // A full buffer means the name was cut: try again with more room.
        if (length < buffer.size() || buffer.size() >= 65536) {
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data(), std::min<std::size_t>(length, buffer.size()));
}

std::string executableFolder()
{
    const std::string path = executablePath();
    const auto cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string iniPathForExecutable()
{
    // Beside the executable, or in the user's settings folder when the
    // executable's folder cannot be written (an installed program).
    return platform::settingsFileBeside(executableFolder(), "TIDEBELL.INI");
}

std::string helpFilePathForExecutable()
{
    return executableFolder() + "TIDEBELL.HLP";
}

}  // namespace tidebell
