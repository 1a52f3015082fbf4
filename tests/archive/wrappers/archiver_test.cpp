// The base class's answers, the refusals of every wrapper for what its
// format does not offer, and JoinPath.
#include "archive/joinpath.h"
#include "archive/wrappers/bga32.h"
#include "archive/wrappers/cab32.h"
#include "archive/wrappers/rar32.h"
#include "archive/wrappers/tar32.h"
#include "tests/archive/wrappers/wrapper_fixture.h"

using namespace archives;

namespace {

// A wrapper that offers nothing but the one operation every wrapper must have.
class Minimal : public TArchiver {
public:
    int Extract(HWND, const std::string&, const TArchiverOptions&, const std::string&, const FileList&, bool,
                std::string&) override
    {
        CommandLine = "extract";
        return 0;
    }
};

const std::string kPack = "この形式では書庫ファイルの作成をサポートしておりません。";
const std::string kRemove = "この形式の書庫ではファイルの削除をサポートしておりません。";
const std::string kUpdate = "この形式の書庫では書庫の更新をサポートしておりません。";
const std::string kSfx = "この形式では自己解凍書庫の作成をサポートしておりません。";
const std::string kMem = "この形式ではメモリへの展開をサポートしておりません。";
const std::string kCheck = "この形式では書庫チェック機能をサポートしておりません。";

class ArchiverTest : public WrapperTest {
protected:
    // Each operation's refusal message, "" where the operation ran.
    struct Refusals {
        std::string pack, remove, update, sfx, mem, check;
    };
    Refusals refusalsOf(TArchiver& a)
    {
        TArchiverOptions o;
        const FileList files{std::string("a.wav")};
        unsigned char buffer[4];
        DWORD written = 0;
        const std::string arc = R"(C:\s)";
        return {messageOf([&] { a.Pack(nullptr, arc, o, "", files, false, m_output); }),
                messageOf([&] { a.RemoveItems(nullptr, arc, o, "", files, false, m_output); }),
                messageOf([&] { a.Update(nullptr, arc, o, "", files, false, m_output); }),
                messageOf([&] { a.MakeSFX(nullptr, arc, o, "", m_output); }),
                messageOf([&] { a.ExtractMem(nullptr, arc, o, "a.wav", buffer, 4, &written); }),
                messageOf([&] { a.CheckArchive(arc, 0, 0); })};
    }
};

TEST_F(ArchiverTest, BaseAnswersListNothingAndRefusesTheRest)
{
    Minimal m;
    EntryRecord record;
    EXPECT_EQ(m.OpenArchive(nullptr, "x", 0), 0u);
    EXPECT_EQ(m.FindFirst(0, record, "*.wav"), -1);
    EXPECT_EQ(m.FindNext(0, record), -1);
    EXPECT_EQ(m.CloseArchive(0), 0);
    m.Extract(nullptr, "", TArchiverOptions(), "", {}, false, m_output);

    Refusals r = refusalsOf(m);
    EXPECT_EQ(r.pack, kPack);
    EXPECT_EQ(r.remove, kRemove);
    EXPECT_EQ(r.update, kUpdate);
    EXPECT_EQ(r.sfx, kSfx);
    EXPECT_EQ(r.mem, kMem);
    EXPECT_EQ(r.check, kCheck);
    EXPECT_EQ(m.GetCommandLine(), "extract");

    EXPECT_EQ(messageOf([] { TArchiver::LoadDLL(); }), "Abstract method 'TArchiver.LoadDLL' was called");
    EXPECT_EQ(messageOf([] { TArchiver::FreeDLL(); }), "Abstract method 'TArchiver.FreeDLL' was called");
    EXPECT_EQ(messageOf([&] { m.LoadPackDLL(); }), "Abstract method 'TArchiver.LoadDLL' was called");

    EXPECT_FALSE(m.SetOwnerWindow(kWindow, nullptr));
    EXPECT_TRUE(m.HasOwnerWindow());
    EXPECT_FALSE(m.KillOwnerWindow(kWindow));
    EXPECT_FALSE(m.HasOwnerWindow());
}

TEST_F(ArchiverTest, EachWrapperRefusesWhatItsFormatLacks)
{
    TRar32 rar;
    TCab32 cab;
    TBGA32 bga;
    TTar32 tar;
    struct Case {
        TArchiver* wrapper;
        Refusals expected;  // "" = offered
    };
    const std::vector<Case> cases{
        {&rar, {kPack, kRemove, kUpdate, kSfx, "", ""}},
        {&cab, {"", kRemove, kUpdate, "", "", ""}},
        {&bga, {"", "", kUpdate, "", kMem, ""}},
        {&tar, {"", kRemove, kUpdate, "", "", ""}},
    };
    for (const Case& c : cases) {
        Refusals r = refusalsOf(*c.wrapper);
        // An offered operation may fail otherwise (tar's missing stub); only
        // refusal texts are compared.
        auto same = [](const std::string& expected, const std::string& got) {
            return expected.empty() ? got.find("サポートしておりません") == std::string::npos : expected == got;
        };
        EXPECT_TRUE(same(c.expected.pack, r.pack)) << r.pack;
        EXPECT_TRUE(same(c.expected.remove, r.remove)) << r.remove;
        EXPECT_TRUE(same(c.expected.update, r.update)) << r.update;
        EXPECT_TRUE(same(c.expected.sfx, r.sfx)) << r.sfx;
        EXPECT_TRUE(same(c.expected.mem, r.mem)) << r.mem;
        EXPECT_TRUE(same(c.expected.check, r.check)) << r.check;
    }
}

TEST_F(ArchiverTest, RefusedOperationSendsNothingAndKeepsTheCommandLine)
{
    TRar32 rar;
    rar.Extract(nullptr, R"(C:\s.rar)", TArchiverOptions(), "", {std::string("a.wav")}, false, m_output);
    const std::string line = rar.GetCommandLine();
    FakeArc_Reset();
    TArchiverOptions o;
    o.ResFileName = winPath("list.txt");
    const FileList files{std::string("a.wav")};
    const std::string arc = R"(C:\s.rar)";
    EXPECT_EQ(messageOf([&] { rar.Pack(nullptr, arc, o, "", files, true, m_output); }), kPack);
    EXPECT_EQ(messageOf([&] { rar.RemoveItems(nullptr, arc, o, "", files, true, m_output); }), kRemove);
    EXPECT_EQ(messageOf([&] { rar.Update(nullptr, arc, o, "", files, true, m_output); }), kUpdate);
    EXPECT_EQ(messageOf([&] { rar.MakeSFX(nullptr, arc, o, "", m_output); }), kSfx);
    EXPECT_TRUE(fakearc::calls().empty());
    EXPECT_FALSE(exists("list.txt"));
    EXPECT_EQ(rar.GetCommandLine(), line);
}

TEST(JoinPath, AddsExactlyOneSeparator)
{
    EXPECT_EQ(JoinPath(R"(C:\tmp)", "a.exe"), R"(C:\tmp\a.exe)");
    EXPECT_EQ(JoinPath(R"(C:\tmp\)", "a.exe"), R"(C:\tmp\a.exe)");
    EXPECT_EQ(JoinPath("", "a.exe"), "a.exe");
    EXPECT_EQ(JoinPath(R"(C:\音\表)", "a.exe"), R"(C:\音\表\a.exe)");
}

TEST(JoinPath, DoubleByteTrailBackslashIsNoSeparator)
{
    // 表 in Shift-JIS is 0x95 0x5C: its second byte has the code of "\".
    if (!IsDBCSLeadByteEx(932, 0x95))
        GTEST_SKIP() << "code page 932 not known to the platform";
    const std::string folder = "C:\\\x95\x5C";
    EXPECT_EQ(JoinPath(folder, "a.exe", 932), folder + "\\a.exe");
    EXPECT_EQ(JoinPath(folder + "\\", "a.exe", 932), folder + "\\a.exe");
}

}  // namespace
