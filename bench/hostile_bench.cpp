// Cost of hostile archives against harmless ones of the same size, in one
// run, through the libraries' command entries (loaded with dlopen), reported
// as ratios:
//  - checking N cabinet (and ZIP) entries that all fail to decode, against N
//    that decode (goal: about 1), and 2N failing against N (goal: about 2,
//    not 4);
//  - extracting by a listed name holding "*" from a tar of 10,000-character
//    names, against a name without wildcards (goal: about 1);
//  - opening a lone .gz of 256 MiB, against one of 1 KiB (goal: a small
//    factor: both decode only a first block, the data is decoded when
//    extracted).
// Usage: hostile_bench [library folder [cab|zip|tar]]   (default: the
// build's bin/, every case)
// Run it against an older build's folder to see the figures before a change.
#include <dlfcn.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

std::string windowsPath(const fs::path& p) {
    std::string s = "C:" + p.string();
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

template <typename F>
double millis(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The median of three rounds, or the one round when it took over 5 s.
template <typename F>
double timed(F&& f) {
    std::vector<double> t{millis(f)};
    if (t[0] < 5000) {
        t.push_back(millis(f));
        t.push_back(millis(f));
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void report(const char* what, double ours, double reference, const char* referenceName, double goal) {
    const double ratio = ours / reference;
    std::printf("%-44s %9.1f ms  %-14s %9.1f ms  ratio %6.2f  (goal <= %.1f: %s)\n", what, ours, referenceName,
                reference, ratio, goal, ratio <= goal ? "met" : "MISSED");
}

struct Library {
    void* handle = nullptr;
    Command command = nullptr;
    Open open = nullptr;
    Close close = nullptr;
    Check check = nullptr;
    Library(const fs::path& file, const std::string& prefix) {
        handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
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

std::vector<std::pair<std::string, std::string>> smallFiles(int count) {
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < count; ++i)
        files.emplace_back("f" + std::to_string(i) + ".wav", std::string(200, static_cast<char>('a' + i % 26)));
    return files;
}

std::string zipOf(int count, bool damaged) {
    std::vector<fixtures::ZipMember> members;
    for (const auto& [name, data] : smallFiles(count)) {
        std::string packed;
        if (damaged) {
            packed = std::string("\x07\xFF\xFF", 3);  // a deflate block of the reserved type
        } else {
            uLongf size = compressBound(static_cast<uLong>(data.size()));
            std::string z(size, '\0');
            compress2(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uLong>(data.size()), 9);
            packed = z.substr(2, size - 6);  // raw deflate: no zlib header and trailer
        }
        members.emplace_back(name, data, packed, 8);
    }
    return fixtures::buildZip(members);
}

// A ustar archive whose entries' names come in PAX records.
std::string paxTar(const std::vector<std::pair<std::string, std::string>>& files) {
    auto header = [](const std::string& name, char type, size_t size) {
        std::string h(512, '\0');
        h.replace(0, std::min<size_t>(name.size(), 99), name.substr(0, 99));
        std::snprintf(&h[100], 8, "%07o", 0644);
        std::snprintf(&h[108], 8, "%07o", 0);
        std::snprintf(&h[116], 8, "%07o", 0);
        std::snprintf(&h[124], 12, "%011llo", static_cast<unsigned long long>(size));
        std::snprintf(&h[136], 12, "%011o", 1700000000);
        h[156] = type;
        h.replace(257, 8, std::string("ustar\0" "00", 8));
        h.replace(148, 8, "        ");
        unsigned sum = 0;
        for (unsigned char c : h) sum += c;
        std::snprintf(&h[148], 8, "%06o", sum);
        return h;
    };
    auto padded = [](std::string s) {
        s.resize((s.size() + 511) / 512 * 512, '\0');
        return s;
    };
    std::string out;
    for (const auto& [name, data] : files) {
        std::string record = " path=" + name + "\n";
        size_t length = record.size();
        while (std::to_string(length).size() + record.size() != length) length = std::to_string(length).size() + record.size();
        record = std::to_string(length) + record;
        out += header("PaxHeader", 'x', record.size()) + padded(record);
        out += header("x.wav", '0', data.size()) + padded(data);
    }
    return out + std::string(1024, '\0');
}

void writeGzip(const fs::path& path, size_t size) {
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

int main(int argc, char** argv) {
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
            const double tGood = timed([&] { cab.checkAll(good); });
            const double tBad = timed([&] { cab.checkAll(bad); });
            const double tHalf = timed([&] { cab.checkAll(half); });
            const std::string layout = folderPerFile ? "a folder each" : "one folder";
            report(("CAB 2000 failing / 2000 good, " + layout).c_str(), tBad, tGood, "good", 1.5);
            report(("CAB 2000 failing / 1000 failing, " + layout).c_str(), tBad, tHalf, "half", 2.5);
        }
    }
    const Library zip(libDir / "libunzip32.so", "UnZip");
    if (zip.ok() && wanted("zip")) {
        const fs::path good = work / "g.zip", bad = work / "d.zip", half = work / "h.zip";
        fixtures::writeFile(good.string(), zipOf(2000, false));
        fixtures::writeFile(bad.string(), zipOf(2000, true));
        fixtures::writeFile(half.string(), zipOf(1000, true));
        const double tGood = timed([&] { zip.checkAll(good); });
        const double tBad = timed([&] { zip.checkAll(bad); });
        const double tHalf = timed([&] { zip.checkAll(half); });
        report("ZIP 2000 failing / 2000 good", tBad, tGood, "good", 1.5);
        report("ZIP 2000 failing / 1000 failing", tBad, tHalf, "half", 2.5);
    }

    const Library tar(libDir / "libtar32.so", "Tar");
    if (tar.ok() && wanted("tar")) {
        // Extracting one listed name: 40 entries of 10,000-character names.
        std::vector<std::pair<std::string, std::string>> files;
        for (int i = 0; i < 40; ++i) files.emplace_back(std::string(10000, 'a') + std::to_string(i) + ".wav", "x");
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
            if (h) tar.close(h);
        };
        report("open .gz: 256 MiB / 1 KiB", timed([&] { openClose(big); }), timed([&] { openClose(small); }), "1 KiB",
               5.0);
    }
    return 0;
}
