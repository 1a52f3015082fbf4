// libunzip32.so driven through its C entries with the command lines the ZIP
// wrapper sends ("-x -o --i -j", names with "/" and "[[]"), on ZIP files made
// by 7zz and by hand (Shift-JIS names, hostile names, damaged data).
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "archivers/common/errors.h"
#include "tests/archivers/support/fixtures.h"
#include "tests/archivers/support/library_driver.h"

using fixtures::quote;
using fixtures::windowsPath;
namespace fs = std::filesystem;

namespace {

class Unzip32 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << ARCHIVER_LIBRARY_PATH; }

    // The line of an archive viewer extraction: -o (c = 1), --i (n = 1),
    // -j (x = 0) unless `withFolders`, empty user options, archive, folder,
    // one name, empty user file list.
    static std::string extractLine(const std::string& zip, const std::string& dest, const std::string& name,
                                   bool withFolders = false)
    {
        return std::string("-x -o --i") + (withFolders ? "" : " -j") + "  \"" + windowsPath(zip) + "\" \"" +
               windowsPath(dest) + "\\\" \"" + name + "\" ";
    }

    fixtures::LibraryDriver lib{ARCHIVER_LIBRARY_PATH, "UnZip"};
    fixtures::TempDir dir;
};

std::vector<std::string> names(const std::vector<fixtures::ListedEntry>& list)
{
    std::vector<std::string> out;
    for (const auto& e : list)
        out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST_F(Unzip32, ExportsTheNineEntries)
{
    for (const char* suffix : {"", "OpenArchive", "CloseArchive", "FindFirst", "FindNext", "CheckArchive",
                               "SetOwnerWindowEx", "KillOwnerWindowEx", "ExtractMem"})
        EXPECT_NE(lib.entry(suffix), nullptr) << "UnZip" << suffix;
}

TEST_F(Unzip32, ListsWaveFilesOf7zipArchiveAndExtractsThemFlatOrWithFolders)
{
    REQUIRE_TOOL("7zz");
    REQUIRE_TOOL("sox");
    fixtures::run("mkdir -p " + quote(dir.file("src/snd")));
    const std::string a = fixtures::makeWave(dir.file("src/snd/a.wav"), 0.4, 440);
    const std::string b = fixtures::makeWave(dir.file("src/B.WAV"), 0.2, 660);
    const std::string c = fixtures::makeWave(dir.file("src/snd/c[1].wav"), 0.1, 330);
    fixtures::writeFile(dir.file("src/notes.txt"), "not a sound");
    const std::string zip = dir.file("sounds.zip");
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && 7zz a -tzip -mm=Deflate " + quote(zip) + " ."));

    auto listed = lib.list(windowsPath(zip), "*.wav");
    EXPECT_EQ(names(listed), (std::vector<std::string>{"B.WAV", "snd/a.wav", "snd/c[1].wav"}));
    for (const auto& e : listed) {
        if (e.name != "snd/a.wav")
            continue;
        EXPECT_EQ(e.size, a.size());
        EXPECT_EQ(e.crc, fixtures::crc32Of(a));
        EXPECT_GT(e.packedSize, 0u);
        EXPECT_EQ(e.method, "Deflate");
    }
    EXPECT_EQ(lib.list(windowsPath(zip), "*").size(), 5u);  // with the folder entry

    // Flat into a folder that does not exist yet.
    const std::string out = dir.file("out/flat");
    std::string text;
    EXPECT_EQ(lib.command(extractLine(zip, out, "snd/a.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(out + "/a.wav") == a);
    // "[" is sent escaped as "[[]".
    EXPECT_EQ(lib.command(extractLine(zip, out, "snd/c[[]1].wav")), arc::ArcOk);
    EXPECT_TRUE(fixtures::readFile(out + "/c[1].wav") == c);
    // With folders.
    const std::string deep = dir.file("out/deep");
    EXPECT_EQ(lib.command(extractLine(zip, deep, "snd/a.wav", true)), arc::ArcOk);
    EXPECT_TRUE(fixtures::readFile(deep + "/snd/a.wav") == a);
    // Overwrite when asked: a stale working copy is replaced.
    fixtures::writeFile(out + "/B.WAV", "stale");
    EXPECT_EQ(lib.command(extractLine(zip, out, "B.WAV")), arc::ArcOk);
    EXPECT_TRUE(fixtures::readFile(out + "/B.WAV") == b);
    // A name that is not in the archive.
    EXPECT_NE(lib.command(extractLine(zip, out, "missing.wav")), arc::ArcOk);

    // ExtractMem: no command word, no folder.
    std::string mem;
    EXPECT_EQ(lib.extractMem(" -o --i -j  \"" + windowsPath(zip) + "\" \"snd/a.wav\" ", mem, a.size() + 100),
              arc::ArcOk);
    EXPECT_TRUE(mem == a);

    EXPECT_NE(lib.checkArchive(windowsPath(zip), 0), FALSE);
    uint32_t h = lib.openArchive(windowsPath(zip), 0x800002);
    EXPECT_NE(h, 0u);
    lib.closeArchive(h);
    EXPECT_EQ(lib.checkArchive(windowsPath(dir.file("src/notes.txt")), 0), FALSE);
    EXPECT_EQ(lib.openArchive(windowsPath(dir.file("src/notes.txt")), 0x800002), 0u);
}

TEST_F(Unzip32, ShiftJisNamesListAndExtractAsUtf8)
{
    // 表\音.wav stored by a Japanese Windows archiver: Shift-JIS, "\" between
    // folders, no UTF-8 flag. 表 is 95 5C: its second byte is "\".
    const std::string wave(3000, '\x11');
    fixtures::writeFile(dir.file("jp.zip"), fixtures::buildZip({{"\x95\x5C\x5C\x89\xB9.wav", wave}}));
    auto listed = lib.list(windowsPath(dir.file("jp.zip")), "*.wav");
    ASSERT_EQ(listed.size(), 1u);
    const std::string utf8 = "\xE8\xA1\xA8/\xE9\x9F\xB3.wav";
    EXPECT_EQ(listed[0].name, utf8);
    EXPECT_EQ(lib.command(extractLine(dir.file("jp.zip"), dir.file("out"), utf8)), arc::ArcOk);
    EXPECT_TRUE(fixtures::readFile(dir.file("out/\xE9\x9F\xB3.wav")) == wave);
}

TEST_F(Unzip32, NamesArePickedByTheirStoredBytesOnlyWhenThoseArePlainAscii)
{
    // Entries asked for by name are matched on the stored name before their
    // entry is built, unless the listed name may differ from it: here 表 (95
    // 5C) would end in a "\\" that is no folder, and a NUL is listed as "_".
    fixtures::writeFile(dir.file("n.zip"), fixtures::buildZip({{"a.wav", "plain"},
                                                               {"\x95\x5C"
                                                                "a.wav",
                                                                "kanji"},
                                                               {std::string("b\0c.wav", 7), "nul"},
                                                               {"SND\\D.WAV", "upper"}}));
    EXPECT_EQ(names(lib.list(windowsPath(dir.file("n.zip")), "*")),
              (std::vector<std::string>{"SND/D.WAV", "a.wav", "b_c.wav",
                                        "\xE8\xA1\xA8"
                                        "a.wav"}));
    const std::string out = dir.file("out");
    for (const auto& [name, file, data] :
         {std::tuple{"a.wav", "a.wav", "plain"},
          std::tuple{"\xE8\xA1\xA8"
                     "a.wav",
                     "\xE8\xA1\xA8"
                     "a.wav",
                     "kanji"},
          std::tuple{"b_c.wav", "b_c.wav", "nul"}, std::tuple{"snd/d.wav", "D.WAV", "upper"}}) {
        fs::remove_all(out);
        std::string said;
        EXPECT_EQ(lib.command(extractLine(dir.file("n.zip"), out, name), &said), arc::ArcOk) << name << said;
        std::vector<std::string> written;
        for (const auto& f : fs::directory_iterator(out))
            written.push_back(f.path().filename().string());
        EXPECT_EQ(written, std::vector<std::string>{file}) << name;
        EXPECT_EQ(fixtures::readFile(out + "/" + file), data) << name;
    }
}

TEST_F(Unzip32, UnicodePathFieldNamesEntriesWhenItsCrcMatches)
{
    // Windows writers put "?" in the legacy name for what its code page
    // lacks and the real name in an Info-ZIP Unicode Path field, in the
    // central directory, the local header or both.
    std::vector<fixtures::ZipMember> members(3);
    members[0] = {"?.wav", "first"};
    members[0].unicodePath = "\xC3\xBC\xE9\x9F\xB3.wav";  // ü音.wav
    members[1] = {"snd\\?.wav", "second"};
    members[1].unicodePath = "snd\\\xE2\x99\xAA.wav";  // snd\♪.wav
    members[1].unicodePathLocalOnly = true;            // as some writers do
    members[2] = {"kept.wav", "third"};
    members[2].unicodePath = "stale.wav";
    std::string zip = fixtures::buildZip(members);
    // Entry 2's field names another legacy name (the CRC no longer matches).
    const std::string stale = "stale.wav";
    for (size_t at = zip.find(stale); at != std::string::npos; at = zip.find(stale, at + 1))
        zip[at - 4] = static_cast<char>(zip[at - 4] ^ 1);
    fixtures::writeFile(dir.file("u.zip"), zip);

    auto listed = lib.list(windowsPath(dir.file("u.zip")), "*");
    EXPECT_EQ(names(listed),
              (std::vector<std::string>{"kept.wav", "snd/\xE2\x99\xAA.wav", "\xC3\xBC\xE9\x9F\xB3.wav"}));
    const std::string out = dir.file("out");
    EXPECT_EQ(lib.command(extractLine(dir.file("u.zip"), out, "\xC3\xBC\xE9\x9F\xB3.wav")), arc::ArcOk);
    EXPECT_EQ(fixtures::readFile(out + "/\xC3\xBC\xE9\x9F\xB3.wav"), "first");
    EXPECT_EQ(lib.command(extractLine(dir.file("u.zip"), out, "snd/\xE2\x99\xAA.wav", true)), arc::ArcOk);
    EXPECT_EQ(fixtures::readFile(out + "/snd/\xE2\x99\xAA.wav"), "second");
}

TEST_F(Unzip32, Deflate64EntriesExtract)
{
    REQUIRE_TOOL("7zz");
    std::string wave = "RIFF";
    for (unsigned i = 0; wave.size() < 300000; ++i)
        wave += static_cast<char>((i * i) >> 7);
    fixtures::writeFile(dir.file("big.wav"), wave);
    const std::string zip = dir.file("d64.zip");
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.path()) + " && 7zz a -tzip -mm=Deflate64 " + quote(zip) + " big.wav"));
    auto listed = lib.list(windowsPath(zip), "*");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].method, "Defl64");
    std::string text;
    EXPECT_EQ(lib.command(extractLine(zip, dir.file("out"), "big.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(dir.file("out/big.wav")) == wave);
}

TEST_F(Unzip32, LibarchiveIsLoadedOnlyForTheMethodsLeftToIt)
{
    // Listing and the methods decoded here must not load libarchive (and
    // with it libxml2 and ICU): that cost more than listing a large archive.
    auto libarchiveLoaded = [] {
        void* h = dlopen("libarchive.so.13", RTLD_NOW | RTLD_NOLOAD);
        if (h)
            dlclose(h);
        return h != nullptr;
    };
    if (libarchiveLoaded())
        GTEST_SKIP() << "an earlier test in this process loaded libarchive";
    const std::string data(20000, 'w');
    std::string zlibbed(compressBound(data.size()), '\0');
    uLongf len = zlibbed.size();
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(zlibbed.data()), &len, reinterpret_cast<const Bytef*>(data.data()),
                        data.size(), 9),
              Z_OK);
    const std::string deflated = zlibbed.substr(2, len - 6);  // raw deflate: no zlib header and checksum
    const std::string bzipped = fixtures::compressWith("-j", data, dir);
    ASSERT_FALSE(bzipped.empty());
    const std::string zip = dir.file("m.zip");
    fixtures::writeFile(
        zip, fixtures::buildZip(
                 {{"stored.wav", data}, {"deflated.wav", data, deflated, 8}, {"bzipped.wav", data, bzipped, 12}}));
    EXPECT_EQ(lib.list(windowsPath(zip), "*").size(), 3u);
    const std::string out = dir.file("out");
    EXPECT_EQ(lib.command(extractLine(zip, out, "stored.wav")), arc::ArcOk);
    EXPECT_EQ(lib.command(extractLine(zip, out, "deflated.wav")), arc::ArcOk);
    EXPECT_TRUE(fixtures::readFile(out + "/deflated.wav") == data);
    EXPECT_FALSE(libarchiveLoaded());
    EXPECT_EQ(lib.command(extractLine(zip, out, "bzipped.wav")), arc::ArcOk);
    EXPECT_TRUE(fixtures::readFile(out + "/bzipped.wav") == data);
    EXPECT_TRUE(libarchiveLoaded());
}

