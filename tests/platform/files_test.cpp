#include <gtest/gtest.h>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "tests/support/temp_dir.h"

using tidebell_test::TempDir;

namespace {

struct Found {
    std::string name;
    DWORD attributes;
    uint64_t size;
    FILETIME written;
};

// Runs a whole enumeration; the error code is 0 after a complete one.
std::vector<Found> findAll(const std::string& pattern, DWORD* error = nullptr)
{
    std::vector<Found> out;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
        if (error)
            *error = GetLastError();
        return out;
    }
    do
        out.push_back({data.cFileName, data.dwFileAttributes, (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                       data.ftLastWriteTime});
    while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    if (error)
        *error = 0;
    return out;
}

std::vector<std::string> names(const std::vector<Found>& found)
{
    std::vector<std::string> out;
    for (const auto& f : found)
        out.push_back(f.name);
    return out;
}

class FindTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string win = platform::toWindowsPath(dir.path());

    void SetUp() override
    {
        dir.write("a.wav", "RIFF");
        dir.write("B.WAV", "");
        dir.write("noext", "");
        dir.write(".hidden", "");
        dir.write("ro.txt", "");
        ::chmod(dir.file("ro.txt").c_str(), 0444);
        ::mkdir(dir.file("sub").c_str(), 0755);
        // A sparse file beyond 4 GiB.
        int fd = ::open(dir.file("big").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 0x100000005LL), 0);
        ::close(fd);
        // 2001-06-10 12:00:00 UTC
        timespec times[2] = {{992174400, 0}, {992174400, 0}};
        ::utimensat(AT_FDCWD, dir.file("a.wav").c_str(), times, 0);
    }
};

TEST_F(FindTest, StarDotStarListsEverythingWithAttributes)
{
    auto found = findAll(win + "\\*.*");
    EXPECT_EQ(names(found),
              (std::vector<std::string>{".", "..", ".hidden", "a.wav", "B.WAV", "big", "noext", "ro.txt", "sub"}));
    for (const auto& f : found) {
        bool folder = f.name == "." || f.name == ".." || f.name == "sub";
        EXPECT_EQ(f.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE),
                  folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE)
            << f.name;
        EXPECT_EQ(bool(f.attributes & FILE_ATTRIBUTE_HIDDEN), f.name == ".hidden") << f.name;
        EXPECT_EQ(bool(f.attributes & FILE_ATTRIBUTE_READONLY), f.name == "ro.txt") << f.name;
        if (f.name == "big") {
            EXPECT_EQ(f.size, 0x100000005ULL);
        }
        if (f.name == "a.wav") {
            uint64_t ticks = (uint64_t(f.written.dwHighDateTime) << 32) | f.written.dwLowDateTime;
            EXPECT_EQ(ticks, (992174400ULL + 11644473600ULL) * 10000000ULL);
            SYSTEMTIME s;
            ASSERT_TRUE(FileTimeToSystemTime(&f.written, &s));
            EXPECT_EQ(s.wYear, 2001);
            EXPECT_EQ(s.wMonth, 6);
            EXPECT_EQ(s.wDay, 10);
            EXPECT_EQ(s.wHour, 12);
            EXPECT_EQ(s.wDayOfWeek, 0);  // a Sunday
        }
    }
}

TEST_F(FindTest, PatternsMatchWithoutCase)
{
    EXPECT_EQ(names(findAll(win + "\\*.WAV")), (std::vector<std::string>{"a.wav", "B.WAV"}));
    EXPECT_EQ(names(findAll(win + "/?.wav")), (std::vector<std::string>{"a.wav", "B.WAV"}));
    EXPECT_EQ(names(findAll(win + "\\NOEXT")), std::vector<std::string>{"noext"});
    EXPECT_EQ(names(findAll(win + "\\*.")), (std::vector<std::string>{".", "..", "big", "noext", "sub"}));
    EXPECT_TRUE(platform::matchesFilePattern("*.*", "README"));
    EXPECT_TRUE(platform::matchesFilePattern("?表.wav", "a表.WAV"));  // "?" is one whole character
    EXPECT_FALSE(platform::matchesFilePattern("*.wav", "a.wave"));
}

