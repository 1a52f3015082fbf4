// What the main window's module owns for the whole run: the settings record,
// the library flags and the shared strings. The main window holds the one
// instance and hands it to whatever needs it.
#pragma once

#include <functional>
#include <string>

#include "core/app_settings.h"
#include "core/archiver_availability.h"

namespace tidebell {

struct SharedState {
    AppSettings Settings;
    ArchiverAvailability Archivers;
    std::string IniPath;         // executable's folder + "TIDEBELL.INI"
    std::string HelpFilePath;    // executable's folder + "TIDEBELL.HLP"; empty until set
    std::string ArchivePath;     // the archive the archive viewer opens
    std::string EventSoundFile;  // the WAVE file the sound event dialog works on
    // The application's hint display: the window in front sets it to write
    // hints (UTF-8, whole "short|long" form) into its own status bar, and
    // hands the previous one back when it closes.
    std::function<void(const std::string& hint)> OnHint;
};

}  // namespace tidebell
