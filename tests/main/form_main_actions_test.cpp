// The main window driven as a user would: started in a folder of sounds made
// in a temporary directory, with fake sound, help and message-box services.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QPixmap>
#include <QListView>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QWindow>

#include "main/file_list_model.h"
#include "main/file_list_view.h"
#include "main/folder_tree_model.h"
#include "main/form_main.h"
#include "main/settings_store.h"
#include "platform/platform.h"
#include "tests/support/sandbox.h"
#include "ui/window_support.h"

using testing_support::Sandbox;
using tidebell::SharedState;
using tidebell::TFormMain;
using tidebell_test::FakeHelpService;
using tidebell_test::FakeSoundService;
using tidebell_test::ScopedService;

namespace {

// The process's current directory for the lifetime of the guard.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::string& path) : m_saved(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~ScopedCurrentDirectory() { std::filesystem::current_path(m_saved); }

private:
    std::filesystem::path m_saved;
};

// A folder "サウンド" with two WAVE files, an archive, a text file and a
// sub-folder; the window starts in it.
class SoundFolder {
public:
    SoundFolder()
    {
        for (const char* name : {"a.wav", "b.wav", "x.lzh", "readme.txt"}) {
            Sandbox::writeFile(posix() + "/" + name, "RIFF");
        }
        std::filesystem::create_directories(posix() + "/sub");
    }
    std::string posix() const
    {
        std::filesystem::create_directories(box.root() + "/サウンド");
        return box.root() + "/サウンド";
    }
    std::string windows() const { return platform::toWindowsPath(posix()) + "\\"; }

    Sandbox box;
};

// The window started in a SoundFolder, shown.
struct StartedInSounds {
    StartedInSounds() { form.show(); }
    SoundFolder folder;
    ScopedCurrentDirectory cwd{folder.posix()};
    SharedState state;
    TFormMain form{state};
};

int rowOf(const TFormMain& form, const std::string& name)
{
    for (int row = 0; row < form.FileList->rowCount(); ++row) {
        if (form.FileList->fileName(row) == name) {
            return row;
        }
    }
    return -1;
}

QPoint centreOfRow(const TFormMain& form, int row)
{
    const QAbstractItemView* view = form.ListView1->currentView();
    return view->visualRect(form.FileList->index(row, 0)).center();
}

void clickRow(TFormMain& form, int row)
{
    QTest::mouseClick(form.ListView1->currentView()->viewport(), Qt::LeftButton, {}, centreOfRow(form, row));
}

void doubleClickRow(TFormMain& form, int row, Qt::MouseButton button = Qt::LeftButton)
{
    QWidget* viewport = form.ListView1->currentView()->viewport();
    const QPoint at = centreOfRow(form, row);
    // A double click comes after the click that began it.
    QTest::mouseClick(viewport, button, {}, at);
    QTest::mouseDClick(viewport, button, {}, at);
}

// Closes whatever modal window an action opens, so the test goes on.
void closeModalWindowsSoon()
{
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
}

class SoundThatFails : public platform::SoundService {
public:
    bool play(const std::string&, UINT) override { throw std::runtime_error("再生できません"); }
};

}  // namespace

