// The Windows path model of the platform layer: an absolute path is a drive
// letter and a list of folder names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct WindowsPath {
    char drive = 'C';
    std::vector<std::string> parts;
    bool trailingSeparator = false;

    // "D:\a\b" (with a final "\" when trailingSeparator is set and the path
    // is not a root).
    std::string text() const;
    // The process's current directory in this model.
    static std::optional<WindowsPath> current();
    // Expands a path against the current directory and drive, resolving "."
    // and ".." (never above the drive root). Empty for "" and UNC names.
    static std::optional<WindowsPath> absolute(std::string_view path);
};

}  // namespace platform
