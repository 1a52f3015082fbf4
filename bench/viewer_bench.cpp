// Speed of the archive viewer on 10,000-entry ZIP and LZH archives, in one
// run, against our library's own listing of the same archive:
//  - opening the viewer (listing into the window, sizes and times
//    included), goal: at most 1.5 times the listing plus 100 ms;
//  - a double click on an entry not yet extracted until the play call has
//    returned (extraction of one entry plus the call), goal: median at most
//    15 ms. The sound service here is a stand-in that returns at once, so
//    this is the program's share of the way to the first sample.
// Usage: viewer_bench [library folder]      (default: the build's bin/)
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "archive_viewer/form_lzh.h"
#include "archive_viewer/wave_listing.h"
#include "platform/platform.h"
#include "platform/services.h"
#include "tests/support/wave_bytes.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kEntries = 10000;
constexpr int kRounds = 5;
constexpr int kPlays = 21;

class SilentSound : public platform::SoundService {
public:
    bool play(const std::string&, UINT) override
    {
        ++calls;
        return true;
    }
    int calls = 0;
};

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool sh(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string waveFile(int samples)
{
    std::string data(static_cast<size_t>(samples), '\x80');
    for (int i = 0; i < samples; ++i)
        data[static_cast<size_t>(i)] = static_cast<char>(128 + ((i * 7) % 64) - 32);
    return tidebell_test::pcmWave(data);
}

// Returns whether both goals were met.
bool measure(const char* format, const std::string& archive, const std::string& tempFolder)
{
    tidebell::SharedState state;
    state.ArchivePath = platform::toWindowsPath(archive);

    std::vector<double> listing, opening;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        archives::TArchiveFile file;
        int entries = 0;
        tidebell::listWaveEntries(file, state.ArchivePath, [&](const archives::EntryRecord&) {
            ++entries;
            return true;
        });
        listing.push_back(millisecondsSince(start));
        if (entries != kEntries) {
            std::printf("%s: the library listed %d entries, not %d\n", format, entries, kEntries);
            return false;
        }
        start = Clock::now();
        tidebell::TFormLZH viewer(state, nullptr);
        viewer.show();
        opening.push_back(millisecondsSince(start));
        if (viewer.rowCount() != kEntries) {
            std::printf("%s: the viewer listed %d entries\n", format, viewer.rowCount());
            return false;
        }
        viewer.hide();
    }
    const double reference = median(listing);
    const double open = median(opening);
    const double openGoal = 1.5 * reference + 100;
    std::printf("%s: open the viewer  %8.1f ms, library listing %8.1f ms (ratio %.2f), goal <= %.1f ms: %s\n", format,
                open, reference, open / reference, openGoal, open <= openGoal ? "met" : "MISSED");

    auto sound = std::make_shared<SilentSound>();
    auto previous = platform::setSoundService(sound);
    tidebell::TFormLZH viewer(state, nullptr);
    viewer.show();
    std::vector<double> plays;
    for (int i = 0; i < kPlays; ++i) {
        // Entries across the whole archive, the last one included.
        const int row = kEntries - 1 - i * (kEntries / kPlays);
        viewer.selectRow(row);
        const fs::path workingCopy = fs::path(tempFolder) / fs::path(viewer.rowCaption(row)).filename();
        fs::remove(workingCopy);
        const auto start = Clock::now();
        viewer.ListView1DblClick();
        plays.push_back(millisecondsSince(start));
        if (!fs::exists(workingCopy)) {
            std::printf("%s: %s was not extracted\n", format, viewer.rowCaption(row).c_str());
            platform::setSoundService(previous);
            return false;
        }
    }
    platform::setSoundService(previous);

    // The library's share: the same extractions through the component alone.
    std::vector<double> extracts;
    archives::TArchiveFile file;
    file.SetFileName(state.ArchivePath);
    file.Options().c = 1;
    file.Options().n = 1;
    file.Options().x = 0;
    const std::string folder = platform::toWindowsPath(tempFolder) + "\\";
    for (int i = 0; i < kPlays; ++i) {
        const int row = kEntries - 1 - i * (kEntries / kPlays);
        const std::string entry = viewer.rowCaption(row);
        fs::remove(fs::path(tempFolder) / fs::path(entry).filename());
        const auto start = Clock::now();
        file.Extract(nullptr, nullptr, folder, {entry});
        extracts.push_back(millisecondsSince(start));
    }
    const double play = median(plays);
    std::printf("%s: double click to play call, median %.2f ms (max %.2f ms), goal <= 15 ms: %s\n"
                "     of which the library's Extract alone: median %.2f ms\n",
                format, play, *std::max_element(plays.begin(), plays.end()), play <= 15 ? "met" : "MISSED",
                median(extracts));
    return open <= openGoal && play <= 15 && sound->calls == kPlays;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::pinLocalTimeZone();  // as the program does at start-up
    QApplication app(argc, argv);
    const std::string libraries = argc > 1 ? argv[1] : TIDEBELL_ARCHIVER_DIR;
    platform::overrides().librarySearchFolders = std::vector<std::string>{libraries};

    char pattern[] = "/tmp/tidebell-viewer-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 2;
    const fs::path work = pattern;
    const fs::path src = work / "src";
    fs::create_directories(src / "snd");
    fs::create_directories(work / "tmp");
    platform::overrides().tempFolder = (work / "tmp").string();
    platform::overrides().registryFile = (work / "registry.reg").string();

    char name[32];
    for (int i = 0; i < kEntries; ++i) {
        std::snprintf(name, sizeof name, "s%05d.wav", i);
        std::ofstream(src / "snd" / name, std::ios::binary) << waveFile(2000 + i % 500);
    }
    std::printf("making the archives (%d entries)...\n", kEntries);
    const std::string zip = (work / "many.zip").string();
    const std::string lzh = (work / "many.lzh").string();
    int missed = 0;
    if (sh("cd '" + src.string() + "' && bsdtar -c --format zip -f '" + zip + "' snd"))
        missed += !measure("ZIP", zip, (work / "tmp").string());
    else
        std::printf("ZIP: bsdtar could not make the archive, skipped\n");
    if (sh("cd '" + src.string() + "' && jlha cq '" + lzh + "' snd"))
        missed += !measure("LZH", lzh, (work / "tmp").string());
    else
        std::printf("LZH: jlha could not make the archive, skipped\n");

    if (work.string().rfind("/tmp/tidebell-viewer-bench-", 0) == 0)
        fs::remove_all(work);
    return missed == 0 ? 0 : 1;
}
