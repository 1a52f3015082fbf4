// The archive viewer on archives made by independent tools, with our real
// archiver libraries, a private temporary folder and a recording sound
// service.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListView>
#include <QMainWindow>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QToolBar>
#include <QWindow>
#include <filesystem>

#include "archive/archiver.h"
#include "archive_viewer/archive_opening.h"
#include "archive_viewer/form_lzh.h"
#include "tests/support/sandbox.h"
#include "tests/support/wave_bytes.h"

using testing_support::Sandbox;
using tidebell::SharedState;
using tidebell::TFormLZH;
using tidebell_test::waveBytes;

namespace {

namespace fs = std::filesystem;

class Viewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::overrides().librarySearchFolders = std::vector<std::string>{TIDEBELL_LIBRARY_DIR};
        fs::create_directories(tempFolder());
        platform::overrides().tempFolder = tempFolder();
        m_main.setGeometry(100, 100, 600, 400);
    }

    std::string tempFolder() const { return m_box.root() + "/work/tmp"; }

    // Runs `command` in a source folder holding snd/a.wav, snd/b.wav and
    // readme.txt; %A is the archive. Answers the archive's Windows path.
    std::string makeArchive(const std::string& name, std::string command)
    {
        const std::string src = m_box.root() + "/src";
        fs::create_directories(src + "/snd");
        Sandbox::writeFile(src + "/snd/a.wav", waveBytes());
        Sandbox::writeFile(src + "/snd/b.wav", waveBytes(100));
        Sandbox::writeFile(src + "/readme.txt", "text\n");
        const std::string archive = m_box.root() + "/" + name;
        command.replace(command.find("%A"), 2, "'" + archive + "'");
        command = "cd '" + src + "' && " + command + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return platform::toWindowsPath(archive);
    }

    // The temporary folder is no folder: there is nowhere to extract to.
    void leaveNowhereToExtract()
    {
        Sandbox::writeFile(m_box.root() + "/not-a-folder", "");
        platform::overrides().tempFolder = m_box.root() + "/not-a-folder";
    }

    std::vector<std::string> captions(const TFormLZH& viewer) const
    {
        std::vector<std::string> rows;
        for (int row = 0; row < viewer.rowCount(); ++row) {
            rows.push_back(viewer.rowCaption(row));
        }
        return rows;
    }

    std::vector<std::string> playedFiles() const
    {
        std::vector<std::string> files;
        for (const auto& call : m_sound->calls) {
            EXPECT_EQ(call.flags, static_cast<UINT>(SND_ASYNC));
            files.push_back(platform::toPosixPath(call.path));
        }
        return files;
    }

    Sandbox m_box;
    tidebell_test::ScopedService<tidebell_test::FakeSoundService> m_sound{
        std::make_shared<tidebell_test::FakeSoundService>()};
    SharedState m_state;
    QMainWindow m_main;
};

