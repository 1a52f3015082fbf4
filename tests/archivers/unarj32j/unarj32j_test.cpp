// libunarj32j.so driven through its C entries as the program drives it: the
// LHA command lines of the LHA wrapper ("x -+ -c1 -n1 -x0 ..."), Windows-style
// paths, listing with "*.wav".
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "archivers/common/errors.h"
#include "tests/archivers/support/fixtures.h"
#include "tests/archivers/support/library_driver.h"
#include "tests/archivers/unarj32j/arjbuilder.h"

namespace {

using fixtures::quote;
using fixtures::readFile;
using fixtures::windowsPath;
using fixtures::writeFile;

// What the archive viewer sends to extract one file: flat (-x0) or with
// folders (-x1), overwriting (-c1).
std::string extractLine(const std::string& archive, const std::string& dest, const std::string& name, bool flat)
{
    return std::string("x -+ -c1 -n1 -x") + (flat ? "0" : "1") + "  \"" + windowsPath(archive) + "\" \"" +
           windowsPath(dest) + "\\\" \"" + name + "\" ";
}

std::vector<std::string> namesOf(const std::vector<fixtures::ListedEntry>& listed)
{
    std::vector<std::string> names;
    for (const auto& e : listed)
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

class Unarj32j : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_lib.loaded()); }
    fixtures::LibraryDriver m_lib{ARCHIVER_LIBRARY_PATH, "Unarj"};
    fixtures::TempDir m_dir;
};

TEST_F(Unarj32j, ExportsTheEntriesOfTheArjLibrary)
{
    for (const char* suffix : {"", "OpenArchive", "CloseArchive", "FindFirst", "FindNext", "CheckArchive",
                               "SetOwnerWindowEx", "KillOwnerWindowEx"})
        EXPECT_NE(m_lib.entry(suffix), nullptr) << "Unarj" << suffix;
    EXPECT_EQ(m_lib.entry("ExtractMem"), nullptr);
}

TEST_F(Unarj32j, ArchivesMadeByArjListAndExtract)
{
    REQUIRE_TOOL("arj");
    REQUIRE_TOOL("sox");
    fixtures::run("mkdir -p " + quote(m_dir.file("src/snd")));
    const std::string a = fixtures::makeWave(m_dir.file("src/snd/a.wav"), 1, 440);
    const std::string b = fixtures::makeWave(m_dir.file("src/b.wav"), 0.3, 550);
    writeFile(m_dir.file("src/readme.txt"), "text");
    // A name in Shift-JIS bytes, as an archive made on a Japanese system holds it.
    writeFile(m_dir.file("src/\x89\xB9.wav"), "sjis");

    for (int method : {1, 4}) {
        SCOPED_TRACE(method);
        const std::string arj = m_dir.file("w" + std::to_string(method) + ".arj");
        ASSERT_TRUE(fixtures::run("cd " + quote(m_dir.file("src")) + " && arj a -r -y -m" + std::to_string(method) +
                                  " " + quote(arj) + " '*'"));
        const auto listed = m_lib.list(windowsPath(arj), "*.wav");
        EXPECT_EQ(namesOf(listed), (std::vector<std::string>{"b.wav", "snd/a.wav", "音.wav"}));
        for (const auto& e : listed) {
            if (e.name == "snd/a.wav") {
                EXPECT_EQ(e.size, a.size());
                EXPECT_EQ(e.crc, fixtures::crc32Of(a));
            }
        }

        const std::string out = m_dir.file("out" + std::to_string(method));
        EXPECT_EQ(m_lib.command(extractLine(arj, out, "snd/a.wav", true)), arc::ArcOk);
        EXPECT_TRUE(readFile(out + "/a.wav") == a);
        EXPECT_EQ(m_lib.command(extractLine(arj, out, "snd/a.wav", false)), arc::ArcOk);
        EXPECT_TRUE(readFile(out + "/snd/a.wav") == a);
        EXPECT_EQ(m_lib.command(extractLine(arj, out, "*.wav", true)), arc::ArcOk);
        EXPECT_TRUE(readFile(out + "/b.wav") == b);
        EXPECT_EQ(readFile(out + "/音.wav"), "sjis");
        EXPECT_NE(m_lib.command(extractLine(arj, out, "none.wav", true)), arc::ArcOk);

        EXPECT_NE(m_lib.checkArchive(windowsPath(arj), 0), FALSE);
        const uint32_t probe = m_lib.openArchive(windowsPath(arj), 0x800002);
        EXPECT_NE(probe, 0u);
        m_lib.closeArchive(probe);
    }
    writeFile(m_dir.file("x.arj"), "\x60\xEA but not really an archive");
    EXPECT_EQ(m_lib.checkArchive(windowsPath(m_dir.file("x.arj")), 0), FALSE);
    EXPECT_EQ(m_lib.openArchive(windowsPath(m_dir.file("x.arj")), 0x800002), 0u);
}

