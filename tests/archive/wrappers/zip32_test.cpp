// TZip32: three libraries, their lookup sequences, the name converter, the
// packing switches and the self-extractor.
#include "archive/wrappers/zip32.h"

#include "tests/archive/wrappers/wrapper_fixture.h"

using namespace archives;

namespace {

class Zip32Test : public WrapperTest {};

const std::string kNoPackLibrary = "ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。";
const std::string kNoSfxLibrary = "ZIP 形式書庫からの自己解凍書庫作成には ZIP32J.DLL が必要です。";

TEST_F(Zip32Test, ExtractConvertsFileNamesButNotTheArchiveOrFolder)
{
    TZip32 zip;
    TArchiverOptions o;
    zip.Extract(nullptr, R"(C:\arc\s.zip)", o, R"(C:\TEMP)", {std::string(R"(a\b[1].wav)")}, false, m_output);
    EXPECT_EQ(zip.GetCommandLine(), R"(-x  "C:\arc\s.zip" "C:\TEMP\" "a/b[[]1].wav" )");

    o.c = 1;
    o.n = 1;
    o.x = 0;
    o.ResFileName = winPath("list.txt");
    zip.Extract(nullptr, R"(C:\arc\s.zip)", o, "", {std::string(R"(a\b[1].wav)")}, true, m_output);
    EXPECT_EQ(zip.GetCommandLine(), "-x -o --i -j  \"C:\\arc\\s.zip\" \"@" + o.ResFileName + "\" ");
    EXPECT_EQ(readFile("list.txt"), "\"a/b[[]1].wav\"\r\n");
    // Unpacking goes to UNZIP32.DLL's command entry.
    EXPECT_EQ(fakearc::sequence(), (std::vector<std::string>{"unzip32:UnZip", "unzip32:UnZip"}));
}

TEST_F(Zip32Test, PackSwitchesFollowTheOptions)
{
    TZip32 zip;
    auto packLine = [&](auto set) {
        TArchiverOptions o;
        set(o);
        zip.Pack(nullptr, R"(C:\s.zip)", o, "", {std::string("a.wav")}, false, m_output);
        return zip.GetCommandLine();
    };
    EXPECT_EQ(packLine([](TArchiverOptions&) {}), R"( -D  "C:\s.zip" "a.wav" )");
    EXPECT_EQ(packLine([](TArchiverOptions& o) { o.a = 1; }), R"( -S -D  "C:\s.zip" "a.wav" )");
    EXPECT_EQ(packLine([](TArchiverOptions& o) { o.a = 2; }), R"( -S  "C:\s.zip" "a.wav" )");
    EXPECT_EQ(packLine([](TArchiverOptions& o) {
                  o.a = 2;
                  o.l = 1;
                  o.n = 1;
                  o.r = 1;
                  o.u = 1;
                  o.x = 0;
                  o.jc = 1;
                  o.ji = 1;
                  o.jm = 9;
                  o.gd = 1;
              }),
              R"( -S -v -q -r -o -u -j -FF -k -9 -J  "C:\s.zip" "a.wav" )");
    EXPECT_EQ(packLine([](TArchiverOptions& o) { o.jm = 0; }), R"( -D -0  "C:\s.zip" "a.wav" )");
    for (const auto& call : fakearc::calls())
        EXPECT_EQ(call[0] + ":" + call[1], "zip32j:Zip");

    TArchiverOptions o;
    zip.RemoveItems(nullptr, R"(C:\s.zip)", o, R"(C:\src)", {std::string(R"(d\x.wav)")}, false, m_output);
    EXPECT_EQ(zip.GetCommandLine(), R"(-d -D  "C:\s.zip" "d/x.wav" )");
    zip.Update(nullptr, R"(C:\s.zip)", o, R"(C:\src)", {std::string("x.wav")}, false, m_output);
    EXPECT_EQ(zip.GetCommandLine(), R"(-f -D  "C:\s.zip" "C:\src\" "x.wav" )");
}

TEST_F(Zip32Test, EntriesAreLookedUpInTheirLibrarySequence)
{
    TZip32 zip;
    writeFile("s.zip", "PK");
    ArchiveHandle h = zip.OpenArchive(nullptr, winPath("s.zip"), 0);
    EntryRecord record;
    zip.FindFirst(h, record, "*.wav");
    zip.FindNext(h, record);
    zip.CloseArchive(h);
    zip.CheckArchive(winPath("s.zip"), 1, 2);
    unsigned char buffer[4];
    DWORD written;
    zip.ExtractMem(nullptr, R"(C:\s.zip)", TArchiverOptions(), R"(d\a.wav)", buffer, 4, &written);
    zip.SetOwnerWindow(kWindow, nullptr);
    zip.KillOwnerWindow(kWindow);
    EXPECT_EQ(
        fakearc::sequence(),
        (std::vector<std::string>{"lmzip32:UnzipOpenArchive", "lmzip32:UnzipFindFirst", "lmzip32:UnzipFindNext",
                                  "lmzip32:UnzipCloseArchive", "unzip32:UnZipCheckArchive", "unzip32:UnZipExtractMem",
                                  "unzip32:UnZipSetOwnerWindowEx", "unzip32:UnZipKillOwnerWindowEx"}));
    // The mode alone reaches the library; ExtractMem's line has no command word.
    EXPECT_EQ(fakearc::callsOf("UnZipCheckArchive")[0][3], "1");
    EXPECT_EQ(zip.GetCommandLine(), R"(  "C:\s.zip" "d/a.wav" )");
    EXPECT_FALSE(zip.HasOwnerWindow());
}

TEST_F(Zip32Test, WithOnlyUnzip32EverythingUnpacksThereAndPackingIsRefused)
{
    useScenario("zip-only-unzip32");
    TZip32 zip;
    ArchiveHandle h = zip.OpenArchive(nullptr, R"(C:\s.zip)", 0);
    EntryRecord record;
    zip.FindFirst(h, record, "*.wav");
    zip.CloseArchive(h);
    zip.Extract(nullptr, R"(C:\s.zip)", TArchiverOptions(), "", {}, false, m_output);
    for (const auto& call : fakearc::calls())
        EXPECT_EQ(call[0], "unzip32");
    EXPECT_EQ(fakearc::calls().size(), 4u);

    FakeArc_Reset();
    EXPECT_EQ(messageOf([&] { zip.Pack(nullptr, R"(C:\s.zip)", TArchiverOptions(), "", {}, false, m_output); }),
              kNoPackLibrary);
    EXPECT_EQ(messageOf([&] { zip.LoadPackDLL(); }), kNoPackLibrary);
    EXPECT_EQ(messageOf([&] { zip.RemoveItems(nullptr, R"(C:\s.zip)", TArchiverOptions(), "", {}, false, m_output); }),
              kNoPackLibrary);
    EXPECT_EQ(messageOf([&] { zip.MakeSFX(nullptr, R"(C:\s.zip)", TArchiverOptions(), "", m_output); }), kNoSfxLibrary);
    EXPECT_TRUE(fakearc::calls().empty());
}

TEST_F(Zip32Test, WithOnlyLmzip32EntriesUseTheLowerCasePrefix)
{
    useScenario("zip-only-lmzip32");
    TZip32 zip;
    ArchiveHandle h = zip.OpenArchive(nullptr, R"(C:\s.zip)", 0);
    zip.CloseArchive(h);
    zip.CheckArchive(R"(C:\s.zip)", 0, 0);
    zip.Extract(nullptr, R"(C:\s.zip)", TArchiverOptions(), "", {std::string("a.wav")}, false, m_output);
    EXPECT_EQ(fakearc::sequence(), (std::vector<std::string>{"lmzip32:UnzipOpenArchive", "lmzip32:UnzipCloseArchive",
                                                             "lmzip32:UnzipCheckArchive", "lmzip32:Unzip"}));
    // The owner-window entries are looked for in UNZIP32.DLL only.
    const std::string setMessage = messageOf([&] { zip.SetOwnerWindow(kWindow, nullptr); });
    EXPECT_NE(setMessage.find(" に UnZipSetOwnerWindowEx のエントリが見つかりません。"), std::string::npos)
        << setMessage;
    EXPECT_FALSE(zip.HasOwnerWindow());  // the library is asked first
    EXPECT_EQ(messageOf([&] { zip.MakeSFX(nullptr, R"(C:\s.zip)", TArchiverOptions(), "", m_output); }), kNoSfxLibrary);
}

TEST_F(Zip32Test, PackWithLmzip32RecreatesTheArchive)
{
    useScenario("zip-unzip32-lmzip32");
    TZip32 zip;
    writeFile("s.zip", "old");
    TArchiverOptions o;
    o.c = 1;
    o.x = 0;
    o.a = 1;  // ZIP32J switches play no part here
    zip.Pack(nullptr, winPath("s.zip"), o, R"(C:\src)", {std::string(R"(a\b[1].wav)")}, false, m_output);
    EXPECT_EQ(zip.GetCommandLine(), "-ru -o -j  \"" + winPath("s.zip") + R"(" "a\b[1].wav" )");
    EXPECT_FALSE(exists("s.zip"));
    EXPECT_EQ(fakearc::sequence(), std::vector<std::string>{"lmzip32:Zip"});

    // A failed pack leaves the old archive where it was.
    writeFile("s.zip", "old");
    fakearc::script("lmzip32", "result", "5");
    EXPECT_EQ(zip.Pack(nullptr, winPath("s.zip"), o, "", {std::string("a.wav")}, false, m_output), 5);
    EXPECT_EQ(readFile("s.zip"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_temp), {}), 1);
    fakearc::script("lmzip32", "result", "0");
    // Removing still renders the ZIP32J switches and runs "Zip".
    zip.RemoveItems(nullptr, winPath("s.zip"), TArchiverOptions(), "", {std::string("a.wav")}, false, m_output);
    EXPECT_EQ(zip.GetCommandLine(), "-d -D  \"" + winPath("s.zip") + "\" \"a.wav\" ");
    EXPECT_NO_THROW(zip.LoadPackDLL());
}

