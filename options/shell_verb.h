// The shell verb "events" of WAVE files under HKEY_CLASSES_ROOT: the
// context-menu entry that starts this program with the file as its argument.
// No widgets here.
#pragma once

#include <optional>
#include <string>

#include "core/registry.h"

namespace tidebell {

inline constexpr char kVerbCaption[] = "サウンドイベント設定";

// The verb's command: the executable's full path in double quotes, a blank
// and "%1" in double quotes.
std::string verbCommandLine(const std::string& executablePath);

// The full Windows-style path of the running program.
std::string runningExecutablePath();

// The file type of WAVE files (the default value of "\.wav"), or nothing
// when that key does not open.
std::optional<std::string> wavFileType(TRegistry& classesRoot);

// Whether "\<type>\shell\events" exists.
bool hasEventsVerb(TRegistry& classesRoot, const std::string& fileType);

// Creates or rewrites "events" and "events\command". Registry write failures
// raise the registry object's error.
void writeEventsVerb(TRegistry& classesRoot, const std::string& fileType, const std::string& executablePath);

// Deletes "events" with everything below it, when "\<type>\shell" opens.
void removeEventsVerb(TRegistry& classesRoot, const std::string& fileType);

}  // namespace tidebell