// Folder + name must lead back to the listed file: names that a Windows path
// cannot carry are left out rather than handed out to open another file.
TEST(FindNames, NamesNoWindowsPathReachesAreLeftOut)
{
    TempDir dir;
    dir.write("a\\b.wav", "wrong");
    dir.write("a/b.wav", "right");
    dir.write("dot.", "");
    dir.write("blank ", "");
    dir.write("...", "");
    dir.write("fine.wav", "");
    std::string win = platform::toWindowsPath(dir.path());
    EXPECT_EQ(names(findAll(win + "\\*")), (std::vector<std::string>{".", "..", "a", "fine.wav"}));
    EXPECT_EQ(names(findAll(win + "\\a\\*.wav")), std::vector<std::string>{"b.wav"});
    DWORD error = 0;
    EXPECT_TRUE(findAll(win + "\\dot*", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FindTest, ErrorCodesAndTheirTexts)
{
    DWORD error = 0;
    findAll(win + "\\*.xyz", &error);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    findAll(win + "\\missing\\*.*", &error);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    findAll("Q:\\*.*", &error);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    if (::geteuid() != 0) {
        ::chmod(dir.file("sub").c_str(), 0);
        findAll(win + "\\sub\\*.*", &error);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
        ::chmod(dir.file("sub").c_str(), 0755);
    }
    EXPECT_EQ(platform::systemErrorMessage(2), "指定されたファイルが見つかりません。");
    EXPECT_EQ(platform::systemErrorMessage(3), "指定されたパスが見つかりません。");
    EXPECT_EQ(platform::systemErrorMessage(5), "アクセスが拒否されました。");
    EXPECT_EQ(platform::systemErrorMessage(18), "これ以上ファイルがありません。");
    EXPECT_EQ(platform::systemErrorMessage(21), "デバイスの準備ができていません。");
    EXPECT_FALSE(platform::systemErrorMessage(99999).empty());
}

TEST(FindRoots, DriveRootHasNoDotsAndAMissingMediumIsNotReady)
{
    TempDir dir;
    platform::Overrides saved = platform::overrides();
    dir.write("mounts", "/dev/sda1 / ext4 rw 0 0\n/dev/sr0 /media/tidebell-test-cd iso9660 ro 0 0\n");
    platform::overrides().mountTable = dir.file("mounts");
    DWORD error = 0;
    auto root = names(findAll("C:\\*.*", &error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(std::count(root.begin(), root.end(), "."), 0);
    EXPECT_EQ(std::count(root.begin(), root.end(), ".."), 0);
    findAll("D:\\*.*", &error);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_READY));
    platform::overrides() = saved;
}

TEST(FindHandles, BadHandlesAreRefused)
{
    WIN32_FIND_DATAA data;
    EXPECT_FALSE(FindNextFileA(reinterpret_cast<HANDLE>(0x1234), &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CloseHandle(nullptr));
}

TEST(FileFunctions, CreateReadWriteSeekDelete)
{
    TempDir dir;
    std::string folder = platform::toWindowsPath(dir.path()) + "\\new";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    std::string file = folder + "\\data.bin";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &done, nullptr));
    EXPECT_EQ(done, 11u);
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "world");
    DWORD high = 1;
    EXPECT_EQ(GetFileSize(h, &high), 11u);
    EXPECT_EQ(high, 0u);
    EXPECT_FALSE(FindClose(h));  // a file handle is not a search handle
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));  // closed handles stay closed

    EXPECT_EQ(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(CreateFileA((folder + "\\none").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_EQ(GetFileAttributesA((folder + "\\none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA((folder + "\\no\\none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    dir.write("new/.hid/x", "");
    EXPECT_EQ(GetFileAttributesA((folder + "\\.hid\\").c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(DeleteFileA((folder + "\\.hid\\x").c_str()));
    EXPECT_TRUE(RemoveDirectoryA((folder + "\\.hid").c_str()));

    EXPECT_FALSE(DeleteFileA(folder.c_str()));  // not for folders
    EXPECT_TRUE(DeleteFileA(file.c_str()));
    EXPECT_FALSE(DeleteFileA(file.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
}

TEST(FileTimes, DosDateTimeRoundTrip)
{
    FILETIME t;
    // 2001-06-10 12:34:56 as a DOS date and time.
    WORD date = static_cast<WORD>((21 << 9) | (6 << 5) | 10), time = static_cast<WORD>((12 << 11) | (34 << 5) | 28);
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, &t));
    WORD date2 = 0, time2 = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&t, &date2, &time2));
    EXPECT_EQ(date2, date);
    EXPECT_EQ(time2, time);
    FILETIME local, back;
    ASSERT_TRUE(FileTimeToLocalFileTime(&t, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(back.dwLowDateTime, t.dwLowDateTime);
    FILETIME early{0, 0};  // 1601 has no DOS date
    EXPECT_FALSE(FileTimeToDosDateTime(&early, &date2, &time2));
}

}  // namespace
