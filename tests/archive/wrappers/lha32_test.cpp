// TLha32: command lines as UNLHA32.DLL receives them, response files,
// memory extraction, binding and the content probe.
#include "archive/wrappers/lha32.h"

#include "tests/archive/wrappers/wrapper_fixture.h"

using namespace archives;

namespace {

class Lha32Test : public WrapperTest {};

TEST_F(Lha32Test, ExtractRendersTheLhaSwitchesInTheirFixedOrder)
{
    TLha32 lha;
    TArchiverOptions o;
    o.c = 1;
    o.n = 1;
    o.x = 0;
    fakearc::script("unlha32", "result", "7");
    EXPECT_EQ(lha.Extract(nullptr, R"(C:\s.lzh)", o, R"(C:\TEMP)", {std::string("a.wav")}, false, m_output), 7);
    const std::string expected = R"(x -+ -c1 -n1 -x0  "C:\s.lzh" "C:\TEMP\" "a.wav" )";
    EXPECT_EQ(lha.GetCommandLine(), expected);
    auto calls = fakearc::callsOf("Unlha");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (fakearc::Call{"unlha32", "Unlha", "0", expected, "null", "0"}));

    // Every number option unset: only "-+" before the user options' blank.
    TArchiverOptions defaults;
    lha.Extract(nullptr, R"(C:\s.lzh)", defaults, R"(C:\TEMP)", {std::string("a.wav")}, false, m_output);
    EXPECT_EQ(lha.GetCommandLine(), R"(x -+  "C:\s.lzh" "C:\TEMP\" "a.wav" )");
}

TEST_F(Lha32Test, TextListAndLateOptionsKeepTheirPlaceAndForm)
{
    TLha32 lha;
    TArchiverOptions o;
    o.a = 1;
    o.w = R"(C:\work)";
    o.jo = "";  // set but empty: the switch without a value
    o.jx = {"*.txt", "*.bak"};
    o.jyc = 0;
    o.jz = "zz";
    o.gr = "g";
    o.gw = 2;
    o.UserOptions = "-user";
    o.UserFileList = "tail";
    lha.RemoveItems(nullptr, R"(C:\s.lzh)", o, R"(C:\ignored)", {std::string("a.wav"), TStringList{"b.wav"}}, false,
                    m_output);
    EXPECT_EQ(
        lha.GetCommandLine(),
        R"(d -+ -a1 "-wC:\work\" "-jo" "-jx*.txt" "-jx*.bak" -jyc0 "-jzzz" "-grg" -gw2 -user "C:\s.lzh" "a.wav" "b.wav" tail)");
}

TEST_F(Lha32Test, CommandWordsFoldersAndFilesPerOperation)
{
    TLha32 lha;
    TArchiverOptions o;
    const FileList files{std::string("a.wav")};
    lha.Pack(nullptr, R"(C:\s.lzh)", o, R"(C:\src\)", files, false, m_output);
    EXPECT_EQ(lha.GetCommandLine(), R"(u -+  "C:\s.lzh" "C:\src\" "a.wav" )");
    lha.Update(nullptr, R"(C:\s.lzh)", o, R"(C:\src)", files, false, m_output);
    EXPECT_EQ(lha.GetCommandLine(), R"(f -+  "C:\s.lzh" "C:\src\" "a.wav" )");
    lha.MakeSFX(nullptr, R"(C:\s.lzh)", o, R"(C:\out)", m_output);
    EXPECT_EQ(lha.GetCommandLine(), R"(s -+  "C:\s.lzh" "C:\out\" )");
    auto sent = fakearc::callsOf("Unlha");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2][3], lha.GetCommandLine());
}

TEST_F(Lha32Test, OwnerWindowForcesTheQuietSwitch)
{
    TLha32 lha;
    EXPECT_TRUE(lha.SetOwnerWindow(kWindow, nullptr));
    EXPECT_TRUE(lha.HasOwnerWindow());
    for (std::int8_t n : {std::int8_t(-1), std::int8_t(0)}) {
        TArchiverOptions o;
        o.n = n;
        lha.Extract(kWindow, R"(C:\s.lzh)", o, "", {std::string("a.wav")}, false, m_output);
        EXPECT_EQ(lha.GetCommandLine(), R"(x -+ -n1  "C:\s.lzh" "a.wav" )");
    }
    fakearc::script("unlha32", "killowner", "0");
    EXPECT_FALSE(lha.KillOwnerWindow(kWindow));  // the library's answer
    EXPECT_FALSE(lha.HasOwnerWindow());          // the window is forgotten all the same
    EXPECT_EQ(fakearc::sequence(), (std::vector<std::string>{"unlha32:UnlhaSetOwnerWindowEx", "unlha32:Unlha",
                                                             "unlha32:Unlha", "unlha32:UnlhaKillOwnerWindowEx"}));
    EXPECT_EQ(fakearc::callsOf("UnlhaSetOwnerWindowEx")[0][2], fakearc::windowText(kWindow));
}

