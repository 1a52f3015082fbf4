#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "main/form_main.h"
#include "main/settings_store.h"
#include "tests/support/sandbox.h"

using testing_support::Sandbox;
using tidebell::SharedState;
using tidebell::TFormMain;

namespace {

int treeWidthOf(const TFormMain& form)
{
    return form.Splitter1->sizes().front();
}

}  // namespace

TEST(FormMain, WithoutAFileThePlatformPlacesItAndTheTreeTakesAThird)
{
    Sandbox box;
    SharedState state;
    TFormMain form(state);
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ねいろん for Win32"));
    // Not shrunk to the empty window's minimum: the desktop's default size.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(form.width(), area.width() * 3 / 4);
    EXPECT_EQ(form.height(), area.height() * 3 / 4);
    EXPECT_EQ(treeWidthOf(form), form.width() / 3 - 3);
    EXPECT_EQ(form.Splitter1->handleWidth(), 3);
    EXPECT_TRUE(form.ToolBar1->isVisible());
    EXPECT_TRUE(form.menuToolBar->isChecked());
    EXPECT_TRUE(form.StatusBar1->isVisible());
    EXPECT_TRUE(box.boxes->calls.empty());
    EXPECT_FALSE(state.HelpFilePath.empty());

    form.close();
    const std::string written = Sandbox::readFile(box.iniFile());
    EXPECT_EQ(written.find("[TIDEBELL]"), 0u);
    EXPECT_LT(written.find("SaveSetting=1"), written.find("MainSize="));
}

TEST(FormMain, SavedBoundsAndTreeWidthAreApplied)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=10,20,600,400,-1\n");
    {
        SharedState state;
        TFormMain form(state);
        form.show();
        // The saved bounds are the outer frame; the tree takes a third of
        // the client width.
        EXPECT_EQ(form.frameGeometry(), QRect(10, 20, 600, 400));
        EXPECT_EQ(treeWidthOf(form), form.width() / 3 - 3);
    }
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=10,20,-1,400,150\n");
    SharedState state;
    TFormMain form(state);
    form.show();
    EXPECT_NE(form.size(), QSize(-1, 400));
    EXPECT_EQ(treeWidthOf(form), 150);
}

TEST(FormMain, BarsFollowTheSettingsAndTheMenuAndCloseStoresThem)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nShowMainToolBar=0\nMainSize=30,40,500,300,120\n");
    SharedState state;
    TFormMain form(state);
    form.show();
    EXPECT_FALSE(form.ToolBar1->isVisible());
    EXPECT_FALSE(form.menuToolBar->isChecked());
    EXPECT_TRUE(form.StatusBar1->isVisible());

    form.menuToolBar->trigger();
    form.menuStatusBar->trigger();
    EXPECT_TRUE(form.ToolBar1->isVisible());
    EXPECT_TRUE(form.menuToolBar->isChecked());
    EXPECT_FALSE(form.StatusBar1->isVisible());
    EXPECT_FALSE(form.menuStatusBar->isChecked());

    form.Splitter1->setSizes({90, form.Splitter1->width() - 93});
    form.move(35, 45);
    form.menuExit->trigger();
    EXPECT_FALSE(form.isVisible());

    SharedState reread;
    tidebell::RegistoryReadExecute(reread);
    EXPECT_TRUE(reread.Settings.ShowMainToolBar);
    EXPECT_FALSE(reread.Settings.ShowMainStatusBar);
    EXPECT_EQ(reread.Settings.TreeWidth, 90);
    EXPECT_EQ(reread.Settings.MainLeft, 35);
    EXPECT_EQ(reread.Settings.MainTop, 45);
    EXPECT_EQ(reread.Settings.MainWidth, 500);
    EXPECT_EQ(reread.Settings.MainHeight, 300);
}

TEST(FormMain, HintsShowTheirLongPartInTheStatusBar)
{
    Sandbox box;
    SharedState state;
    TFormMain form(state);
    form.show();
    form.menuToolBar->showStatusText(form.ToolBar1);  // as hovering its menu item does
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("ツールバーの表示/非表示を切り替えます"));
    form.AppOnHint(QStringLiteral("短い|長いヒント|続き"));
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("長いヒント|続き"));
    form.AppOnHint(QString());
    EXPECT_TRUE(form.StatusBar1->currentMessage().isEmpty());
}

TEST(FormMain, MalformedSizeShowsTheErrorBoxAndTheWindowStillOpens)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=10,20,wide,400,150\nShowMainStatusBar=0\n");
    SharedState state;
    TFormMain form(state);
    form.show();
    ASSERT_EQ(box.boxes->calls.size(), 1u);
    EXPECT_EQ(box.boxes->calls[0].text, "'wide' は整数ではありません.");
    EXPECT_EQ(box.boxes->calls[0].caption, "ねいろん for Win32");
    EXPECT_EQ(box.boxes->calls[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.StatusBar1->isVisible());  // read after the bad value
    EXPECT_EQ(treeWidthOf(form), form.width() / 3 - 3);
}

TEST(FormMain, AMaximisedWindowSavesItsNormalBounds)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=10,20,600,400,150\n");
    SharedState state;
    TFormMain form(state);
    form.show();
    form.showMaximized();
    form.close();
    SharedState reread;
    tidebell::RegistoryReadExecute(reread);
    EXPECT_EQ(reread.Settings.MainWidth, 600);
    EXPECT_EQ(reread.Settings.MainHeight, 400);
}

int main(int argc, char** argv)
{
    // Listing the tests at build time runs this too, without the test
    // environment: never open real windows.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
