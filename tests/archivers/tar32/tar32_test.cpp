// libtar32.so driven through its C entries with the tar wrapper's command
// lines ("x --display-dialog=0 --use-directory=0 -z -f ... -o ..."), on
// archives made by bsdtar, gzip, bzip2 and ar; and TarGetArchiveType.
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "archivers/common/errors.h"
#include "tests/archivers/support/fixtures.h"
#include "tests/archivers/support/library_driver.h"
#include "tests/archivers/support/limitsscope.h"

using fixtures::quote;
using fixtures::windowsPath;

namespace {

class Tar32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.loaded());
        if (!fixtures::haveTool("bsdtar") || !fixtures::haveTool("sox"))
            GTEST_SKIP() << "bsdtar or sox missing";
        fixtures::run("mkdir -p " + quote(dir.file("src/snd")));
        a = fixtures::makeWave(dir.file("src/snd/a.wav"), 0.4, 440);
        b = fixtures::makeWave(dir.file("src/b.wav"), 0.3, 700);
    }

    // Extraction as the tar wrapper renders it for the archive viewer
    // (c = 1, n = 1, x = 0, no owner window); `kind` is "" (tar), " -z"
    // (tgz) or " -B" (bz2).
    static std::string extractLine(const std::string& archive, const std::string& dest, const std::string& name,
                                   const char* kind, int useDirectory = 0)
    {
        return std::string("x --display-dialog=0 --use-directory=") + std::to_string(useDirectory) + kind + "  -f \"" +
               windowsPath(archive) + "\" -o \"" + windowsPath(dest) + "\\\" \"" + name + "\" ";
    }

    // The archive lists exactly one WAVE file, `name`, which extracts flat
    // to the bytes `want`.
    void expectOneWave(const std::string& archive, const std::string& name, const char* kind, const std::string& want)
    {
        auto listed = lib.list(windowsPath(archive), "*.wav");
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].name, name);
        const std::string out = dir.file("out");
        EXPECT_EQ(lib.command(extractLine(archive, out, name, kind)), arc::ArcOk);
        EXPECT_TRUE(fixtures::readFile(out + "/" + name.substr(name.find_last_of('/') + 1)) == want);
    }

    int archiveType(const std::string& posixPath)
    {
        auto fn = reinterpret_cast<int (*)(LPCSTR)>(lib.entry("GetArchiveType"));
        return fn ? fn(windowsPath(posixPath).c_str()) : -1000;
    }

    fixtures::LibraryDriver lib{ARCHIVER_LIBRARY_PATH, "Tar"};
    fixtures::TempDir dir;
    std::string a, b;
};

}  // namespace

TEST_F(Tar32, CompressedTarsListAndExtractFlatOrWithFolders)
{
    struct Kind {
        const char* file;
        const char* bsdtar;
        const char* wrapper;
    };
    for (const Kind& k : {Kind{"s.tar", "", ""}, Kind{"s.tgz", "-z", " -z"}, Kind{"s.taz", "-Z", " -z"},
                          Kind{"s.tar.bz2", "-j", " -B"}}) {
        SCOPED_TRACE(k.file);
        const std::string archive = dir.file(k.file);
        ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && bsdtar -c " + k.bsdtar + " -f " +
                                  quote(archive) + " snd b.wav"));
        auto listed = lib.list(windowsPath(archive), "*.wav");
        ASSERT_EQ(listed.size(), 2u);
        const std::string out = dir.file(std::string("out-") + k.file);
        EXPECT_EQ(lib.command(extractLine(archive, out, "snd/a.wav", k.wrapper)), arc::ArcOk);
        EXPECT_TRUE(fixtures::readFile(out + "/a.wav") == a);
        EXPECT_EQ(lib.command(extractLine(archive, out, "snd/a.wav", k.wrapper, 1)), arc::ArcOk);
        EXPECT_TRUE(fixtures::readFile(out + "/snd/a.wav") == a);
        EXPECT_NE(lib.command(extractLine(archive, out, "nothing.wav", k.wrapper)), arc::ArcOk);
        std::string mem;
        EXPECT_EQ(lib.extractMem(" --use-directory=0" + std::string(k.wrapper) + "  -f \"" + windowsPath(archive) +
                                     "\" \"b.wav\" ",
                                 mem, b.size() + 10),
                  arc::ArcOk);
        EXPECT_TRUE(mem == b);
    }
}