TEST_F(Unzip32, NamedEntryComesOutOfItsOwnDataWhateverTheDirectoryOrder)
{
    // A directory in reverse order (listed by data offset), a resource fork
    // that is never listed, a Shift-JIS name and a method only libarchive
    // decodes: each entry asked for by name gets its own bytes.
    auto data = [](char c) { return std::string(5000, c); };
    const std::string bzipped = fixtures::compressWith("-j", data('b'), dir);
    ASSERT_FALSE(bzipped.empty());
    for (const bool reversed : {false, true}) {
        const std::string zip = dir.file(reversed ? "r.zip" : "f.zip");
        fixtures::writeFile(zip, fixtures::buildZip({{"__MACOSX/._a.wav", data('x')},
                                                     {"a.wav", data('a')},
                                                     {"snd\\b.wav", data('b'), bzipped, 12},
                                                     {"\x89\xB9.wav", data('c')},
                                                     {"d.wav", data('d')}},
                                                    reversed));
        const std::string out = dir.file(reversed ? "out-r" : "out-f");
        for (const auto& [name, file, c] :
             {std::tuple{"D.WAV", "d.wav", 'd'}, std::tuple{"snd/b.wav", "b.wav", 'b'},
              std::tuple{"\xE9\x9F\xB3.wav", "\xE9\x9F\xB3.wav", 'c'}, std::tuple{"a.wav", "a.wav", 'a'}}) {
            std::string said;
            EXPECT_EQ(lib.command(extractLine(zip, out, name), &said), arc::ArcOk) << name << said;
            EXPECT_TRUE(fixtures::readFile(out + "/" + file) == data(c)) << name << (reversed ? " reversed" : "");
        }
        EXPECT_FALSE(fs::exists(out + "/._a.wav"));
        EXPECT_EQ(lib.command(extractLine(zip, out, "._a.wav")), arc::ArcNoMatch);
    }
}

