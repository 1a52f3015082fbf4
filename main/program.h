// The program's run: the application and its services first, then either
// the one-shot sound event mode (any argument) or the main window.
#pragma once

namespace tidebell {

int runProgram(int argc, char** argv);

}  // namespace tidebell
