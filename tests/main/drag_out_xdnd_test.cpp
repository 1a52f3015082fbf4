// A real drag under a virtual X display: a row of the main window's list
// and an entry of the archive viewer, dragged by xdotool into a drop target
// of our own in another process (XDND), and what arrived there.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <filesystem>
#include <sstream>

#include "archive_viewer/form_lzh.h"
#include "main/file_list_model.h"
#include "main/file_list_view.h"
#include "main/form_main.h"
#include "tests/support/sandbox.h"
#include "tests/support/wave_bytes.h"

using testing_support::Sandbox;

namespace {

namespace fs = std::filesystem;

class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path) : m_saved(fs::current_path()) { fs::current_path(path); }
    ~CurrentDirectory() { fs::current_path(m_saved); }

private:
    fs::path m_saved;
};

std::string readAll(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// The drop target in its own process, and the line it reports a drop with.
class DropTarget {
public:
    explicit DropTarget(const std::string& report) : m_report(report)
    {
        m_process.start(QStringLiteral(DROP_TARGET), {QString::fromStdString(report)});
        EXPECT_TRUE(QTest::qWaitFor([&] { return readAll(m_report).find("ready ") != std::string::npos; }, 10000));
        std::istringstream ready(readAll(m_report).substr(6));
        ready >> m_centre.rx() >> m_centre.ry();
    }
    ~DropTarget()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QPoint centre() const { return m_centre; }
    // The value of a format as dropped; "<none>" before a drop.
    std::string dropped(const std::string& format)
    {
        if (!QTest::qWaitFor([&] { return readAll(m_report).find("dropped") != std::string::npos; }, 15000))
            return "<none>";
        std::istringstream lines(readAll(m_report));
        for (std::string line; std::getline(lines, line);)
            if (line.rfind(format + " ", 0) == 0)
                return line.substr(format.size() + 1);
        return {};
    }

private:
    std::string m_report;
    QProcess m_process;
    QPoint m_centre;
};

// Presses on `from`, moves past the drag distance, on to `to` and lets go,
// as a user's mouse does; xdotool runs beside our event loop.
void dragWithMouse(QPoint from, QPoint to, QProcess& mouse)
{
    auto at = [](QPoint p) { return QString::number(p.x()) + " " + QString::number(p.y()); };
    const QPoint away = from + QPoint(12, 12);
    const QString script = "sleep 0.3; xdotool mousemove " + at(from) + "; sleep 0.3; xdotool mousedown 1; sleep 0.2;" +
                           " xdotool mousemove " + at(from + QPoint(3, 3)) + "; sleep 0.2; xdotool mousemove " +
                           at(away) + "; sleep 0.4; xdotool mousemove " + at(to) + "; sleep 0.4; xdotool mousemove " +
                           at(to + QPoint(2, 2)) + "; sleep 0.4; xdotool mouseup 1";
    mouse.start(QStringLiteral("sh"), {QStringLiteral("-c"), script});
}

QPoint centreOfRow(QAbstractItemView* view, int row)
{
    return view->viewport()->mapToGlobal(view->visualRect(view->model()->index(row, 0)).center());
}

std::string uriOf(const std::string& posix)
{
    return QUrl::fromLocalFile(QString::fromStdString(posix)).toEncoded().toStdString();
}

TEST(DragOut, ARowOfTheMainListArrivesAsItsFile)
{
    Sandbox box;
    const std::string folder = box.root() + "/サウンド";
    fs::create_directories(folder);
    Sandbox::writeFile(folder + "/a b.wav", tidebell_test::waveBytes());
    CurrentDirectory cwd(folder);
    DropTarget target(box.root() + "/report");
    tidebell::SharedState state;
    tidebell::TFormMain form(state);
    form.setGeometry(20, 60, 380, 300);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_EQ(form.FileList->rowCount(), 1);

    QProcess mouse;
    dragWithMouse(centreOfRow(form.ListView1->currentView(), 0), target.centre(), mouse);
    EXPECT_EQ(target.dropped("text/uri-list"), uriOf(folder + "/a b.wav"));
    EXPECT_EQ(target.dropped("text/plain"), folder + "/a b.wav");
    mouse.waitForFinished();
}

TEST(DragOut, AnArchiveEntryIsExtractedAsForPlayingAndArrivesAsItsWorkingCopy)
{
    Sandbox box;
    platform::overrides().librarySearchFolders = std::vector<std::string>{TIDEBELL_LIBRARY_DIR};
    const std::string temp = box.root() + "/tmp";
    fs::create_directories(temp);
    platform::overrides().tempFolder = temp;
    const std::string src = box.root() + "/src";
    fs::create_directories(src + "/snd");
    Sandbox::writeFile(src + "/snd/a.wav", tidebell_test::waveBytes());
    const std::string archive = box.root() + "/sounds.lzh";
    ASSERT_EQ(std::system(("cd '" + src + "' && jlha a '" + archive + "' snd/a.wav >/dev/null 2>&1").c_str()), 0);

    DropTarget target(box.root() + "/report");
    tidebell::SharedState state;
    state.ArchivePath = platform::toWindowsPath(archive);
    QMainWindow main;
    main.setGeometry(20, 60, 380, 300);
    tidebell::TFormLZH viewer(state, &main);
    viewer.setGeometry(20, 60, 380, 300);
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    ASSERT_EQ(viewer.rowCount(), 1);
    EXPECT_FALSE(fs::exists(temp + "/a.wav"));

    QProcess mouse;
    dragWithMouse(centreOfRow(viewer.ReportView, 0), target.centre(), mouse);
    EXPECT_EQ(target.dropped("text/uri-list"), uriOf(temp + "/a.wav"));
    EXPECT_EQ(target.dropped("text/plain"), temp + "/a.wav");
    // The working copy stays, as after playing; closing deletes it only
    // when the user asked for that.
    EXPECT_EQ(Sandbox::readFile(temp + "/a.wav"), tidebell_test::waveBytes());
    EXPECT_TRUE(box.boxes->calls.empty());
    mouse.waitForFinished();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
