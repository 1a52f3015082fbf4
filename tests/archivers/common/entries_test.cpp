// Listing, checking and ExtractMem through the entries, as the program calls them.
#include <gtest/gtest.h>

#include <cstring>

#include "archivers/common/entryrecord.h"
#include "archivers/common/handletable.h"
#include "tests/archivers/common/fakereader.h"

using namespace arc;
using fake::FakeArchive;

namespace {

std::string recordName(const unsigned char* rec)
{
    return reinterpret_cast<const char*>(rec + 26);
}

class Entries : public ::testing::Test {
protected:
    fake::TestRoot root;
    void SetUp() override
    {
        FakeArchive a;
        a.entries = {fake::file("snd/a.wav", "AAAA"), fake::folder("snd/"), fake::file("B.WAV", "BB"),
                     fake::file("readme.txt", "text"), fake::file("deep/er/c.wav", std::string(100000, 'c'))};
        fake::put("s.lzh", a);
    }
    std::vector<std::string> list(uint32_t h, const char* wild)
    {
        std::vector<std::string> names;
        unsigned char rec[558];
        for (int r = entries::findFirst(fake::kLha, h, wild, rec); r == 0; r = entries::findNext(fake::kLha, h, rec))
            names.push_back(recordName(rec));
        return names;
    }
};

}  // namespace

