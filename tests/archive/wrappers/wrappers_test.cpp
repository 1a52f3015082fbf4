// CAB, ARJ, the tar family, RAR and BGA: their switches, command words,
// owner-window order, self-extractors and probes.
#include "archive/wrappers/arj32.h"
#include "archive/wrappers/bga32.h"
#include "archive/wrappers/cab32.h"
#include "archive/wrappers/rar32.h"
#include "archive/wrappers/tar32.h"
#include "tests/archive/wrappers/wrapper_fixture.h"

using namespace archives;

namespace {

class WrappersTest : public WrapperTest {
protected:
    const FileList m_files{std::string("a.wav")};
};

TEST_F(WrappersTest, CabSwitchesAndCommandWords)
{
    TCab32 cab;
    TArchiverOptions o;
    o.c = 1;
    o.n = 1;
    o.r = 1;
    o.x = 0;
    o.ji = 1;
    // Extraction expands the archive name first.
    cab.Extract(nullptr, "s.cab", o, R"(C:\TEMP)", m_files, false, m_output);
    EXPECT_EQ(cab.GetCommandLine(), "-x -o -i -r -j -q  \"" + winPath("s.cab") + R"(" "C:\TEMP\" "a.wav" )");
    EXPECT_EQ(fakearc::callsOf("Cab")[0][3], cab.GetCommandLine());

    TArchiverOptions d;
    cab.SetOwnerWindow(kWindow, nullptr);
    cab.Pack(nullptr, "s.cab", d, "", m_files, false, m_output);
    EXPECT_EQ(cab.GetCommandLine(), R"(-a -i  "s.cab" "a.wav" )");
    cab.KillOwnerWindow(kWindow);
    cab.MakeSFX(nullptr, R"(C:\s.cab)", d, R"(C:\out)", m_output);
    EXPECT_EQ(cab.GetCommandLine(), R"(-f  "C:\s.cab" "C:\out\" )");
    cab.CheckArchive(R"(C:\s.cab)", 1, 2);
    EXPECT_EQ(fakearc::callsOf("CabCheckArchive")[0][3], "3");
}

TEST_F(WrappersTest, CabArjRarProbesCloseEvenAFailedHandle)
{
    struct Case {
        bool (*probe)(const std::string&);
        const char* library;
        const char* close;
    };
    for (const Case& c :
         {Case{CheckCabArchive, "cab32", "CabCloseArchive"}, Case{CheckArjArchive, "unarj32j", "UnarjCloseArchive"},
          Case{CheckRarArchive, "unrar32", "UnrarCloseArchive"}}) {
        FakeArc_Reset();
        fakearc::script(c.library, "open", "0");
        EXPECT_FALSE(c.probe(R"(C:\nowhere\s.bin)"));
        ASSERT_EQ(fakearc::callsOf(c.close).size(), 1u) << c.library;
        EXPECT_EQ(fakearc::callsOf(c.close)[0][2], "0");
        fakearc::script(c.library, "open", "6");
        EXPECT_TRUE(c.probe(R"(C:\nowhere\s.bin)"));
    }
}

TEST_F(WrappersTest, ArjExtractsWithLhaSwitchesThroughItsOwnLibrary)
{
    TArj32 arj;
    TArchiverOptions o;
    o.c = 1;
    o.ResFileName = winPath("list.txt");
    o.ResFileUsage = TResFileUsage{};
    // Unlike TLha32, the caller's response-file flag counts.
    arj.Extract(nullptr, R"(C:\s.arj)", o, R"(C:\TEMP)", m_files, true, m_output);
    EXPECT_EQ(arj.GetCommandLine(), "x -+ -c1  \"C:\\s.arj\" \"C:\\TEMP\\\" \"@" + o.ResFileName + "\" ");
    EXPECT_EQ(readFile("list.txt"), "\"a.wav\"\r\n");
    // Packing is TLha32's and goes to UNLHA32.DLL.
    arj.Pack(nullptr, R"(C:\s.arj)", TArchiverOptions(), "", m_files, false, m_output);
    EXPECT_EQ(arj.GetCommandLine(), R"(u -+  "C:\s.arj" "a.wav" )");
    ArchiveHandle h = arj.OpenArchive(nullptr, R"(C:\s.arj)", 0);
    arj.CloseArchive(h);
    arj.CheckArchive(R"(C:\s.arj)", 1, 2);
    EXPECT_EQ(fakearc::sequence(),
              (std::vector<std::string>{"unarj32j:Unarj", "unlha32:Unlha", "unarj32j:UnarjOpenArchive",
                                        "unarj32j:UnarjCloseArchive", "unarj32j:UnarjCheckArchive"}));
    EXPECT_EQ(fakearc::callsOf("UnarjCheckArchive")[0][3], "3");
}

TEST_F(WrappersTest, ArjOwnerWindowGoesThroughBothLibrariesInOrder)
{
    TArj32 arj;
    TLha32::LoadDLL();  // the inherited half needs UNLHA32.DLL loaded already
    fakearc::script("unlha32", "setowner", "0");
    EXPECT_TRUE(arj.SetOwnerWindow(kWindow, nullptr));  // the ARJ library's answer
    EXPECT_TRUE(arj.HasOwnerWindow());
    fakearc::script("unarj32j", "killowner", "0");
    EXPECT_FALSE(arj.KillOwnerWindow(kWindow));
    EXPECT_FALSE(arj.HasOwnerWindow());
    EXPECT_EQ(fakearc::sequence(),
              (std::vector<std::string>{"unlha32:UnlhaSetOwnerWindowEx", "unarj32j:UnarjSetOwnerWindowEx",
                                        "unarj32j:UnarjKillOwnerWindowEx", "unlha32:UnlhaKillOwnerWindowEx"}));
}

TEST_F(WrappersTest, ArjWithoutLhaLibraryListsButCannotPack)
{
    useScenario("arj-only");
    TArj32 arj;
    arj.Extract(nullptr, R"(C:\s.arj)", TArchiverOptions(), "", m_files, false, m_output);
    EXPECT_EQ(fakearc::sequence(), std::vector<std::string>{"unarj32j:Unarj"});
    EXPECT_EQ(messageOf([&] { arj.Pack(nullptr, R"(C:\s.arj)", TArchiverOptions(), "", m_files, false, m_output); }),
              "Lha 形式書庫を扱うには UNLHA32.DLL が 必要です。");
    const std::string message = messageOf([&] { arj.SetOwnerWindow(kWindow, nullptr); });
    EXPECT_NE(message.find(" に UnlhaSetOwnerWindowEx のエントリが見つかりません。"), std::string::npos) << message;
}

TEST_F(WrappersTest, TarFamilySwitches)
{
    TTgz32 tgz;
    TArchiverOptions o;
    o.p = 1;
    o.jm = 9;
    tgz.Pack(nullptr, R"(C:\s.tgz)", o, "", m_files, false, m_output);
    EXPECT_EQ(tgz.GetCommandLine(), R"(c --check-all-path=1 -z9  -f "C:\s.tgz" "a.wav" )");
    EXPECT_EQ(fakearc::callsOf("Tar")[0][3], tgz.GetCommandLine());

    TTar32 tar;
    TArchiverOptions t;
    t.a = 0;
    t.n = 1;
    t.o = 1;
    t.x = 0;
    tar.Extract(nullptr, R"(C:\s.tar)", t, R"(C:\TEMP)", m_files, false, m_output);
    EXPECT_EQ(tar.GetCommandLine(),
              R"(x -I --display-dialog=0 -g --use-directory=0  -f "C:\s.tar" -o "C:\TEMP\" "a.wav" )");
    // With an owner window the library's own dialog is not switched off.
    t.a = 1;
    tar.SetOwnerWindow(kWindow, nullptr);
    tar.Extract(kWindow, R"(C:\s.tar)", t, "", m_files, false, m_output);
    EXPECT_EQ(tar.GetCommandLine(), R"(x -AH -g --use-directory=0  -f "C:\s.tar" "a.wav" )");
    tar.KillOwnerWindow(kWindow);

    TBZ232 bz2;
    bz2.Extract(nullptr, R"(C:\s.bz2)", TArchiverOptions(), "", m_files, false, m_output);
    EXPECT_EQ(bz2.GetCommandLine(), R"(x -B  -f "C:\s.bz2" "a.wav" )");
    TArchiverOptions b;
    b.jm = 5;
    bz2.Extract(nullptr, R"(C:\s.bz2)", b, "", m_files, false, m_output);
    EXPECT_EQ(bz2.GetCommandLine(), R"(x -B5  -f "C:\s.bz2" "a.wav" )");

    unsigned char buffer[8];
    DWORD written = 0;
    tgz.ExtractMem(nullptr, R"(C:\s.tgz)", TArchiverOptions(), "a.wav", buffer, 8, &written);
    EXPECT_EQ(tgz.GetCommandLine(), R"( -z  -f "C:\s.tgz" "a.wav" )");
    EXPECT_EQ(fakearc::callsOf("TarExtractMem")[0][3], tgz.GetCommandLine());
}

TEST_F(WrappersTest, TarSelfExtractorIsWrittenWithoutTheLibrary)
{
    TTar32 tar;
    tar.Extract(nullptr, R"(C:\s.tar)", TArchiverOptions(), "", m_files, false, m_output);
    const std::string line = tar.GetCommandLine();
    FakeArc_Reset();
    writeFile("s.tar", "TARDATA");
    EXPECT_EQ(messageOf([&] { tar.MakeSFX(nullptr, winPath("s.tar"), TArchiverOptions(), "", m_output); }),
              "tar/tgz 書庫からの自己解凍書庫の作成には kmtarsef.exe が必要です。");
    writeFile("kmtarsef.exe", "MZSTUB");
    EXPECT_EQ(tar.MakeSFX(nullptr, winPath("s.tar"), TArchiverOptions(), "", m_output), 0);
    EXPECT_EQ(readFile("s.EXE"), "MZSTUBTARDATA");
    EXPECT_EQ(tar.GetCommandLine(), line);
    EXPECT_TRUE(fakearc::calls().empty());

    TBZ232 bz2;
    EXPECT_EQ(messageOf([&] { bz2.MakeSFX(nullptr, winPath("s.tar"), TArchiverOptions(), "", m_output); }),
              "BZ2 形式書庫は自己解凍形式にできません。");
}

TEST_F(WrappersTest, TarArchiveKindFromTheLibrarysType)
{
    const std::vector<std::pair<int, TArchiverType>> table{{1, atTar}, {2, atTgz}, {4, atTgz},  {5, atTgz},
                                                           {6, atBZ2}, {7, atBZ2}, {0, atNone}, {8, atNone}};
    for (auto [type, kind] : table) {
        fakearc::script("tar32", "archivetype", std::to_string(type));
        EXPECT_EQ(GetTarArchiveKind("rel.tgz"), kind) << type;
    }
    // The name goes unchanged (not expanded).
    EXPECT_EQ(fakearc::callsOf("TarGetArchiveType")[0][2], "rel.tgz");
}

TEST_F(WrappersTest, RarCommandWordFollowsTheFolderOption)
{
    TRar32 rar;
    TArchiverOptions o;  // x = -1, c = -1
    rar.Extract(nullptr, R"(C:\s.rar)", o, R"(C:\TEMP)", m_files, false, m_output);
    EXPECT_EQ(rar.GetCommandLine(), R"(-x -u  "C:\s.rar" "C:\TEMP\" "a.wav" )");
    o.x = 0;
    o.c = 1;
    o.m = 1;
    o.p = 1;
    rar.Extract(nullptr, R"(C:\s.rar)", o, R"(C:\TEMP)", m_files, false, m_output);
    EXPECT_EQ(rar.GetCommandLine(), R"(-e -y -s  "C:\s.rar" "C:\TEMP\" "a.wav" )");
    EXPECT_EQ(fakearc::callsOf("Unrar").size(), 2u);
}

TEST_F(WrappersTest, BgaSwitchesAndResponseFileSources)
{
    TBGA32 bga;
    TArchiverOptions o;
    bga.Extract(nullptr, R"(C:\s.gza)", o, R"(C:\TEMP)", m_files, false, m_output);
    EXPECT_EQ(bga.GetCommandLine(), R"(x -n -j  "C:\s.gza" "C:\TEMP\" "a.wav" )");
    o.a = 1;
    o.c = 1;
    o.n = 1;
    o.r = 1;
    o.x = 1;
    o.jm = 5;
    bga.Pack(nullptr, R"(C:\s.gza)", o, R"(C:\src)", m_files, false, m_output);
    EXPECT_EQ(bga.GetCommandLine(), R"(a -a -o -i -r -l5  "C:\s.gza" "C:\src\" "a.wav" )");

    TArchiverOptions r;
    r.ResFileName = winPath("list.txt");
    r.ResFileUsage = TResFileUsage{ruOnRemoveItem};
    bga.RemoveItems(nullptr, R"(C:\s.gza)", r, R"(C:\src)", m_files, false, m_output);
    EXPECT_EQ(bga.GetCommandLine(), "d -n -j  \"C:\\s.gza\" \"@" + r.ResFileName + "\" ");
    bga.MakeSFX(nullptr, R"(C:\s.gza)", TArchiverOptions(), R"(C:\out)", m_output);
    EXPECT_EQ(bga.GetCommandLine(), R"(s -n -j  "C:\s.gza" "C:\out\" )");
    EXPECT_EQ(fakearc::callsOf("Bga").size(), 4u);
}

TEST_F(WrappersTest, BgaProbeNeedsAnExistingFile)
{
    EXPECT_FALSE(CheckBgaArchive(winPath("missing.gza")));
    EXPECT_TRUE(fakearc::calls().empty());
    writeFile("s.gza", "x");
    fakearc::script("bga32", "open", "0");
    EXPECT_FALSE(CheckBgaArchive(winPath("s.gza")));
    EXPECT_EQ(fakearc::sequence(), (std::vector<std::string>{"bga32:BgaOpenArchive", "bga32:BgaCloseArchive"}));
}

TEST_F(WrappersTest, MissingLibrariesNameTheFileNeeded)
{
    useScenario("none");
    EXPECT_EQ(messageOf([] { TCab32 w; }), "CAB 形式書庫を扱うには CAB32.DLL が 必要です。");
    EXPECT_EQ(messageOf([] { TArj32 w; }), "ARJ 形式書庫を扱うには UNARJ32J.DLL が 必要です。");
    const std::string tar = "tar/tgz/taz/bz2 形式書庫を扱うには tar32.dll が 必要です。";
    EXPECT_EQ(messageOf([] { TTar32 w; }), tar);
    EXPECT_EQ(messageOf([] { TTgz32 w; }), tar);
    EXPECT_EQ(messageOf([] { TBZ232 w; }), tar);
    EXPECT_EQ(messageOf([] { TRar32 w; }), "この機能の使用には UNRAR32.DLL が 必要です。");
    EXPECT_EQ(messageOf([] { TBGA32 w; }), "Bga 形式書庫を扱うには BGA32.DLL が 必要です。");
    EXPECT_FALSE(CheckCabArchive(R"(C:\s)"));
    EXPECT_FALSE(CheckArjArchive(R"(C:\s)"));
    EXPECT_FALSE(CheckRarArchive(R"(C:\s)"));
    EXPECT_FALSE(CheckBgaArchive(R"(C:\s)"));
    EXPECT_EQ(GetTarArchiveKind(R"(C:\s)"), atNone);
}

}  // namespace
