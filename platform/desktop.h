// What the platform does on the Linux desktop for the program's Windows
// registry keys, and where files "beside the executable" go when the
// executable's folder cannot be written.
//
// The registry functions mirror two kinds of change onto the desktop after
// the registry itself was changed:
// - the shell verb HKCR\<WAVE file type>\shell\events (+ \command) becomes a
//   desktop entry in $XDG_DATA_HOME/applications that the file managers list
//   for WAVE files, associated (never as the default) in mimeapps.list;
// - HKCU\AppEvents\Schemes\Apps\<app>\<event>\.Current becomes a file of the
//   sound theme "tidebell" in $XDG_DATA_HOME/sounds, selected in GSettings.
// A mirror that fails never fails the registry call: its message goes to the
// desktop notice handler and stays readable through lastDesktopNotice().
#pragma once

#include <functional>
#include <string>

namespace platform {

// Message of the last mirroring on this thread that failed; empty when the
// last one succeeded (or none ran).
std::string lastDesktopNotice();
// Receives every mirroring failure's message; returns the previous handler.
// Without one the message is shown with MessageBoxA (no caption: the
// program's message box service puts the application's title there).
using DesktopNoticeHandler = std::function<void(const std::string& message)>;
DesktopNoticeHandler setDesktopNoticeHandler(DesktopNoticeHandler handler);

// Windows-style path for a settings file named `name` that belongs beside
// the executable in `windowsFolder` (ending in "\"): that folder when we may
// write there, otherwise the same name in $XDG_CONFIG_HOME/tidebell/
// (~/.config/tidebell/), which is created.
std::string settingsFileBeside(const std::string& windowsFolder, const std::string& name);

// The desktop entry of the verb and the sound theme, for tests and users.
constexpr char kVerbDesktopId[] = "tidebell-sound-event.desktop";
constexpr char kSoundThemeName[] = "tidebell";

}  // namespace platform
