#include <gtest/gtest.h>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

#include "platform/platform.h"
#include "tests/support/stopped_writer.h"
#include "tests/support/temp_dir.h"

using tidebell_test::TempDir;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.file("TEST.INI");

    std::string read(const char* section, const char* key, const char* def = "DEF", DWORD size = 256)
    {
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        DWORD n = GetPrivateProfileStringA(section, key, def, buffer, size, ini.c_str());
        EXPECT_EQ(n, std::strlen(buffer));
        return buffer;
    }
    int readInt(const char* key, int def = 99)
    {
        return static_cast<int>(GetPrivateProfileIntA("S", key, def, ini.c_str()));
    }
};

TEST_F(ProfileTest, ReadsValuesAsWindowsDoes)
{
    dir.write("TEST.INI", "; comment = not a key\r\n"
                          "[Other]\r\n"
                          "Key=other\r\n"
                          "[ section ]\r\n"
                          "  Key  =  spaced value  \r\n"
                          "Key=second duplicate\r\n"
                          "Quoted=\"  inside  \"\r\n"
                          "Single='x'\r\n"
                          "Mismatched=\"x'\r\n"
                          "Empty=\r\n"
                          "no equals sign here\r\n"
                          ";Commented=1\r\n"
                          "Last=no newline");
    EXPECT_EQ(read("SECTION", "KEY"), "spaced value");   // case, trimming, first duplicate
    EXPECT_EQ(read("Section", "quoted"), "  inside  ");  // one pair of quotes removed
    EXPECT_EQ(read("Section", "Single"), "x");
    EXPECT_EQ(read("Section", "Mismatched"), "\"x'");
    EXPECT_EQ(read("Section", "Empty"), "");  // empty value is not the default
    EXPECT_EQ(read("Section", "Commented"), "DEF");
    EXPECT_EQ(read("Section", "no equals sign here"), "DEF");
    EXPECT_EQ(read("Section", "Last"), "no newline");
    EXPECT_EQ(read("Other", "Key"), "other");
    EXPECT_EQ(read("Missing", "Key", "default  \t"), "default");  // trailing blanks of the default go
    EXPECT_EQ(read("Section", "Missing", nullptr), "");
}

TEST_F(ProfileTest, MissingFileAndSmallBuffers)
{
    EXPECT_EQ(read("S", "K", "fallback "), "fallback");
    dir.write("TEST.INI", "[S]\nK=abcdef\n");
    EXPECT_EQ(read("S", "K", "", 4), "abc");  // cut to size - 1
    EXPECT_EQ(read("S", "K", "", 1), "");
    EXPECT_EQ(read("S", "K", "", 7), "abcdef");
}

TEST_F(ProfileTest, ListsSectionsAndKeys)
{
    dir.write("TEST.INI", "[A]\nx=1\ny=2\nX=3\n[B]\n");
    char buffer[64];
    DWORD n = GetPrivateProfileStringA("A", nullptr, "", buffer, sizeof buffer, ini.c_str());
    EXPECT_EQ(std::string(buffer, n + 1), std::string("x\0y\0", 4) + '\0');
    n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, ini.c_str());
    EXPECT_EQ(std::string(buffer, n), std::string("A\0B\0", 4));
}

TEST_F(ProfileTest, IntegerParsing)
{
    dir.write("TEST.INI", "[S]\nTwo=2\nNeg=-1\nLead=  12abc\nWord=abc\nEmpty=\nPlus=+7\nQuoted=\"5\"\n");
    EXPECT_EQ(readInt("Two"), 2);
    EXPECT_EQ(readInt("Neg"), -1);
    EXPECT_EQ(readInt("Lead"), 12);
    EXPECT_EQ(readInt("Word"), 0);
    EXPECT_EQ(readInt("Empty"), 99);
    EXPECT_EQ(readInt("Missing"), 99);
    EXPECT_EQ(readInt("Plus"), 7);
    EXPECT_EQ(readInt("Quoted"), 5);
}

TEST_F(ProfileTest, WritesKeepEveryOtherLine)
{
    dir.write("TEST.INI", "; header comment\r\n"
                          "[A]\r\n"
                          "One = 1\r\n"
                          "; note in A\r\n"
                          "\r\n"
                          "[B]\r\n"
                          "Two=2");
    ASSERT_TRUE(WritePrivateProfileStringA("a", "ONE", "uno", ini.c_str()));  // in place, file's spelling
    ASSERT_TRUE(WritePrivateProfileStringA("A", "Three", "3", ini.c_str()));  // end of its section
    ASSERT_TRUE(WritePrivateProfileStringA("C", "Four", "4", ini.c_str()));   // new section at the end
    EXPECT_EQ(dir.read("TEST.INI"), "; header comment\r\n"
                                    "[A]\r\n"
                                    "One=uno\r\n"
                                    "; note in A\r\n"
                                    "Three=3\r\n"
                                    "\r\n"
                                    "[B]\r\n"
                                    "Two=2\r\n"
                                    "[C]\r\n"
                                    "Four=4\r\n");
}

