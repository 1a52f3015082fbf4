// Cost of hostile archives against harmless ones of the same size, in one
// run, through the libraries' command entries (loaded with dlopen), reported
// as ratios:
//  - checking N cabinet (and ZIP: deflate, and bzip2 which libarchive
//    decodes) entries that all fail to decode, against N
//    that decode (goal: about 1), and 2N failing against N (goal: about 2,
//    not 4);
//  - extracting "*" from a cabinet of 4,000 empty files in one uncompressed
//    folder whose only data block is invalid, against the same files in a
//    sound folder (goal: about 1), and 8,000 against 4,000 (goal: about 2);
//  - extracting by a listed name holding "*" from a tar of 10,000-character
//    names, against a name without wildcards (goal: about 1);
//  - opening a lone .gz of 256 MiB, against one of 1 KiB (goal: a small
//    factor: both decode only a first block, the data is decoded when
//    extracted);
//  - opening a .tar.bz2 whose second header follows 4 GiB of zeros, against
//    one with 1 GiB (goal: about 1: listing stops where the data decoded
//    passes the ratio extraction is held to).
// Usage: hostile_bench [library folder [cab|zip|tar]]   (default: the
// build's bin/, every case)
// Run it against an older build's folder to see the figures before a change.
#include <dlfcn.h>
#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/archivers/support/fixtures.h"

namespace fs = std::filesystem;

