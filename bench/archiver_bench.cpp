// Speed of our archiver libraries against the common command-line tools on
// the same files, in one run, reported as ratios:
//  - listing a 10,000-entry ZIP, and extracting its last entry, for ZIPs as
//    bsdtar, Info-ZIP's zip, 7zz and Python's zipfile write them, stored and
//    deflated (goals: at most 1.0 times `unzip -Z1`, at most 1.2 times
//    `unzip -qo ARCHIVE ENTRY`);
//  - the same for LZH against `lhasa l` and `lhasa xf ARCHIVE ENTRY`
//    (goals: at most 0.5 and 1.0 times, as we measured 0.29 and 0.95);
//  - extracting the last entry of a ZIP whose other entries hold 160 MB of
//    compressed data, against the same entry of a ZIP whose other entries
//    are tiny (goal: about 1, as the other entries are never decoded).
// Both sides run as fresh processes (this program re-runs itself to call the
// library), so start-up costs are alike. Each line shows the median time
// taken, on which the goals are judged, and the processor time used, which
// varies less with the machine's load. Usage:
//   archiver_bench [library folder]        (default: the build's bin/)
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 10000;
constexpr int kRounds = 11;
constexpr double kGoal = 1.5;  // the ZIP skipping comparison

// ---- child side: one library call sequence, as the program makes it ----

int childList(const char* so, const char* prefix, const char* archive)
{
    void* h = dlopen(so, RTLD_NOW | RTLD_LOCAL);
    if (!h)
        return 10;
    auto sym = [&](const char* suffix) { return dlsym(h, (std::string(prefix) + suffix).c_str()); };
    auto open = reinterpret_cast<uint32_t (*)(void*, const char*, uint32_t)>(sym("OpenArchive"));
    auto first = reinterpret_cast<int (*)(uint32_t, const char*, void*)>(sym("FindFirst"));
    auto next = reinterpret_cast<int (*)(uint32_t, void*)>(sym("FindNext"));
    auto close = reinterpret_cast<int (*)(uint32_t)>(sym("CloseArchive"));
    if (!open || !first || !next || !close)
        return 11;
    uint32_t arc = open(nullptr, archive, 0);
    if (!arc)
        return 12;
    unsigned char record[558];
    int n = 0;
    for (int rc = first(arc, "*", record); rc == 0; rc = next(arc, record))
        ++n;
    close(arc);
    return n >= kEntries ? 0 : 13;
}

int childCommand(const char* so, const char* prefix, const char* line)
{
    void* h = dlopen(so, RTLD_NOW | RTLD_LOCAL);
    if (!h)
        return 10;
    auto cmd = reinterpret_cast<int (*)(void*, const char*, char*, uint32_t)>(dlsym(h, prefix));
    if (!cmd)
        return 11;
    return cmd(nullptr, line, nullptr, 0) == 0 ? 0 : 14;
}

// ---- parent side ----

std::string self;

struct Timing {
    double wall = -1;  // ms
    double cpu = -1;   // ms of user and system time
};

Timing runTimed(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    struct rusage usage {};
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0)
        wait4(pid, &status, 0, &usage);
    auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed (%d): %s ...\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, argv[0].c_str());
        return {};
    }
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return {std::chrono::duration<double, std::milli>(end - start).count(), ms(usage.ru_utime) + ms(usage.ru_stime)};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs both commands kRounds times, interleaved, and prints the medians of
// the time they took (judged against the goal) and of the processor time
// they used.
bool compare(const char* what, const std::vector<std::string>& ours, const std::vector<std::string>& reference,
             const char* referenceName, double goal)
{
    std::vector<double> wallA, wallB, cpuA, cpuB;
    for (int i = 0; i < kRounds; ++i) {
        Timing x = runTimed(ours), y = runTimed(reference);
        if (x.wall < 0 || y.wall < 0) {
            std::printf("%-44s FAILED to run\n", what);
            return false;
        }
        wallA.push_back(x.wall);
        wallB.push_back(y.wall);
        cpuA.push_back(x.cpu);
        cpuB.push_back(y.cpu);
    }
    const double ratio = median(wallA) / median(wallB), cpuRatio = median(cpuA) / median(cpuB);
    const bool met = ratio <= goal;
    std::printf(
        "%-44s ours %6.2f ms (cpu %5.2f)  %-6s %6.2f ms (cpu %5.2f)  ratio %5.2f (cpu %5.2f)  goal <= %.1f: %s\n", what,
        median(wallA), median(cpuA), referenceName, median(wallB), median(cpuB), ratio, cpuRatio, goal,
        met ? "met" : "MISSED");
    return met;
}