TEST(FormMainActions, StartsInTheCurrentFolderAndListsItsSounds)
{
    StartedInSounds started;
    auto& [folder, cwd, state, form] = started;
    const QModelIndex current = form.TreeView1->currentIndex();
    EXPECT_EQ(form.TreeModel->NodePath(current), folder.windows());
    EXPECT_TRUE(form.TreeView1->isExpanded(form.TreeModel->index(0, 0)));
    std::vector<std::string> names;
    for (int row = 0; row < form.FileList->rowCount(); ++row) {
        names.push_back(form.FileList->fileName(row));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.wav", "b.wav"}));  // no archiver library here
    EXPECT_TRUE(folder.box.boxes->calls.empty());
}

TEST(FormMainActions, PlayClickAndDoubleClickFollowTheSettings)
{
    ScopedService<FakeSoundService> sound(std::make_shared<FakeSoundService>());
    StartedInSounds started;
    auto& [folder, cwd, state, form] = started;

    form.menufilePlay->trigger();  // nothing selected
    form.P1->trigger();
    EXPECT_TRUE(sound->calls.empty());

    const int a = rowOf(form, "a.wav");
    clickRow(form, a);  // single click off: selects only
    EXPECT_TRUE(sound->calls.empty());
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("a.wav"));
    form.menufilePlay->trigger();
    ASSERT_EQ(sound->calls.size(), 1u);
    EXPECT_EQ(sound->calls[0].path, folder.windows() + "a.wav");
    EXPECT_EQ(sound->calls[0].flags, static_cast<UINT>(SND_ASYNC));

    doubleClickRow(form, rowOf(form, "b.wav"));
    ASSERT_EQ(sound->calls.size(), 2u);
    EXPECT_EQ(sound->calls[1].path, folder.windows() + "b.wav");

    state.Settings.SingleClick = true;  // read when the click comes
    doubleClickRow(form, a);            // the click plays, then the double click
    EXPECT_EQ(sound->calls.size(), 4u);

    // A click on empty space clears the selection and its text.
    QWidget* viewport = form.ListView1->currentView()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 5));
    EXPECT_EQ(form.ListView1->selectedRow(), -1);
    EXPECT_TRUE(form.StatusBar1->currentMessage().isEmpty());
    form.menufilePlay->trigger();
    EXPECT_EQ(sound->calls.size(), 4u);
    EXPECT_TRUE(folder.box.boxes->calls.empty());
}

TEST(FormMainActions, OnlyTheLeftButtonsDoubleClickActsInEitherView)
{
    ScopedService<FakeSoundService> sound(std::make_shared<FakeSoundService>());
    StartedInSounds started;
    auto& [folder, cwd, state, form] = started;
    const int a = rowOf(form, "a.wav");
    for (QAction* view : {form.menuviewDetail, form.menuviewList}) {
        view->trigger();
        doubleClickRow(form, a, Qt::RightButton);
        doubleClickRow(form, a, Qt::MiddleButton);
        EXPECT_TRUE(sound->calls.empty());
        doubleClickRow(form, a);
        EXPECT_EQ(sound->calls.size(), 1u);
        sound->calls.clear();
    }
}

TEST(FormMainActions, TheOptionsAndSoundEventDialogsAreOwnedByTheMainWindow)
{
    StartedInSounds started;
    auto& [folder, cwd, state, form] = started;
    form.ListView1->selectRow(rowOf(form, "a.wav"));
    for (QAction* action : {form.menufileOption, form.menufileEvent}) {
        QWidget* owner = nullptr;
        QWindow* transientFor = nullptr;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            owner = dialog->parentWidget();
            transientFor = dialog->windowHandle()->transientParent();
            dialog->close();
        });
        action->trigger();
        // What the window manager sees: the dialog belongs to the main window.
        EXPECT_EQ(owner, &form) << action->objectName().toStdString();
        EXPECT_EQ(transientFor, form.windowHandle()) << action->objectName().toStdString();
    }
}

