// libcab32.so driven through its C entries with the CAB wrapper's command
// lines ("-x -o -i -j"), on cabinets made by gcab (none and MSZIP).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "archivers/common/errors.h"
#include "tests/archivers/support/fixtures.h"
#include "tests/archivers/support/library_driver.h"

using fixtures::quote;
using fixtures::windowsPath;

namespace {

std::string extractLine(const std::string& cab, const std::string& dest, const std::string& name, bool flat)
{
    return std::string("-x -o -i") + (flat ? " -j" : "") + "  \"" + windowsPath(cab) + "\" \"" + windowsPath(dest) +
           "\\\" \"" + name + "\" ";
}

using fixtures::buildCab;

}  // namespace

TEST(Cab32, ShiftJisNamesOfAHandMadeCabinet)
{
    fixtures::LibraryDriver lib(ARCHIVER_LIBRARY_PATH, "Cab");
    ASSERT_TRUE(lib.loaded());
    fixtures::TempDir dir;
    std::string big(50000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31);
    // 表\音.wav (表 is 95 5C) and ｻｳﾝﾄﾞ\a.wav (half-width kana, single high bytes).
    fixtures::writeFile(dir.file("jp.cab"), buildCab({{"\x95\x5C\x5C\x89\xB9.wav", big},
                                                      {"\xBB\xB3\xDD\xC4\xDE\x5C"
                                                       "a.wav",
                                                       "small"}}));
    auto listed = lib.list(windowsPath(dir.file("jp.cab")), "*.wav");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "\xE8\xA1\xA8/\xE9\x9F\xB3.wav");
    EXPECT_EQ(listed[1].name, "\xEF\xBD\xBB\xEF\xBD\xB3\xEF\xBE\x9D\xEF\xBE\x84\xEF\xBE\x9E/a.wav");
    const std::string out = dir.file("out");
    EXPECT_EQ(lib.command(extractLine(dir.file("jp.cab"), out, listed[0].name, true)), arc::ArcOk);
    EXPECT_TRUE(fixtures::readFile(out + "/\xE9\x9F\xB3.wav") == big);
    EXPECT_EQ(lib.command(extractLine(dir.file("jp.cab"), out, listed[1].name, false)), arc::ArcOk);
    EXPECT_EQ(fixtures::readFile(out + "/" + listed[1].name), "small");
}

TEST(Cab32, GcabCabinetsListAndExtractThroughTheEntries)
{
    REQUIRE_TOOL("gcab");
    REQUIRE_TOOL("sox");
    fixtures::LibraryDriver lib(ARCHIVER_LIBRARY_PATH, "Cab");
    ASSERT_TRUE(lib.loaded());
    for (const char* suffix : {"", "OpenArchive", "CloseArchive", "FindFirst", "FindNext", "CheckArchive",
                               "SetOwnerWindowEx", "KillOwnerWindowEx", "ExtractMem"})
        EXPECT_NE(lib.entry(suffix), nullptr) << "Cab" << suffix;

    fixtures::TempDir dir;
    fixtures::run("mkdir -p " + quote(dir.file("src/snd")));
    const std::string a = fixtures::makeWave(dir.file("src/snd/a.wav"), 0.5, 440);
    const std::string b = fixtures::makeWave(dir.file("src/b.wav"), 0.2, 550);
    fixtures::writeFile(dir.file("src/readme.txt"), "text");

    for (const char* option : {"", "-z"}) {
        SCOPED_TRACE(*option ? "MSZIP" : "none");
        const std::string cab = dir.file(std::string("s") + option + ".cab");
        ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && gcab -c " + option + " " + quote(cab) +
                                  " snd/a.wav b.wav readme.txt"));
        auto listed = lib.list(windowsPath(cab), "*.wav");
        std::vector<std::string> names;
        for (const auto& e : listed)
            names.push_back(e.name);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"b.wav", "snd/a.wav"}));  // "\" in the cabinet becomes "/"
        for (const auto& e : listed) {
            if (e.name == "snd/a.wav") {
                EXPECT_EQ(e.size, a.size());
                EXPECT_EQ(e.method, *option ? "MSZIP" : "None");
            }
        }

        const std::string out = dir.file(std::string("out") + option);
        EXPECT_EQ(lib.command(extractLine(cab, out, "snd/a.wav", true)), arc::ArcOk);
        EXPECT_TRUE(fixtures::readFile(out + "/a.wav") == a);
        EXPECT_EQ(lib.command(extractLine(cab, out, "snd/a.wav", false)), arc::ArcOk);
        EXPECT_TRUE(fixtures::readFile(out + "/snd/a.wav") == a);
        EXPECT_EQ(lib.command(extractLine(cab, out, "*.wav", true)), arc::ArcOk);
        EXPECT_TRUE(fixtures::readFile(out + "/b.wav") == b);
        EXPECT_NE(lib.command(extractLine(cab, out, "none.wav", true)), arc::ArcOk);

        std::string mem;
        EXPECT_EQ(lib.extractMem(" -o -i -j  \"" + windowsPath(cab) + "\" \"b.wav\" ", mem, b.size()), arc::ArcOk);
        EXPECT_TRUE(mem == b);
        EXPECT_NE(lib.checkArchive(windowsPath(cab), 0), FALSE);

        // Cut in half: an error, not a crash, and no partial file.
        const std::string bytes = fixtures::readFile(cab);
        const std::string cut = dir.file("cut.cab");
        fixtures::writeFile(cut, bytes.substr(0, bytes.size() / 2));
        const std::string cutOut = dir.file("cut-out");
        lib.list(windowsPath(cut), "*");
        EXPECT_NE(lib.command(extractLine(cut, cutOut, "*.wav", true)), arc::ArcOk);
        EXPECT_FALSE(std::filesystem::exists(cutOut + "/b.wav"));
    }
    fixtures::writeFile(dir.file("x.cab"), "MSCF but not really a cabinet");
    EXPECT_EQ(lib.checkArchive(windowsPath(dir.file("x.cab")), 0), FALSE);
    EXPECT_EQ(lib.openArchive(windowsPath(dir.file("x.cab")), 0x800002), 0u);
}
