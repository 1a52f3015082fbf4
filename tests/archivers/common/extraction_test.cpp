// Extraction through the command entry: where files land, what is never
// written, overwriting, checks, progress and the output buffer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "archivers/common/extractinginfo.h"
#include "archivers/common/outputlimits.h"
#include "tests/archivers/support/limitsscope.h"
#include "tests/archivers/common/fakereader.h"

using namespace arc;
using fake::FakeArchive;

namespace {

class Extraction : public ::testing::Test {
protected:
    fake::TestRoot root;
    char output[4096] = {};

    void SetUp() override
    {
        FakeArchive a;
        a.entries = {fake::file("snd/a.wav", "AAAA"), fake::folder("empty/"), fake::file("B.WAV", "BB"),
                     fake::file("deep/er/c.wav", std::string(200000, 'c'))};
        fake::put("s.lzh", a);
    }
    int run(const arc::LibraryDefinition& lib, const std::string& line)
    {
        return entries::command(lib, nullptr, line.c_str(), output, sizeof output);
    }
    std::string out(const std::string& relative) { return root.posix(relative); }
    // No temporary file may remain anywhere below the destination.
    void expectNoLeftovers(const std::string& folder)
    {
        for (const auto& name : fake::listFolder(folder))
            EXPECT_EQ(name.find(".part"), std::string::npos) << name;
    }
};

}  // namespace

TEST_F(Extraction, WithFoldersCreatesTheDestinationAndTheTree)
{
    EXPECT_EQ(run(fake::kLha, "x -+ -c1 \"C:\\s.lzh\" \"C:\\new\\dest\\\""), ArcOk) << output;
    EXPECT_EQ(fake::readFile(out("new/dest/snd/a.wav")), "AAAA");
    EXPECT_EQ(fake::readFile(out("new/dest/B.WAV")), "BB");
    EXPECT_EQ(fake::readFile(out("new/dest/deep/er/c.wav")), std::string(200000, 'c'));
    EXPECT_TRUE(fake::exists(out("new/dest/empty")));
    EXPECT_NE(std::string(output).find("extracted: C:\\new\\dest\\snd\\a.wav"), std::string::npos) << output;
    // The stored DOS time becomes the file's time.
    struct stat st {};
    ASSERT_EQ(::stat(out("new/dest/B.WAV").c_str(), &st), 0);
    struct tm tm {};
    localtime_r(&st.st_mtime, &tm);
    EXPECT_EQ(tm.tm_year, 124);
    EXPECT_EQ(tm.tm_hour, 3);
}

TEST_F(Extraction, ViewerExtractionIsFlatByFullOrBareName)
{
    EXPECT_EQ(run(fake::kLha, "x -+ -c1 -n1 -x0  \"C:\\s.lzh\" \"C:\\TEMP\\\" \"snd/a.wav\" "), ArcOk) << output;
    EXPECT_EQ(fake::listFolder(out("TEMP")), std::vector<std::string>{"a.wav"});
    EXPECT_EQ(run(fake::kLha, "x -+ -c1 -n1 -x0  \"C:\\s.lzh\" \"C:\\TEMP\\\" \"c.wav\" "), ArcOk) << output;
    EXPECT_EQ(fake::readFile(out("TEMP/c.wav")).size(), 200000u);
    EXPECT_EQ(run(fake::kZip, "-x -o --i -j  \"C:\\s.lzh\" \"C:\\Z\\\" \"deep/er/c.wav\" "), ArcOk) << output;
    EXPECT_EQ(fake::listFolder(out("Z")), std::vector<std::string>{"c.wav"});
}

TEST_F(Extraction, NameMatchingNothingIsAnError)
{
    EXPECT_EQ(run(fake::kLha, "x -+ -c1 -x0  \"C:\\s.lzh\" \"C:\\T\\\" \"missing.wav\" "), ArcNoMatch);
    EXPECT_TRUE(fake::listFolder(out("T")).empty());
    EXPECT_NE(std::string(output).find("missing.wav"), std::string::npos);
}