namespace {

using Command = int (*)(void*, const char*, char*, uint32_t);
using Open = uint32_t (*)(void*, const char*, uint32_t);
using Close = int (*)(uint32_t);
using Check = int (*)(const char*, int);

std::string windowsPath(const fs::path& p)
{
    std::string s = "C:" + p.string();
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

struct Timing {
    double wall = 0;  // ms
    double cpu = 0;   // ms of user and system time of this process
};

double cpuMillis()
{
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

template <typename F> Timing measure(F&& f)
{
    const double cpu = cpuMillis();
    const auto start = std::chrono::steady_clock::now();
    f();
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
            cpuMillis() - cpu};
}

// The median of three rounds, or the one round when it took over 5 s.
template <typename F> Timing timed(F&& f)
{
    std::vector<Timing> t{measure(f)};
    if (t[0].wall < 5000) {
        t.push_back(measure(f));
        t.push_back(measure(f));
    }
    auto middle = [&](auto field) {
        std::vector<double> v;
        for (const Timing& x : t)
            v.push_back(x.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return {middle(&Timing::wall), middle(&Timing::cpu)};
}

// Judged on the time taken; the processor time, which a busy machine
// disturbs less, is shown beside it.
void report(const char* what, Timing ours, Timing reference, const char* referenceName, double goal)
{
    const double ratio = ours.wall / reference.wall;
    const double cpuRatio = reference.cpu > 0 ? ours.cpu / reference.cpu : 0;
    std::printf("%-44s %9.1f ms  %-6s %9.1f ms  ratio %6.2f (cpu %5.2f)  (goal <= %.1f: %s)\n", what, ours.wall,
                referenceName, reference.wall, ratio, cpuRatio, goal, ratio <= goal ? "met" : "MISSED");
}

struct Library {
    void* handle = nullptr;
    Command command = nullptr;
    Open open = nullptr;
    Close close = nullptr;
    Check check = nullptr;
    Library(const fs::path& file, const std::string& prefix)
    {
        handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        command = reinterpret_cast<Command>(dlsym(handle, prefix.c_str()));
        open = reinterpret_cast<Open>(dlsym(handle, (prefix + "OpenArchive").c_str()));
        close = reinterpret_cast<Close>(dlsym(handle, (prefix + "CloseArchive").c_str()));
        check = reinterpret_cast<Check>(dlsym(handle, (prefix + "CheckArchive").c_str()));
    }
    bool ok() const { return command && open && close && check; }
    // Decodes and checks every entry, writing nothing.
    void checkAll(const fs::path& archive) const { check(windowsPath(archive).c_str(), 0); }
    void run(const std::string& line) const { command(nullptr, line.c_str(), nullptr, 0); }
};

std::vector<std::pair<std::string, std::string>> smallFiles(int count)
{
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < count; ++i)
        files.emplace_back("f" + std::to_string(i) + ".wav", std::string(200, static_cast<char>('a' + i % 26)));
    return files;
}

// Deflated members, or bzip2 ones (`bzip2`, compressed by bsdtar in `dir`),
// whose data is all broken when `damaged`.
std::string zipOf(int count, bool damaged, bool bzip2 = false, const fixtures::TempDir* dir = nullptr)
{
    std::vector<fixtures::ZipMember> members;
    std::map<std::string, std::string> packedOf;  // few distinct contents
    for (const auto& [name, data] : smallFiles(count)) {
        std::string packed;
        if (damaged) {
            packed = bzip2 ? "BZh91AY&SY" + std::string(40, '\x55')
                           : std::string("\x07\xFF\xFF", 3);  // a deflate block of the reserved type
        } else if (bzip2) {
            std::string& known = packedOf[data];
            if (known.empty())
                known = fixtures::compressWith("-j", data, *dir);
            packed = known;
        } else {
            uLongf size = compressBound(static_cast<uLong>(data.size()));
            std::string z(size, '\0');
            compress2(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uLong>(data.size()), 9);
            packed = z.substr(2, size - 6);  // raw deflate: no zlib header and trailer
        }
        members.emplace_back(name, data, packed, bzip2 ? 12 : 8);
    }
    return fixtures::buildZip(members);
}

// A ustar header.
std::string tarHeader(const std::string& name, char type, uint64_t size)
{
    std::string h(512, '\0');
    h.replace(0, std::min<size_t>(name.size(), 99), name.substr(0, 99));
    std::snprintf(&h[100], 8, "%07o", 0644);
    std::snprintf(&h[108], 8, "%07o", 0);
    std::snprintf(&h[116], 8, "%07o", 0);
    std::snprintf(&h[124], 12, "%011llo", static_cast<unsigned long long>(size));
    std::snprintf(&h[136], 12, "%011o", 1700000000);
    h[156] = type;
    h.replace(257, 8,
              std::string("ustar\0"
                          "00",
                          8));
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h)
        sum += c;
    std::snprintf(&h[148], 8, "%06o", sum);
    return h;
}

// A ustar archive whose entries' names come in PAX records.
std::string paxTar(const std::vector<std::pair<std::string, std::string>>& files)
{
    const auto header = tarHeader;
    auto padded = [](std::string s) {
        s.resize((s.size() + 511) / 512 * 512, '\0');
        return s;
    };
    std::string out;
    for (const auto& [name, data] : files) {
        std::string record = " path=" + name + "\n";
        size_t length = record.size();
        while (std::to_string(length).size() + record.size() != length)
            length = std::to_string(length).size() + record.size();
        record = std::to_string(length) + record;
        out += header("PaxHeader", 'x', record.size()) + padded(record);
        out += header("x.wav", '0', data.size()) + padded(data);
    }
    return out + std::string(1024, '\0');
}

// A .tar.bz2 whose first entry holds `chunks` times 256 MiB of zeros and
// whose second entry, after them, is tiny: bzip2 streams one after another
// (which bzip2 decoders take as one), the zeros' stream made once by
// bsdtar from a file with no data written (a hole reads as zeros).
bool writeBzip2Bomb(const fs::path& path, int chunks, const fs::path& work)
{
    const uint64_t chunk = uint64_t(256) << 20;
    const fs::path zeros = work / "zeros", tail = work / "tail";
    auto compressed = [&](const fs::path& in) {
        const fs::path out = in.string() + ".bz2";
        if (!fs::exists(out) && !fixtures::compressFile("-j", in.string(), out.string()))
            return std::string();
        return fixtures::readFile(out.string());
    };
    if (!fs::exists(zeros)) {
        std::ofstream(zeros, std::ios::binary).close();
        fs::resize_file(zeros, chunk);
    }
    fixtures::writeFile(tail.string(), tarHeader("z.wav", '0', chunks * chunk));
    const std::string head = compressed(tail);
    fs::remove(tail.string() + ".bz2");
    fixtures::writeFile(tail.string(), tarHeader("b.wav", '0', 2) + "bb" + std::string(510 + 1024, '\0'));
    const std::string end = compressed(tail);
    fs::remove(tail.string() + ".bz2");
    const std::string middle = compressed(zeros);
    if (head.empty() || end.empty() || middle.empty())
        return false;
    std::string bomb = head;
    for (int i = 0; i < chunks; ++i)
        bomb += middle;
    fixtures::writeFile(path.string(), bomb + end);
    return true;
}

void writeGzip(const fs::path& path, size_t size)
{
    gzFile gz = gzopen(path.c_str(), "wb9");
    const std::string chunk(1 << 20, 'A');
    for (size_t left = size; left > 0;) {
        const size_t n = std::min(left, chunk.size());
        gzwrite(gz, chunk.data(), static_cast<unsigned>(n));
        left -= n;
    }
    gzclose(gz);
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path libDir = argc > 1 ? fs::path(argv[1]) : fs::path(TIDEBELL_ARCHIVER_DIR);
    const std::string only = argc > 2 ? argv[2] : "";
    auto wanted = [&](const char* kind) { return only.empty() || only == kind; };
    fixtures::TempDir dir;
    const fs::path work = dir.path();
    const fs::path out = work / "out";

    // Entries that fail to decode.
    const Library cab(libDir / "libcab32.so", "Cab");
    if (cab.ok() && wanted("cab")) {
        for (bool folderPerFile : {true, false}) {
            const int n = 2000;
            auto write = [&](int count, bool damaged) {
                const fs::path p = work / ("c" + std::to_string(count) + (damaged ? "d" : "g") + ".cab");
                fixtures::writeFile(p.string(), fixtures::buildCab(smallFiles(count), {folderPerFile, true, damaged}));
                return p;
            };
            const fs::path good = write(n, false), bad = write(n, true), half = write(n / 2, true);
            const Timing tGood = timed([&] { cab.checkAll(good); });
            const Timing tBad = timed([&] { cab.checkAll(bad); });
            const Timing tHalf = timed([&] { cab.checkAll(half); });
            const std::string layout = folderPerFile ? "a folder each" : "one folder";
            report(("CAB 2000 failing / 2000 good, " + layout).c_str(), tBad, tGood, "good", 1.5);
            report(("CAB 2000 failing / 1000 failing, " + layout).c_str(), tBad, tHalf, "half", 2.5);
        }
    }
    if (cab.ok() && wanted("cab")) {
        // Empty files in one uncompressed folder whose only data block is
        // invalid, extracted with "*", against the same files in a sound folder.
        auto write = [&](int count, bool invalid) {
            std::vector<std::pair<std::string, std::string>> files;
            for (int i = 0; i < count; ++i)
                files.emplace_back("e" + std::to_string(i) + ".wav", "");
            const fs::path p = work / ("e" + std::to_string(count) + (invalid ? "i" : "g") + ".cab");
            fixtures::CabLayout layout;
            layout.invalidBlock = invalid;
            fixtures::writeFile(p.string(), fixtures::buildCab(files, layout));
            return p;
        };
        // Creating thousands of files again and again on a disk file system
        // soon costs more in its inode allocation than in our code: the
        // files go to a memory file system where there is one.
        char memoryFolder[] = "/dev/shm/tidebell-bench-XXXXXX";
        const bool inMemory = fs::is_directory("/dev/shm") && mkdtemp(memoryFolder);
        const fs::path target = inMemory ? fs::path(memoryFolder) / "out" : out;
        auto extractAll = [&](const fs::path& p) {
            fs::remove_all(target);
            cab.run("-x -o -i  \"" + windowsPath(p) + "\" \"" + windowsPath(target) + "\\\" \"*\" ");
        };
        const fs::path good = write(4000, false), bad = write(4000, true), twice = write(8000, true);
        const Timing tGood = timed([&] { extractAll(good); });
        const Timing tBad = timed([&] { extractAll(bad); });
        const Timing tTwice = timed([&] { extractAll(twice); });
        report("CAB 4000 empty, invalid block / 4000 good", tBad, tGood, "good", 1.5);
        report("CAB 8000 empty, invalid block / 4000", tTwice, tBad, "half", 2.5);
        if (inMemory)
            fs::remove_all(memoryFolder);
    }
    const Library zip(libDir / "libunzip32.so", "UnZip");
    if (zip.ok() && wanted("zip")) {
        const fs::path good = work / "g.zip", bad = work / "d.zip", half = work / "h.zip";
        fixtures::writeFile(good.string(), zipOf(2000, false));
        fixtures::writeFile(bad.string(), zipOf(2000, true));
        fixtures::writeFile(half.string(), zipOf(1000, true));
        const Timing tGood = timed([&] { zip.checkAll(good); });
        const Timing tBad = timed([&] { zip.checkAll(bad); });
        const Timing tHalf = timed([&] { zip.checkAll(half); });
        report("ZIP 2000 failing / 2000 good", tBad, tGood, "good", 1.5);
        report("ZIP 2000 failing / 1000 failing", tBad, tHalf, "half", 2.5);
        // bzip2, which libarchive decodes.
        fixtures::writeFile(good.string(), zipOf(2000, false, true, &dir));
        fixtures::writeFile(bad.string(), zipOf(2000, true, true));
        fixtures::writeFile(half.string(), zipOf(1000, true, true));
        const Timing bzGood = timed([&] { zip.checkAll(good); });
        const Timing bzBad = timed([&] { zip.checkAll(bad); });
        const Timing bzHalf = timed([&] { zip.checkAll(half); });
        report("ZIP bzip2 2000 failing / 2000 good", bzBad, bzGood, "good", 1.5);
        report("ZIP bzip2 2000 failing / 1000 failing", bzBad, bzHalf, "half", 2.5);
    }

    const Library tar(libDir / "libtar32.so", "Tar");
    if (tar.ok() && wanted("tar")) {
        // Extracting one listed name: 40 entries of 10,000-character names.
        std::vector<std::pair<std::string, std::string>> files;
        for (int i = 0; i < 40; ++i)
            files.emplace_back(std::string(10000, 'a') + std::to_string(i) + ".wav", "x");
        const fs::path t = work / "long.tar";
        fixtures::writeFile(t.string(), paxTar(files));
        auto pick = [&](const std::string& name) {
            fs::remove_all(out);
            tar.run("x --display-dialog=0 --use-directory=0  -f \"" + windowsPath(t) + "\" -o \"" + windowsPath(out) +
                    "\\\" \"" + name + "\" ");
        };
        const std::string starred = "*" + std::string(5000, 'a') + "b.wav";
        const std::string literal = std::string(5000, 'a') + "b" + std::string(4999, 'a') + ".wav";
        report("tar: listed name with \"*\" / without", timed([&] { pick(starred); }), timed([&] { pick(literal); }),
               "literal", 1.5);

        // Opening a lone .gz.
        const fs::path big = work / "big.wav.gz", small = work / "small.wav.gz";
        writeGzip(big, size_t(256) << 20);
        writeGzip(small, 1024);
        auto openClose = [&](const fs::path& p) {
            const uint32_t h = tar.open(nullptr, windowsPath(p).c_str(), 0);
            if (h)
                tar.close(h);
        };
        report("open .gz: 256 MiB / 1 KiB", timed([&] { openClose(big); }), timed([&] { openClose(small); }), "1 KiB",
               5.0);

        // Opening (listing) a .tar.bz2 whose second header lies behind far
        // more data than the file's size allows: as bounded as extraction.
        const fs::path bomb1 = work / "bomb1.tbz", bomb4 = work / "bomb4.tbz";
        if (writeBzip2Bomb(bomb1, 4, work) && writeBzip2Bomb(bomb4, 16, work))
            report("open .tar.bz2 bomb: 4 GiB / 1 GiB", timed([&] { openClose(bomb4); }),
                   timed([&] { openClose(bomb1); }), "1 GiB", 1.5);
    }
    return 0;
}