TEST_F(Viewer, ListsExtractsFlatPlaysReplaysAndDeletesTheWorkingCopies)
{
    m_state.ArchivePath = makeArchive("sounds.lzh", "jlha a %A snd/a.wav snd/b.wav readme.txt");
    m_state.Settings.SingleClick = true;
    m_state.Settings.DeleteTemp = true;
    std::string mainHints;
    m_state.OnHint = [&](const std::string& hint) { mainHints += hint; };
    Sandbox::writeFile(m_box.root() + "/work/unrelated.wav", "keep");

    TFormLZH viewer(m_state, &m_main);
    viewer.show();
    ASSERT_EQ(captions(viewer), (std::vector<std::string>{"snd/a.wav", "snd/b.wav"}));
    EXPECT_EQ(viewer.windowTitle().toStdString(), m_state.ArchivePath);
    EXPECT_EQ(viewer.ListItems->row(0).size.toStdString(), std::to_string(waveBytes().size()));
    EXPECT_EQ(viewer.ListItems->row(0).time.size(), 19);  // yyyy/mm/dd hh:mm:ss
    EXPECT_EQ(viewer.ReportView->columnWidth(0), 100);
    EXPECT_GE(viewer.ReportView->columnWidth(2), 120);  // wider when the font needs it

    // Hints go to the viewer's status bar while it is open.
    m_state.OnHint("短い|長いヒント");
    EXPECT_EQ(viewer.StatusBar1->currentMessage(), QStringLiteral("長いヒント"));
    viewer.selectRow(0);
    EXPECT_EQ(viewer.StatusBar1->currentMessage(), QStringLiteral("snd/a.wav"));

    // A single click never extracts; it replays what is already there.
    viewer.ListView1Click();
    EXPECT_TRUE(m_sound->calls.empty());
    viewer.ListView1DblClick();
    const std::string workingCopy = tempFolder() + "/a.wav";
    EXPECT_EQ(playedFiles(), std::vector<std::string>{workingCopy});
    EXPECT_TRUE(Sandbox::readFile(workingCopy) == waveBytes());
    EXPECT_FALSE(fs::exists(tempFolder() + "/snd"));
    viewer.ListView1Click();
    EXPECT_EQ(m_sound->calls.size(), 2u);
    viewer.selectRow(1);
    viewer.ListView1Click();
    EXPECT_EQ(m_sound->calls.size(), 2u);

    const int outerWidth = viewer.frameGeometry().width();
    viewer.menufileClose->trigger();
    EXPECT_FALSE(viewer.isVisible());
    EXPECT_FALSE(fs::exists(workingCopy));
    EXPECT_EQ(Sandbox::readFile(m_box.root() + "/work/unrelated.wav"), "keep");
    EXPECT_EQ(m_state.Settings.LZHWidth, outerWidth);
    m_state.OnHint("|back");
    EXPECT_EQ(mainHints, "|back");
    EXPECT_TRUE(m_box.boxes->calls.empty());
}

TEST_F(Viewer, TheViewerKeepsItsSizeAndBarsAndWorkingCopiesWithoutDeleteTemp)
{
    m_state.ArchivePath = makeArchive("sounds.zip", "bsdtar --format zip -cf %A snd/a.wav readme.txt");
    m_state.Settings.LZHWidth = 420;
    m_state.Settings.LZHHeight = 300;
    m_state.Settings.ShowLZHToolBar = false;
    QSize outerAtClose;
    {
        TFormLZH viewer(m_state, &m_main);
        viewer.show();
        // The saved size is the outer frame's, as the main window's is.
        const QRect outer = viewer.frameGeometry();
        EXPECT_EQ(outer.size(), QSize(420, 300));
        EXPECT_NE(viewer.size(), outer.size());
        EXPECT_EQ(outer.topLeft(), QPoint(100 + (600 - 420) / 2, 100 + (400 - 300) / 2));
        EXPECT_FALSE(viewer.ToolBar1->isVisible());
        EXPECT_FALSE(viewer.menuviewToolbar->isChecked());
        EXPECT_TRUE(viewer.menuviewDetail->isChecked());
        viewer.menuviewList->trigger();
        EXPECT_FALSE(viewer.menuviewDetail->isChecked());
        viewer.menuviewToolbar->trigger();
        viewer.menuviewStatus->trigger();
        viewer.selectRow(0);
        viewer.menufilePlay->trigger();
        viewer.resize(500, 350);
        outerAtClose = viewer.frameGeometry().size();
        viewer.close();
    }
    EXPECT_TRUE(fs::exists(tempFolder() + "/a.wav"));
    EXPECT_EQ(m_state.Settings.LZHWidth, outerAtClose.width());
    EXPECT_EQ(m_state.Settings.LZHHeight, outerAtClose.height());
    EXPECT_GT(outerAtClose.width(), 500);
    EXPECT_TRUE(m_state.Settings.ShowLZHToolBar);
    EXPECT_FALSE(m_state.Settings.ShowLZHStatusBar);
}

