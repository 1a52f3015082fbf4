#include "archive/archivefile.h"

#include <gtest/gtest.h>

#include "archive/wrappers/lha32.h"
#include "archive/wrappers/zip32.h"
#include "fakes.h"
#include "tests/support/temp_dir.h"

using namespace archives;

namespace {

const char* const kNotIdentified = "書庫の形式を特定できませんでした。";
const char* const kUndetermined = "書庫の形式を判別できません。";

template <class F> std::string messageOf(F f)
{
    try {
        f();
    } catch (const EArchiver& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

bool logHas(const std::string& entry)
{
    return !fakearc::callsOf(entry).empty();
}

}  // namespace

TEST(ArchiveFile, FreshComponentHasNoWrapper)
{
    TArchiveFile f;
    EXPECT_EQ(f.ArchiverType(), atAutoDetect);
    EXPECT_EQ(f.FileName(), UnsetText);
    EXPECT_EQ(f.Archiver(), nullptr);
    EXPECT_EQ(f.OutputSize(), 0);
    EXPECT_EQ(f.GetArchiveHandle(), 0u);
    EXPECT_EQ(f.LastCommandLine(), "");
    EXPECT_EQ(f.ProgressWindow(), nullptr);
    EXPECT_EQ(f.Options().c, -1);

    // Everything but opening needs a wrapper.
    EntryRecord rec;
    EXPECT_EQ(messageOf([&] { f.FindFirst("*.wav", rec); }), kUndetermined);
    EXPECT_EQ(messageOf([&] { f.FindNext(rec); }), kUndetermined);
    EXPECT_EQ(messageOf([&] { f.CloseArchive(); }), kUndetermined);
    f.SetOnProgress([](TArchiveFile*, LONG, LPEXTRACTINGINFOEX, bool&) {});
    EXPECT_EQ(messageOf([&] { f.Extract(nullptr, nullptr, "C:\\t", {"a.wav"}); }), kUndetermined);
    EXPECT_EQ(f.LastCommandLine(), "");
    EXPECT_EQ(f.ProgressWindow(), nullptr);
}

TEST(ArchiveFile, KnownExtensionMakesAFreshWrapperEachTime)
{
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\a.lzh");
    EXPECT_EQ(f.ArchiverType(), atLha);
    TArchiver* first = f.Archiver();
    ASSERT_NE(dynamic_cast<TLha32*>(first), nullptr);

    f.SetFileName("C:\\b.LZH");
    EXPECT_NE(f.Archiver(), first);
    EXPECT_NE(dynamic_cast<TLha32*>(f.Archiver()), nullptr);
    EXPECT_EQ(f.FileName(), "C:\\b.LZH");

    f.SetFileName("C:\\c.zip");
    EXPECT_EQ(f.ArchiverType(), atZip);
    EXPECT_NE(dynamic_cast<TZip32*>(f.Archiver()), nullptr);

    // Setting the same type again still makes a new object.
    TArchiver* zip = f.Archiver();
    f.SetArchiverType(atZip);
    EXPECT_NE(f.Archiver(), zip);
}

TEST(ArchiveFile, UnknownExtensionKeepsTypeAndWrapper)
{
    tidebell_test::TempDir dir;
    dir.write("sounds.dat", "x");
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\a.lzh");
    TArchiver* lha = f.Archiver();
    const std::string dat = dir.windows("sounds.dat");
    f.SetFileName(dat);
    EXPECT_EQ(f.FileName(), dat);
    EXPECT_EQ(f.ArchiverType(), atLha);
    EXPECT_EQ(f.Archiver(), lha);

    FakeArc_Reset();
    EXPECT_EQ(f.OpenArchive(nullptr, 0), 0);
    const auto opens = fakearc::callsOf("UnlhaOpenArchive");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_NE(opens[0][3].find("sounds.dat"), std::string::npos);
    // Only the LHA library was asked: no content detection.
    for (const auto& c : fakearc::calls())
        EXPECT_EQ(c[0], "unlha32");
}

TEST(ArchiveFile, OpenOnUndecidedTypeDetectsFromContents)
{
    tidebell_test::TempDir dir;
    dir.write("a.dat", "x");
    FakeLibraries libs("all");
    for (const char* lib : {"unrar32", "unarj32j", "unzip32", "bga32", "cab32"})
        FakeLibraries::reject(lib);
    TArchiveFile f;
    f.SetFileName(dir.windows("a.dat"));
    EXPECT_EQ(f.ArchiverType(), atAutoDetect);
    EXPECT_EQ(f.Archiver(), nullptr);

    // The LHA library accepts the file when probed, then opens it.
    EXPECT_EQ(f.OpenArchive(nullptr, 0), 0);
    EXPECT_EQ(f.ArchiverType(), atLha);
    EXPECT_NE(dynamic_cast<TLha32*>(f.Archiver()), nullptr);
    EXPECT_NE(f.GetArchiveHandle(), 0u);
}

TEST(ArchiveFile, OpenRaisesWhenNoLibraryAcceptsTheFile)
{
    tidebell_test::TempDir dir;
    dir.write("a.dat", "x");
    FakeLibraries libs("all");
    for (const char* lib : {"unrar32", "unarj32j", "unzip32", "bga32", "cab32", "unlha32"})
        FakeLibraries::reject(lib);
    TArchiveFile f;
    f.SetFileName(dir.windows("a.dat"));
    EXPECT_EQ(messageOf([&] { f.OpenArchive(nullptr, 0); }), kUndetermined);
    EXPECT_EQ(f.ArchiverType(), atAutoDetect);
    EXPECT_EQ(f.Archiver(), nullptr);
}

TEST(ArchiveFile, TypesWithoutWrapper)
{
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\a.lzh");
    TArchiver* lha = f.Archiver();

    EXPECT_EQ(messageOf([&] { f.SetFileName("C:\\b.gca"); }), kNotIdentified);
    EXPECT_EQ(f.FileName(), "C:\\a.lzh");
    for (TArchiverType t : {atYz1, atGCA, atBel})
        EXPECT_EQ(messageOf([&] { f.SetArchiverType(t); }), kNotIdentified);
    EXPECT_EQ(f.ArchiverType(), atLha);
    EXPECT_EQ(f.Archiver(), lha);

    // atNone changes nothing at all.
    f.SetArchiverType(atNone);
    EXPECT_EQ(f.ArchiverType(), atLha);
    EXPECT_EQ(f.Archiver(), lha);

    // atAutoDetect is stored, the wrapper stays.
    f.SetArchiverType(atAutoDetect);
    EXPECT_EQ(f.ArchiverType(), atAutoDetect);
    EXPECT_EQ(f.Archiver(), lha);

    // While loading from the stored form a wrapperless type is stored.
    f.SetLoading(true);
    f.SetArchiverType(atBel);
    EXPECT_EQ(f.ArchiverType(), atBel);
    EXPECT_EQ(f.Archiver(), lha);

    // A value outside the enumeration (a damaged stored form) is refused.
    EXPECT_EQ(messageOf([&] { f.SetArchiverType(TArchiverType(200)); }), kNotIdentified);
    EXPECT_EQ(f.ArchiverType(), atBel);
}

TEST(ArchiveFile, DesignerOnlyStoresTheType)
{
    FakeLibraries libs("none");  // nothing could be loaded anyway
    TArchiveFile f;
    f.SetDesigning(true);
    for (TArchiverType t : {atLha, atGCA, atNone, atTar}) {
        f.SetArchiverType(t);
        EXPECT_EQ(f.ArchiverType(), t);
        EXPECT_EQ(f.Archiver(), nullptr);
    }
    f.SetFileName("C:\\x.cab");
    EXPECT_EQ(f.ArchiverType(), atCab);
    EXPECT_EQ(f.FileName(), "C:\\x.cab");
}

TEST(ArchiveFile, FailedLoadKeepsPreviousWrapperAndName)
{
    FakeLibraries libs("zip-only-unzip32");
    TArchiveFile f;
    f.SetFileName("C:\\a.zip");
    TArchiver* zip = f.Archiver();
    ASSERT_NE(zip, nullptr);

    EXPECT_THROW(f.SetFileName("C:\\b.lzh"), EArchiver);
    EXPECT_EQ(f.FileName(), "C:\\a.zip");
    EXPECT_EQ(f.ArchiverType(), atZip);
    EXPECT_EQ(f.Archiver(), zip);

    EXPECT_THROW(f.SetArchiverType(atCab), EArchiver);
    EXPECT_EQ(f.ArchiverType(), atZip);
    EXPECT_EQ(f.Archiver(), zip);
}

TEST(ArchiveFile, ListingThroughTheLibrary)
{
    FakeLibraries libs("all");
    fakearc::script("unlha32", "open", "7");
    fakearc::script("unlha32", "entries", "a.wav|b.txt|c.WAV");
    TArchiveFile f;
    f.SetFileName("C:\\s.lzh");
    ASSERT_EQ(f.OpenArchive(nullptr, 0), 0);
    EXPECT_EQ(f.GetArchiveHandle(), 7u);

    EntryRecord rec;
    std::vector<std::string> names;
    for (int r = f.FindFirst("*.wav", rec); r == 0; r = f.FindNext(rec))
        names.push_back(rec.FileName());
    EXPECT_EQ(names, (std::vector<std::string>{"a.wav", "c.WAV"}));

    f.CloseArchive();
    EXPECT_EQ(f.GetArchiveHandle(), 0u);
    const auto closes = fakearc::callsOf("UnlhaCloseArchive");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0][2], "7");
    // Listing never registers a progress window.
    EXPECT_FALSE(logHas("UnlhaSetOwnerWindowEx"));
}