TEST_F(ProfileTest, WriteCreatesFileAndKeepsNewlineStyle)
{
    ASSERT_TRUE(WritePrivateProfileStringA("TIDEBELL", "SaveSetting", "1", ini.c_str()));
    EXPECT_EQ(dir.read("TEST.INI"), "[TIDEBELL]\r\nSaveSetting=1\r\n");
    EXPECT_EQ(read("tidebell", "savesetting"), "1");

    std::string lf = dir.write("LF.INI", "[S]\nA=1\n");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "B", "2", lf.c_str()));
    EXPECT_EQ(dir.read("LF.INI"), "[S]\nA=1\nB=2\n");
}

TEST_F(ProfileTest, DeletesKeysAndSections)
{
    dir.write("TEST.INI", "[A]\nx=1\ny=2\n[B]\nz=3\n");
    ASSERT_TRUE(WritePrivateProfileStringA("A", "x", nullptr, ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("B", nullptr, nullptr, ini.c_str()));
    EXPECT_EQ(dir.read("TEST.INI"), "[A]\ny=2\n");
}

TEST_F(ProfileTest, WriteReplacesTheFileAtomicallyAndKeepsItsMode)
{
    dir.write("TEST.INI", "[S]\nK=1\n");
    ::chmod(ini.c_str(), 0640);
    struct stat before, after;
    ASSERT_EQ(::stat(ini.c_str(), &before), 0);
    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "2", ini.c_str()));
    ASSERT_EQ(::stat(ini.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed over the old one
    EXPECT_EQ(after.st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);
}

// A writer killed before its rename leaves its temporary file; the next write
// of the same file clears those of ours that are stale, and nothing else.
TEST_F(ProfileTest, NextWriteClearsStaleTemporaryFilesOfOurOwn)
{
    pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = "TEST.INI.tbtmp-" + std::to_string(gone) + "-";
    const std::string alive = "TEST.INI.tbtmp-" + std::to_string(::getppid()) + "-";
    auto plant = [&](const std::string& name, time_t age) {
        dir.write(name, std::string(1000, 'x'));
        timespec times[2] = {{::time(nullptr) - age, 0}, {::time(nullptr) - age, 0}};
        ::utimensat(AT_FDCWD, dir.file(name).c_str(), times, 0);
    };
    plant(dead + "aaaaaa", 60);                                        // killed writer: stale
    plant(alive + "bbbbbb", 7200);                                     // older than any write takes: stale
    plant(dead + "cccccc", 0);                                         // just made: left alone
    plant(alive + "dddddd", 60);                                       // its writer still runs
    plant("TEST.INI.eeeeee", 7200);                                    // not our naming
    plant("OTHER.INI.tbtmp-" + std::to_string(gone) + "-ffffff", 60);  // another file's
    ASSERT_EQ(::symlink(dir.file("TEST.INI.eeeeee").c_str(), dir.file(dead + "gggggg").c_str()), 0);

    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "1", ini.c_str()));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> kept{"OTHER.INI.tbtmp-" + std::to_string(gone) + "-ffffff",
                                  "TEST.INI",
                                  "TEST.INI.eeeeee",
                                  dead + "cccccc",
                                  dead + "gggggg",
                                  alive + "dddddd"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(left, kept);
}

// Writers killed with kill -9 in the middle of a write leave their temporary
// files; the next write removes them at once, whatever their age, while the
// temporary file of a writer that still runs stays.
TEST_F(ProfileTest, KilledWritersTemporaryFilesGoAtTheNextWriteALiveWritersStay)
{
    const std::string big(4 << 20, 'v');
    auto write = [&] { WritePrivateProfileStringA("S", "K", big.c_str(), ini.c_str()); };
    // Four writers caught mid-write at once: each one's write left the
    // others' files alone, as they still ran. Then all four are killed.
    std::vector<std::unique_ptr<tidebell_test::StoppedWriter>> killed;
    for (int i = 0; i < 4; ++i) {
        killed.push_back(std::make_unique<tidebell_test::StoppedWriter>(dir.path(), write));
        ASSERT_TRUE(killed.back()->caught());
    }
    EXPECT_EQ(tidebell_test::temporaryFiles(dir.path()).size(), 4u);
    tidebell_test::StoppedWriter live(dir.path(), write);
    ASSERT_TRUE(live.caught());
    for (auto& writer : killed)
        writer->kill();
    ASSERT_EQ(tidebell_test::temporaryFiles(dir.path()).size(), 5u);

    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "1", ini.c_str()));
    EXPECT_EQ(tidebell_test::temporaryFiles(dir.path()), std::set<std::string>{live.temporary()});
    EXPECT_EQ(read("S", "K"), "1");
    live.kill();
    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "2", ini.c_str()));
    EXPECT_TRUE(tidebell_test::temporaryFiles(dir.path()).empty());
}