TEST_F(Extraction, OverwriteRulesPerDialect)
{
    ::mkdir(out("T").c_str(), 0777);
    fake::writeFile(out("T/B.WAV"), "old");  // newer than the entry (written now)
    EXPECT_EQ(run(fake::kZip, "-x -j  \"C:\\s.lzh\" \"C:\\T\\\" \"B.WAV\" "), ArcOk);
    EXPECT_EQ(fake::readFile(out("T/B.WAV")), "old");
    EXPECT_NE(std::string(output).find("skipped (exists)"), std::string::npos);
    EXPECT_EQ(run(fake::kLha, "x -+ -x0  \"C:\\s.lzh\" \"C:\\T\\\" \"B.WAV\" "), ArcOk);
    EXPECT_EQ(fake::readFile(out("T/B.WAV")), "old");  // LHA without -c: only newer entries replace
    EXPECT_EQ(run(fake::kLha, "x -+ -c1 -x0  \"C:\\s.lzh\" \"C:\\T\\\" \"B.WAV\" "), ArcOk);
    EXPECT_EQ(fake::readFile(out("T/B.WAV")), "BB");
}

TEST_F(Extraction, ReplacedFileIsSwappedOutNeverWrittenInto)
{
    // The old file leaves its name whole: another link to it keeps the old
    // content, and no hidden copy of either stays behind.
    ::mkdir(out("T").c_str(), 0777);
    fake::writeFile(out("T/B.WAV"), "old");
    ASSERT_EQ(::link(out("T/B.WAV").c_str(), out("other-link").c_str()), 0);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(run(fake::kLha, "x -+ -c1 -x0  \"C:\\s.lzh\" \"C:\\T\\\" \"B.WAV\" "), ArcOk) << output;
        EXPECT_EQ(fake::readFile(out("T/B.WAV")), "BB");
    }
    EXPECT_EQ(fake::readFile(out("other-link")), "old");
    EXPECT_EQ(fake::listFolder(out("T")), std::vector<std::string>{"B.WAV"});
}

TEST_F(Extraction, FailedChecksLeaveNoFileAndKeepTheOldOne)
{
    FakeArchive bad;
    bad.entries = {fake::file("crc.wav", "good"), fake::file("long.wav", "1234"), fake::file("broken.wav", "xyz"),
                   fake::file("fine.wav", "fine")};
    bad.entries[0].data = "evil";
    bad.entries[1].data = "123456789";  // more than the declared size
    bad.entries[2].failWith = Status::Corrupt;
    fake::put("bad.lzh", bad);
    ::mkdir(out("T").c_str(), 0777);
    fake::writeFile(out("T/crc.wav"), "previous");
    EXPECT_EQ(run(fake::kLha, "x -+ -c1 -x0  \"C:\\bad.lzh\" \"C:\\T\\\""), ArcCrcError) << output;
    EXPECT_EQ(fake::readFile(out("T/crc.wav")), "previous");
    EXPECT_FALSE(fake::exists(out("T/long.wav")));
    EXPECT_FALSE(fake::exists(out("T/broken.wav")));
    EXPECT_EQ(fake::readFile(out("T/fine.wav")), "fine");  // the others still come out
    expectNoLeftovers(out("T"));
    const std::string text = output;
    EXPECT_NE(text.find("crc.wav"), std::string::npos);
    EXPECT_NE(text.find("archive is corrupt: broken.wav"), std::string::npos) << text;
}

