// The archive component with the real archiver libraries: list the WAVE
// entries of an archive made by an independent tool (RAR, which no free tool
// writes, by the tests' own writer), then extract one flat into a working
// folder with the viewer's options, as the program does. A missing tool is a
// failure, never a skipped test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "archive/archivefile.h"
#include "platform/platform.h"
#include "tests/archivers/support/rarbuilder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wave_bytes.h"

using archives::TArchiveFile;
using tidebell_test::TempDir;
using tidebell_test::waveBytes;

namespace {

struct Format {
    const char* name;
    const char* archive;  // file name of the archive
    const char* tool;     // program that must be installed; null: written here
    const char* command;  // run inside the source folder; %A is the archive path
    archives::TArchiverType type;
};

const Format kFormats[] = {
    {"Lzh", "sounds.lzh", "jlha", "jlha a %A snd/ding.wav readme.txt", archives::atLha},
    {"Zip", "sounds.zip", "bsdtar", "bsdtar --format zip -cf %A snd/ding.wav readme.txt", archives::atZip},
    {"Cab", "sounds.cab", "gcab", "gcab -c -z %A snd/ding.wav readme.txt", archives::atCab},
    {"Arj", "sounds.arj", "arj", "arj a %A snd/ding.wav readme.txt", archives::atArj},
    {"TarGz", "sounds.tar.gz", "bsdtar", "bsdtar -czf %A snd/ding.wav readme.txt", archives::atTgz},
    {"Tar", "sounds.tar", "bsdtar", "bsdtar -cf %A snd/ding.wav readme.txt", archives::atTar},
    {"Rar", "sounds.rar", nullptr, nullptr, archives::atRar},
};

void PrintTo(const Format& format, std::ostream* out)
{
    *out << format.name;
}

bool haveTool(const std::string& tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class ArchiveFlow : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override
    {
        m_saved = platform::overrides();
        platform::overrides().librarySearchFolders = std::vector<std::string>{TIDEBELL_LIBRARY_DIR};
        platform::overrides().registryFile = m_dir.file("config/registry.reg");
        platform::overrides().tempFolder = m_dir.path();
    }
    void TearDown() override { platform::overrides() = m_saved; }

    // Makes the archive with its tool and answers its Windows-style path.
    std::string makeArchive(const Format& format)
    {
        if (!format.tool) {
            // The sound compressed (RAR 2.9 literals), the text stored.
            fixtures::RarMember sound("snd\\ding.wav", waveBytes());
            sound.method = 0x33;
            sound.packed = fixtures::rar29Literals(sound.data);
            const std::string bytes = fixtures::buildRar({sound, {"readme.txt", "not a sound\n"}});
            return platform::toWindowsPath(m_dir.write(format.archive, bytes));
        }
        EXPECT_TRUE(haveTool(format.tool)) << format.tool << " is not installed (tools/install-deps.sh installs it)";
        m_dir.write("src/snd/ding.wav", waveBytes());
        m_dir.write("src/readme.txt", "not a sound\n");
        std::string command = format.command;
        const std::string archive = m_dir.file(format.archive);
        command.replace(command.find("%A"), 2, "'" + archive + "'");
        command = "cd '" + m_dir.file("src") + "' && " + command + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return platform::toWindowsPath(archive);
    }

    std::vector<std::string> listWaves(TArchiveFile& file)
    {
        std::vector<std::string> names;
        file.OpenArchive(nullptr, 0);
        archives::EntryRecord record;
        for (int rc = file.FindFirst("*.wav", record); rc == 0; rc = file.FindNext(record))
            names.push_back(record.FileName());
        file.CloseArchive();
        return names;
    }

    TempDir m_dir;
    platform::Overrides m_saved;
};

TEST_P(ArchiveFlow, ListsTheWaveEntryAndExtractsItFlatIntoTheWorkingFolder)
{
    const Format& format = GetParam();
    const std::string archive = makeArchive(format);

    TArchiveFile file;
    file.SetFileName(archive);
    EXPECT_EQ(file.ArchiverType(), format.type);
    const std::vector<std::string> names = listWaves(file);
    ASSERT_EQ(names.size(), 1u);
    const std::string entry = names.front();
    EXPECT_TRUE(entry == "snd/ding.wav" || entry == "snd\\ding.wav" || entry == "ding.wav") << entry;

    // The viewer's extraction: overwrite, no messages, no folders.
    std::filesystem::create_directories(m_dir.file("work"));
    file.SetFileName(archive);
    file.Options().c = 1;
    file.Options().n = 1;
    file.Options().x = 0;
    const std::string work = platform::toWindowsPath(m_dir.file("work")) + "\\";
    ASSERT_EQ(file.Extract(nullptr, nullptr, work, {entry}), 0) << file.LastCommandLine();
    EXPECT_TRUE(m_dir.read("work/ding.wav") == waveBytes());
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("work/snd")));
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("work/readme.txt")));
}