std::string windowsPath(const fs::path& p)
{
    std::string s = "C:" + p.string();
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

bool sh(const std::string& cmd)
{
    return std::system(("( " + cmd + " ) >/dev/null 2>&1").c_str()) == 0;
}

// Pseudo-random but compressible text, so that decoding it costs real time.
void writeBulk(const fs::path& p, size_t size, uint32_t seed)
{
    std::string s(size, ' ');
    static const char words[][8] = {"wave ", "sound ", "bell ", "tide ", "chime ", "ring ", "low ", "high "};
    size_t i = 0;
    while (i < size) {
        seed = seed * 1103515245u + 12345u;
        const char* w = words[(seed >> 16) & 7];
        for (size_t k = 0; w[k] && i < size; ++k)
            s[i++] = w[k];
    }
    std::ofstream(p, std::ios::binary).write(s.data(), static_cast<std::streamsize>(s.size()));
}

struct Library {
    std::string format;
    const char* file;
    const char* prefix;
    std::string archive;
    std::string extractLine(const fs::path& archive, const fs::path& out, const std::string& entry) const
    {
        if (std::strcmp(prefix, "Unlha") == 0)
            return "x -+ -c1 -n1 -x0  \"" + windowsPath(archive) + "\" \"" + windowsPath(out) + "\\\" \"" + entry +
                   "\" ";
        return "-x -o --i -j  \"" + windowsPath(archive) + "\" \"" + windowsPath(out) + "\\\" \"" + entry + "\" ";
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--list") == 0)
        return childList(argv[2], argv[3], argv[4]);
    if (argc == 5 && std::strcmp(argv[1], "--command") == 0)
        return childCommand(argv[2], argv[3], argv[4]);

    self = fs::canonical("/proc/self/exe").string();
    const fs::path libDir = argc > 1 ? fs::path(argv[1]) : fs::path(TIDEBELL_ARCHIVER_DIR);
    for (const char* tool : {"bsdtar", "jlha", "unzip", "lhasa"}) {
        if (!sh(std::string("command -v ") + tool)) {
            std::printf("%s is not installed: the archives cannot be made or compared\n", tool);
            return 2;
        }
    }
    char tmpl[] = "/tmp/tidebell-bench-XXXXXX";
    if (!mkdtemp(tmpl))
        return 2;
    const fs::path work = tmpl;

    // 10,000 small WAVE-named files in one folder.
    const fs::path src = work / "src";
    fs::create_directories(src / "snd");
    char name[32];
    for (int i = 0; i < kEntries; ++i) {
        std::snprintf(name, sizeof name, "s%05d.wav", i);
        std::ofstream(src / "snd" / name, std::ios::binary)
            << "RIFF" << std::string(200 + i % 300, static_cast<char>('a' + i % 26));
    }
    std::snprintf(name, sizeof name, "snd/s%05d.wav", kEntries - 1);
    const std::string last = name;

    // ZIP files as the common writers make them, stored and deflated (each
    // writes its own extra fields, data descriptors, folder entries), and
    // one LZH file.
    struct Made {
        std::string format;   // what the lines say
        std::string command;  // run in src/, writing ARCHIVE
    };
    const std::string py = "python3 -c 'import os,sys,zipfile\n"
                           "with zipfile.ZipFile(sys.argv[1],\"w\",zipfile.ZIP_%s) as z:\n"
                           " [z.write(os.path.join(d,f)) for d,_,fs in os.walk(\"snd\") for f in sorted(fs)]' ARCHIVE";
    auto python = [&](const char* method) {
        char text[512];
        std::snprintf(text, sizeof text, py.c_str(), method);
        return std::string(text);
    };
    const std::vector<Made> made = {
        {"ZIP bsdtar stored", "bsdtar -c --format zip --options zip:compression=store -f ARCHIVE snd"},
        {"ZIP bsdtar deflated", "bsdtar -c --format zip -f ARCHIVE snd"},
        {"ZIP zip stored", "zip -q -r -0 ARCHIVE snd"},
        {"ZIP zip deflated", "zip -q -r ARCHIVE snd"},
        {"ZIP 7zz stored", "7zz a -tzip -mx=0 ARCHIVE snd"},
        {"ZIP 7zz deflated", "7zz a -tzip -mm=Deflate ARCHIVE snd"},
        {"ZIP zipfile stored", python("STORED")},
        {"ZIP zipfile deflated", python("DEFLATED")},
        {"LZH", "jlha cq ARCHIVE snd"},
    };
    std::printf("making the archives (%d entries)...\n", kEntries);
    std::vector<Library> libs;
    for (size_t i = 0; i < made.size(); ++i) {
        const bool lzh = made[i].format == "LZH";
        const std::string archive = (work / ("many" + std::to_string(i) + (lzh ? ".lzh" : ".zip"))).string();
        std::string command = made[i].command;
        command.replace(command.find("ARCHIVE"), 7, "'" + archive + "'");
        if (!sh("cd '" + src.string() + "' && " + command)) {
            std::printf("%s: could not make the archive, skipped\n", made[i].format.c_str());
            continue;
        }
        libs.push_back({made[i].format, lzh ? "libunlha32.so" : "libunzip32.so", lzh ? "Unlha" : "UnZip", archive});
    }

    int missed = 0;
    for (const Library& lib : libs) {
        const fs::path so = libDir / lib.file;
        if (!fs::exists(so)) {
            std::printf("%s: %s not built, skipped\n", lib.format.c_str(), so.c_str());
            continue;
        }
        const bool zip = lib.format != "LZH";
        const fs::path out = work / ("out-" + std::to_string(&lib - libs.data()));
        fs::create_directories(out);
        std::string what = std::string(lib.format) + ": list 10,000 entries";
        const std::vector<std::string> list = zip ? std::vector<std::string>{"unzip", "-Z1", lib.archive}
                                                  : std::vector<std::string>{"lhasa", "l", lib.archive};
        missed += !compare(what.c_str(), {self, "--list", so.string(), lib.prefix, windowsPath(lib.archive)}, list,
                           zip ? "unzip" : "lhasa", zip ? 1.0 : 0.5);
        what = std::string(lib.format) + ": extract the last entry";
        const std::vector<std::string> extract =
            zip ? std::vector<std::string>{"unzip", "-qo", lib.archive, last, "-d", out.string()}
                : std::vector<std::string>{"lhasa", "xfq2w=" + out.string(), lib.archive, last};
        missed += !compare(what.c_str(),
                           {self, "--command", so.string(), lib.prefix, lib.extractLine(lib.archive, out, last)},
                           extract, zip ? "unzip" : "lhasa", zip ? 1.2 : 1.0);
    }

    // The other entries of a ZIP are skipped, not decoded: 40 entries of
    // 4 MB before the one extracted, against 40 tiny ones.
    const fs::path soZip = libDir / "libunzip32.so";
    if (fs::exists(soZip)) {
        const fs::path big = work / "big", small = work / "small";
        fs::create_directories(big);
        fs::create_directories(small);
        for (int i = 0; i < 40; ++i) {
            std::snprintf(name, sizeof name, "b%02d.wav", i);
            writeBulk(big / name, 4 << 20, static_cast<uint32_t>(i));
            std::ofstream(small / name) << "x";
        }
        writeBulk(big / "z.wav", 1 << 16, 99);
        fs::copy_file(big / "z.wav", small / "z.wav");
        const fs::path bigZip = work / "big.zip", smallZip = work / "small.zip", out = work / "out-one";
        fs::create_directories(out);
        if (sh("cd '" + big.string() + "' && bsdtar -c --format zip -f '" + bigZip.string() + "' .") &&
            sh("cd '" + small.string() + "' && bsdtar -c --format zip -f '" + smallZip.string() + "' .")) {
            const Library zip{"ZIP", "libunzip32.so", "UnZip", ""};
            missed += !compare("ZIP: last entry after 160 MB vs after tiny",
                               {self, "--command", soZip.string(), "UnZip", zip.extractLine(bigZip, out, "z.wav")},
                               {self, "--command", soZip.string(), "UnZip", zip.extractLine(smallZip, out, "z.wav")},
                               "tiny", kGoal);
        }
    }

    std::error_code ec;
    fs::remove_all(work, ec);
    std::printf("%s\n", missed ? "some goals were missed" : "all goals met");
    return 0;
}