TEST_F(Zip32Test, MakeSfxJoinsStubAndArchiveThenAdjustsIt)
{
    TZip32 zip;
    writeFile("sfx16.dat", "STUB16");
    writeFile("s.zip", "PKDATA");
    std::filesystem::create_directory(m_temp / "out");
    TArchiverOptions o;
    fakearc::script("zip32j", "result", "3");
    EXPECT_EQ(zip.MakeSFX(nullptr, winPath("s.zip"), o, "", m_output), 3);
    EXPECT_EQ(readFile("s.EXE"), "STUB16PKDATA");
    EXPECT_EQ(zip.GetCommandLine(), "-A " + winPath("s.EXE"));
    EXPECT_EQ(fakearc::callsOf("Zip")[0][3], zip.GetCommandLine());

    // With a folder the output goes there.
    zip.MakeSFX(nullptr, winPath("s.zip"), o, winPath("out"), m_output);
    EXPECT_EQ(readFile("out/s.EXE"), "STUB16PKDATA");

    // The Win32 stub is another file; without it nothing is written or sent.
    o.gw = 1;
    FakeArc_Reset();
    EXPECT_EQ(messageOf([&] { zip.MakeSFX(nullptr, winPath("s.zip"), o, "", m_output); }),
              "zip 書庫からのWin32自己解凍書庫の作成には sfx32gui.dat が必要です。");
    EXPECT_TRUE(fakearc::calls().empty());
    std::filesystem::remove(m_temp / "sfx16.dat");
    o.gw = 0;
    EXPECT_EQ(messageOf([&] { zip.MakeSFX(nullptr, winPath("s.zip"), o, "", m_output); }),
              "zip 書庫からのDOS自己解凍書庫の作成には sfx16.dat が必要です。");
}

