// Speed of the main window on large folders, against find(1) on the same
// folders in the same run, reported as ratios:
//  - filling the file list from a folder of 100,000 files, a tenth of them
//    WAVE, with both list views attached and drawn (goal: at most 1.5 times
//    `find DIR -maxdepth 1 -printf '%s %T@ %f\n'`);
//  - opening a tree node of 10,000 sub-folders, drawn (goal: at most 1.5
//    times `find DIR -mindepth 1 -maxdepth 1 -type d`);
//  - a fresh process started in the 100,000-file folder until its main
//    window has been shown (goal: the find listing above plus at most
//    300 ms), and that process's peak memory (goal: at most 80 MB).
// The window runs on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise. Usage: main_window_bench [work folder] (default: a new folder
// below the temporary folder, removed afterwards).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>
#include <QTreeView>

#include "main/file_list_model.h"
#include "main/file_list_view.h"
#include "main/folder_tree_model.h"
#include "main/form_main.h"
#include "platform/platform.h"
#include "platform/qt/qt_message_box_service.h"
#include "ui/window_support.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 100000;
constexpr int kFolders = 10000;
constexpr int kRounds = 5;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The machine may be shared, so every figure is taken twice: wall time, and
// the CPU time (user + system) the work cost.
struct Cost {
    double wall = 1e300;
    double cpu = 1e300;
};

double processCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double cpuMs(const rusage& usage)
{
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Times a piece of work in this process.
template <typename F> Cost timed(F&& work)
{
    const auto start = Clock::now();
    const double cpuStart = processCpuMs();
    work();
    return Cost{millisecondsSince(start), processCpuMs() - cpuStart};
}

void makeFolders(const fs::path& work)
{
    const fs::path files = work / "files";
    const fs::path dirs = work / "dirs";
    if (!fs::exists(files / "done")) {
        fs::create_directories(files);
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "sound" + std::to_string(i) + (i % 10 == 0 ? ".wav" : ".txt");
            const int fd = ::open((files / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            if (fd >= 0) {
                ::close(fd);
            }
        }
        std::FILE* done = std::fopen((files / "done").c_str(), "w");
        if (done) {
            std::fclose(done);
        }
    }
    if (!fs::exists(dirs / "done")) {
        for (int i = 0; i < kFolders; ++i) {
            fs::create_directories(dirs / ("folder" + std::to_string(i)));
        }
        std::FILE* done = std::fopen((dirs / "done").c_str(), "w");
        if (done) {
            std::fclose(done);
        }
    }
}

// Runs a program to its end with its output thrown away; answers its cost
// and, through maxRss, its peak memory in kB.
Cost runProcess(const std::vector<std::string>& args, long* maxRss = nullptr)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return Cost{-1, -1};
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double elapsed = millisecondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    if (maxRss) {
        *maxRss = usage.ru_maxrss;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return Cost{-1, -1};
    }
    return Cost{elapsed, cpuMs(usage)};
}

// The best of a few rounds, wall and CPU time apart.
template <typename F> Cost best(F&& measure)
{
    Cost result;
    for (int i = 0; i < kRounds; ++i) {
        const Cost c = measure();
        result.wall = std::min(result.wall, c.wall);
        result.cpu = std::min(result.cpu, c.cpu);
    }
    return result;
}

void report(const char* what, const Cost& ours, const Cost& reference)
{
    std::printf("%s %.1f ms (CPU %.1f ms); find %.1f ms (CPU %.1f ms); ratio %.2f wall, %.2f CPU (goal <= 1.5)\n", what,
                ours.wall, ours.cpu, reference.wall, reference.cpu, ours.wall / reference.wall,
                ours.cpu / reference.cpu);
}

// ---- child side: the program's start in a folder, until the window shows ----

int childStart(int argc, char** argv, const std::string& folder, const std::string& programFolder)
{
    platform::setArguments(1, argv);
    platform::overrides().executablePath = programFolder + "/TIDEBELL";
    fs::current_path(folder);
    tidebell::SharedState state;
    QApplication app(argc, argv);
    platform::setMessageBoxService(std::make_shared<platform::QtMessageBoxService>());
    tidebell::ApplicationHints hints(state);
    app.installEventFilter(&hints);
    tidebell::TFormMain form(state);
    form.show();
    // Once the events of the first showing are through, the window is up.
    QTimer::singleShot(0, [] { std::_Exit(0); });
    return app.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--start") {
        return childStart(1, argv, argv[2], argv[3]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const bool ownWork = argc < 2;
    fs::path work;
    if (ownWork) {
        std::string pattern = (fs::temp_directory_path() / "tidebell-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 2;
        }
        work = pattern;
    } else {
        work = argv[1];
    }
    std::printf("making %d files and %d folders in %s ...\n", kFiles, kFolders, work.c_str());
    makeFolders(work);
    fs::create_directories(work / "program");
    const std::string files = (work / "files").string();
    const std::string dirs = (work / "dirs").string();

    // ---- the list ----
    const Cost findList = best([&] {
        return runProcess({"find", files, "-maxdepth", "1", "-printf", "%s %T@ %f\\n"});
    });
    {
        QApplication app(argc, argv);
        tidebell::TFileListModel model;
        tidebell::TFileListView view(&model);
        view.resize(800, 600);
        view.show();
        QApplication::processEvents();
        const std::string folder = platform::toWindowsPath(files) + "\\";
        const tidebell::ArchiverAvailability none;
        auto fill = [&] {
            return timed([&] {
                model.FillFileList(folder, none);
                QApplication::processEvents();
            });
        };
        const Cost detail = best(fill);
        view.setViewMode(tidebell::TViewMode::List);
        const Cost list = best(fill);
        char what[64];
        std::snprintf(what, sizeof what, "list (%d rows, detail):", model.rowCount());
        report(what, detail, findList);
        report("list (list mode):", list, findList);

        // ---- the tree ----
        const Cost findDirs = best([&] {
            return runProcess({"find", dirs, "-mindepth", "1", "-maxdepth", "1", "-type", "d"});
        });
        int children = 0;
        const Cost open = best([&] {
            tidebell::TFolderTreeModel tree;
            QTreeView treeView;
            treeView.setUniformRowHeights(true);
            treeView.setModel(&tree);
            treeView.resize(300, 600);
            treeView.show();
            tree.TreeViewInitExecute();
            const QModelIndex node = tree.FindNodeByPath(platform::toWindowsPath(work.string()),
                                                         [&](const QModelIndex& n) { return tree.openNode(n) == 0; });
            const QModelIndex dirsNode = tree.index(0, 0, node);  // "dirs" sorts before "files"
            QApplication::processEvents();
            const Cost cost = timed([&] {
                tree.openNode(dirsNode);
                treeView.expand(dirsNode);
                QApplication::processEvents();
            });
            children = tree.rowCount(dirsNode);
            return cost;
        });
        std::snprintf(what, sizeof what, "tree (%d folders):", children);
        report(what, open, findDirs);
    }

    // ---- the start ----
    long maxRss = 0;
    const std::string self = fs::canonical("/proc/self/exe").string();
    const Cost start = best([&] {
        long rss = 0;
        const Cost c = runProcess({self, "--start", files, (work / "program").string()}, &rss);
        maxRss = std::max(maxRss, rss);
        return c;
    });
    std::printf("start: %.1f ms to the window shown (CPU %.1f ms); listing + %.1f ms, CPU + %.1f ms (goal <= 300); "
                "peak memory %.1f MB (goal <= 80)\n",
                start.wall, start.cpu, start.wall - findList.wall, start.cpu - findList.cpu, maxRss / 1024.0);

    if (ownWork) {
        std::error_code ec;
        if (work.filename().string().rfind("tidebell-bench-", 0) == 0) {
            fs::remove_all(work, ec);
        }
    }
    return 0;
}