// The writer named in a temporary file: of an earlier boot, or a process id
// now held by a later process, it is gone; of another PID namespace it
// cannot be told, and its file goes only when old.
TEST_F(ProfileTest, TemporaryFilesNameTheirWritersBootAndStart)
{
    std::string raw, boot;
    std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), raw);
    for (char c : raw)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            boot += c;
    struct stat ns;
    if (boot.size() != 32 || ::stat("/proc/self/ns/pid", &ns) != 0)
        GTEST_SKIP() << "no boot id or PID namespace to be read";
    const std::string here = std::to_string(ns.st_ino);
    const std::string me = std::to_string(::getpid());
    const std::string otherBoot(32, boot[0] == 'a' ? 'b' : 'a');
    auto plant = [&](const std::string& writer, time_t age) {
        const std::string name = "TEST.INI.tbtmp-" + writer + "-abcdef";
        dir.write(name, "x");
        timespec times[2] = {{::time(nullptr) - age, 0}, {::time(nullptr) - age, 0}};
        ::utimensat(AT_FDCWD, dir.file(name).c_str(), times, 0);
        return name;
    };
    plant(otherBoot + "-" + here + "-" + me + "-1", 0);                 // an earlier boot
    plant(boot + "-" + here + "-" + me + "-1", 0);                      // this process id, started at another time
    const std::string elsewhere = plant(boot + "-1-" + me + "-1", 60);  // another namespace, recent
    plant(boot + "-1-" + me + "-2", 7200);                              // another namespace, old

    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "1", ini.c_str()));
    EXPECT_EQ(tidebell_test::temporaryFiles(dir.path()), std::set<std::string>{elsewhere});
}

// Lines may end in a lone CR, which is kept as the file's style on writing.
TEST_F(ProfileTest, LoneCarriageReturnsEndLines)
{
    dir.write("TEST.INI", "[s]\rk=v\r[t]\r\nj=w\nl=x");
    EXPECT_EQ(read("s", "k"), "v");
    EXPECT_EQ(read("t", "j"), "w");
    EXPECT_EQ(read("t", "l"), "x");
    ASSERT_TRUE(WritePrivateProfileStringA("s", "n", "2", ini.c_str()));
    EXPECT_EQ(dir.read("TEST.INI"), "[s]\rk=v\rn=2\r[t]\rj=w\rl=x\r");
}

// A UTF-16LE file with its byte-order mark is read, and stays UTF-16 when
// written; characters beyond the basic plane and broken units survive as
// themselves or as U+FFFD.
TEST_F(ProfileTest, Utf16FilesAreReadAndWrittenAsUtf16)
{
    auto utf16 = [](std::u16string_view text) {
        std::string bytes = "\xFF\xFE";
        for (char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    };
    const std::u16string lone(1, char16_t(0xD800));
    dir.write("TEST.INI", utf16(u"[TIDEBELL]\r\nName=音色\r\nClef=\U0001D11E\r\nBroken=a" + lone + u"b\r\n"));
    EXPECT_EQ(read("TIDEBELL", "Name"), "音色");
    EXPECT_EQ(read("TIDEBELL", "Clef"), "\U0001D11E");
    EXPECT_EQ(read("TIDEBELL", "Broken"), "a\uFFFDb");
    ASSERT_TRUE(WritePrivateProfileStringA("TIDEBELL", "SaveSetting", "1", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("TIDEBELL", "Name", "ü\xFF", ini.c_str()));
    EXPECT_EQ(dir.read("TEST.INI"),
              utf16(u"[TIDEBELL]\r\nName=ü\uFFFD\r\nClef=\U0001D11E\r\nBroken=a\uFFFDb\r\nSaveSetting=1\r\n"));
}

// A value with a line break must not add lines (or a section) to the file.
TEST_F(ProfileTest, LineBreaksInValuesCannotInjectLines)
{
    dir.write("TEST.INI", "[TIDEBELL]\r\nSaveSetting=1\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("TIDEBELL", "MainSize", "1,2\r\n[Evil]\r\nSaveSetting=0", ini.c_str()));
    EXPECT_EQ(dir.read("TEST.INI"), "[TIDEBELL]\r\nSaveSetting=1\r\nMainSize=1,2\r\n");
}

TEST_F(ProfileTest, WriteIntoMissingFolderOrReadOnlyFileFails)
{
    dir.write("TEST.INI", "[S]\nK=1\n");
    ::chmod(ini.c_str(), 0444);
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "2", ini.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(dir.read("TEST.INI"), "[S]\nK=1\n");

    std::string bad = dir.file("no/such/folder/X.INI");
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "V", bad.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