TEST_F(Extraction, HostileNamesNeverLeaveTheDestination)
{
    FakeArchive evil;
    evil.entries = {fake::file("../../up.wav", "1"), fake::file("/abs/root.wav", "2"),
                    fake::file("C:\\Windows\\drive.wav", "3"), fake::file("a\\..\\..\\back.wav", "4"),
                    fake::file("../..", "5")};
    fake::FakeEntry link = fake::file("link.wav", "/etc/passwd");
    link.entry.type = EntryType::Symlink;
    evil.entries.push_back(link);
    fake::put("evil.lzh", evil);
    ASSERT_EQ(::mkdir(out("outer").c_str(), 0777), 0);
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\evil.lzh\" \"C:\\outer\\T\\\""), ArcUnsafeEntry) << output;
    EXPECT_EQ(fake::readFile(out("outer/T/up.wav")), "1");
    EXPECT_EQ(fake::readFile(out("outer/T/abs/root.wav")), "2");
    EXPECT_EQ(fake::readFile(out("outer/T/Windows/drive.wav")), "3");
    EXPECT_EQ(fake::readFile(out("outer/T/a/back.wav")), "4");
    EXPECT_FALSE(fake::exists(out("outer/T/link.wav")));
    EXPECT_EQ(fake::listFolder(out("outer")), std::vector<std::string>{"T"});
    EXPECT_EQ(fake::listFolder(out("")), (std::vector<std::string>{"outer"}));
}

// A link refused under a name that a regular entry of the archive writes,
// before or after it, fails nothing: the name was extracted. A link whose
// name nothing writes still fails.
TEST_F(Extraction, RefusedLinkUnderAWrittenNameIsNoFailure)
{
    fake::FakeEntry link = fake::file("snd/a.wav", "target");
    link.entry.type = EntryType::Symlink;
    fake::FakeEntry other = fake::file("other.wav", "target");
    other.entry.type = EntryType::Symlink;
    FakeArchive linkFirst, fileFirst;
    linkFirst.entries = {link, fake::file("snd/a.wav", "AAAA")};
    fileFirst.entries = {fake::file("snd/a.wav", "AAAA"), link};
    fake::put("first.lzh", linkFirst);
    fake::put("last.lzh", fileFirst);
    for (const char* archive : {"first", "last"}) {
        SCOPED_TRACE(archive);
        const std::string from = std::string("\"C:\\") + archive + ".lzh\"";
        EXPECT_EQ(run(fake::kLha, "x -+ -c1 -n1 -x0  " + from + " \"C:\\V\\\" \"a.wav\" "), ArcOk) << output;
        EXPECT_EQ(fake::readFile(out("V/a.wav")), "AAAA");
        EXPECT_EQ(run(fake::kLha, "x -+ -c1  " + from + " \"C:\\T\\\""), ArcOk) << output;
        EXPECT_EQ(fake::readFile(out("T/snd/a.wav")), "AAAA");
        EXPECT_EQ(run(fake::kZip, "-x -o --i -j  " + from + " \"C:\\Z\\\""), ArcOk) << output;
    }
    FakeArchive unwritten;
    unwritten.entries = {fake::file("snd/a.wav", "AAAA"), other};
    fake::put("other.lzh", unwritten);
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\other.lzh\" \"C:\\U\\\""), ArcUnsafeEntry) << output;
    EXPECT_EQ(fake::readFile(out("U/snd/a.wav")), "AAAA");
}

TEST_F(Extraction, ExistingLinksAreNeverFollowed)
{
    ASSERT_EQ(::mkdir(out("T").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(out("elsewhere").c_str(), 0777), 0);
    fake::writeFile(out("victim"), "keep");
    ASSERT_EQ(::symlink(out("victim").c_str(), out("T/B.WAV").c_str()), 0);
    ASSERT_EQ(::symlink(out("elsewhere").c_str(), out("T/snd").c_str()), 0);
    // The file link is replaced by a plain file; its target stays as it was.
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\s.lzh\" \"C:\\T\\\" \"B.WAV\""), ArcOk) << output;
    EXPECT_EQ(fake::readFile(out("victim")), "keep");
    struct stat st {};
    ASSERT_EQ(::lstat(out("T/B.WAV").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(fake::readFile(out("T/B.WAV")), "BB");
    // A linked folder is not entered; the other entries still come out.
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\s.lzh\" \"C:\\T\\\" \"snd/a.wav\" \"c.wav\""), ArcWriteError) << output;
    EXPECT_TRUE(fake::listFolder(out("elsewhere")).empty());
    EXPECT_TRUE(fake::exists(out("T/deep/er/c.wav")));
}