TEST_F(Unzip32, ListingLoadsNoSoundOrDesktopLibraries)
{
    // The platform under the archiver libraries loads its sound player and
    // the desktop's libraries only when a sound plays or the desktop is
    // changed; a program that only lists archives pays for neither.
    auto loaded = [](const char* name) {
        void* h = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
        if (h)
            dlclose(h);
        return h != nullptr;
    };
    fixtures::writeFile(dir.file("s.zip"), fixtures::buildZip({{"a.wav", "data"}}));
    EXPECT_EQ(lib.list(windowsPath(dir.file("s.zip")), "*").size(), 1u);
    for (const char* heavy :
         {"libtidebell-sound.so", "libpulse.so.0", "libsndfile.so.1", "libasound.so.2", "libgio-2.0.so.0",
          "libtidebell-sound-ffmpeg.so", "libavformat.so.59", "libavcodec.so.59"})
        EXPECT_FALSE(loaded(heavy)) << heavy;
}

TEST_F(Unzip32, DamagedDataFailsAndLeavesNoFile)
{
    std::string wave(5000, '\0');
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = static_cast<char>(i * 13);
    std::string zip = fixtures::buildZip({{"bad.wav", wave}, {"good.wav", "fine"}});
    zip[40] = static_cast<char>(zip[40] ^ 0xFF);  // inside bad.wav's stored data: CRC no longer matches
    fixtures::writeFile(dir.file("d.zip"), zip);
    const std::string out = dir.file("out");
    EXPECT_NE(lib.command(extractLine(dir.file("d.zip"), out, "bad.wav")), arc::ArcOk);
    EXPECT_FALSE(fs::exists(out + "/bad.wav"));
    if (fs::exists(out)) {
        for (const auto& f : fs::directory_iterator(out))
            ADD_FAILURE() << "left behind: " << f.path();
    }
    EXPECT_EQ(lib.command(extractLine(dir.file("d.zip"), out, "good.wav")), arc::ArcOk);
    EXPECT_EQ(fixtures::readFile(out + "/good.wav"), "fine");

    // A truncated file: listing and extracting fail cleanly.
    fixtures::writeFile(dir.file("cut.zip"), zip.substr(0, zip.size() - 30));
    EXPECT_EQ(lib.openArchive(windowsPath(dir.file("cut.zip"))), 0u);
    EXPECT_NE(lib.command(extractLine(dir.file("cut.zip"), out, "good.wav")), arc::ArcOk);
}

