// libunlha32.so driven through its C entries with the command lines the LHA
// wrapper sends: the archive viewer's "x -+ -c1 -n1 -x0 ..." (flat into the
// working folder), the main window's line without -x0, ExtractMem's line
// without a command word, and the probe CheckArchive(16) + OpenArchive.
#include <gtest/gtest.h>

#include <filesystem>

#include "archivers/common/errors.h"
#include "tests/archivers/support/archivetest.h"
#include "tests/archivers/support/library_driver.h"
#include "tests/archivers/support/lzhbuilder.h"

using fixtures::quote;
using fixtures::windowsPath;
namespace fs = std::filesystem;

namespace {

class Unlha32 : public fixtures::ArchiveFileTest {
protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << ARCHIVER_LIBRARY_PATH; }

    // The archive viewer's line: -c1 -n1 -x0, empty user options, archive,
    // working folder, one name, empty user file list.
    static std::string viewerLine(const std::string& lzh, const std::string& dest, const std::string& name)
    {
        return "x -+ -c1 -n1 -x0  \"" + windowsPath(lzh) + "\" \"" + windowsPath(dest) + "\\\" \"" + name + "\" ";
    }
    // The main window's line: c, n and x not set.
    static std::string mainLine(const std::string& lzh, const std::string& dest, const std::string& name)
    {
        return "x -+  \"" + windowsPath(lzh) + "\" \"" + windowsPath(dest) + "\\\" \"" + name + "\" ";
    }
    std::string makeJlhaArchive()
    {
        fixtures::run("mkdir -p " + quote(dir.file("src/snd")));
        a = fixtures::makeWave(dir.file("src/a.wav"), 0.4, 440);
        b = fixtures::makeWave(dir.file("src/snd/b.wav"), 0.2, 660);
        fixtures::writeFile(dir.file("src/notes.txt"), "not a sound");
        const std::string lzh = dir.file("s.lzh");
        if (!fixtures::run("cd " + quote(dir.file("src")) + " && jlha c2o7 ../s.lzh snd a.wav notes.txt"))
            return {};
        return lzh;
    }

    fixtures::LibraryDriver lib{ARCHIVER_LIBRARY_PATH, "Unlha"};
    std::string a, b;
};

}  // namespace

TEST_F(Unlha32, ExportsTheNineEntries)
{
    for (const char* suffix : fixtures::kNineEntries)
        EXPECT_NE(lib.entry(suffix), nullptr) << "Unlha" << suffix;
}