TEST_F(Viewer, TheListViewSelectsWholeRowsThatPlayAndShowsEveryNameWhole)
{
    const std::string longName = "snd/a-sound-whose-name-is-much-longer-than-the-first.wav";
    m_state.ArchivePath = makeArchive("names.zip", "mv snd/b.wav '" + longName +
                                                       "' && bsdtar --format zip -cf %A snd/a.wav '" + longName + "'");
    m_state.Settings.SingleClick = true;
    TFormLZH viewer(m_state, &m_main);
    viewer.show();
    QApplication::setActiveWindow(&viewer);
    ASSERT_EQ(captions(viewer), (std::vector<std::string>{"snd/a.wav", longName}));
    viewer.menuviewList->trigger();
    ASSERT_EQ(viewer.ListView1->currentWidget(), viewer.IconListView);
    QWidget* viewport = viewer.IconListView->viewport();
    auto centreOf = [&](int row) { return viewer.IconListView->visualRect(viewer.ListItems->index(row, 0)).center(); };
    const QRect second = viewer.IconListView->visualRect(viewer.ListItems->index(1, 0));
    EXPECT_GE(second.width(), viewer.IconListView->fontMetrics().horizontalAdvance(QString::fromStdString(longName)));

    // A click selects the row: the status bar, Play and Ctrl+P see it.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centreOf(0));
    EXPECT_EQ(viewer.selectedRow(), 0);
    EXPECT_EQ(viewer.StatusBar1->currentMessage(), QStringLiteral("snd/a.wav"));
    QTest::keyClick(viewer.IconListView, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(playedFiles(), std::vector<std::string>{tempFolder() + "/a.wav"});
    // Now extracted, a single click replays it.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centreOf(0));
    EXPECT_EQ(m_sound->calls.size(), 2u);

    // The arrow key moves the selection; a double click plays.
    QTest::keyClick(viewer.IconListView, Qt::Key_Down);
    EXPECT_EQ(viewer.selectedRow(), 1);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centreOf(1));  // not extracted yet: no sound
    EXPECT_EQ(m_sound->calls.size(), 2u);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, centreOf(1));
    const std::string a = tempFolder() + "/a.wav";
    EXPECT_EQ(playedFiles(),
              (std::vector<std::string>{a, a, tempFolder() + "/a-sound-whose-name-is-much-longer-than-the-first.wav"}));

    // The selection carries over to the report view.
    viewer.menuviewDetail->trigger();
    EXPECT_EQ(viewer.selectedRow(), 1);
    EXPECT_TRUE(m_box.boxes->calls.empty());
}

