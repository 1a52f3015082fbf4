// libunrar32.so driven through its C entries with the command lines the RAR
// wrapper sends: "-e" (x = 0, the archive viewer) or "-x", "-u" when c < 1,
// then the common tail; ExtractMem's line without a command word; the probe
// OpenArchive(0x800002).
#include <gtest/gtest.h>

#include <filesystem>

#include "archivers/common/errors.h"
#include "tests/archivers/support/archivetest.h"
#include "tests/archivers/support/library_driver.h"
#include "tests/archivers/support/rarbuilder.h"

using fixtures::RarMember;
using fixtures::windowsPath;
namespace fs = std::filesystem;

namespace {

std::string sound(size_t n, unsigned seed)
{
    std::string s = "RIFF";
    for (size_t i = 4; i < n; ++i)
        s += char((i * seed) >> 3);
    return s;
}

class Unrar32 : public fixtures::ArchiveFileTest {
protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << ARCHIVER_LIBRARY_PATH; }

    // switches, empty user options, archive, folder, one name, empty user file list.
    static std::string line(const std::string& switches, const std::string& rar, const std::string& dest,
                            const std::string& name)
    {
        return switches + "  \"" + windowsPath(rar) + "\" \"" + windowsPath(dest) + "\\\" \"" + name + "\" ";
    }
    fixtures::LibraryDriver lib{ARCHIVER_LIBRARY_PATH, "Unrar"};
};

}  // namespace

TEST_F(Unrar32, ExportsTheNineEntries)
{
    for (const char* suffix : fixtures::kNineEntries)
        EXPECT_NE(lib.entry(suffix), nullptr) << "Unrar" << suffix;
}