TEST_F(Lha32Test, ProgressReachesTheRegisteredWindowAndItsAnswerStopsTheLibrary)
{
    struct Seen {
        UINT message = RegisterWindowMessageA("wm_arcextract");
        std::vector<WPARAM> states;
    } seen;
    auto proc = [](HWND w, UINT message, WPARAM state, LPARAM info) -> LRESULT {
        auto* s = static_cast<Seen*>(GetWindowContext(w));
        if (message != s->message || info == 0)
            return DefWindowProcA(w, message, state, info);
        s->states.push_back(state);
        return state == 2 ? 1 : 0;
    };
    HWND window = CreateMessageWindow(proc, &seen);
    ASSERT_NE(window, nullptr);
    TLha32 lha;
    lha.SetOwnerWindow(window, nullptr);
    fakearc::script("unlha32", "progress", "1,2,3");
    EXPECT_EQ(lha.Extract(nullptr, R"(C:\s.lzh)", TArchiverOptions(), "", {std::string("a.wav")}, false, m_output), 1);
    lha.KillOwnerWindow(window);
    EXPECT_EQ(seen.states, (std::vector<WPARAM>{1, 2}));
    DestroyWindow(window);
}

TEST_F(Lha32Test, ResponseFileFlagComesFromTheOptionsNotTheCaller)
{
    TLha32 lha;
    TArchiverOptions o;
    o.ResFileName = winPath("list.txt");
    o.ResFileUsage = TResFileUsage{ruOnPack};
    const FileList files{std::string("a.wav"), std::string(R"(sub\b.wav)")};

    // The caller asks for a response file, but ruOnUnpack is not in the options.
    lha.Extract(nullptr, R"(C:\s.lzh)", o, "", files, true, m_output);
    EXPECT_EQ(lha.GetCommandLine(), R"(x -+  "C:\s.lzh" "a.wav" "sub\b.wav" )");
    EXPECT_FALSE(exists("list.txt"));

    lha.Pack(nullptr, R"(C:\s.lzh)", o, "", files, false, m_output);
    EXPECT_EQ(lha.GetCommandLine(), "u -+  \"C:\\s.lzh\" \"@" + o.ResFileName + "\" ");
    EXPECT_EQ(readFile("list.txt"), "\"a.wav\"\r\n\"sub\\b.wav\"\r\n");
}

TEST_F(Lha32Test, OutputBufferIsPassedWithItsLengthOrAsNull)
{
    TLha32 lha;
    TArchiverOptions o;
    fakearc::script("unlha32", "output", "done");
    lha.Extract(nullptr, R"(C:\s.lzh)", o, "", {}, false, m_output);
    std::string buffer(64, '\0');
    lha.Extract(nullptr, R"(C:\s.lzh)", o, "", {}, false, buffer);
    auto sent = fakearc::callsOf("Unlha");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][4], "null");
    EXPECT_EQ(sent[0][5], "0");
    EXPECT_EQ(sent[1][4], "buf");
    EXPECT_EQ(sent[1][5], "64");
    EXPECT_EQ(std::string(buffer.c_str()), "done");
}

TEST_F(Lha32Test, ExtractMemSendsTheLineWithoutCommandWord)
{
    TLha32 lha;
    TArchiverOptions o;
    o.c = 1;
    fakearc::script("unlha32", "mem", "RIFFdata");
    unsigned char buffer[16] = {};
    DWORD written = 0;
    EXPECT_EQ(lha.ExtractMem(nullptr, R"(C:\s.lzh)", o, "a.wav", buffer, sizeof buffer, &written), 0);
    EXPECT_EQ(lha.GetCommandLine(), R"( -+ -c1  "C:\s.lzh" "a.wav" )");
    auto sent = fakearc::callsOf("UnlhaExtractMem");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (fakearc::Call{"unlha32", "UnlhaExtractMem", "0", lha.GetCommandLine(), "ptr", "16", "null",
                                      "null", "ptr"}));
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 8), "RIFFdata");
}

