#include <gtest/gtest.h>

#include <cstring>

#include <filesystem>

#include "platform/platform.h"
#include "tests/support/temp_dir.h"

using tidebell_test::TempDir;

namespace {

using ProbeName = const char* (*)();

class LibraryTest : public ::testing::Test {
protected:
    platform::Overrides saved = platform::overrides();
    void TearDown() override { platform::overrides() = saved; }

    static std::string nameOf(HMODULE module)
    {
        auto probe = reinterpret_cast<ProbeName>(GetProcAddress(module, "probeName"));
        return probe ? probe() : "<none>";
    }
    static std::string fileOf(HMODULE module)
    {
        char buffer[MAX_PATH];
        DWORD n = GetModuleFileNameA(module, buffer, sizeof buffer);
        return std::string(buffer, n);
    }
};

TEST_F(LibraryTest, DllNameMapsToSharedObjectSearchedInOrder)
{
    platform::overrides().librarySearchFolders = std::vector<std::string>{PROBE_FIRST_DIR, PROBE_SECOND_DIR};
    HMODULE first = LoadLibraryA("PROBE.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(nameOf(first), "first");
    EXPECT_EQ(fileOf(first), platform::toWindowsPath(std::string(PROBE_FIRST_DIR) + "/libprobe.so"));

    // Loading again gives the same, counted handle.
    HMODULE again = LoadLibraryA("probe");
    EXPECT_EQ(again, first);
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_EQ(nameOf(first), "first");
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    TempDir empty;
    platform::overrides().librarySearchFolders = std::vector<std::string>{empty.path(), PROBE_SECOND_DIR};
    HMODULE second = LoadLibraryA("Probe.Dll");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(nameOf(second), "second");
    FreeLibrary(second);
}

TEST_F(LibraryTest, FileNamesCompareWithoutCase)
{
    TempDir dir;
    std::filesystem::copy_file(std::string(PROBE_SECOND_DIR) + "/libprobe.so", dir.file("LibProbe.SO"));
    platform::overrides().librarySearchFolders = std::vector<std::string>{dir.path()};
    HMODULE module = LoadLibraryA("PROBE.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(fileOf(module), platform::toWindowsPath(dir.file("LibProbe.SO")));
    FreeLibrary(module);
}

TEST_F(LibraryTest, FailuresAndTheLoadersOwnSearch)
{
    platform::overrides().librarySearchFolders = std::vector<std::string>{};
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("NO_SUCH_LIBRARY.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    HMODULE libm = LoadLibraryA("libm.so.6");  // found by the loader, reported by its full path
    ASSERT_NE(libm, nullptr);
    EXPECT_NE(GetProcAddress(libm, "cos"), nullptr);
    EXPECT_EQ(GetProcAddress(libm, "no_such_function"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    std::string file = fileOf(libm);
    EXPECT_EQ(file.substr(0, 3), "C:\\");
    EXPECT_NE(file.find("libm.so.6"), std::string::npos);
    FreeLibrary(libm);
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(0x10), "cos"), nullptr);
}

TEST_F(LibraryTest, ModuleFileNameOfTheProgram)
{
    platform::overrides().executablePath = "/opt/tidebell/bin/TIDEBELL";
    char buffer[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), 28u);
    EXPECT_STREQ(buffer, "C:\\opt\\tidebell\\bin\\TIDEBELL");
    char small[8];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 8u);  // cut, as Windows does
    EXPECT_STREQ(small, "C:\\opt\\");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(SearchPath, ProgramFolderThenCurrentThenPath)
{
    TempDir program, path;
    platform::Overrides saved = platform::overrides();
    platform::overrides().executablePath = program.file("TIDEBELL");
    program.write("HELP.TXT", "");
    path.write("tool.exe", "");
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", path.path().c_str(), 1);

    char buffer[MAX_PATH];
    LPSTR filePart = nullptr;
    ASSERT_GT(SearchPathA(nullptr, "help.txt", nullptr, sizeof buffer, buffer, &filePart), 0u);
    EXPECT_EQ(std::string(buffer), platform::toWindowsPath(program.file("HELP.TXT")));
    EXPECT_STREQ(filePart, "HELP.TXT");
    ASSERT_GT(SearchPathA(nullptr, "tool", ".exe", sizeof buffer, buffer, nullptr), 0u);
    EXPECT_EQ(std::string(buffer), platform::toWindowsPath(path.file("tool.exe")));
    EXPECT_EQ(SearchPathA(nullptr, "absent.txt", nullptr, sizeof buffer, buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ::setenv("PATH", oldPath.c_str(), 1);
    platform::overrides() = saved;
}

}  // namespace