TEST_F(Unlha32, ListsAndExtractsAJlhaArchiveAsTheViewerAndMainWindowDo)
{
    REQUIRE_TOOL("jlha");
    REQUIRE_TOOL("sox");
    const std::string lzh = makeJlhaArchive();
    ASSERT_FALSE(lzh.empty());

    const auto listed = lib.list(windowsPath(lzh), "*.wav");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "snd/b.wav");
    EXPECT_EQ(listed[1].name, "a.wav");
    EXPECT_EQ(listed[1].size, a.size());
    EXPECT_EQ(listed[1].crc, fixtures::lzhCrc16(a));
    EXPECT_EQ(listed[1].method, "-lh7-");
    EXPECT_EQ(lib.list(windowsPath(lzh), "*").size(), 4u);  // the folder too

    // Viewer: flat into the working folder, by full name and by bare name.
    const std::string work = dir.file("work");
    fs::create_directories(work);
    std::string text;
    ASSERT_EQ(lib.command(viewerLine(lzh, work, "snd/b.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(work + "/b.wav") == b);
    fs::remove(work + "/b.wav");
    ASSERT_EQ(lib.command(viewerLine(lzh, work, "b.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(work + "/b.wav") == b);
    EXPECT_FALSE(fs::exists(work + "/snd"));
    // A name that is not in the archive fails and writes nothing.
    EXPECT_NE(lib.command(viewerLine(lzh, work, "missing.wav")), arc::ArcOk);

    // Main window: folders kept, destination created.
    const std::string out = dir.file("out/main");
    ASSERT_EQ(lib.command(mainLine(lzh, out, "snd\\b.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(out + "/snd/b.wav") == b);

    // ExtractMem: no command word, no folder.
    std::string mem;
    EXPECT_EQ(lib.extractMem(" -+ -c1 -x0  \"" + windowsPath(lzh) + "\" \"a.wav\" ", mem, a.size() + 10), arc::ArcOk);
    EXPECT_TRUE(mem == a);
    EXPECT_EQ(lib.extractMem(" -+ -c1 -x0  \"" + windowsPath(lzh) + "\" \"a.wav\" ", mem, 100), arc::ArcBufferTooSmall);
    EXPECT_EQ(mem, a.substr(0, 100));
}

TEST_F(Unlha32, ShiftJisNamesComeOutAsUtf8AndExtractByThatName)
{
    fixtures::LzhMember m;
    m.rawName = "\x89\xb9\\\x95\x5c.wav";  // 音\表.wav
    m.data = "RIFF sound of a Shift-JIS name";
    const std::string lzh = dir.file("sjis.lzh");
    fixtures::writeFile(lzh, fixtures::buildLzh({m}));
    const auto listed = lib.list(windowsPath(lzh), "*.wav");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "音/表.wav");
    std::string text;
    ASSERT_EQ(lib.command(viewerLine(lzh, dir.path(), "音/表.wav"), &text), arc::ArcOk) << text;
    EXPECT_EQ(fixtures::readFile(dir.file("表.wav")), m.data);
}

TEST_F(Unlha32, ProbeAcceptsSelfExtractorsAndRefusesOtherFiles)
{
    fixtures::LzhMember m;
    m.rawName = "a.wav";
    m.data = "sound";
    const std::string sfx = dir.file("sounds.exe");
    fixtures::writeFile(sfx, "MZ" + std::string(20000, '\x90') + fixtures::buildLzh({m}));
    EXPECT_NE(lib.checkArchive(windowsPath(sfx), 16), 0);
    const uint32_t h = lib.openArchive(windowsPath(sfx), 0x800002);
    EXPECT_NE(h, 0u);
    lib.closeArchive(h);
    ASSERT_EQ(lib.list(windowsPath(sfx), "*.wav").size(), 1u);

    const std::string wave = dir.file("plain.wav");
    fixtures::writeFile(wave, "RIFF\x24\x00\x00\x00WAVEfmt -lh5- but not an archive");
    EXPECT_EQ(lib.checkArchive(windowsPath(wave), 16), 0);
    EXPECT_EQ(lib.openArchive(windowsPath(wave), 0x800002), 0u);
    EXPECT_EQ(lib.checkArchive(windowsPath(dir.file("missing.lzh")), 16), 0);
}

TEST_F(Unlha32, DamagedEntryFailsAndLeavesNoFile)
{
    fixtures::LzhMember good, bad;
    good.rawName = "good.wav";
    good.data = "fine";
    bad.rawName = "bad.wav";
    bad.data = std::string(5000, 'x');
    bad.badDataCrc = true;
    const std::string lzh = dir.file("bad.lzh");
    fixtures::writeFile(lzh, fixtures::buildLzh({good, bad}));
    const std::string work = dir.file("work");
    fs::create_directories(work);
    EXPECT_EQ(lib.command(viewerLine(lzh, work, "bad.wav")), arc::ArcCrcError);
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_EQ(lib.checkArchive(windowsPath(lzh), 0), 0);  // a full check decodes every entry
    EXPECT_EQ(lib.command(viewerLine(lzh, work, "good.wav")), arc::ArcOk);
    EXPECT_EQ(fixtures::readFile(work + "/good.wav"), "fine");
}

TEST_F(Unlha32, HostileNamesStayInsideTheDestination)
{
    std::vector<fixtures::LzhMember> members(3);
    members[0].rawName = "..\\..\\evil.wav";
    members[1].rawName = dir.file("abs.wav");  // absolute, outside the destination
    members[2].rawName = "C:\\drive.wav";
    for (auto& m : members)
        m.data = "x";
    const std::string lzh = dir.file("hostile.lzh");
    fixtures::writeFile(lzh, fixtures::buildLzh(members));
    const std::string out = dir.file("a/b/out");
    fs::create_directories(out);
    lib.command("x -+ -c1 -x1  \"" + windowsPath(lzh) + "\" \"" + windowsPath(out) + "\\\" ");
    EXPECT_FALSE(fs::exists(dir.file("a/evil.wav")));
    EXPECT_FALSE(fs::exists(dir.file("evil.wav")));
    expectWavesOnlyInside(out);
}

TEST_F(Unlha32, NameWithNulIsListedAndWrittenAlike)
{
    fixtures::LzhMember m;
    m.rawName = std::string("a.wav\0hidden.exe", 16);
    m.data = "sound";
    const std::string lzh = dir.file("nul.lzh");
    fixtures::writeFile(lzh, fixtures::buildLzh({m}));
    const auto listed = lib.list(windowsPath(lzh), "*");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "a.wav_hidden.exe");
    const std::string work = dir.file("work");
    fs::create_directories(work);
    std::string text;
    ASSERT_EQ(lib.command(viewerLine(lzh, work, listed[0].name), &text), arc::ArcOk) << text;
    EXPECT_EQ(fixtures::readFile(work + "/a.wav_hidden.exe"), "sound");
}