namespace {

struct ProgressLog {
    std::vector<uint32_t> states;
    std::vector<std::string> names;
    uint64_t lastWritten = 0;
    uint64_t lastSize = 0;
    std::string abortOn;  // entry name whose first writing message answers "stop"
};

UINT g_message = 0;

LRESULT progressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != g_message)
        return DefWindowProcA(window, message, wParam, lParam);
    auto* log = static_cast<ProgressLog*>(GetWindowContext(window));
    const auto* info = reinterpret_cast<const EXTRACTINGINFOEX*>(lParam);
    log->states.push_back(static_cast<uint32_t>(wParam));
    log->names.push_back(info->entryName);
    log->lastWritten = info->writtenSize;
    log->lastSize = info->fileSize;
    return (wParam == ArcStateWriting && log->abortOn == info->entryName) ? 1 : 0;
}

}  // namespace

TEST_F(Extraction, ProgressMessagesReachTheOwnerWindow)
{
    g_message = RegisterWindowMessageA("wm_arcextract");
    ProgressLog log;
    HWND window = CreateMessageWindow(progressProc, &log);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(entries::setOwnerWindowEx(fake::kLha, window, nullptr));
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\s.lzh\" \"C:\\T\\\" \"c.wav\""), ArcOk) << output;
    // Begin, a writing message at the first block and every 64 KiB, end.
    ASSERT_GE(log.states.size(), 4u);
    EXPECT_EQ(log.states.front(), ArcStateBegin);
    EXPECT_EQ(log.states.back(), ArcStateEnd);
    EXPECT_EQ(log.states[1], ArcStateWriting);
    EXPECT_EQ(log.names.front(), "deep/er/c.wav");
    EXPECT_EQ(log.lastWritten, 200000u);
    EXPECT_EQ(log.lastSize, 200000u);

    // Stopping: the entry answers the abort code and leaves no file.
    log = ProgressLog{};
    log.abortOn = "deep/er/c.wav";
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\s.lzh\" \"C:\\U\\\""), ArcAborted) << output;
    EXPECT_FALSE(fake::exists(out("U/deep/er/c.wav")));
    expectNoLeftovers(out("U/deep/er"));
    EXPECT_TRUE(entries::killOwnerWindowEx(fake::kLha, window));

    // Without an owner window nothing is sent.
    log = ProgressLog{};
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\s.lzh\" \"C:\\V\\\" \"a.wav\""), ArcOk);
    EXPECT_TRUE(log.states.empty());
    DestroyWindow(window);
}

TEST_F(Extraction, OutputBufferIsOptionalCutAndTerminated)
{
    EXPECT_EQ(entries::command(fake::kLha, nullptr, "x -+ -c1 \"C:\\s.lzh\" \"C:\\A\\\"", nullptr, 0), ArcOk);
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(entries::command(fake::kLha, nullptr, "x -+ -c1 \"C:\\s.lzh\" \"C:\\B\\\"", small, sizeof small), ArcOk);
    EXPECT_EQ(small[7], 0);
    EXPECT_EQ(std::string(small), "extract");
    EXPECT_EQ(entries::command(fake::kLha, nullptr, nullptr, small, sizeof small), ArcBadCommand);
}

TEST_F(Extraction, CommandsWithoutArchiveOrFeatureAnswerTheirCodes)
{
    EXPECT_EQ(run(fake::kLha, "u -+ \"C:\\s.lzh\" \"C:\\T\\\" \"a.wav\""), ArcNotSupported);
    EXPECT_NE(std::string(output).find("not supported"), std::string::npos);
    EXPECT_EQ(run(fake::kLha, "x -+ \"C:\\none.lzh\" \"C:\\T\\\""), ArcNotArchive);
    EXPECT_EQ(run(fake::kLha, "x -+ \"Q:\\s.lzh\" \"C:\\T\\\""), ArcCannotOpen);
    EXPECT_EQ(run(fake::kLha, "t \"C:\\s.lzh\""), ArcOk) << output;
}

