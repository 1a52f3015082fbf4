// The start-up decisions that are not windows.
#pragma once

#include <functional>

#include "core/shared_state.h"
#include "core/window_layout.h"
#include "main/settings_store.h"

namespace tidebell {

enum class StartupMode {
    CommandLine,  // one or more arguments: the one-shot sound event mode
    MainWindow,   // no argument: the main window
};

StartupMode decideStartup(int argumentCount);

// The one-shot mode: takes the first argument (quotes removed, nothing
// checked) as the WAVE file and shows the sound event dialog through
// `showDialog`. Nothing is read, probed or written here, and HelpFilePath
// stays empty. Returns the process's exit code, 0.
int runCommandLineMode(SharedState& state, const std::function<void(SharedState&)>& showDialog);

// The main window's design size; in the one-shot mode the window is never
// shown and dialogs centre on these bounds.
inline constexpr int32_t kMainDesignWidth = 494;
inline constexpr int32_t kMainDesignHeight = 238;
// The design bounds of the main window, placed in the middle of the screen
// area, as a new window of that size would stand.
WindowBounds mainWindowDesignBounds(const WindowBounds& screenArea);

// The steps of the main window's creation that need no window: help file
// path, library probe, settings file path and the settings themselves.
// Conversion failures go to `onError` and the load goes on.
void prepareMainWindow(SharedState& state, const ErrorHandler& onError);

// The close sequence's data part: copy the window state into the record,
// then write the settings file.
void closeMainWindow(SharedState& state, const MainWindowState& window);

}  // namespace tidebell