TEST_F(Unrar32, ListsAndExtractsAsTheViewerAndMainWindowDo)
{
    const std::string a = sound(40000, 3), b = sound(900, 5);
    RarMember folder{"snd", {}};
    folder.directory = true;
    const std::string rar = write(fixtures::buildRar({folder, {"snd\\b.wav", b}, {"A.WAV", a}, {"read.me", "text"}}));

    const auto listed = lib.list(windowsPath(rar), "*.wav");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "snd/b.wav");
    EXPECT_EQ(listed[1].name, "A.WAV");
    EXPECT_EQ(listed[1].size, a.size());
    EXPECT_EQ(listed[1].crc, fixtures::crc32Of(a));
    EXPECT_EQ(lib.list(windowsPath(rar), "*").size(), 4u);

    // Viewer (x = 0, c = 1): "-e", flat, overwriting a stale working copy.
    const std::string work = dir.file("work");
    fs::create_directories(work);
    fixtures::writeFile(work + "/b.wav", "stale");
    std::string text;
    ASSERT_EQ(lib.command(line("-e", rar, work, "snd/b.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(work + "/b.wav") == b);
    ASSERT_EQ(lib.command(line("-e", rar, work, "a.wav"), &text), arc::ArcOk) << text;  // names without case
    EXPECT_TRUE(fixtures::readFile(work + "/A.WAV") == a);
    EXPECT_NE(lib.command(line("-e", rar, work, "missing.wav")), arc::ArcOk);

    // Main window (x and c not set): "-x -u", folders kept; an existing newer
    // file is kept.
    const std::string out = dir.file("out/main");
    ASSERT_EQ(lib.command(line("-x -u", rar, out, "snd/b.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(out + "/snd/b.wav") == b);
    fixtures::writeFile(out + "/A.WAV", "newer");
    lib.command(line("-x -u", rar, out, "A.WAV"));
    EXPECT_EQ(fixtures::readFile(out + "/A.WAV"), "newer");

    // ExtractMem: no command word, no folder.
    std::string mem;
    const std::string memLine = "  \"" + windowsPath(rar) + "\" \"A.WAV\" ";
    EXPECT_EQ(lib.extractMem(memLine, mem, a.size()), arc::ArcOk);
    EXPECT_TRUE(mem == a);
    EXPECT_EQ(lib.extractMem(memLine, mem, 10), arc::ArcBufferTooSmall);
}

TEST_F(Unrar32, SolidArchiveExtractsItsLastMember)
{
    // Compressed: b.wav goes on with the code tables and window of a.wav.
    const std::string a = sound(3000, 7), b = sound(5000, 9);
    RarMember first{"a.wav", a}, second{"b.wav", b};
    first.method = second.method = 0x33;
    first.packed = fixtures::rar29Literals(a);
    second.packed = fixtures::rar29Literals(b, false);
    const std::string rar = write(fixtures::buildRar({first, second}, {true, true}));
    std::string text;
    ASSERT_EQ(lib.command(line("-e", rar, dir.path(), "b.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(dir.file("b.wav")) == b);
}

TEST_F(Unrar32, OemAndUnicodeNamesComeOutAsUtf8)
{
    RarMember wide{std::string("??.wav\0", 7) + fixtures::rarUnicodeName(u"音声.wav"), "w", true};
    const std::string rar = write(fixtures::buildRar({{"\x89\xb9\\\x95\x5c.wav", "s"}, wide}));
    const auto listed = lib.list(windowsPath(rar), "*.wav");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "音/表.wav");
    EXPECT_EQ(listed[1].name, "音声.wav");
    ASSERT_EQ(lib.command(line("-e", rar, dir.path(), "音/表.wav")), arc::ArcOk);
    EXPECT_EQ(fixtures::readFile(dir.file("表.wav")), "s");
}

TEST_F(Unrar32, ProbeAndDamagedData)
{
    RarMember bad{"bad.wav", sound(4000, 11)};
    bad.badDataCrc = true;
    const std::string rar = write(fixtures::buildRar({{"good.wav", "fine"}, bad}));
    const uint32_t h = lib.openArchive(windowsPath(rar), 0x800002);
    EXPECT_NE(h, 0u);
    lib.closeArchive(h);
    EXPECT_EQ(lib.checkArchive(windowsPath(rar), 0), 0);  // decodes every entry

    const std::string work = dir.file("work");
    fs::create_directories(work);
    EXPECT_EQ(lib.command(line("-e", rar, work, "bad.wav")), arc::ArcCrcError);
    EXPECT_TRUE(fs::is_empty(work));
    std::string mem;
    EXPECT_EQ(lib.extractMem("  \"" + windowsPath(rar) + "\" \"bad.wav\" ", mem, 10000), arc::ArcCrcError);

    EXPECT_EQ(lib.openArchive(windowsPath(write("Rar!\x1A\x07\x00 broken", "broken.rar")), 0x800002), 0u);
    EXPECT_EQ(lib.openArchive(windowsPath(write("PK\x03\x04 a zip", "other.zip")), 0x800002), 0u);
}

TEST_F(Unrar32, Rar5ListsExtractsAndRefusesDamagedData)
{
    const std::string a = sound(30000, 13);
    RarMember bad{"bad.wav", "damaged"};
    bad.badDataCrc = true;
    const std::string rar = write(fixtures::buildRar5({{"snd/a.wav", a}, bad}), "five.rar");
    const auto listed = lib.list(windowsPath(rar), "*.wav");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "snd/a.wav");
    std::string text;
    ASSERT_EQ(lib.command(line("-e", rar, dir.path(), "snd/a.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(dir.file("a.wav")) == a);
    const std::string work = dir.file("work");
    fs::create_directories(work);
    EXPECT_EQ(lib.command(line("-e", rar, work, "bad.wav")), arc::ArcCrcError);
    EXPECT_TRUE(fs::is_empty(work));
}

// A RAR5 hard link holds no data: it gets its target's, whether it
// declares the target's size or none, extracted alone or with the rest.
TEST_F(Unrar32, Rar5HardLinksGetTheirTargetsData)
{
    const std::string a = sound(3000, 7);
    RarMember sized{"b.wav", a}, unsized{"c.wav", ""};
    sized.hardLinkTarget = unsized.hardLinkTarget = "snd/a.wav";
    const std::string rar = write(fixtures::buildRar5({{"snd/a.wav", a}, sized, unsized}), "links.rar");
    std::string text;
    const std::string all = dir.file("all");
    EXPECT_EQ(lib.command(line("-x", rar, all, "*"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(all + "/snd/a.wav") == a);
    EXPECT_TRUE(fixtures::readFile(all + "/b.wav") == a);
    EXPECT_TRUE(fixtures::readFile(all + "/c.wav") == a);
    for (const char* name : {"b.wav", "c.wav"}) {
        const std::string one = dir.file(std::string("one-") + name);
        EXPECT_EQ(lib.command(line("-e", rar, one, name), &text), arc::ArcOk) << name << ": " << text;
        EXPECT_TRUE(fixtures::readFile(one + "/" + name) == a) << name;
    }
    const auto listed = lib.list(windowsPath(rar), "b.wav");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].size, a.size());
}

// A link refused under a name that a regular file of the archive then
// writes: the name was extracted, and the command succeeds.
TEST_F(Unrar32, Rar5LinkFollowedByAFileOfTheSameNameSucceeds)
{
    const std::string a = sound(2000, 5);
    RarMember link{"a.wav", ""};
    link.linkTarget = "elsewhere.wav";
    const std::string rar = write(fixtures::buildRar5({link, {"a.wav", a}}), "relinked.rar");
    std::string text;
    const std::string view = dir.file("view");
    EXPECT_EQ(lib.command(line("-e", rar, view, "a.wav"), &text), arc::ArcOk) << text;
    EXPECT_TRUE(fixtures::readFile(view + "/a.wav") == a);
    const std::string lone = write(fixtures::buildRar5({link}), "lone.rar");
    EXPECT_EQ(lib.command(line("-e", lone, dir.file("lone"), "a.wav"), &text), arc::ArcUnsafeEntry) << text;
}

TEST_F(Unrar32, HostileNamesStayInsideTheDestination)
{
    const std::string rar =
        write(fixtures::buildRar({{"..\\..\\evil.wav", "x"}, {dir.file("abs.wav"), "x"}, {"C:\\drive.wav", "x"}}));
    const std::string out = dir.file("a/b/out");
    fs::create_directories(out);
    lib.command("-x  \"" + windowsPath(rar) + "\" \"" + windowsPath(out) + "\\\" ");
    expectWavesOnlyInside(out);
}