TEST(FormMainActions, ArchivesOpenByPlayOnlyAndSoundEventTakesTheDoubleClick)
{
    ScopedService<FakeSoundService> sound(std::make_shared<FakeSoundService>());
    StartedInSounds started;
    auto& [folder, cwd, state, form] = started;
    state.Archivers.HasUnlha32 = true;
    form.TreeView1Changing(form.TreeView1->currentIndex());
    const int archive = rowOf(form, "x.lzh");
    ASSERT_GE(archive, 0);

    state.Settings.SingleClick = true;
    state.Settings.SoundEvent = true;
    doubleClickRow(form, archive);  // no single-click opening, no event for archives
    EXPECT_TRUE(folder.box.boxes->calls.empty());
    EXPECT_TRUE(state.EventSoundFile.empty());

    // Play opens it: this file is no archive, which one message tells.
    closeModalWindowsSoon();
    form.menufilePlay->trigger();
    EXPECT_EQ(folder.box.boxes->calls.size(), 1u);
    EXPECT_TRUE(sound->calls.empty());

    // With SoundEvent on a double click on a WAVE file goes to the event
    // dialog, for that file, and does not play.
    state.Settings.SingleClick = false;
    closeModalWindowsSoon();
    doubleClickRow(form, rowOf(form, "b.wav"));
    EXPECT_EQ(state.EventSoundFile, folder.windows() + "b.wav");
    EXPECT_TRUE(sound->calls.empty());
}

TEST(FormMainActions, AnExceptionInAHandlerIsShownAndTheProgramGoesOn)
{
    StartedInSounds started;
    auto& [folder, cwd, state, form] = started;
    const int a = rowOf(form, "a.wav");
    {
        ScopedService<SoundThatFails> failing(std::make_shared<SoundThatFails>());
        doubleClickRow(form, a);
    }
    ASSERT_EQ(folder.box.boxes->calls.size(), 1u);
    EXPECT_EQ(folder.box.boxes->calls[0].text, "再生できません.");
    EXPECT_EQ(folder.box.boxes->calls[0].caption, "ねいろん for Win32");
    EXPECT_EQ(folder.box.boxes->calls[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));

    ScopedService<FakeSoundService> sound(std::make_shared<FakeSoundService>());
    doubleClickRow(form, a);
    EXPECT_EQ(sound->calls.size(), 1u);
}

TEST(FormMainActions, HelpGoesToTheHelpFileWithTheWindowsContextNumbers)
{
    Sandbox box;
    ScopedService<FakeHelpService> help(std::make_shared<FakeHelpService>());
    SharedState state;
    TFormMain form(state);
    form.show();
    QApplication::setActiveWindow(&form);
    QTest::keyClick(&form, Qt::Key_F1);
    form.O1->trigger();
    form.C1->trigger();
    ASSERT_EQ(help->calls.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(help->calls[i].file, state.HelpFilePath);
        EXPECT_EQ(help->calls[i].command, static_cast<UINT>(HELP_CONTEXT));
        EXPECT_EQ(help->calls[i].data, (std::vector<uintptr_t>{0, 3, 4}[i]));
    }
    EXPECT_EQ(form.C1->text(), QStringLiteral("コマンド説明(&M)"));
    state.HelpFilePath.clear();
    form.menuhelpContents->trigger();
    EXPECT_EQ(help->calls.size(), 3u);
}

TEST(FormMainActions, ViewModesShareRowsAndSelectionAndShowWhichIsOn)
{
    StartedInSounds started;
    auto& [folder, cwd, state, form] = started;
    EXPECT_TRUE(form.menuDetail->isChecked());
    EXPECT_TRUE(form.ToolButton4->isChecked());
    form.ListView1->selectRow(1);

    form.ToolButton3->click();
    EXPECT_EQ(form.ListView1->currentWidget(), form.ListView1->listView());
    EXPECT_TRUE(form.menuList->isChecked());
    EXPECT_FALSE(form.menuDetail->isChecked());
    EXPECT_TRUE(form.ToolButton3->isChecked());
    EXPECT_FALSE(form.ToolButton4->isChecked());
    EXPECT_EQ(form.ListView1->listView()->model()->rowCount(), 2);
    EXPECT_EQ(form.ListView1->selectedRow(), 1);

    form.menuDetail->trigger();
    EXPECT_EQ(form.ListView1->currentWidget(), form.ListView1->detailView());
    EXPECT_FALSE(form.menuList->isChecked());
    EXPECT_FALSE(form.ToolButton3->isChecked());
    EXPECT_EQ(form.ListView1->selectedRow(), 1);
}

