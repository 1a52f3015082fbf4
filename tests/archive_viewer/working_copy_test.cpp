#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "archive_viewer/entry_columns.h"
#include "archive_viewer/working_copy.h"
#include "platform/platform.h"
#include "tests/support/temp_dir.h"

using tidebell::BareEntryName;
using tidebell::WorkingFolder;

TEST(WorkingCopy, TheNameIsWhatFollowsTheLastSeparatorWithoutADrive)
{
    EXPECT_EQ(BareEntryName("snd/a.wav"), "a.wav");
    EXPECT_EQ(BareEntryName("a.wav"), "a.wav");
    EXPECT_EQ(BareEntryName("snd\\sub/deep\\a.wav"), "a.wav");
    EXPECT_EQ(BareEntryName("..\\..\\x.wav"), "x.wav");
    EXPECT_EQ(BareEntryName("../../x.wav"), "x.wav");
    EXPECT_EQ(BareEntryName("C:\\Windows\\x.wav"), "x.wav");
    EXPECT_EQ(BareEntryName("C:x.wav"), "x.wav");
    // Further in, a colon belongs to the name, as the libraries keep it.
    EXPECT_EQ(BareEntryName("snd/C:x.wav"), "C:x.wav");
    EXPECT_EQ(BareEntryName("snd/a\x01"
                            "b.wav"),
              "a_b.wav");
}

TEST(WorkingCopy, NamesThatLeaveNothingHaveNoWorkingCopy)
{
    for (const char* name : {"", ".", "..", "snd/..", "snd\\.", "snd/", "C:", "C:\\", "a/. .", "../.."}) {
        EXPECT_FALSE(BareEntryName(name).has_value()) << name;
    }
}

TEST(WorkingCopy, LongNamesAreCutTo255BytesAtACharacterBoundary)
{
    EXPECT_EQ(BareEntryName("snd/" + std::string(300, 'x'))->size(), 255u);
    std::string wide;
    for (int i = 0; i < 100; ++i) {
        wide += "音";  // three bytes each
    }
    EXPECT_EQ(*BareEntryName("a" + wide), "a" + wide.substr(0, 84 * 3));
}

TEST(WorkingCopy, TheWorkingFolderIsTheTemporaryFolderEndingInABackslash)
{
    tidebell_test::TempDir dir;
    tidebell_test::ScopedPlatformFiles files(dir);
    const auto folder = WorkingFolder();
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(folder->back(), '\\');
    EXPECT_EQ(std::filesystem::path(platform::toPosixPath(*folder)), std::filesystem::path(dir.path() + "/"));
    EXPECT_EQ(platform::toPosixPath(*tidebell::workingCopyPath("snd/a.wav")), dir.path() + "/a.wav");

    // A temporary folder whose path does not fit the 255 characters is no
    // working folder at all (a cut path would name another folder).
    platform::overrides().tempFolder = dir.path() + "/" + std::string(250, 'd');
    EXPECT_FALSE(WorkingFolder().has_value());
    EXPECT_FALSE(tidebell::workingCopyPath("a.wav").has_value());
}

TEST(WorkingCopy, SingleClickAcceptsOnlyAWaveExtension)
{
    for (const char* name : {"a.wav", "snd/A.WAV", "x.Wav"}) {
        EXPECT_TRUE(tidebell::hasWaveExtension(name)) << name;
    }
    for (const char* name : {"a.wave", "a.wa", "wav", "snd.wav\\a", "a.wav:x", ""}) {
        EXPECT_FALSE(tidebell::hasWaveExtension(name)) << name;
    }
}

TEST(EntryColumns, SizeAndTimeComeFromTheEntryRecord)
{
    archives::EntryRecord record;
    const unsigned char size[] = {0x2C, 0x01, 0x00, 0x00};  // 300
    std::memcpy(record.bytes, size, 4);
    record.bytes[20] = 1;  // high word: 4 GiB more
    const uint16_t date = (21 << 9) | (6 << 5) | 10;
    const uint16_t time = (14 << 11) | (5 << 5) | 4;
    record.bytes[14] = date & 0xFF;
    record.bytes[15] = date >> 8;
    record.bytes[16] = time & 0xFF;
    record.bytes[17] = time >> 8;
    EXPECT_EQ(tidebell::entrySizeText(record), "4294967596");
    EXPECT_EQ(tidebell::entryTimeText(record, '/', ':'), "2001/06/10 14:05:08");
    EXPECT_EQ(tidebell::dosTimeText(date, time, '-', '.'), "2001-06-10 14.05.08");

    record.bytes[24] = 0x08;  // the library does not know the size
    EXPECT_EQ(tidebell::entrySizeText(record), "");
    EXPECT_EQ(tidebell::dosTimeText(0, 0, '/', ':'), "");
}
