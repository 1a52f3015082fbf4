// Files that live beside the executable.
#pragma once

#include <string>

namespace tidebell {

// Full Windows-style path of the running executable.
std::string executablePath();
// Folder of the running executable, Windows-style, ending in "\".
std::string executableFolder();
// The settings file and the help file beside the executable.
std::string iniPathForExecutable();
std::string helpFilePathForExecutable();

}  // namespace tidebell
