#include <gtest/gtest.h>

#include "core/error_display.h"
#include "core/exceptions.h"
#include "main/settings_store.h"
#include "tests/support/sandbox.h"

using testing_support::Sandbox;
using tidebell::AppSettings;
using tidebell::SharedState;

namespace {

// The file's lines without line ends.
std::vector<std::string> linesOf(const std::string& content)
{
    std::vector<std::string> lines;
    std::istringstream in(content);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> readWithErrors(SharedState& state)
{
    std::vector<std::string> errors;
    tidebell::RegistoryReadExecute(state, [&](const std::exception& e) { errors.push_back(e.what()); });
    return errors;
}

}  // namespace

TEST(SettingsStore, MissingFileGivesTheDefaultsBesideTheExecutable)
{
    Sandbox box;
    SharedState state;
    state.Settings.MainWidth = 77;  // the read puts the pre-read values back
    state.Settings.SingleClick = true;
    EXPECT_TRUE(readWithErrors(state).empty());

    EXPECT_EQ(platform::toPosixPath(state.IniPath), box.iniFile());
    const AppSettings& s = state.Settings;
    EXPECT_EQ(s.MainLeft, -1);  // from the default text "-1,-1,-1,-1,-1"
    EXPECT_EQ(s.MainWidth, -1);
    EXPECT_EQ(s.TreeWidth, -1);
    EXPECT_EQ(s.LZHWidth, -1);
    EXPECT_EQ(s.LZHHeight, -1);
    EXPECT_FALSE(s.SingleClick);
    EXPECT_TRUE(s.ShowMainToolBar);
    EXPECT_TRUE(s.ShowMainStatusBar);
    EXPECT_TRUE(s.ShowLZHToolBar);
    EXPECT_TRUE(s.ShowLZHStatusBar);
    EXPECT_FALSE(s.DeleteTemp);
    EXPECT_TRUE(s.SaveSetting);
    EXPECT_FALSE(s.SoundEvent);
    EXPECT_FALSE(Sandbox::exists(box.iniFile()));  // reading creates nothing
}

TEST(SettingsStore, ReadsSizesAndTakesNonZeroIntegersAsOn)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(),
                       "[TIDEBELL]\r\n"
                       "MainSize=120,-80,640,480,200\r\n"
                       "LZHSize=400,300\r\n"
                       "SingleClick=2\r\n"
                       "ShowMainToolBar=off\r\n"  // a word reads as 0
                       "ShowMainStatusBar=0\r\n"
                       "DeleteTemp=-1\r\n"
                       "SaveSetting=0\r\n"
                       "SoundEvent=1\r\n");
    SharedState state;
    EXPECT_TRUE(readWithErrors(state).empty());
    const AppSettings& s = state.Settings;
    EXPECT_EQ(s.MainLeft, 120);
    EXPECT_EQ(s.MainTop, -80);
    EXPECT_EQ(s.MainWidth, 640);
    EXPECT_EQ(s.MainHeight, 480);
    EXPECT_EQ(s.TreeWidth, 200);
    EXPECT_EQ(s.LZHWidth, 400);
    EXPECT_EQ(s.LZHHeight, 300);
    EXPECT_TRUE(s.SingleClick);
    EXPECT_FALSE(s.ShowMainToolBar);
    EXPECT_FALSE(s.ShowMainStatusBar);
    EXPECT_TRUE(s.ShowLZHToolBar);  // absent: default on
    EXPECT_TRUE(s.DeleteTemp);
    EXPECT_FALSE(s.SaveSetting);
    EXPECT_TRUE(s.SoundEvent);
}

TEST(SettingsStore, MalformedSizesReportTheItemAndTheRestIsStillRead)
{
    struct Case {
        const char* mainSize;
        const char* message;
        int32_t left, top, width;
    };
    const Case cases[] = {
        {"1,2,3", "'' は整数ではありません", 1, 2, -1},               // too few items
        {"10,x,600,400,150", "'x' は整数ではありません", 10, 0, -1},  // not a number
        {"1,2,3,4,5,6", "'5,6' は整数ではありません", 1, 2, 3},       // a comma left in the last
        {"1,2,3,4,99999999999", "'99999999999' は整数ではありません", 1, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mainSize);
        Sandbox box;
        Sandbox::writeFile(box.iniFile(),
                           std::string("[TIDEBELL]\nMainSize=") + c.mainSize + "\nLZHSize=7\nSingleClick=1\n");
        SharedState state;
        const auto errors = readWithErrors(state);
        ASSERT_EQ(errors.size(), 2u);
        EXPECT_EQ(errors[0], c.message);
        EXPECT_EQ(errors[1], "'' は整数ではありません");  // "7": no comma before the height
        EXPECT_EQ(state.Settings.MainLeft, c.left);
        EXPECT_EQ(state.Settings.MainTop, c.top);
        EXPECT_EQ(state.Settings.MainWidth, c.width);
        EXPECT_EQ(state.Settings.TreeWidth, -1);
        EXPECT_EQ(state.Settings.LZHHeight, 0);
        EXPECT_TRUE(state.Settings.SingleClick);
    }
}

