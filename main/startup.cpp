#include "main/startup.h"

#include "main/module_paths.h"
#include "platform/platform.h"

namespace tidebell {

StartupMode decideStartup(int argumentCount)
{
    return argumentCount >= 1 ? StartupMode::CommandLine : StartupMode::MainWindow;
}

int runCommandLineMode(SharedState& state)
{
    state.EventSoundFile = platform::paramStr(1);
    // The sound event dialog is shown here once it exists; until then the
    // mode ends at once.
    return 0;
}

void prepareMainWindow(SharedState& state, const ErrorHandler& onError)
{
    state.HelpFilePath = helpFilePathForExecutable();
    state.Archivers = ArchiverAvailability::probe();
    state.IniPath = iniPathForExecutable();
    RegistoryReadExecute(state, onError);
}

}  // namespace tidebell