TEST_F(Unzip32, HostileNamesNeverWriteOutsideTheDestination)
{
    fixtures::writeFile(dir.file("h.zip"), fixtures::buildZip({
                                               {"..\\..\\escape1.wav", "1"},
                                               {"../escape2.wav", "2"},
                                               {"/tmp/escape3.wav", "3"},
                                               {"C:\\escape4.wav", "4"},
                                           }));
    const std::string out = dir.file("a/b/out");
    for (const auto& e : lib.list(windowsPath(dir.file("h.zip")), "*")) {
        std::string escaped;
        for (char ch : e.name)
            escaped += ch == '[' ? std::string("[[]") : std::string(1, ch);
        lib.command(extractLine(dir.file("h.zip"), out, escaped, true));
        lib.command(extractLine(dir.file("h.zip"), out, escaped, false));
    }
    for (const auto& f : fs::recursive_directory_iterator(dir.path())) {
        const std::string p = f.path().string();
        if (p.find("escape") != std::string::npos) {
            EXPECT_EQ(p.rfind(out + "/", 0), 0u) << "written outside the destination: " << p;
        }
    }
    EXPECT_FALSE(fs::exists("/tmp/escape3.wav") && fixtures::readFile("/tmp/escape3.wav") == "3");
}

namespace {

struct ProgressLog {
    UINT message = 0;
    int calls = 0;
    int abortAfter = 1000000;
};

LRESULT progressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* log = static_cast<ProgressLog*>(GetWindowContext(window));
    if (log && message == log->message)
        return ++log->calls >= log->abortAfter ? 1 : 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST_F(Unzip32, ProgressMessagesReachTheOwnerAndAnAbortLeavesNoFile)
{
    std::string data(600000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7) ^ (i >> 9));
    fixtures::writeFile(dir.file("p.zip"), fixtures::buildZip({{"big.wav", data}}));
    ProgressLog log;
    log.message = RegisterWindowMessageA("wm_arcextract");
    HWND window = CreateMessageWindow(progressProc, &log);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(lib.setOwnerWindow(window), FALSE);

    const std::string out = dir.file("out");
    EXPECT_EQ(lib.command(extractLine(dir.file("p.zip"), out, "big.wav"), nullptr, window), arc::ArcOk);
    EXPECT_GE(log.calls, 2);
    EXPECT_TRUE(fixtures::readFile(out + "/big.wav") == data);

    const std::string out2 = dir.file("out2");
    log.calls = 0;
    log.abortAfter = 2;
    EXPECT_NE(lib.command(extractLine(dir.file("p.zip"), out2, "big.wav"), nullptr, window), arc::ArcOk);
    EXPECT_FALSE(fs::exists(out2 + "/big.wav"));

    EXPECT_NE(lib.killOwnerWindow(window), FALSE);
    DestroyWindow(window);
}