TEST(ArchiveFile, RefusedArchiveIsOpenWithHandleZero)
{
    FakeLibraries libs("all");
    fakearc::script("unlha32", "open", "0");
    TArchiveFile f;
    f.SetFileName("C:\\broken.lzh");
    EXPECT_EQ(f.OpenArchive(nullptr, 0), 1);
    EXPECT_EQ(f.GetArchiveHandle(), 0u);
    EntryRecord rec;
    EXPECT_NE(f.FindFirst("*.wav", rec), 0);
}

TEST(ArchiveFile, DestroyingLeavesAnOpenHandleOpen)
{
    FakeLibraries libs("all");
    {
        TArchiveFile f;
        f.SetFileName("C:\\s.lzh");
        f.OpenArchive(nullptr, 0);
    }
    EXPECT_TRUE(logHas("UnlhaOpenArchive"));
    EXPECT_FALSE(logHas("UnlhaCloseArchive"));
}

TEST(ArchiveFile, OutputSizeShapesTheBufferHandedToTheLibrary)
{
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetOutputSize(1024);
    EXPECT_EQ(f.OutputSize(), 1024);
    ASSERT_EQ(f.OutputBuffer().size(), 1024u);
    EXPECT_EQ(f.OutputBuffer()[0], '\0');
    f.SetOutputSize(0);
    EXPECT_EQ(f.OutputSize(), 0);
    f.SetOutputSize(16);
    f.SetOutputSize(-5);
    EXPECT_EQ(f.OutputSize(), 0);
    EXPECT_TRUE(f.OutputBuffer().empty());

    f.SetFileName("C:\\s.lzh");
    f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"});
    f.SetOutputSize(32);
    fakearc::script("unlha32", "output", "done");
    f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"});
    const auto commands = fakearc::callsOf("Unlha");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0][4], "null");
    EXPECT_EQ(commands[1][4], "buf");
    EXPECT_EQ(commands[1][5], "32");
    EXPECT_EQ(f.OutputBuffer().substr(0, 5), std::string("done\0", 5));
}

