// The start-up decisions that are not windows.
#pragma once

#include "main/settings_store.h"
#include "main/shared_state.h"

namespace tidebell {

enum class StartupMode {
    CommandLine,  // one or more arguments: the one-shot sound event mode
    MainWindow,   // no argument: the main window
};

StartupMode decideStartup(int argumentCount);

// The one-shot mode: takes the first argument (quotes removed) as the WAVE
// file. Nothing is read, probed or written here, and HelpFilePath stays empty.
// Returns the process's exit code.
int runCommandLineMode(SharedState& state);

// The steps of the main window's creation that need no window: help file
// path, library probe, settings file path and the settings themselves.
// Conversion failures go to `onError` and the load goes on.
void prepareMainWindow(SharedState& state, const ErrorHandler& onError);

}  // namespace tidebell