TEST_F(Tar32, LoneCompressedFileIsOneEntryNamedAfterTheFile)
{
    ASSERT_TRUE(fixtures::compressFile("-z", dir.file("src/b.wav"), dir.file("b.wav.gz")));
    expectOneWave(dir.file("b.wav.gz"), "b.wav", " -z", b);
}

TEST_F(Tar32, GetArchiveTypeTellsTheKinds)
{
    const std::string src = quote(dir.file("src"));
    ASSERT_TRUE(fixtures::run("cd " + src +
                              " && bsdtar -cf ../t.tar snd && bsdtar -czf ../t.tgz snd && "
                              "bsdtar -cZf ../t.taz snd && bsdtar -cjf ../t.tbz snd && "
                              "bsdtar -c --format cpio -f ../t.cpio snd && bsdtar -cJf ../t.txz snd"));
    ASSERT_TRUE(fixtures::compressFile("-z", dir.file("src/b.wav"), dir.file("b.gz")));
    ASSERT_TRUE(fixtures::compressFile("-j", dir.file("src/b.wav"), dir.file("b.bz2")));
    fixtures::writeFile(dir.file("plain.txt"), "just text");
    EXPECT_EQ(archiveType(dir.file("t.tar")), 1);
    EXPECT_EQ(archiveType(dir.file("t.tgz")), 2);
    EXPECT_EQ(archiveType(dir.file("t.taz")), 3);
    EXPECT_EQ(archiveType(dir.file("b.gz")), 4);
    EXPECT_EQ(archiveType(dir.file("t.tbz")), 6);
    EXPECT_EQ(archiveType(dir.file("b.bz2")), 7);
    EXPECT_EQ(archiveType(dir.file("t.cpio")), 8);
    EXPECT_EQ(archiveType(dir.file("t.txz")), 11);
    EXPECT_EQ(archiveType(dir.file("plain.txt")), 0);
    EXPECT_EQ(archiveType(dir.file("missing.tar")), 0);
    if (fixtures::haveTool("ar")) {
        ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src/snd")) + " && ar rc ../../t.a a.wav"));
        EXPECT_EQ(archiveType(dir.file("t.a")), 9);
        EXPECT_EQ(lib.list(windowsPath(dir.file("t.a")), "*.wav").size(), 1u);
    }
}

// An rpm package around a gzip-compressed cpio payload, with empty
// signature and main headers: what the rpm reader needs to see.
std::string makeRpm(const std::string& payload)
{
    std::string lead(96, '\0');
    const unsigned char magic[] = {0xED, 0xAB, 0xEE, 0xDB, 3, 0};
    std::copy(magic, magic + sizeof magic, lead.begin());
    lead[9] = 1;  // architecture
    const std::string name = "tidebell-sounds-1.0-1";
    std::copy(name.begin(), name.end(), lead.begin() + 10);
    lead[77] = 1;  // operating system
    lead[79] = 5;  // signature in header form
    const std::string header("\x8E\xAD\xE8\x01\0\0\0\0\0\0\0\0\0\0\0\0", 16);
    return lead + header + header + payload;
}

TEST_F(Tar32, RpmPackageListsItsCpioPayload)
{
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && bsdtar -c --format newc -z -f ../payload snd"));
    fixtures::writeFile(dir.file("s.rpm"), makeRpm(fixtures::readFile(dir.file("payload"))));
    EXPECT_EQ(archiveType(dir.file("s.rpm")), 10);
    expectOneWave(dir.file("s.rpm"), "snd/a.wav", "", a);
}