TEST_F(Zip32Test, MakeSfxNeverOverwritesTheArchiveItself)
{
    TZip32 zip;
    writeFile("sfx16.dat", "STUB");
    writeFile("s.exe", "PKSELF");
    const std::string message =
        messageOf([&] { zip.MakeSFX(nullptr, winPath("s.exe"), TArchiverOptions(), "", m_output); });
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(readFile("s.exe"), "PKSELF");
    EXPECT_TRUE(fakearc::calls().empty());
}

TEST_F(Zip32Test, ProbeOpensOnlyExistingFilesAndClosesOnlyOpenHandles)
{
    EXPECT_FALSE(CheckZipArchive(winPath("missing.zip")));
    EXPECT_TRUE(fakearc::calls().empty());

    writeFile("s.exe", "x");
    fakearc::script("lmzip32", "open", "0");
    EXPECT_FALSE(CheckZipArchive(winPath("s.exe")));
    EXPECT_EQ(fakearc::sequence(), std::vector<std::string>{"lmzip32:UnzipOpenArchive"});
    EXPECT_EQ(fakearc::callsOf("UnzipOpenArchive")[0][4], "8388610");

    FakeArc_Reset();
    fakearc::script("lmzip32", "open", "4");
    EXPECT_TRUE(CheckZipArchive(winPath("s.exe")));
    EXPECT_EQ(fakearc::callsOf("UnzipCloseArchive")[0][2], "4");
}

TEST_F(Zip32Test, NoLibraryAtAll)
{
    useScenario("none");
    EXPECT_EQ(messageOf([] { TZip32 zip; }),
              "ZIP 形式書庫を解凍するには UNZIP32.DLL が、作成するには ZIP32J.DLL が必要です。");
    EXPECT_FALSE(CheckZipArchive(R"(C:\s.zip)"));
}

}  // namespace
