#include <gtest/gtest.h>

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <optional>

#include "platform/platform.h"
#include "tests/support/temp_dir.h"

using tidebell_test::TempDir;

namespace {

// Drives come from a mount table the test writes.
class DriveTest : public ::testing::Test {
protected:
    TempDir dir;
    platform::Overrides saved = platform::overrides();
    std::string table = dir.file("mounts");

    void SetUp() override
    {
        writeTable({"/dev/sdb1 /media/user/USB vfat rw 0 0", "/dev/sr0 /media/user/CD\\040ROM iso9660 ro 0 0",
                    "server:/x /mnt/net nfs4 rw 0 0", "tmpfs /mnt/ram tmpfs rw 0 0",
                    "/dev/tidebell-none1 /mnt/disk ext4 rw 0 0", "/dev/sdb2 /media/user/USB/inner vfat rw 0 0"});
        platform::overrides().mountTable = table;
    }
    void TearDown() override { platform::overrides() = saved; }
    void writeTable(std::vector<std::string> extra)
    {
        std::string text = "/dev/sda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\ntmpfs /tmp tmpfs rw 0 0\n";
        for (const auto& line : extra)
            text += line + "\n";
        dir.write("mounts", text);
    }
};

TEST_F(DriveTest, LettersAndTypesFromTheMountTable)
{
    const std::pair<const char*, UINT> expected[] = {
        {"A:\\", DRIVE_NO_ROOT_DIR}, {"B:\\", DRIVE_NO_ROOT_DIR}, {"C:\\", DRIVE_FIXED},
        {"D:\\", DRIVE_REMOVABLE},   {"E:\\", DRIVE_CDROM},       {"F:\\", DRIVE_REMOTE},
        {"G:\\", DRIVE_RAMDISK},     {"H:\\", DRIVE_FIXED},       {"I:\\", DRIVE_REMOVABLE},
        {"J:\\", DRIVE_NO_ROOT_DIR}, {"bogus", DRIVE_NO_ROOT_DIR}};
    for (const auto& [root, type] : expected)
        EXPECT_EQ(GetDriveTypeA(root), type) << root;
    EXPECT_EQ(GetDriveTypeA("e:"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetLogicalDrives(), 0x1FCu);  // C: to I:
}

TEST_F(DriveTest, PathsMapBothWays)
{
    EXPECT_EQ(platform::toPosixPath("E:\\a\\b.wav"), "/media/user/CD ROM/a/b.wav");
    EXPECT_EQ(platform::toPosixPath("d:/x/"), "/media/user/USB/x/");
    EXPECT_EQ(platform::toPosixPath("D:\\..\\..\\x"), "/media/user/USB/x");  // never above the root
    EXPECT_EQ(platform::toPosixPath("C:\\"), "/");
    EXPECT_EQ(platform::toPosixPath("Q:\\x"), "");
    EXPECT_EQ(platform::toPosixPath("\\\\server\\share\\x"), "");
    EXPECT_EQ(platform::toWindowsPath("/media/user/USB/inner/x"), "I:\\x");  // most specific mount
    EXPECT_EQ(platform::toWindowsPath("/media/user/USB/x/"), "D:\\x\\");
    EXPECT_EQ(platform::toWindowsPath("/media/user/USB"), "D:\\");
    EXPECT_EQ(platform::toWindowsPath("/media/user/USBX"), "C:\\media\\user\\USBX");
    EXPECT_EQ(platform::toWindowsPath("/home/u/./a/../b"), "C:\\home\\u\\b");
}

TEST_F(DriveTest, LettersStayWhileMountedAndFreedOnesAreReused)
{
    EXPECT_EQ(platform::toWindowsPath("/mnt/net"), "F:\\");
    writeTable({"/dev/sr0 /media/user/CD\\040ROM iso9660 ro 0 0", "server:/x /mnt/net nfs4 rw 0 0"});
    EXPECT_EQ(platform::toWindowsPath("/mnt/net"), "F:\\");
    EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    writeTable({"/dev/sr0 /media/user/CD\\040ROM iso9660 ro 0 0", "server:/x /mnt/net nfs4 rw 0 0",
                "/dev/sdd1 /run/media/user/NEW vfat rw 0 0"});
    EXPECT_EQ(platform::toWindowsPath("/run/media/user/NEW/f"), "D:\\f");
}

TEST_F(DriveTest, VolumeInformationOfMissingOrAbsentDrives)
{
    char label[257] = "junk";
    // The mount points of the table do not exist here: like a drive without a medium.
    SetLastError(0);
    EXPECT_FALSE(GetVolumeInformationA("E:\\", label, 256, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_FALSE(GetVolumeInformationA("Q:\\", label, 256, nullptr, nullptr, nullptr, nullptr, 0));
    char fs[32];
    ASSERT_TRUE(GetVolumeInformationA("C:\\", label, 256, nullptr, nullptr, nullptr, fs, sizeof fs));
    EXPECT_STREQ(fs, "ext4");
}

class CurrentDirectoryTest : public ::testing::Test {
protected:
    TempDir dir;
    char saved[PATH_MAX];
    void SetUp() override { ASSERT_TRUE(::getcwd(saved, sizeof saved)); }
    void TearDown() override { EXPECT_EQ(::chdir(saved), 0); }
};

TEST_F(CurrentDirectoryTest, CurrentDirectoryAndFullPaths)
{
    ::mkdir(dir.file("sub").c_str(), 0755);
    std::string windowsDir = platform::toWindowsPath(dir.path());
    ASSERT_TRUE(SetCurrentDirectoryA(windowsDir.c_str()));
    char buffer[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer), windowsDir);
    EXPECT_EQ(n, windowsDir.size());
    EXPECT_EQ(GetCurrentDirectoryA(3, buffer), windowsDir.size() + 1);  // too small: the size needed
    EXPECT_STREQ(buffer, "");                                           // and no partial text

    ASSERT_TRUE(SetCurrentDirectoryA("sub"));
    EXPECT_EQ(platform::toPosixPath("x.wav"), dir.file("sub/x.wav"));
    EXPECT_EQ(platform::toPosixPath("C:y"), dir.file("sub/y"));  // drive-relative
    EXPECT_EQ(platform::toPosixPath("\\etc"), "/etc");           // root of the current drive

    LPSTR filePart = nullptr;
    n = GetFullPathNameA("..\\a\\.\\b.wav", sizeof buffer, buffer, &filePart);
    EXPECT_EQ(std::string(buffer), windowsDir + "\\a\\b.wav");
    ASSERT_NE(filePart, nullptr);
    EXPECT_STREQ(filePart, "b.wav");
    GetFullPathNameA("/x/y/", sizeof buffer, buffer, &filePart);
    EXPECT_STREQ(buffer, "C:\\x\\y\\");
    EXPECT_EQ(filePart, nullptr);

    EXPECT_EQ(::chdir("/"), 0);
    GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_STREQ(buffer, "C:\\");  // a root keeps its "\"
    SetLastError(0);
    EXPECT_FALSE(SetCurrentDirectoryA(dir.file("missing").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// A folder that no Windows path can name makes every function that answers
// a path fail (0 and the error code), never answer another folder.
TEST_F(CurrentDirectoryTest, UnnameableCurrentDirectoryIsAnError)
{
    char buffer[MAX_PATH] = "untouched";
    {
        tidebell_test::DeepFolder deep(dir.path());
        SetLastError(0);
        EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(GetFullPathNameA("TIDEBELL.INI", sizeof buffer, buffer, nullptr), 0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
        EXPECT_EQ(GetFullPathNameA("\\TIDEBELL.INI", sizeof buffer, buffer, nullptr), 0u);
        EXPECT_EQ(platform::toPosixPath("TIDEBELL.INI"), "");
        EXPECT_EQ(platform::toWindowsPath("relative"), "");
        EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "1", "\\TIDEBELL.INI"));
        EXPECT_EQ(GetDriveTypeA(nullptr), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
        // A full path still works.
        EXPECT_EQ(GetFullPathNameA("C:\\x", sizeof buffer, buffer, nullptr), 4u);
    }
    // A folder named "a\b" would come back as a\b, another folder.
    ASSERT_EQ(::mkdir(dir.file("a\\b").c_str(), 0700), 0);
    ASSERT_EQ(::chdir(dir.file("a\\b").c_str()), 0);
    SetLastError(0);
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(platform::toWindowsPath(dir.file("a\\b/x.wav")), "");
    EXPECT_EQ(platform::toWindowsPath(dir.file("dot./x.wav")), "");

    platform::Overrides saved = platform::overrides();
    platform::overrides().tempFolder = dir.file("a\\b");
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 0u);
    platform::overrides().executablePath = dir.file("a\\b/TIDEBELL");
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), 0u);
    platform::overrides() = saved;
}

TEST(FullPath, TrailingDotsAndBlanksOfPartsAreDropped)
{
    char buffer[MAX_PATH];
    LPSTR filePart = nullptr;
    EXPECT_EQ(GetFullPathNameA("C:\\a. .\\b..\\c.wav. ", sizeof buffer, buffer, &filePart), 12u);
    EXPECT_STREQ(buffer, "C:\\a\\b\\c.wav");
    EXPECT_STREQ(filePart, "c.wav");
    GetFullPathNameA("C:\\x\\...\\y\\", sizeof buffer, buffer, nullptr);
    EXPECT_STREQ(buffer, "C:\\x\\y\\");
    EXPECT_EQ(platform::toPosixPath("C:\\tmp.\\"), "/tmp/");
    EXPECT_EQ(platform::fullWindowsPath("C:\\a\\..\\b."), "C:\\b");
}

// Windows names ignore case: a file written as "TIDEBELL.ini" is the one
// read as "TIDEBELL.INI".
TEST(PathCase, ExistingNamesAreFoundWithoutCase)
{
    TempDir dir;
    dir.write("Folder/TIDEBELL.ini", "[TIDEBELL]\nSaveSetting=1\n");
    std::string win = platform::toWindowsPath(dir.path());
    EXPECT_EQ(platform::toPosixPath(win + "\\FOLDER\\tidebell.INI"), dir.file("Folder/TIDEBELL.ini"));
    EXPECT_EQ(platform::toPosixPath(win + "\\folder\\new.txt"), dir.file("Folder/new.txt"));
    EXPECT_EQ(platform::toPosixPath(win + "\\none\\Folder"), dir.file("none/Folder"));
    EXPECT_EQ(GetPrivateProfileIntA("TIDEBELL", "SaveSetting", 0, (win + "\\Folder\\TIDEBELL.INI").c_str()), 1u);
    dir.write("Folder/tidebell.INI", "");  // an exact spelling wins
    EXPECT_EQ(platform::toPosixPath(win + "\\Folder\\tidebell.INI"), dir.file("Folder/tidebell.INI"));
}

TEST(TempPath, PrivateFolderIsCreatedOwnerOnlyAndRefusesLinks)
{
    TempDir base;
    std::string folder = platform::privateTempFolder(base.path());
    ASSERT_EQ(folder, base.file("tidebell-" + std::to_string(::geteuid())));
    struct stat st;
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ::chmod(folder.c_str(), 0777);  // loosened by someone: tightened again
    EXPECT_EQ(platform::privateTempFolder(base.path()), folder);
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    TempDir other;
    ::rmdir(folder.c_str());
    ASSERT_EQ(::symlink(other.path().c_str(), folder.c_str()), 0);  // a planted link
    SetLastError(0);
    EXPECT_EQ(platform::privateTempFolder(base.path()), "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// Another user may plant our folder name in the shared folder; the user's
// own runtime folder, then cache folder, serve instead, checked alike.
TEST(TempPath, PlantedSharedFolderFallsBackToFoldersOfTheUser)
{
    TempDir shared, runtime, cache;
    const std::string name = "tidebell-" + std::to_string(::geteuid());
    ASSERT_EQ(::symlink(cache.path().c_str(), shared.file(name).c_str()), 0);
    std::map<std::string, std::optional<std::string>> savedEnv;
    for (const char* variable : {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME"}) {
        const char* value = std::getenv(variable);
        savedEnv[variable] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    ::setenv("XDG_CACHE_HOME", cache.file("xdg").c_str(), 1);

    EXPECT_EQ(platform::userTempFolder(shared.path()), runtime.file(name));
    ASSERT_EQ(::rmdir(runtime.file(name).c_str()), 0);
    ASSERT_EQ(::symlink("/", runtime.file(name).c_str()), 0);  // planted there too
    EXPECT_EQ(platform::userTempFolder(shared.path()), cache.file("xdg/" + name));
    struct stat st;
    ASSERT_EQ(::lstat(cache.file("xdg/" + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ::rmdir(cache.file("xdg/" + name).c_str());
    ASSERT_EQ(::symlink("/", cache.file("xdg/" + name).c_str()), 0);
    SetLastError(0);
    EXPECT_EQ(platform::userTempFolder(shared.path()), "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    for (const auto& [variable, value] : savedEnv) {
        if (value)
            ::setenv(variable.c_str(), value->c_str(), 1);
        else
            ::unsetenv(variable.c_str());
    }
}

TEST(TempPath, GetTempPathEndsInBackslash)
{
    TempDir dir;
    platform::Overrides saved = platform::overrides();
    platform::overrides().tempFolder.reset();
    const char* old = std::getenv("TMPDIR");
    std::string oldValue = old ? old : "";
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    char buffer[MAX_PATH];
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer), platform::toWindowsPath(dir.path()) + "\\");
    EXPECT_EQ(n, std::strlen(buffer));
    if (old)
        ::setenv("TMPDIR", oldValue.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    platform::overrides() = saved;
}

}  // namespace