TEST_F(Tar32, SymlinksAndHostileNamesAreNotFollowedOrWrittenOutside)
{
    // A link pointing outside, then a file written "through" it.
    const std::string src = dir.file("src");
    ASSERT_TRUE(fixtures::run(
        "cd " + quote(src) +
        " && ln -s /tmp evil && bsdtar -cf ../link.tar evil && "
        "rm evil && mkdir evil && cp b.wav evil/x-escape.wav && bsdtar -rf ../link.tar evil/x-escape.wav"));
    ASSERT_TRUE(fixtures::run("cd " + quote(src) + " && bsdtar -cf ../dots.tar -s ',^,../../,' b.wav"));
    const std::string out = dir.file("deep/out");
    lib.command(extractLine(dir.file("link.tar"), out, "*", "", 1));
    lib.command(extractLine(dir.file("dots.tar"), out, "*", "", 1));
    EXPECT_FALSE(std::filesystem::exists("/tmp/x-escape.wav"));
    EXPECT_FALSE(std::filesystem::is_symlink(out + "/evil"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.wav")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("deep/b.wav")));
}

namespace {

// A tar header block: `name`, `type`, `size` (what follows in the archive),
// with old-GNU sparse fields when `sparse` holds {offset, length, real size}.
std::string tarHeader(const std::string& name, char type, uint64_t size, const uint64_t* sparse = nullptr)
{
    std::string h(512, '\0');
    auto octal = [&](size_t at, size_t width, uint64_t v) {
        std::snprintf(&h[at], width, "%0*llo", static_cast<int>(width - 1), static_cast<unsigned long long>(v));
    };
    h.replace(0, std::min<size_t>(name.size(), 100), name.substr(0, 100));
    octal(100, 8, 0644);
    octal(108, 8, 0);
    octal(116, 8, 0);
    octal(124, 12, size);
    octal(136, 12, 1700000000);
    h[156] = type;
    h.replace(257, 8, std::string("ustar  \0", 8));
    if (sparse) {
        octal(386, 12, sparse[0]);
        octal(398, 12, sparse[1]);
        octal(483, 12, sparse[2]);
    }
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h)
        sum += c;
    std::snprintf(&h[148], 8, "%06o", sum);
    return h;
}

std::string padded(std::string data)
{
    data.resize((data.size() + 511) / 512 * 512, '\0');
    return data;
}

}  // namespace

TEST_F(Tar32, DecompressionBombsStopWhetherOrNotTheirSizeIsDeclared)
{
    // 8 MiB of one letter: a few dozen bytes of bzip2, alone and inside a tar.
    fixtures::writeFile(dir.file("src/repeat.wav"), std::string(8 << 20, 'A'));
    ASSERT_TRUE(fixtures::compressFile("-j", dir.file("src/repeat.wav"), dir.file("repeat.wav.bz2")));
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && bsdtar -cjf ../repeat.tbz repeat.wav b.wav"));
    const std::string out = dir.file("out");
    {
        testlimits::LimitsScope limits("ratio-floor=1048576");
        std::string text;
        EXPECT_EQ(lib.command(extractLine(dir.file("repeat.wav.bz2"), out, "repeat.wav", " -B"), &text),
                  arc::ArcOutputLimit)
            << text;
        EXPECT_EQ(lib.command(extractLine(dir.file("repeat.tbz"), out, "*", " -B")), arc::ArcOutputLimit);
        EXPECT_TRUE(!std::filesystem::exists(out) || std::filesystem::is_empty(out));
    }
    EXPECT_EQ(lib.command(extractLine(dir.file("repeat.tbz"), out, "*", " -B")), arc::ArcOk);
    EXPECT_EQ(std::filesystem::file_size(out + "/repeat.wav"), uint64_t(8) << 20);
}

TEST_F(Tar32, SparseEntryKeepsItsHolesAndOnlyItsDataCounts)
{
    // 256 MiB, of which 100 KiB of data in the middle: 2,600 times the
    // archive by length, but its data is no larger than the archive.
    const std::string data(100 * 1024, 'z');
    const uint64_t sparse[3] = {uint64_t(128) << 20, data.size(), uint64_t(256) << 20};
    fixtures::writeFile(dir.file("sparse.tar"),
                        tarHeader("holes.wav", 'S', data.size(), sparse) + padded(data) + std::string(1024, '\0'));
    testlimits::LimitsScope limits("ratio-floor=65536");
    const std::string out = dir.file("out");
    std::string text;
    ASSERT_EQ(lib.command(extractLine(dir.file("sparse.tar"), out, "holes.wav", ""), &text), arc::ArcOk) << text;
    const std::string file = out + "/holes.wav";
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), uint64_t(256) << 20);
    EXPECT_LT(static_cast<uint64_t>(st.st_blocks) * 512, uint64_t(8) << 20);  // holes, not written zeros
    std::FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string back(data.size() + 2, '?');
    std::fseek(f, (128 << 20) - 1, SEEK_SET);
    EXPECT_EQ(std::fread(back.data(), 1, back.size(), f), back.size());
    std::fclose(f);
    EXPECT_TRUE(back == std::string(1, '\0') + data + std::string(1, '\0'));
}
