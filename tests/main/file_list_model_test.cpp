// The file list over real folders in a temporary directory, without a view.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <set>

#include "main/file_list_model.h"
#include "platform/platform.h"
#include "tests/support/temp_dir.h"

using tidebell::ArchiverAvailability;
using tidebell::TFileListModel;

namespace {

std::string folderOf(const tidebell_test::TempDir& dir, const std::string& name)
{
    return platform::toWindowsPath(dir.file(name)) + "\\";
}

std::vector<std::string> namesOf(const TFileListModel& model)
{
    std::vector<std::string> names;
    for (int row = 0; row < model.rowCount(); ++row) {
        names.push_back(model.fileName(row));
    }
    return names;
}

// The names the platform enumerates, in its order, kept when in `wanted`.
std::vector<std::string> enumerationOrder(const std::string& folder, const std::set<std::string>& wanted)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data)) {
        if (wanted.count(data.cFileName)) {
            names.push_back(data.cFileName);
        }
    }
    FindClose(find);
    return names;
}

QString text(const TFileListModel& model, int row, int column)
{
    return model.data(model.index(row, column)).toString();
}

}  // namespace

TEST(FileList, ListsWaveFilesAndTheArchivesOfLoadedLibrariesInEnumerationOrder)
{
    tidebell_test::TempDir dir;
    tidebell_test::ScopedPlatformFiles files(dir);
    for (const char* name : {"a.wav", "B.WAV", "c.Wav", "x.lzh", "y.zip", "sound.wav.bak", "archive.tar.gz", "noext",
                             "music.Tgz", "t.tar", "u.bz2", ".hidden.wav", "音.wav", "\x82\xa0.wav"}) {
        dir.write(std::string("f/") + name, "data");
    }
    std::filesystem::create_directories(dir.file("f/x.wav"));

    ArchiverAvailability archivers;
    archivers.HasUnlha32 = true;
    TFileListModel model;
    EXPECT_EQ(model.FillFileList(folderOf(dir, "f"), archivers), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    const std::set<std::string> listed = {".hidden.wav", "a.wav", "B.WAV", "c.Wav", "x.lzh", "音.wav", "\x82\xa0.wav"};
    EXPECT_EQ(namesOf(model), enumerationOrder(folderOf(dir, "f"), listed));
    const auto row = [&](const std::string& name) {
        const auto names = namesOf(model);
        return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    EXPECT_EQ(text(model, row("a.wav"), TFileListModel::colKind), QStringLiteral("WAVE サウンド"));
    EXPECT_EQ(text(model, row("x.lzh"), TFileListModel::colKind), QStringLiteral("LZH書庫"));
    EXPECT_EQ(text(model, row("音.wav"), TFileListModel::colName), QStringLiteral("音.wav"));
    EXPECT_EQ(text(model, row("a.wav"), TFileListModel::colSize), QStringLiteral("4"));

    archivers = {};
    archivers.HasTar32 = true;
    model.FillFileList(folderOf(dir, "f"), archivers);
    EXPECT_EQ(text(model, row("music.Tgz"), TFileListModel::colKind), QStringLiteral("TGZ書庫"));
    EXPECT_EQ(text(model, row("t.tar"), TFileListModel::colKind), QStringLiteral("TAR書庫"));
    EXPECT_EQ(text(model, row("u.bz2"), TFileListModel::colKind), QStringLiteral("BZ2書庫"));
    EXPECT_EQ(model.rowCount(), 9);  // six WAVE files, three tar archives

    // A folder that cannot be read empties the list.
    EXPECT_EQ(model.FillFileList(folderOf(dir, "gone"), archivers), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(FileList, SizesInFullAndTimesAtTwoSecondsWithTheLocaleSeparators)
{
    tidebell_test::TempDir dir;
    tidebell_test::ScopedPlatformFiles files(dir);
    dir.write("f/empty.wav", "");
    const std::string big = dir.write("f/big.wav", "");
    ASSERT_EQ(::truncate(big.c_str(), 3LL << 30), 0);  // sparse, 3 GiB

    std::tm local{};
    local.tm_year = 2001 - 1900;
    local.tm_mon = 5;
    local.tm_mday = 10;
    local.tm_hour = 14;
    local.tm_min = 5;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, big.c_str(), times, 0), 0);

    TFileListModel model;
    model.setSeparators({QStringLiteral("/"), QStringLiteral(":")});
    model.FillFileList(folderOf(dir, "f"), {});
    ASSERT_EQ(namesOf(model), (std::vector<std::string>{"big.wav", "empty.wav"}));
    EXPECT_EQ(text(model, 0, TFileListModel::colSize), QStringLiteral("3221225472"));
    EXPECT_EQ(text(model, 1, TFileListModel::colSize), QStringLiteral("0"));
    EXPECT_EQ(text(model, 0, TFileListModel::colModified), QStringLiteral("2001/06/10 14:05:08"));
    model.setSeparators({QStringLiteral("."), QStringLiteral(".")});
    EXPECT_EQ(text(model, 0, TFileListModel::colModified), QStringLiteral("2001.06.10 14.05.08"));

    EXPECT_EQ(tidebell::separatorsOf(QLocale(QLocale::Japanese, QLocale::Japan)).date, QStringLiteral("/"));
    const auto german = tidebell::separatorsOf(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.date, QStringLiteral("."));
    EXPECT_EQ(german.time, QStringLiteral(":"));
    EXPECT_EQ(tidebell::separatorsOf(QLocale::c()).date, QStringLiteral("/"));  // "d MMM yyyy": blanks only
}

TEST(FileList, ExtensionIsTheUpperCasedTextFromTheLastDot)
{
    EXPECT_EQ(tidebell::fileExtension("a.b.wav"), ".WAV");
    EXPECT_EQ(tidebell::fileExtension("音.Wav"), ".WAV");
    EXPECT_EQ(tidebell::fileExtension("noext"), "");
    EXPECT_EQ(tidebell::fileExtension("archive.tar.gz"), ".GZ");
}
