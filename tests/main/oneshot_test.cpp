// The one-shot mode as a real process: any argument shows only the sound
// event dialog for the first one, and the process ends with exit code 0
// without reading or writing the settings.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

struct ProcessRun {
    int exitCode = -1;
    std::string output;
};

ProcessRun runHarness(const std::string& arguments, const tidebell_test::TempDir& home)
{
    const std::string command = "cd '" + home.path() + "' && QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME='" +
                                home.path() + "/config' TMPDIR='" + home.path() + "' '" + TIDEBELL_ONESHOT_HARNESS +
                                "' " + arguments + " 2>/dev/null";
    ProcessRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        run.output += buffer;
    }
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(OneShot, TheFirstArgumentGoesToTheSoundEventDialogAndTheProcessEndsWithZero)
{
    tidebell_test::TempDir home;
    const std::filesystem::path ini = std::filesystem::path(TIDEBELL_ONESHOT_HARNESS).parent_path() / "TIDEBELL.INI";
    std::filesystem::remove(ini);

    // Quotes as a Windows command line passes them; no check of extension
    // or existence; the second argument is ignored.
    const ProcessRun run = runHarness("'\"C:\\My Sounds\\not here.txt\"' second", home);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "file=C:\\My Sounds\\not here.txt\nmain window shown=0\n");
    EXPECT_FALSE(std::filesystem::exists(ini));
}

}  // namespace
