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

std::optional<std::string> preferredWindowSystem(const std::function<std::string(const char*)>& environment)
{
    if (!environment("QT_QPA_PLATFORM").empty() || environment("WAYLAND_DISPLAY").empty() ||
        environment("DISPLAY").empty()) {
        return std::nullopt;
    }
    // Wayland stays the fallback for an X server that cannot be reached.
    return std::string("xcb;wayland");
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
