#include <gtest/gtest.h>

#include <map>

#include "core/window_layout.h"
#include "main/startup.h"
#include "tests/support/sandbox.h"

using testing_support::Sandbox;
using tidebell::SharedState;

namespace {

void copyLibrary(const Sandbox& box, const char* builtPath, const char* name)
{
    std::filesystem::copy_file(builtPath, box.libraryFolder() + "/" + name);
}

}  // namespace

TEST(Startup, AnyArgumentMeansTheOneShotMode)
{
    EXPECT_EQ(tidebell::decideStartup(0), tidebell::StartupMode::MainWindow);
    EXPECT_EQ(tidebell::decideStartup(1), tidebell::StartupMode::CommandLine);
    EXPECT_EQ(tidebell::decideStartup(3), tidebell::StartupMode::CommandLine);
}

TEST(Startup, AWaylandSessionThatOffersX11RunsOnX11UnlessTheUserChose)
{
    using Environment = std::map<std::string, std::string>;
    auto choose = [](const Environment& environment) {
        return tidebell::preferredWindowSystem([&](const char* name) {
            const auto found = environment.find(name);
            return found == environment.end() ? std::string() : found->second;
        });
    };
    EXPECT_EQ(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}), "xcb;wayland");
    EXPECT_EQ(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}}),
              "xcb;wayland");
    // Wayland alone, X11 alone, or the user's own choice: the toolkit's.
    EXPECT_EQ(choose({{"WAYLAND_DISPLAY", "wayland-0"}}), std::nullopt);
    EXPECT_EQ(choose({{"DISPLAY", ":0"}}), std::nullopt);
    EXPECT_EQ(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}}),
              std::nullopt);
    EXPECT_EQ(choose({}), std::nullopt);
}

TEST(Startup, OneShotModeTakesTheFirstArgumentAndTouchesNothing)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=bad\n");
    std::string program = "TIDEBELL", first = "\"C:\\My Sounds\\ding.wav\"", second = "other";
    char* argv[] = {program.data(), first.data(), second.data(), nullptr};
    platform::setArguments(3, argv);

    SharedState state;
    std::string shownFor;
    EXPECT_EQ(tidebell::runCommandLineMode(state, [&](SharedState& s) { shownFor = s.EventSoundFile; }), 0);
    EXPECT_EQ(shownFor, "C:\\My Sounds\\ding.wav");
    EXPECT_EQ(state.EventSoundFile, "C:\\My Sounds\\ding.wav");
    EXPECT_TRUE(state.HelpFilePath.empty());
    EXPECT_TRUE(state.IniPath.empty());
    EXPECT_EQ(Sandbox::readFile(box.iniFile()), "[TIDEBELL]\nMainSize=bad\n");
    EXPECT_TRUE(box.boxes->calls.empty());
    platform::setArguments(1, argv);
}

TEST(Startup, PreparingTheMainWindowSetsPathsProbesAndReads)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=1,2,3\nSingleClick=1\n");
    SharedState state;
    std::vector<std::string> errors;
    tidebell::prepareMainWindow(state, [&](const std::exception& e) { errors.push_back(e.what()); });

    EXPECT_EQ(platform::toPosixPath(state.HelpFilePath), box.programFolder() + "/TIDEBELL.HLP");
    EXPECT_EQ(platform::toPosixPath(state.IniPath), box.iniFile());
    EXPECT_EQ(errors, std::vector<std::string>{"'' は整数ではありません"});
    EXPECT_TRUE(state.Settings.SingleClick);  // the keys after the bad one were read
}

TEST(Startup, LibraryProbeSetsExactlyTheFlagsOfTheLibrariesFound)
{
    Sandbox box;
    auto none = tidebell::ArchiverAvailability::probe();
    EXPECT_FALSE(none.HasUnlha32 || none.HasUnzip32 || none.HasUnarj32j || none.HasUnrar32 || none.HasCab32 ||
                 none.HasTar32);

    copyLibrary(box, TIDEBELL_FAKE_LIBRARY, "libunlha32.so");
    copyLibrary(box, TIDEBELL_FAKE_LIBRARY, "libcab32.so");
    const auto some = tidebell::ArchiverAvailability::probe();
    EXPECT_TRUE(some.HasUnlha32);
    EXPECT_FALSE(some.HasUnzip32);
    EXPECT_FALSE(some.HasUnarj32j);
    EXPECT_FALSE(some.HasUnrar32);
    EXPECT_TRUE(some.HasCab32);
    EXPECT_FALSE(some.HasTar32);
}

TEST(WindowLayout, BoundsApplyOnlyWhenAWidthWasSaved)
{
    tidebell::AppSettings s;
    EXPECT_FALSE(tidebell::savedBounds(s).has_value());
    s.MainLeft = 10;
    s.MainTop = 20;
    s.MainHeight = 400;
    EXPECT_FALSE(tidebell::savedBounds(s).has_value());
    s.MainWidth = 600;
    const auto bounds = tidebell::savedBounds(s);
    ASSERT_TRUE(bounds.has_value());
    EXPECT_EQ(bounds->left, 10);
    EXPECT_EQ(bounds->top, 20);
    EXPECT_EQ(bounds->width, 600);
    EXPECT_EQ(bounds->height, 400);
}

TEST(WindowLayout, TreeWidthIsAThirdOfTheClientLessTheSplitterUnlessSaved)
{
    tidebell::AppSettings s;
    EXPECT_EQ(tidebell::treePaneWidth(s, 600), 197);
    EXPECT_EQ(tidebell::treePaneWidth(s, 602), 197);  // integer division
    s.TreeWidth = 150;
    EXPECT_EQ(tidebell::treePaneWidth(s, 600), 150);
}

TEST(WindowLayout, CloseCopiesTheWindowStateThenWrites)
{
    Sandbox box;
    SharedState state;
    tidebell::RegistoryReadExecute(state);
    tidebell::MainWindowState window;
    window.bounds = {5, 6, 700, 500};
    window.treeWidth = 180;
    window.toolBarVisible = false;
    window.statusBarVisible = true;
    tidebell::closeMainWindow(state, window);

    SharedState reread;
    tidebell::RegistoryReadExecute(reread);
    EXPECT_EQ(reread.Settings.MainLeft, 5);
    EXPECT_EQ(reread.Settings.MainTop, 6);
    EXPECT_EQ(reread.Settings.MainWidth, 700);
    EXPECT_EQ(reread.Settings.MainHeight, 500);
    EXPECT_EQ(reread.Settings.TreeWidth, 180);
    EXPECT_FALSE(reread.Settings.ShowMainToolBar);
    EXPECT_TRUE(reread.Settings.ShowMainStatusBar);
}

TEST(Startup, TheOneShotDialogCentresOnTheMainWindowsDesignBoundsInTheMiddleOfTheScreen)
{
    const tidebell::WindowBounds design = tidebell::mainWindowDesignBounds({0, 30, 1280, 900});
    EXPECT_EQ(design.width, 494);
    EXPECT_EQ(design.height, 238);
    EXPECT_EQ(design.left, (1280 - 494) / 2);
    EXPECT_EQ(design.top, 30 + (900 - 238) / 2);
}