TEST_F(Entries, FindWalksTheDirectoryWithWildcards)
{
    const uint32_t h = entries::openArchive(fake::kLha, nullptr, "C:\\s.lzh", 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(list(h, "*.wav"), (std::vector<std::string>{"snd/a.wav", "B.WAV", "deep/er/c.wav"}));
    EXPECT_EQ(list(h, "*.txt *.WAV").size(), 4u);
    EXPECT_EQ(list(h, "*").size(), 5u);
    EXPECT_EQ(list(h, "none.*").size(), 0u);
    unsigned char rec[558];
    EXPECT_EQ(entries::findFirst(fake::kLha, h, "none", rec), ArcEndOfList);
    EXPECT_EQ(entries::findNext(fake::kLha, h, rec), ArcEndOfList);
    EXPECT_EQ(entries::closeArchive(fake::kLha, h), ArcOk);
}

TEST_F(Entries, StaleUnknownAndForeignHandlesAreErrors)
{
    unsigned char rec[558];
    const uint32_t h = entries::openArchive(fake::kLha, nullptr, "C:\\s.lzh", 0x800002);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(entries::findFirst(fake::kZip, h, "*", rec), ArcBadHandle);  // another library's handle
    EXPECT_EQ(entries::findFirst(fake::kLha, h, "*", nullptr), ArcBadArgument);
    EXPECT_EQ(entries::closeArchive(fake::kLha, h), ArcOk);
    EXPECT_EQ(entries::closeArchive(fake::kLha, h), ArcBadHandle);
    EXPECT_EQ(entries::findFirst(fake::kLha, h, "*", rec), ArcBadHandle);
    EXPECT_EQ(entries::findNext(fake::kLha, h, rec), ArcBadHandle);
    EXPECT_EQ(entries::findNext(fake::kLha, 0xFFFFFFF0u, rec), ArcBadHandle);
    // Numbers are not reused: the next archive gets a fresh one.
    const uint32_t h2 = entries::openArchive(fake::kLha, nullptr, "C:\\s.lzh", 0);
    EXPECT_NE(h2, h);
    EXPECT_EQ(entries::closeArchive(fake::kLha, h2), ArcOk);
    EXPECT_EQ(HandleTable::instance().size(), 0u);
}

TEST_F(Entries, OpenFailsWithoutReaderOrWithBrokenArchive)
{
    EXPECT_EQ(entries::openArchive(fake::kLha, nullptr, "C:\\missing.lzh", 0), 0u);
    EXPECT_EQ(entries::openArchive(fake::kLha, nullptr, "Q:\\unmapped.lzh", 0), 0u);
    EXPECT_EQ(entries::openArchive(fake::kLha, nullptr, nullptr, 0), 0u);
    FakeArchive broken;
    broken.openStatus = Status::Corrupt;
    fake::put("broken.lzh", broken);
    EXPECT_EQ(entries::openArchive(fake::kLha, nullptr, "C:\\broken.lzh", 0), 0u);
    EXPECT_FALSE(entries::checkArchive(fake::kLha, "C:\\broken.lzh", CheckModeQuick));
}

TEST_F(Entries, CheckArchiveQuickOpensFullModeDecodesAll)
{
    EXPECT_TRUE(entries::checkArchive(fake::kLha, "C:\\s.lzh", CheckModeQuick));
    EXPECT_TRUE(entries::checkArchive(fake::kLha, "C:\\s.lzh", 0));
    FakeArchive bad;
    bad.entries = {fake::file("a.wav", "AAAA")};
    bad.entries[0].data = "AAAB";  // CRC no longer matches
    fake::put("bad.lzh", bad);
    EXPECT_TRUE(entries::checkArchive(fake::kLha, "C:\\bad.lzh", CheckModeQuick));
    EXPECT_FALSE(entries::checkArchive(fake::kLha, "C:\\bad.lzh", 0));
    EXPECT_FALSE(entries::checkArchive(fake::kLha, nullptr, 0));
}

TEST_F(Entries, GetArchiveTypeUsesTheHookOrAnswersZero)
{
    EXPECT_EQ(entries::getArchiveType(fake::kTar, "C:\\s.lzh"), 1);
    EXPECT_EQ(entries::getArchiveType(fake::kTar, "C:\\other"), 0);
    EXPECT_EQ(entries::getArchiveType(fake::kLha, "C:\\s.lzh"), 0);
}

TEST_F(Entries, ExtractMemFillsTheBufferAndChecksTheEntry)
{
    char buffer[16] = {};
    DWORD written = 99;
    DWORD dosTime = 0;
    WORD attributes = 0;
    EXPECT_EQ(entries::extractMem(fake::kLha, nullptr, " -+ -c1 -n1 -x0  \"C:\\s.lzh\" \"snd/a.wav\" ",
                                  reinterpret_cast<LPBYTE>(buffer), sizeof buffer, &dosTime, &attributes, &written),
              ArcOk);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(std::string(buffer, 4), "AAAA");
    EXPECT_EQ(dosTime, fake::file("x", "").entry.dosDateTime);
    EXPECT_EQ(attributes, 0x20);
    // A bare name finds the entry in its folder.
    EXPECT_EQ(entries::extractMem(fake::kLha, nullptr, " -+ \"C:\\s.lzh\" \"b.wav\"", reinterpret_cast<LPBYTE>(buffer),
                                  sizeof buffer, nullptr, nullptr, &written),
              ArcOk);
    EXPECT_EQ(std::string(buffer, written), "BB");
}

TEST_F(Entries, ExtractMemReportsSmallBufferNoMatchAndBadLines)
{
    char buffer[1000];
    DWORD written = 0;
    auto run = [&](const char* line, LPBYTE buf, DWORD size) {
        return entries::extractMem(fake::kLha, nullptr, line, buf, size, nullptr, nullptr, &written);
    };
    LPBYTE b = reinterpret_cast<LPBYTE>(buffer);
    EXPECT_EQ(run(" \"C:\\s.lzh\" \"c.wav\"", b, sizeof buffer), ArcBufferTooSmall);
    EXPECT_EQ(written, sizeof buffer);
    EXPECT_EQ(buffer[999], 'c');
    EXPECT_EQ(run(" \"C:\\s.lzh\" \"zzz.wav\"", b, sizeof buffer), ArcNoMatch);
    EXPECT_EQ(run(" \"C:\\s.lzh\"", b, sizeof buffer), ArcBadCommand);
    EXPECT_EQ(run(" \"C:\\nope.lzh\" \"a.wav\"", b, sizeof buffer), ArcNotArchive);
    EXPECT_EQ(run(" \"C:\\s.lzh\" \"a.wav\"", nullptr, 10), ArcBadArgument);
    EXPECT_EQ(run(nullptr, b, sizeof buffer), ArcBadArgument);
}

TEST_F(Entries, OwnerWindowRegistrationPerLibrary)
{
    HWND w = reinterpret_cast<HWND>(0x1234);
    EXPECT_FALSE(entries::setOwnerWindowEx(fake::kLha, nullptr, nullptr));
    EXPECT_FALSE(entries::setOwnerWindowEx(fake::kLha, w, reinterpret_cast<void*>(0x1)));  // callbacks not offered
    EXPECT_TRUE(entries::setOwnerWindowEx(fake::kLha, w, nullptr));
    EXPECT_FALSE(entries::killOwnerWindowEx(fake::kZip, w));
    EXPECT_FALSE(entries::killOwnerWindowEx(fake::kLha, reinterpret_cast<HWND>(0x999)));
    EXPECT_TRUE(entries::killOwnerWindowEx(fake::kLha, w));
    EXPECT_FALSE(entries::killOwnerWindowEx(fake::kLha, w));
}