TEST_F(Unarj32j, DamagedAndEncryptedEntriesLeaveNoFile)
{
    REQUIRE_TOOL("arj");
    std::string text;
    for (int i = 0; i < 4000; ++i)
        text += "line " + std::to_string(i % 97) + "\n";
    writeFile(m_dir.file("a.wav"), text);
    ASSERT_TRUE(
        fixtures::run("cd " + quote(m_dir.path()) + " && arj a -y -m1 d.arj a.wav && arj a -y -gstew g.arj a.wav"));

    const std::string whole = readFile(m_dir.file("d.arj"));
    writeFile(m_dir.file("cut.arj"), whole.substr(0, whole.size() - 200));
    std::string flipped = whole;
    flipped[flipped.size() - 300] = static_cast<char>(~flipped[flipped.size() - 300]);
    writeFile(m_dir.file("flip.arj"), flipped);

    for (const char* name : {"cut.arj", "flip.arj", "g.arj"}) {
        SCOPED_TRACE(name);
        const std::string out = m_dir.file(std::string("out-") + name);
        EXPECT_NE(m_lib.command(extractLine(m_dir.file(name), out, "a.wav", true)), arc::ArcOk);
        EXPECT_FALSE(std::filesystem::exists(out + "/a.wav"));
        EXPECT_EQ(m_lib.checkArchive(windowsPath(m_dir.file(name)), 0), FALSE);
    }
    EXPECT_EQ(m_lib.command(extractLine(m_dir.file("g.arj"), m_dir.file("o"), "a.wav", true)),
              arc::ArcUnsupportedMethod);
}

TEST_F(Unarj32j, HostileNamesStayInTheDestination)
{
    auto member = [](std::string name, std::string data) {
        arjtest::ArjMember m;
        m.rawName = std::move(name);
        m.data = std::move(data);
        return m;
    };
    arjtest::ArjMember wrongCrc = member("bad.wav", "bad data");
    wrongCrc.crc = 0x12345678;
    writeFile(m_dir.file("h.arj"), arjtest::buildArj({
                                       member("..\\..\\evil.wav", "1"),
                                       member("\\abs.wav", "2"),
                                       member("C:\\drive.wav", "3"),
                                       member("ok\\good.wav", "4"),
                                       wrongCrc,
                                   }));
    fixtures::run("mkdir -p " + quote(m_dir.file("deep/dest")));
    const std::string dest = m_dir.file("deep/dest");
    EXPECT_NE(m_lib.command(extractLine(m_dir.file("h.arj"), dest, "*", false)), arc::ArcOk);

    EXPECT_EQ(readFile(dest + "/ok/good.wav"), "4");
    EXPECT_FALSE(std::filesystem::exists(dest + "/bad.wav"));
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("evil.wav")));
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("deep/evil.wav")));
    EXPECT_FALSE(std::filesystem::exists("/abs.wav"));
    // Whatever was written lies below the destination.
    for (const auto& f : std::filesystem::recursive_directory_iterator(m_dir.path())) {
        if (f.is_regular_file() && f.path().filename() != "h.arj") {
            EXPECT_EQ(f.path().string().rfind(dest + "/", 0), 0u) << f.path();
        }
    }
}

}  // namespace