TEST_F(Extraction, ResponseFileSelectsEntries)
{
    fake::writeFile(out("list.txt"), "\"snd\\a.wav\"\r\n\"B.WAV\"\r\n");
    EXPECT_EQ(run(fake::kLha, "x -+ -c1 \"C:\\s.lzh\" \"C:\\R\\\" \"@C:\\list.txt\""), ArcOk) << output;
    EXPECT_EQ(fake::listFolder(out("R")), (std::vector<std::string>{"B.WAV", "snd"}));
    EXPECT_EQ(run(fake::kLha, "x -+ -c1 \"C:\\s.lzh\" \"C:\\R\\\" \"@C:\\nolist.txt\""), ArcBadCommand);
}

TEST_F(Extraction, WriteErrorStopsAndLeavesNoPartialFile)
{
    // A file size limit makes writes fail part-way, as a full disk does.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int code = run(fake::kLha, "x -+ -c1  \"C:\\s.lzh\" \"C:\\T\\\" \"c.wav\" \"a.wav\"");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(code, ArcWriteError) << output;
    EXPECT_FALSE(fake::exists(out("T/deep/er/c.wav")));
    expectNoLeftovers(out("T/deep/er"));
    EXPECT_EQ(fake::readFile(out("T/snd/a.wav")), "AAAA");  // came before, stays complete
}

using testlimits::LimitsScope;

TEST_F(Extraction, DecompressionBombStopsTheExtractionAndLeavesNothing)
{
    FakeArchive a;
    fake::FakeEntry dense = fake::file("dense.wav", std::string(300000, 'd'));
    dense.entry.packedSize = 1000;  // 300:1, within the ratio
    fake::FakeEntry bomb = fake::file("bomb.wav", std::string(300000, 'x'));
    bomb.entry.packedSize = 100;  // 3000:1
    a.entries = {dense, bomb, fake::file("after.wav", "later")};
    fake::put("bomb.lzh", a);
    {
        LimitsScope limits("ratio-floor=65536");
        EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\bomb.lzh\" \"C:\\T\\\""), ArcOutputLimit) << output;
        EXPECT_EQ(run(fake::kLha, "t \"C:\\bomb.lzh\""), ArcOutputLimit) << output;
    }
    EXPECT_EQ(fake::listFolder(out("T")), std::vector<std::string>{"dense.wav"});
    // Below the floor any ratio is fine: the default floor is 100 MiB.
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\bomb.lzh\" \"C:\\U\\\""), ArcOk) << output;
    EXPECT_EQ(fake::readFile(out("U/bomb.wav")).size(), 300000u);
}

TEST_F(Extraction, FreeSpaceReserveStopsBeforeTheDiskFills)
{
    {
        LimitsScope limits("reserve=4611686018427387904");  // 4 EiB: no disk leaves that much
        EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\s.lzh\" \"C:\\T\\\" \"c.wav\" \"B.WAV\""), ArcOutputLimit) << output;
    }
    EXPECT_FALSE(fake::exists(out("T/deep/er/c.wav")));
    EXPECT_FALSE(fake::exists(out("T/B.WAV")));
    expectNoLeftovers(out("T/deep/er"));
    // The knob only ever tightens the limits.
    LimitsScope looser("ratio-floor=99999999999999,reserve=0");
    EXPECT_EQ(currentOutputLimits().ratioFloor, uint64_t(100) << 20);
    EXPECT_EQ(currentOutputLimits().reserveBytes, uint64_t(512) << 20);
}

TEST_F(Extraction, TooLongNameFailsItsEntryAlone)
{
    FakeArchive a;
    std::string deep;
    for (int i = 0; i < 250; ++i)
        deep += std::string(20, 'd') + "/";
    a.entries = {fake::file(std::string(300, 'n') + ".wav", "1"), fake::file(deep + "x.wav", "2"),
                 fake::file("fine.wav", "3")};
    fake::put("long.lzh", a);
    EXPECT_EQ(run(fake::kLha, "x -+ -c1  \"C:\\long.lzh\" \"C:\\T\\\""), ArcUnsafeEntry) << output;
    EXPECT_EQ(fake::listFolder(out("T")), std::vector<std::string>{"fine.wav"});
    EXPECT_NE(std::string(output).find("name too long"), std::string::npos) << output;
}