TEST_P(ArchiveFlow, AnUnknownExtensionIsRecognisedFromTheContents)
{
    const Format& format = GetParam();
    const std::string archive = makeArchive(format);
    const std::string renamed = m_dir.file("sounds.dat");
    std::filesystem::rename(platform::toPosixPath(archive), renamed);

    TArchiveFile file;
    file.SetFileName(platform::toWindowsPath(renamed));
    EXPECT_EQ(file.ArchiverType(), archives::atAutoDetect);
    EXPECT_EQ(listWaves(file).size(), 1u);
    EXPECT_EQ(file.ArchiverType(), format.type);
}

TEST_P(ArchiveFlow, ADamagedArchiveNeverLeavesADamagedWorkingCopy)
{
    const Format& format = GetParam();
    if (format.type == archives::atTar)
        GTEST_SKIP() << "plain tar stores no checksum of the data";
    const std::string archive = makeArchive(format);
    // Keep the first bytes (the format is still recognised) and spoil the rest.
    const std::string path = platform::toPosixPath(archive);
    std::string bytes = m_dir.read(std::filesystem::path(path).filename().string());
    for (size_t i = bytes.size() / 3; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    m_dir.write(std::filesystem::path(path).filename().string(), bytes);

    TArchiveFile file;
    file.SetFileName(archive);
    listWaves(file);  // whatever it still lists, it must not crash
    std::filesystem::create_directories(m_dir.file("work"));
    file.Options().c = 1;
    file.Options().n = 1;
    file.Options().x = 0;
    const std::string work = platform::toWindowsPath(m_dir.file("work")) + "\\";
    const int rc = file.Extract(nullptr, nullptr, work, {std::string("snd/ding.wav")});
    if (rc == 0) {
        // Only an intact copy may ever be left as the working copy.
        EXPECT_TRUE(m_dir.read("work/ding.wav") == waveBytes());
    } else {
        EXPECT_FALSE(std::filesystem::exists(m_dir.file("work/ding.wav")));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ArchiveFlow, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ArchiveFlowLibraries, AMissingLibraryIsReportedWhenTheTypeIsChosen)
{
    TempDir dir;
    platform::Overrides saved = platform::overrides();
    platform::overrides().librarySearchFolders = std::vector<std::string>{dir.path()};
    TArchiveFile file;
    // No libunlha32.so in the search: the type change fails and names the file.
    try {
        file.SetFileName("C:\\sounds\\a.lzh");
        ADD_FAILURE() << "no error for a missing library";
    } catch (const archives::EArchiver& error) {
        EXPECT_NE(std::string(error.what()).find("UNLHA32.DLL"), std::string::npos) << error.what();
    }
    EXPECT_EQ(file.ArchiverType(), archives::atAutoDetect);
    EXPECT_EQ(file.Archiver(), nullptr);
    platform::overrides() = saved;
}

}  // namespace