TEST(FormMainActions, ToolButtonsShowHintsInTheStatusBarAndNoTooltips)
{
    Sandbox box;
    SharedState state;
    tidebell::ApplicationHints hints(state);
    qApp->installEventFilter(&hints);
    TFormMain form(state);
    form.show();
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(form.ToolButton2, &enter);
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("オプションを設定します"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form.ToolButton2, &leave);
    EXPECT_TRUE(form.StatusBar1->currentMessage().isEmpty());

    QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), form.ToolButton2->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(form.ToolButton2, &tip);
    EXPECT_FALSE(QToolTip::isVisible());
    qApp->removeEventFilter(&hints);
}

TEST(FormMainActions, AFolderThatCannotBeOpenedShowsThePlatformTextAndStaysClosed)
{
    StartedInSounds started;
    auto& [folder, cwd, state, form] = started;
    const QModelIndex current = form.TreeView1->currentIndex();
    ASSERT_EQ(form.TreeModel->rowCount(current), 1);
    const QModelIndex sub = form.TreeModel->index(0, 0, current);
    std::filesystem::remove(folder.posix() + "/sub");
    form.TreeView1->expand(sub);
    ASSERT_EQ(folder.box.boxes->calls.size(), 1u);
    EXPECT_EQ(folder.box.boxes->calls[0].text, platform::systemErrorMessage(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(folder.box.boxes->calls[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_FALSE(form.TreeView1->isExpanded(sub));
    EXPECT_TRUE(form.TreeModel->isUnread(sub));

    std::filesystem::create_directories(folder.posix() + "/sub/deeper");
    form.TreeView1->expand(sub);
    EXPECT_TRUE(form.TreeView1->isExpanded(sub));
    EXPECT_EQ(form.TreeModel->rowCount(sub), 1);
}

TEST(FormMainActions, BoundsAreTheOuterFrameAndNeverLargerThanTheScreen)
{
    Sandbox box;
    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=30,40,500,300,100\n");
    {
        SharedState state;
        TFormMain form(state);
        form.show();
        ASSERT_EQ(form.frameGeometry(), QRect(30, 40, 500, 300));
        form.close();
    }
    SharedState reread;
    tidebell::RegistoryReadExecute(reread);
    EXPECT_EQ(reread.Settings.MainLeft, 30);
    EXPECT_EQ(reread.Settings.MainTop, 40);
    EXPECT_EQ(reread.Settings.MainWidth, 500);
    EXPECT_EQ(reread.Settings.MainHeight, 300);

    Sandbox::writeFile(box.iniFile(), "[TIDEBELL]\nMainSize=0,0,40000,40000,-1\n");
    SharedState state;
    TFormMain form(state);
    form.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(form.frameGeometry().width(), area.width());
    EXPECT_LE(form.frameGeometry().height(), area.height());
}

TEST(FormMainActions, FolderNodesShowTheOpenPictureWhileSelected)
{
    auto solid = [](Qt::GlobalColor colour) {
        QPixmap pixmap(16, 16);
        pixmap.fill(colour);
        return QIcon(pixmap);
    };
    tidebell::TFolderTreeModel model;
    model.setImages([&](int index) { return solid(index == tidebell::tiOpenFolder ? Qt::red : Qt::blue); });
    tidebell_test::TempDir dir;
    std::filesystem::create_directories(dir.file("f"));
    model.TreeViewInitExecute();
    const QModelIndex folder = model.FindNodeByPath(platform::toWindowsPath(dir.file("f")),
                                                    [&](const QModelIndex& node) { return model.openNode(node) == 0; });
    ASSERT_TRUE(folder.isValid());
    const QIcon icon = model.data(folder, Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(icon.pixmap(16, 16, QIcon::Normal).toImage().pixelColor(8, 8), QColor(Qt::blue));
    EXPECT_EQ(icon.pixmap(16, 16, QIcon::Selected).toImage().pixelColor(8, 8), QColor(Qt::red));
}
