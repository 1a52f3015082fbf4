// The application title: caption of the main window and of every message box.
#pragma once

namespace tidebell {

inline constexpr char kApplicationTitle[] = "ねいろん for Win32";

}  // namespace tidebell