TEST_F(Viewer, OnlyTheLeftButtonsDoubleClickPlaysAndEscDoesNotClose)
{
    m_state.ArchivePath = makeArchive("sounds.zip", "bsdtar --format zip -cf %A snd/a.wav snd/b.wav");
    m_main.show();
    TFormLZH viewer(m_state, &m_main);
    viewer.show();
    // The window manager sees the viewer belong to the main window.
    EXPECT_EQ(viewer.windowHandle()->transientParent(), m_main.windowHandle());
    QApplication::setActiveWindow(&viewer);
    for (QAction* view : {viewer.menuviewDetail, viewer.menuviewList}) {
        view->trigger();
        auto* shown = static_cast<QAbstractItemView*>(viewer.ListView1->currentWidget());
        const QPoint at = shown->visualRect(viewer.ListItems->index(0, 0)).center();
        for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
            QTest::mouseClick(shown->viewport(), button, {}, at);
            QTest::mouseDClick(shown->viewport(), button, {}, at);
        }
        EXPECT_TRUE(m_sound->calls.empty());
        QTest::mouseClick(shown->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(shown->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(m_sound->calls.size(), 1u);
        m_sound->calls.clear();

        // The viewer has no cancel: Esc leaves it open, wherever the focus.
        QTest::keyClick(shown, Qt::Key_Escape);
        QTest::keyClick(&viewer, Qt::Key_Escape);
        EXPECT_TRUE(viewer.isVisible());
    }
    viewer.menufileClose->trigger();
    EXPECT_FALSE(viewer.isVisible());
}

TEST_F(Viewer, HostileEntryNamesNeverReachOutsideTheWorkingFolder)
{
    // Names kept as a Unix tar stores them: one with "\" between its parts
    // (a single name on Linux), one climbing with "/".
    const std::string src = m_box.root() + "/src";
    fs::create_directories(src);
    Sandbox::writeFile(src + "/..\\..\\x.wav", waveBytes());
    Sandbox::writeFile(src + "/y.wav", waveBytes(200));
    const std::string archive = m_box.root() + "/hostile.tar";
    const std::string command = "cd '" + src + "' && bsdtar -cf '" + archive +
                                "' -s ',^y.wav$,../../y.wav,' '..\\..\\x.wav' y.wav >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    m_state.ArchivePath = platform::toWindowsPath(archive);
    m_state.Settings.DeleteTemp = true;
    // What a naive join of working folder and entry name would hit.
    Sandbox::writeFile(m_box.root() + "/x.wav", "precious");
    Sandbox::writeFile(m_box.root() + "/y.wav", "precious");

    TFormLZH viewer(m_state, &m_main);
    viewer.show();
    ASSERT_EQ(captions(viewer), (std::vector<std::string>{"..\\..\\x.wav", "../../y.wav"}));
    for (int row = 0; row < 2; ++row) {
        viewer.selectRow(row);
        viewer.ListView1DblClick();
    }
    EXPECT_EQ(playedFiles(), (std::vector<std::string>{tempFolder() + "/x.wav", tempFolder() + "/y.wav"}));
    EXPECT_TRUE(Sandbox::readFile(tempFolder() + "/x.wav") == waveBytes());
    viewer.close();
    EXPECT_FALSE(fs::exists(tempFolder() + "/x.wav"));
    EXPECT_FALSE(fs::exists(tempFolder() + "/y.wav"));
    EXPECT_EQ(Sandbox::readFile(m_box.root() + "/x.wav"), "precious");
    EXPECT_EQ(Sandbox::readFile(m_box.root() + "/y.wav"), "precious");
    EXPECT_TRUE(m_box.boxes->calls.empty());
}

TEST_F(Viewer, AnEntryThatCannotBeExtractedShowsTheMessageAndPlaysNothing)
{
    m_state.ArchivePath = makeArchive("sounds.lzh", "jlha a %A snd/a.wav");
    TFormLZH viewer(m_state, &m_main);
    viewer.show();
    ASSERT_EQ(viewer.rowCount(), 1);
    leaveNowhereToExtract();
    viewer.selectRow(0);
    viewer.ListView1DblClick();
    EXPECT_TRUE(m_sound->calls.empty());
    ASSERT_EQ(m_box.boxes->calls.size(), 1u);
    EXPECT_EQ(m_box.boxes->calls[0].text, "圧縮ファイルが解凍できません");
    EXPECT_EQ(m_box.boxes->calls[0].caption, "ねいろん for Win32");
    EXPECT_EQ(m_box.boxes->calls[0].type, static_cast<UINT>(MB_OK));

    // The window is still usable once the folder is back.
    platform::overrides().tempFolder = tempFolder();
    viewer.ListView1DblClick();
    EXPECT_EQ(m_sound->calls.size(), 1u);
}

TEST_F(Viewer, DraggingAnEntryThatCannotBeExtractedShowsThePlayingMessageAndDragsNothing)
{
    m_state.ArchivePath = makeArchive("sounds.lzh", "jlha a %A snd/a.wav");
    TFormLZH viewer(m_state, &m_main);
    viewer.show();
    ASSERT_EQ(viewer.rowCount(), 1);
    leaveNowhereToExtract();
    QWidget* viewport = viewer.ReportView->viewport();
    const QPoint at = viewer.ReportView->visualRect(viewer.ListItems->index(0, 0)).center();
    const QPoint away = at + QPoint(0, QApplication::startDragDistance() + 1);
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent move(QEvent::MouseMove, away, viewport->mapToGlobal(away), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    ASSERT_EQ(m_box.boxes->calls.size(), 1u);
    EXPECT_EQ(m_box.boxes->calls[0].text, "圧縮ファイルが解凍できません");
    EXPECT_EQ(m_box.boxes->calls[0].caption, "ねいろん for Win32");
    EXPECT_TRUE(m_sound->calls.empty());
}

TEST_F(Viewer, ADamagedEntryIsNeitherPlayedNorLeftAsAWorkingCopy)
{
    const std::string archive =
        makeArchive("stored.zip", "bsdtar --format zip --options zip:compression=store -cf %A snd/a.wav");
    // Spoil the stored samples; names and directory stay readable.
    const std::string path = platform::toPosixPath(archive);
    std::string bytes = Sandbox::readFile(path);
    for (size_t i = 200; i < 1200; ++i) {
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    }
    Sandbox::writeFile(path, bytes);
    m_state.ArchivePath = archive;
    TFormLZH viewer(m_state, &m_main);
    viewer.show();
    ASSERT_EQ(captions(viewer), std::vector<std::string>{"snd/a.wav"});
    viewer.selectRow(0);
    viewer.ListView1DblClick();
    EXPECT_TRUE(m_sound->calls.empty());
    ASSERT_EQ(m_box.boxes->calls.size(), 1u);
    EXPECT_EQ(m_box.boxes->calls[0].text, "圧縮ファイルが解凍できません");
    EXPECT_FALSE(fs::exists(tempFolder() + "/a.wav"));
}

TEST_F(Viewer, AMissingLibraryReachesTheErrorDisplayAndLeavesTheWindowUsable)
{
    m_state.ArchivePath = makeArchive("sounds.lzh", "jlha a %A snd/a.wav");
    platform::overrides().librarySearchFolders = std::vector<std::string>{m_box.libraryFolder()};
    // Libraries stay loaded once loaded; a type whose library no test loads.
    m_state.ArchivePath.replace(m_state.ArchivePath.size() - 3, 3, "gza");
    TFormLZH viewer(m_state, &m_main);
    viewer.show();
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_EQ(viewer.rowCount(), 0);
    ASSERT_EQ(m_box.boxes->calls.size(), 1u);
    EXPECT_NE(m_box.boxes->calls[0].text.find("BGA32.DLL"), std::string::npos) << m_box.boxes->calls[0].text;
    EXPECT_EQ(m_box.boxes->calls[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    viewer.menuviewStatus->trigger();
    EXPECT_FALSE(viewer.StatusBar1->isVisible());
    viewer.close();
}

TEST_F(Viewer, OpeningFromTheMainWindowNeedsAWaveEntry)
{
    archives::TArchiveFile mainComponent;
    const std::string noWave = makeArchive("text.zip", "bsdtar --format zip -cf %A readme.txt");
    tidebell::OpenArchiveFromMain(m_state, mainComponent, &m_main, noWave);
    EXPECT_EQ(m_state.ArchivePath, noWave);
    // Damaged beyond recognition but with a known extension: the library
    // refuses it and the search finds nothing.
    Sandbox::writeFile(m_box.root() + "/junk.lzh", std::string(4096, '\x5A'));
    tidebell::OpenArchiveFromMain(m_state, mainComponent, &m_main, platform::toWindowsPath(m_box.root() + "/junk.lzh"));
    ASSERT_EQ(m_box.boxes->calls.size(), 2u);
    for (const auto& call : m_box.boxes->calls) {
        EXPECT_EQ(call.text, "WAVファイルがありません。");
        EXPECT_EQ(call.caption, "ねいろん for Win32");
    }

    // With one, the viewer opens modally on it.
    const std::string sounds = makeArchive("sounds.zip", "bsdtar --format zip -cf %A snd/a.wav");
    std::vector<std::string> shown;
    QTimer::singleShot(0, [&] {
        auto* viewer = dynamic_cast<TFormLZH*>(QApplication::activeModalWidget());
        ASSERT_NE(viewer, nullptr);
        shown = captions(*viewer);
        viewer->close();
    });
    tidebell::OpenArchiveFromMain(m_state, mainComponent, &m_main, sounds);
    EXPECT_EQ(shown, std::vector<std::string>{"snd/a.wav"});
    EXPECT_EQ(m_box.boxes->calls.size(), 2u);
}

}  // namespace
