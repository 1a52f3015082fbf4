#include "archive/archivertype.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/archiveroptions.h"
#include "fakes.h"
#include "tests/support/temp_dir.h"

using namespace archives;

namespace {

// The content libraries, from the lowest priority to the highest, with the
// type each one makes the file.
const std::vector<std::pair<std::string, TArchiverType>> kPriority = {
    {"unrar32", atRar}, {"unarj32j", atArj}, {"unzip32", atZip}, {"bga32", atBga}, {"cab32", atCab}, {"unlha32", atLha},
};

}  // namespace

TEST(DetectArchiverType, ExtensionTableNeedsNoLibrary)
{
    FakeLibraries libs("all");
    const std::vector<std::pair<std::string, TArchiverType>> cases = {
        {"SOUNDS.LZH", atLha},
        {"C:\\a\\Sounds.Zip", atZip},
        {"x.cab", atCab},
        {"x.ARJ", atArj},
        {"x.rar", atRar},
        {"a.tar.gz", atTgz},
        {"a.tar.bz2", atBZ2},
        {"a.tgz", atTgz},
        {"a.TAZ", atTgz},
        {"a.z", atTgz},
        {"a.Z", atTgz},
        {"a.tar", atTar},
        {"a.deb", atTar},
        {"a.rpm", atTar},
        {"a.cpio", atTar},
        {"liba.a", atTar},
        {"x.lib", atTar},
        {"x.gza", atBga},
        {"x.bza", atBga},
        {"x.gca", atGCA},
        {"x.wav", atNone},
        {"noextension", atNone},
        {"C:\\dir.lzh\\file", atNone},
        {"C:dir.lzh", atLha},
        {"D:.lzh", atLha},
        {"C:\\dir\\.lzh", atLha},
        {"x.lzh.", atNone},
        {"x.lzhx", atNone},
        {"", atNone},
        {UnsetText, atNone},
        {"音楽.lzh", atLha},
        {"x.ｌｚｈ", atNone},
    };
    for (const auto& [name, type] : cases)
        EXPECT_EQ(DetectArchiverType(name, true), type) << name;
    // Ordinary extensions never ask a library.
    EXPECT_TRUE(fakearc::calls().empty());
}

TEST(DetectArchiverType, ExtensionOfAWindowsPath)
{
    EXPECT_EQ(ExtractFileExt("C:\\a.b\\c.tar.gz"), ".gz");
    EXPECT_EQ(ExtractFileExt("C:\\a.b\\c"), "");
    EXPECT_EQ(ExtractFileExt("a:b"), "");
    EXPECT_EQ(ExtractFileExt("a."), ".");
}

TEST(DetectArchiverType, ContentsPriorityWhenSeveralLibrariesAccept)
{
    tidebell_test::TempDir dir;
    dir.write("sfx.exe", "MZ not really an archive");
    const std::string file = dir.windows("sfx.exe");
    FakeLibraries libs("all");
    fakearc::script("tar32", "archivetype", "1");

    // Everyone accepts: LHA wins. Take away the winner each time and the next
    // one in priority order takes over; last comes the tar library's kind.
    for (auto it = kPriority.rbegin(); it != kPriority.rend(); ++it) {
        EXPECT_EQ(DetectArchiverType(file, true), it->second) << it->first;
        EXPECT_EQ(DetectArchiverType(file, false), it->second) << it->first;
        FakeLibraries::reject(it->first);
    }
    EXPECT_EQ(DetectArchiverType(file, true), atTar);
}

TEST(DetectArchiverType, EveryProbeRunsInItsOrder)
{
    tidebell_test::TempDir dir;
    dir.write("a.dat", "data");
    FakeLibraries libs("all");
    ASSERT_EQ(DetectArchiverType(dir.windows("a.dat"), false), atLha);

    // Which of the three ZIP libraries answers is the ZIP wrapper's business.
    std::vector<std::string> firstUse;
    for (const fakearc::Call& c : fakearc::calls()) {
        const std::string lib = (c[0] == "unzip32" || c[0] == "lmzip32" || c[0] == "zip32j") ? "zip" : c[0];
        if (std::find(firstUse.begin(), firstUse.end(), lib) == firstUse.end())
            firstUse.push_back(lib);
    }
    const std::vector<std::string> expected = {"tar32", "unrar32", "unarj32j", "zip", "bga32", "cab32", "unlha32"};
    EXPECT_EQ(firstUse, expected);
}

TEST(DetectArchiverType, TarLibraryKinds)
{
    tidebell_test::TempDir dir;
    dir.write("a.bin", "data");
    const std::string file = dir.windows("a.bin");
    FakeLibraries libs("all");
    for (const auto& [library, type] : kPriority)
        FakeLibraries::reject(library);
    const std::vector<std::pair<std::string, TArchiverType>> kinds = {
        {"0", atNone}, {"1", atTar}, {"2", atTgz},  {"5", atTgz},
        {"6", atBZ2},  {"7", atBZ2}, {"8", atNone}, {"-1", atNone},
    };
    for (const auto& [code, type] : kinds) {
        fakearc::script("tar32", "archivetype", code);
        EXPECT_EQ(DetectArchiverType(file, false), type) << code;
    }
}

TEST(DetectArchiverType, NoLibraryInstalledGivesNoneQuietly)
{
    tidebell_test::TempDir dir;
    dir.write("a.exe", "MZ");
    FakeLibraries libs("none");
    EXPECT_EQ(DetectArchiverType(dir.windows("a.exe"), true), atNone);
    EXPECT_EQ(DetectArchiverType(dir.windows("a.exe"), false), atNone);
    EXPECT_EQ(DetectArchiverType(dir.windows("missing.exe"), true), atNone);
    EXPECT_EQ(DetectArchiverType(dir.windows("a.lzh"), true), atLha);
}

TEST(DetectArchiverType, ExeNoLibraryAccepts)
{
    tidebell_test::TempDir dir;
    dir.write("plain.exe", "MZ");
    FakeLibraries libs("all");
    for (const auto& [library, type] : kPriority)
        FakeLibraries::reject(library);
    EXPECT_EQ(DetectArchiverType(dir.windows("plain.exe"), true), atNone);
    EXPECT_EQ(DetectArchiverType(dir.windows("PLAIN.EXE"), true), atNone);
}