TEST(ArchiveFile, ExtractPassesTheLibraryResultAndKeepsTheCommandLine)
{
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\s.lzh");
    f.Options().UserOptions = "-own";
    fakearc::script("unlha32", "result", "32800");
    EXPECT_EQ(f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"}), 32800);
    const auto commands = fakearc::callsOf("Unlha");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(f.LastCommandLine(), commands[0][3]);
    EXPECT_EQ(f.LastCommandLine(), f.Archiver()->GetCommandLine());
    EXPECT_NE(f.LastCommandLine().find("\"C:\\s.lzh\""), std::string::npos);
    EXPECT_NE(f.LastCommandLine().find("-own"), std::string::npos);
    EXPECT_NE(f.LastCommandLine().find("\"a.wav\""), std::string::npos);

    // Options given per call replace the component's own.
    TArchiverOptions given;
    given.UserOptions = "-given";
    f.Extract(nullptr, &given, "C:\\tmp", {"a.wav"});
    EXPECT_NE(f.LastCommandLine().find("-given"), std::string::npos);
    EXPECT_EQ(f.LastCommandLine().find("-own"), std::string::npos);
}

TEST(ArchiveFile, ResponseFileFollowsUnpackUsage)
{
    tidebell_test::TempDir dir;
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\s.lzh");
    f.Options().ResFileName = dir.windows("list.rsp");
    f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"});
    EXPECT_NE(f.LastCommandLine().find("\"@" + dir.windows("list.rsp") + "\""), std::string::npos);
    EXPECT_EQ(dir.read("list.rsp"), "\"a.wav\"\r\n");

    f.Options().ResFileUsage.exclude(ruOnUnpack);
    f.Extract(nullptr, nullptr, "C:\\tmp", {"b.wav"});
    EXPECT_EQ(f.LastCommandLine().find('@'), std::string::npos);
    EXPECT_NE(f.LastCommandLine().find("\"b.wav\""), std::string::npos);
}

TEST(ArchiveFile, ProgressReachesHandlerAndAbortReachesLibrary)
{
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\s.lzh");
    std::vector<LONG> states;
    TArchiveFile* sender = nullptr;
    f.SetOnProgress([&](TArchiveFile* s, LONG state, LPEXTRACTINGINFOEX eis, bool& abort) {
        sender = s;
        EXPECT_FALSE(abort);
        EXPECT_NE(eis, nullptr);
        states.push_back(state);
        abort = state == 2;
    });
    fakearc::script("unlha32", "progress", "1,2,3");
    EXPECT_EQ(f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"}), 1);

    EXPECT_EQ(sender, &f);
    EXPECT_EQ(states, (std::vector<LONG>{1, 2}));
    EXPECT_NE(TArchiveFile::ArcExtractMessageId(), 0u);
    ASSERT_NE(f.ProgressWindow(), nullptr);
    EXPECT_EQ(fakearc::sequence(),
              (std::vector<std::string>{"unlha32:UnlhaSetOwnerWindowEx", "unlha32:Unlha", "unlha32:progress",
                                        "unlha32:progress", "unlha32:UnlhaKillOwnerWindowEx"}));
    const auto answers = fakearc::callsOf("progress");
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0][3], "0");
    EXPECT_EQ(answers[1][3], "1");
    EXPECT_FALSE(f.Archiver()->HasOwnerWindow());

    // The window stays for the next extraction.
    HWND window = f.ProgressWindow();
    f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"});
    EXPECT_EQ(f.ProgressWindow(), window);
}