TEST(SettingsStore, MalformedSizeWithoutHandlerThrows)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=a,b\n");
    SharedState state;
    EXPECT_THROW(tidebell::RegistoryReadExecute(state), tidebell::EConvertError);
}

TEST(SettingsStore, IntegerConversionIsStrictDecimal)
{
    EXPECT_EQ(tidebell::strToInt("42"), 42);
    EXPECT_EQ(tidebell::strToInt("  -7"), -7);
    EXPECT_EQ(tidebell::strToInt("+5"), 5);
    EXPECT_EQ(tidebell::strToInt("2147483647"), 2147483647);
    EXPECT_EQ(tidebell::strToInt("-2147483648"), INT32_MIN);
    for (const char* bad : {"", " ", "-", "12 ", "1.5", "2147483648", "-2147483649", "0x10", "１"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(tidebell::strToInt(bad), tidebell::EConvertError);
    }
}

TEST(SettingsStore, FirstWriteCreatesAllTenKeysSaveSettingFirst)
{
    Sandbox box;
    SharedState state;
    tidebell::RegistoryReadExecute(state);
    state.Settings.MainLeft = -4;
    state.Settings.MainTop = 8;
    state.Settings.MainWidth = 640;
    state.Settings.MainHeight = 480;
    state.Settings.TreeWidth = 200;
    state.Settings.SingleClick = true;
    state.Settings.ShowLZHStatusBar = false;
    tidebell::RegistoryWriteExecute(state);

    const std::vector<std::string> expected = {
        "[TIDEBELL]",        "SaveSetting=1",       "MainSize=-4,8,640,480,200", "LZHSize=-1,-1",      "SingleClick=1",
        "ShowMainToolBar=1", "ShowMainStatusBar=1", "ShowLZHToolBar=1",          "ShowLZHStatusBar=0", "DeleteTemp=0",
        "SoundEvent=0",
    };
    EXPECT_EQ(linesOf(Sandbox::readFile(box.iniFile())), expected);

    SharedState again;
    tidebell::RegistoryReadExecute(again);
    EXPECT_EQ(again.Settings.MainLeft, -4);
    EXPECT_EQ(again.Settings.TreeWidth, 200);
    EXPECT_TRUE(again.Settings.SingleClick);
    EXPECT_FALSE(again.Settings.ShowLZHStatusBar);
}

TEST(SettingsStore, SaveSettingOffRewritesOnlyThatKey)
{
    Sandbox box;
    const std::string original = "; kept\n[TIDEBELL]\nMainSize=1,2,3,4,5\nSaveSetting=1\nSingleClick=0\n[Other]\nX=y\n";
    Sandbox::writeFile(box.iniFile(), original);
    SharedState state;
    tidebell::RegistoryReadExecute(state);
    state.Settings.SaveSetting = false;
    state.Settings.SingleClick = true;
    state.Settings.MainWidth = 999;
    tidebell::RegistoryWriteExecute(state);

    std::string expected = original;
    expected.replace(expected.find("SaveSetting=1"), 13, "SaveSetting=0");
    EXPECT_EQ(linesOf(Sandbox::readFile(box.iniFile())), linesOf(expected));
}

TEST(DefaultErrorDisplay, AppendsAFullStopUnlessTheLastCharacterIsAtOrBelowIt)
{
    EXPECT_EQ(tidebell::defaultErrorText("'x' は整数ではありません"), "'x' は整数ではありません.");
    EXPECT_EQ(tidebell::defaultErrorText("failed"), "failed.");
    EXPECT_EQ(tidebell::defaultErrorText("a/"), "a/.");  // "/" is just above "."
    EXPECT_EQ(tidebell::defaultErrorText("done."), "done.");
    EXPECT_EQ(tidebell::defaultErrorText("what!"), "what!");
    EXPECT_EQ(tidebell::defaultErrorText("(x)"), "(x)");
    EXPECT_EQ(tidebell::defaultErrorText(""), "");
}

TEST(DefaultErrorDisplay, ShowsAnErrorBoxWithTheApplicationTitle)
{
    Sandbox box;
    tidebell::showDefaultError(nullptr, tidebell::EConvertError("'' は整数ではありません"));
    ASSERT_EQ(box.boxes->calls.size(), 1u);
    EXPECT_EQ(box.boxes->calls[0].text, "'' は整数ではありません.");
    EXPECT_EQ(box.boxes->calls[0].caption, "ねいろん for Win32");
    EXPECT_EQ(box.boxes->calls[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
}
