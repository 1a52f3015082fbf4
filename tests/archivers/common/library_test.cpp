// A library built with the export macros, loaded at run time and driven
// through its C entries with Windows paths, as the program drives them.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "archive/libraryapi.h"
#include "platform/platform.h"
#include "tests/support/temp_dir.h"

using namespace archives;

namespace {

class LoadedLibrary : public ::testing::Test {
protected:
    void* m_lib = nullptr;
    tidebell_test::TempDir m_temp;
    const std::string& m_dir = m_temp.path();

    void SetUp() override
    {
        m_lib = dlopen(FAKEARC_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_lib, nullptr) << dlerror();
        std::ofstream(m_dir + "/s.fak", std::ios::binary) << "TBFAKE\nsnd/a.wav\tAAAA\nB.WAV\tBB\nread.me\tx\n";
    }
    void TearDown() override
    {
        if (m_lib)
            dlclose(m_lib);
    }
    template <typename F> F entry(const char* name)
    {
        void* p = dlsym(m_lib, name);
        EXPECT_NE(p, nullptr) << name;
        return reinterpret_cast<F>(p);
    }
    std::string win(const std::string& relative) { return platform::toWindowsPath(m_dir + "/" + relative); }
};

}  // namespace

TEST_F(LoadedLibrary, ExportsTheEntriesAndNothingOfTheCommonCode)
{
    for (const char* name :
         {"Fake", "FakeOpenArchive", "FakeCloseArchive", "FakeFindFirst", "FakeFindNext", "FakeCheckArchive",
          "FakeSetOwnerWindowEx", "FakeKillOwnerWindowEx", "FakeExtractMem", "FakeGetArchiveType"})
        EXPECT_NE(dlsym(m_lib, name), nullptr) << name;
    EXPECT_EQ(dlsym(m_lib, "_ZN3arc10nameToUtf8ESt17basic_string_viewIcSt11char_traitsIcEE"), nullptr);
    EXPECT_EQ(dlsym(m_lib, "_ZN3arc11HandleTable8instanceEv"), nullptr);
}

TEST_F(LoadedLibrary, ListsExtractsAndChecksThroughTheEntries)
{
    auto open = entry<OpenArchiveEntry>("FakeOpenArchive");
    auto first = entry<FindFirstEntry>("FakeFindFirst");
    auto next = entry<FindNextEntry>("FakeFindNext");
    auto close = entry<CloseArchiveEntry>("FakeCloseArchive");
    auto command = entry<CommandEntry>("Fake");
    auto mem = entry<ExtractMemEntry>("FakeExtractMem");
    auto check = entry<CheckArchiveEntry>("FakeCheckArchive");
    auto type = entry<GetArchiveTypeEntry>("FakeGetArchiveType");
    ASSERT_TRUE(open && first && next && close && command && mem && check && type);

    const std::string archive = win("s.fak");
    ASSERT_FALSE(archive.empty());
    const ArchiveHandle h = open(nullptr, archive.c_str(), OpenModeProbe);
    ASSERT_NE(h, 0u);
    EntryRecord rec;
    std::vector<std::string> names;
    for (int r = first(h, "*.wav", &rec); r == 0; r = next(h, &rec))
        names.push_back(rec.FileName());
    EXPECT_EQ(names, (std::vector<std::string>{"snd/a.wav", "B.WAV"}));
    close(h);

    const std::string line = "x -+ -c1 -n1 -x0  \"" + archive + "\" \"" + win("TEMP") + "\\\" \"snd/a.wav\" ";
    char out[256];
    EXPECT_EQ(command(nullptr, line.c_str(), out, sizeof out), 0) << out;
    std::ifstream in(m_dir + "/TEMP/a.wav");
    std::string data((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(data, "AAAA");

    BYTE buffer[8];
    DWORD written = 0;
    const std::string memLine = " -+ \"" + archive + "\" \"b.wav\"";
    EXPECT_EQ(mem(nullptr, memLine.c_str(), buffer, sizeof buffer, nullptr, nullptr, &written), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), written), "BB");

    EXPECT_NE(check(archive.c_str(), CheckModeProbe), 0);
    EXPECT_NE(check(archive.c_str(), 0), 0);
    EXPECT_EQ(type(archive.c_str()), 1);
    std::ofstream(m_dir + "/plain.txt") << "hello";
    EXPECT_EQ(check(win("plain.txt").c_str(), CheckModeProbe), 0);
    EXPECT_EQ(open(nullptr, win("plain.txt").c_str(), 0), 0u);
    EXPECT_EQ(type(win("plain.txt").c_str()), 0);
}