TEST_F(Lha32Test, ListingExpandsTheNameAndPassesResultsThrough)
{
    TLha32 lha;
    writeFile("s.lzh", "x");
    fakearc::script("unlha32", "open", "42");
    fakearc::script("unlha32", "entries", "a.wav|b.txt|c.WAV");
    fakearc::script("unlha32", "close", "5");
    ArchiveHandle h = lha.OpenArchive(nullptr, "s.lzh", 0);  // relative to the current folder
    EXPECT_EQ(h, 42u);
    EXPECT_EQ(fakearc::callsOf("UnlhaOpenArchive")[0][3], winPath("s.lzh"));
    EntryRecord record;
    EXPECT_EQ(lha.FindFirst(h, record, "*.wav"), 0);
    EXPECT_EQ(record.FileName(), "a.wav");
    EXPECT_EQ(lha.FindNext(h, record), 0);
    EXPECT_EQ(record.FileName(), "c.WAV");
    EXPECT_EQ(lha.FindNext(h, record), -1);
    EXPECT_EQ(lha.CloseArchive(h), 5);
}

TEST_F(Lha32Test, CheckArchiveAddsTheModesAndKeepsTheNameAsGiven)
{
    TLha32 lha;
    fakearc::script("unlha32", "check", "0");
    EXPECT_EQ(lha.CheckArchive("rel.lzh", 1, 16), 0);
    EXPECT_EQ(fakearc::callsOf("UnlhaCheckArchive")[0],
              (fakearc::Call{"unlha32", "UnlhaCheckArchive", "rel.lzh", "17"}));
}

TEST_F(Lha32Test, ObjectsShareOneLoadAndOneBindingPerEntry)
{
    const int loads = FakeArc_Loads("unlha32");
    {
        TLha32 first;
        EntryRecord record;
        first.FindFirst(first.OpenArchive(nullptr, R"(C:\s.lzh)", 0), record, "*");
    }
    const auto lookups = EntryLookupCount();
    TLha32 second;
    EntryRecord record;
    second.FindFirst(second.OpenArchive(nullptr, R"(C:\s.lzh)", 0), record, "*");
    EXPECT_EQ(EntryLookupCount(), lookups);
    EXPECT_EQ(FakeArc_Loads("unlha32"), loads + 1);

    // FreeDLL forgets the bindings: the next use binds afresh.
    TLha32::FreeDLL();
    second.OpenArchive(nullptr, R"(C:\s.lzh)", 0);
    EXPECT_EQ(EntryLookupCount(), lookups + 1);
}

TEST_F(Lha32Test, MissingExportNamesTheLibraryAndIsLookedUpAgain)
{
    useScenario("lha-missing-findfirst");
    TLha32 lha;
    ArchiveHandle h = lha.OpenArchive(nullptr, R"(C:\s.lzh)", 0);
    EntryRecord record;
    const std::string expected =
        libraryPath("lha-missing-findfirst", "libunlha32.so") + " に UnlhaFindFirst のエントリが見つかりません。";
    EXPECT_EQ(messageOf([&] { lha.FindFirst(h, record, "*.wav"); }), expected);
    const auto lookups = EntryLookupCount();
    EXPECT_EQ(messageOf([&] { lha.FindFirst(h, record, "*.wav"); }), expected);
    EXPECT_EQ(EntryLookupCount(), lookups + 1);
    EXPECT_TRUE(fakearc::callsOf("UnlhaFindFirst").empty());
    // The other entries still work.
    EXPECT_EQ(lha.CloseArchive(h), 0);
}

TEST_F(Lha32Test, ProbeChecksFirstThenOpensAndAlwaysCloses)
{
    writeFile("s.dat", "x");
    fakearc::script("unlha32", "check", "0");
    EXPECT_FALSE(CheckLhaArchive("s.dat"));
    EXPECT_EQ(fakearc::sequence(), std::vector<std::string>{"unlha32:UnlhaCheckArchive"});
    EXPECT_EQ(fakearc::callsOf("UnlhaCheckArchive")[0][3], "16");
    EXPECT_EQ(fakearc::callsOf("UnlhaCheckArchive")[0][2], winPath("s.dat"));

    FakeArc_Reset();
    fakearc::script("unlha32", "open", "0");
    EXPECT_FALSE(CheckLhaArchive("s.dat"));
    EXPECT_EQ(fakearc::callsOf("UnlhaOpenArchive")[0],
              (fakearc::Call{"unlha32", "UnlhaOpenArchive", "0", winPath("s.dat"), "8388610"}));
    EXPECT_EQ(fakearc::callsOf("UnlhaCloseArchive")[0][2], "0");

    FakeArc_Reset();
    fakearc::script("unlha32", "open", "9");
    EXPECT_TRUE(CheckLhaArchive("s.dat"));
    EXPECT_EQ(fakearc::callsOf("UnlhaCloseArchive")[0][2], "9");
}

TEST_F(Lha32Test, ProbeWithoutLibraryAnswersFalse)
{
    useScenario("none");
    EXPECT_FALSE(CheckLhaArchive(R"(C:\s.lzh)"));
    EXPECT_EQ(messageOf([] { TLha32 lha; }), "Lha 形式書庫を扱うには UNLHA32.DLL が 必要です。");
}

}  // namespace
