#include "main/startup.h"

#include "main/module_paths.h"
#include "platform/platform.h"

namespace tidebell {

StartupMode decideStartup(int argumentCount)
{
    return argumentCount >= 1 ? StartupMode::CommandLine : StartupMode::MainWindow;
}

int runCommandLineMode(SharedState& state, const std::function<void(SharedState&)>& showDialog)
{
    state.EventSoundFile = platform::paramStr(1);
    showDialog(state);
    return 0;
}

WindowBounds mainWindowDesignBounds(const WindowBounds& screenArea)
{
    return centredOn(screenArea, kMainDesignWidth, kMainDesignHeight);
}

void prepareMainWindow(SharedState& state, const ErrorHandler& onError)
{
    state.HelpFilePath = helpFilePathForExecutable();
    state.Archivers = ArchiverAvailability::probe();
    state.IniPath = iniPathForExecutable();
    RegistoryReadExecute(state, onError);
}

void closeMainWindow(SharedState& state, const MainWindowState& window)
{
    storeWindowState(state.Settings, window);
    RegistoryWriteExecute(state);
}

}  // namespace tidebell