TEST(ArchiveFile, NoHandlerNoWindowNoRegisteredMessage)
{
    FakeLibraries libs("all");
    const UINT before = TArchiveFile::ArcExtractMessageId();
    TArchiveFile f;
    f.SetFileName("C:\\s.lzh");
    fakearc::script("unlha32", "progress", "1,2");
    EXPECT_EQ(f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"}), 0);
    EXPECT_EQ(f.ProgressWindow(), nullptr);
    if (before == 0) {  // process-wide: only meaningful in a fresh process
        EXPECT_EQ(TArchiveFile::ArcExtractMessageId(), 0u);
    }
    EXPECT_FALSE(logHas("UnlhaSetOwnerWindowEx"));
    EXPECT_FALSE(logHas("UnlhaKillOwnerWindowEx"));
    EXPECT_FALSE(logHas("progress"));
}

TEST(ArchiveFile, HandlerExceptionStopsTheLibraryAndReachesTheCaller)
{
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\s.lzh");
    int calls = 0;
    f.SetOnProgress([&](TArchiveFile*, LONG, LPEXTRACTINGINFOEX, bool&) {
        ++calls;
        throw std::runtime_error("handler failed");
    });
    fakearc::script("unlha32", "progress", "1,2");
    EXPECT_THROW(f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"}), std::runtime_error);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(fakearc::callsOf("progress").at(0).at(3), "1");
    EXPECT_TRUE(logHas("UnlhaKillOwnerWindowEx"));
    EXPECT_FALSE(f.LastCommandLine().empty());

    // The next extraction is unaffected.
    f.SetOnProgress(nullptr);
    EXPECT_EQ(f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"}), 0);
}

TEST(ArchiveFile, TypeChangeInsideProgressKeepsTheRunningWrapperAlive)
{
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\s.lzh");
    TArchiver* running = f.Archiver();
    f.SetOnProgress([&](TArchiveFile* s, LONG, LPEXTRACTINGINFOEX, bool&) { s->SetFileName("C:\\t.zip"); });
    fakearc::script("unlha32", "progress", "1");
    EXPECT_EQ(f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"}), 0);
    EXPECT_EQ(f.ArchiverType(), atZip);
    EXPECT_NE(f.Archiver(), running);
    EXPECT_NE(f.LastCommandLine().find("C:\\s.lzh"), std::string::npos);
    EXPECT_TRUE(logHas("UnlhaKillOwnerWindowEx"));
}

TEST(ArchiveFile, HandlerClearingItselfStillReleasesTheWindow)
{
    FakeLibraries libs("all");
    TArchiveFile f;
    f.SetFileName("C:\\s.lzh");
    int calls = 0;
    f.SetOnProgress([&calls](TArchiveFile* s, LONG, LPEXTRACTINGINFOEX, bool&) {
        ++calls;
        s->SetOnProgress(nullptr);
    });
    fakearc::script("unlha32", "progress", "1,2");
    EXPECT_EQ(f.Extract(nullptr, nullptr, "C:\\tmp", {"a.wav"}), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(logHas("UnlhaKillOwnerWindowEx"));
    EXPECT_FALSE(f.Archiver()->HasOwnerWindow());
}
