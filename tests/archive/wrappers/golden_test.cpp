// Every call each wrapper makes into its libraries, for every operation and
// a spread of option sets, compared with a recorded transcript under golden/.
// The transcript holds the exact command lines, so any change to how a
// wrapper renders or sends them shows up here as a diff.
//
// After a deliberate change, rewrite the transcripts with
//   TIDEBELL_WRITE_GOLDEN=1 ctest --test-dir build -R GoldenCommandLines
// and review the diff.
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>

#include "tests/archive/wrappers/wrapper_fixture.h"

using namespace archives;

namespace {

using Factory = std::function<std::unique_ptr<TArchiver>()>;
using NumberOption = std::int8_t TArchiverOptions::*;

const NumberOption kNumberOptions[] = {
    &TArchiverOptions::a,   &TArchiverOptions::c,   &TArchiverOptions::e,   &TArchiverOptions::f,
    &TArchiverOptions::h,   &TArchiverOptions::i,   &TArchiverOptions::l,   &TArchiverOptions::m,
    &TArchiverOptions::n,   &TArchiverOptions::o,   &TArchiverOptions::p,   &TArchiverOptions::r,
    &TArchiverOptions::s,   &TArchiverOptions::t,   &TArchiverOptions::u,   &TArchiverOptions::x,
    &TArchiverOptions::y,   &TArchiverOptions::z,   &TArchiverOptions::jc,  &TArchiverOptions::jd,
    &TArchiverOptions::je,  &TArchiverOptions::jf,  &TArchiverOptions::jh,  &TArchiverOptions::ji,
    &TArchiverOptions::jm,  &TArchiverOptions::jn,  &TArchiverOptions::jp,  &TArchiverOptions::jr,
    &TArchiverOptions::jsb, &TArchiverOptions::jsc, &TArchiverOptions::jsd, &TArchiverOptions::jse,
    &TArchiverOptions::jsf, &TArchiverOptions::jsl, &TArchiverOptions::jso, &TArchiverOptions::jss,
    &TArchiverOptions::jst, &TArchiverOptions::jsv, &TArchiverOptions::jsz, &TArchiverOptions::jw,
    &TArchiverOptions::jyc, &TArchiverOptions::jyd, &TArchiverOptions::jyk, &TArchiverOptions::jyn,
    &TArchiverOptions::jyo, &TArchiverOptions::ga,  &TArchiverOptions::gd,  &TArchiverOptions::ge,
    &TArchiverOptions::gf,  &TArchiverOptions::gj,  &TArchiverOptions::gm,  &TArchiverOptions::gn,
    &TArchiverOptions::go,  &TArchiverOptions::gp,  &TArchiverOptions::gs,  &TArchiverOptions::gu,
    &TArchiverOptions::gw};

void setNumbers(TArchiverOptions& o, int value)
{
    for (NumberOption option : kNumberOptions)
        o.*option = std::int8_t(value);
}

void setTexts(TArchiverOptions& o, bool empty)
{
    o.w = empty ? "" : R"(C:\wdir)";
    o.jo = empty ? "" : "o";
    o.job = empty ? "" : "b";
    o.jz = empty ? "" : "z";
    o.gr = empty ? "" : "r";
}

class GoldenCommandLines : public WrapperTest {
protected:
    struct OptionSet {
        const char* name;
        std::function<void(TArchiverOptions&, const GoldenCommandLines&)> apply;
    };

    void SetUp() override
    {
        WrapperTest::SetUp();
        writeFile("s.arc", "ARCHIVE");
        writeFile("sfx16.dat", "STUB16");
        writeFile("sfx32gui.dat", "STUB32");
        writeFile("kmtarsef.exe", "TARSTUB");
        std::filesystem::create_directory(m_temp / "out");
    }

    static std::vector<OptionSet> optionSets()
    {
        return {
            {"defaults", [](TArchiverOptions&, const GoldenCommandLines&) {}},
            {"c1-n1-x0",
             [](TArchiverOptions& o, const GoldenCommandLines&) {
                 o.c = 1;
                 o.n = 1;
                 o.x = 0;
             }},
            {"all-1",
             [](TArchiverOptions& o, const GoldenCommandLines&) {
                 setNumbers(o, 1);
                 setTexts(o, false);
                 o.jx = {"x1", R"(x\2)"};
                 o.UserOptions = "-U";
                 o.UserFileList = "more.wav";
             }},
            {"all-0-empty-texts",
             [](TArchiverOptions& o, const GoldenCommandLines&) {
                 setNumbers(o, 0);
                 setTexts(o, true);
             }},
            {"all-2", [](TArchiverOptions& o, const GoldenCommandLines&) { setNumbers(o, 2); }},
            {"a0-p1-x1-jm9",
             [](TArchiverOptions& o, const GoldenCommandLines&) {
                 o.a = 0;
                 o.p = 1;
                 o.x = 1;
                 o.jm = 9;
                 o.c = 0;
             }},
            {"resfile-every-use",
             [](TArchiverOptions& o, const GoldenCommandLines& t) {
                 o.ResFileName = t.winPath("list.txt");
                 o.ResFileUsage = TResFileUsage{ruOnPack, ruOnUnpack, ruOnRemoveItem, ruOnUpdate};
             }},
            {"resfile-no-use",
             [](TArchiverOptions& o, const GoldenCommandLines& t) {
                 o.ResFileName = t.winPath("list.txt");
                 o.ResFileUsage = TResFileUsage{};
             }},
        };
    }

    // The text with the program's path and the temporary and the fake
    // libraries' folders (in either spelling) made the same on every machine.
    std::string stable(std::string text) const
    {
        const std::string fakes = std::string(FAKELIBS_DIR) + "/";
        // A lookup in a library that is not loaded names the program itself.
        char program[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, program, sizeof program);
        const std::pair<std::string, std::string> folders[] = {{program, "%PROGRAM%"},
                                                               {winPath(""), "%TEMP%\\"},
                                                               {m_temp.string() + "/", "%TEMP%\\"},
                                                               {platform::toWindowsPath(fakes), "%FAKELIBS%\\"},
                                                               {fakes, "%FAKELIBS%\\"}};
        for (const auto& [folder, name] : folders) {
            for (auto at = text.find(folder); at != std::string::npos; at = text.find(folder, at))
                text.replace(at, folder.size(), name);
        }
        return text;
    }

    // Runs one step and notes its calls, the command line it leaves, the
    // response file it wrote and its result or refusal.
    void step(const std::string& title, TArchiver* archiver, const std::function<int()>& run)
    {
        FakeArc_Reset();
        std::filesystem::remove(m_temp / "list.txt");
        std::string outcome;
        try {
            outcome = "result " + std::to_string(run());
        } catch (const std::exception& e) {
            outcome = std::string("throws ") + e.what();
        }
        m_record += "## " + title + "\n";
        std::string log = FakeArc_Log();
        for (char& ch : log)
            if (ch == '\t')
                ch = '|';
        m_record += log;
        if (archiver)
            m_record += "CommandLine [" + archiver->GetCommandLine() + "]\n";
        if (exists("list.txt"))
            m_record += "list.txt [" + readFile("list.txt") + "]\n";
        m_record += outcome + "\n";
    }

    void commandOperations(TArchiver& w, const std::string& name, const std::string& suffix)
    {
        const FileList files{std::string("a.wav"), std::string(R"(sub\b[1].wav)")};
        const std::string arc = R"(C:\arc\s.arc)";
        const std::string dir = R"(C:\TEMP)";
        for (const OptionSet& set : optionSets()) {
            TArchiverOptions o;
            set.apply(o, *this);
            const std::string tag = std::string(" [") + set.name + "]" + suffix;
            for (bool flag : {false, true}) {
                const std::string f = flag ? " flag" : "";
                step(name + " Extract" + f + tag, &w,
                     [&] { return w.Extract(kWindow, arc, o, dir, files, flag, m_output); });
                step(name + " Pack" + f + tag, &w, [&] { return w.Pack(kWindow, arc, o, dir, files, flag, m_output); });
                step(name + " RemoveItems" + f + tag, &w,
                     [&] { return w.RemoveItems(kWindow, arc, o, dir, files, flag, m_output); });
                step(name + " Update" + f + tag, &w,
                     [&] { return w.Update(kWindow, arc, o, dir, files, flag, m_output); });
            }
            step(name + " MakeSFX" + tag, &w,
                 [&] { return w.MakeSFX(kWindow, winPath("s.arc"), o, winPath("out"), m_output); });
            step(name + " ExtractMem" + tag, &w, [&] {
                unsigned char buffer[8];
                DWORD written = 0;
                return w.ExtractMem(kWindow, arc, o, R"(sub\a.wav)", buffer, sizeof buffer, &written);
            });
        }
    }

    // Every operation of one wrapper, without and with an owner window.
    void record(const std::string& name, const Factory& make)
    {
        std::unique_ptr<TArchiver> w;
        step(name + " construct", nullptr, [&] {
            w = make();
            return 0;
        });
        ASSERT_TRUE(w);
        commandOperations(*w, name, "");
        step(name + " SetOwnerWindow", w.get(), [&] { return int(w->SetOwnerWindow(kWindow, nullptr)); });
        commandOperations(*w, name, " owner");
        step(name + " KillOwnerWindow", w.get(), [&] { return int(w->KillOwnerWindow(kWindow)); });
        EntryRecord entry;
        ArchiveHandle handle = 0;
        step(name + " OpenArchive", w.get(), [&] {
            handle = w->OpenArchive(kWindow, R"(C:\arc\s.arc)", 0);
            return int(handle);
        });
        step(name + " FindFirst", w.get(), [&] { return w->FindFirst(handle, entry, "*.wav"); });
        step(name + " FindNext", w.get(), [&] { return w->FindNext(handle, entry); });
        step(name + " CloseArchive", w.get(), [&] { return w->CloseArchive(handle); });
        step(name + " CheckArchive", w.get(), [&] { return w->CheckArchive(R"(C:\arc\s.arc)", 1, 2); });
        step(name + " LoadPackDLL", w.get(), [&] {
            w->LoadPackDLL();
            return 0;
        });
    }

    void probe(const std::string& name, bool (*check)(const std::string&))
    {
        step(name + " probe existing", nullptr, [&] { return int(check(winPath("s.arc"))); });
        step(name + " probe missing", nullptr, [&] { return int(check(winPath("missing.arc"))); });
    }

    // A wrapper, then its probe on an existing and a missing file, then both
    // again with the library answering 0 to scriptKey.
    void recordWithProbe(const std::string& name, const Factory& make, const std::string& probeName,
                         bool (*check)(const std::string&), const std::string& library, const std::string& scriptKey)
    {
        record(name, make);
        probe(probeName, check);
        fakearc::script(library, scriptKey, "0");
        probe(probeName + " with " + scriptKey + " 0", check);
    }

    // Compares the record with golden/<file>, or rewrites it on request.
    void compareWith(const std::string& file)
    {
        const std::string text = stable(m_record);
        const std::string path = std::string(TIDEBELL_GOLDEN_DIR) + "/" + file;
        if (std::getenv("TIDEBELL_WRITE_GOLDEN")) {
            std::ofstream(path, std::ios::binary) << text;
            return;
        }
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << path;
        const std::string golden(std::istreambuf_iterator<char>(in), {});
        // Line by line, so that a failure names the first step that differs.
        std::istringstream want(golden), got(text);
        std::string wantLine, gotLine, title;
        int line = 0;
        for (;;) {
            const bool moreWant = bool(std::getline(want, wantLine));
            const bool moreGot = bool(std::getline(got, gotLine));
            ++line;
            if (!moreWant && !moreGot)
                break;
            if (gotLine.rfind("## ", 0) == 0)
                title = gotLine;
            ASSERT_EQ(moreWant ? wantLine : "<end>", moreGot ? gotLine : "<end>")
                << file << ":" << line << " in " << title;
        }
    }

    std::string m_record;
};

template <class Wrapper> Factory make()
{
    return [] { return std::make_unique<Wrapper>(); };
}

TEST_F(GoldenCommandLines, Lha32)
{
    recordWithProbe("TLha32", make<TLha32>(), "CheckLhaArchive", CheckLhaArchive, "unlha32", "check");
    compareWith("lha32.txt");
}

TEST_F(GoldenCommandLines, Arj32)
{
    TLha32::LoadDLL();  // its owner-window half runs through UNLHA32.DLL
    recordWithProbe("TArj32", make<TArj32>(), "CheckArjArchive", CheckArjArchive, "unarj32j", "open");
    compareWith("arj32.txt");
}

TEST_F(GoldenCommandLines, Arj32WithoutLha)
{
    useScenario("arj-only");
    record("TArj32", make<TArj32>());
    compareWith("arj32-arj-only.txt");
}

TEST_F(GoldenCommandLines, Zip32)
{
    recordWithProbe("TZip32", make<TZip32>(), "CheckZipArchive", CheckZipArchive, "lmzip32", "open");
    compareWith("zip32.txt");
}

TEST_F(GoldenCommandLines, Zip32OnlyUnzip32)
{
    useScenario("zip-only-unzip32");
    recordWithProbe("TZip32", make<TZip32>(), "CheckZipArchive", CheckZipArchive, "unzip32", "open");
    compareWith("zip32-only-unzip32.txt");
}

TEST_F(GoldenCommandLines, Zip32OnlyLmzip32)
{
    useScenario("zip-only-lmzip32");
    recordWithProbe("TZip32", make<TZip32>(), "CheckZipArchive", CheckZipArchive, "lmzip32", "open");
    compareWith("zip32-only-lmzip32.txt");
}

TEST_F(GoldenCommandLines, Zip32Unzip32AndLmzip32)
{
    useScenario("zip-unzip32-lmzip32");
    record("TZip32", make<TZip32>());
    compareWith("zip32-unzip32-lmzip32.txt");
}

TEST_F(GoldenCommandLines, Cab32)
{
    recordWithProbe("TCab32", make<TCab32>(), "CheckCabArchive", CheckCabArchive, "cab32", "open");
    compareWith("cab32.txt");
}

TEST_F(GoldenCommandLines, TarFamily)
{
    record("TTar32", make<TTar32>());
    record("TTgz32", make<TTgz32>());
    record("TBZ232", make<TBZ232>());
    for (int type : {0, 1, 3, 6, 8}) {
        fakearc::script("tar32", "archivetype", std::to_string(type));
        step("GetTarArchiveKind type " + std::to_string(type), nullptr,
             [] { return int(GetTarArchiveKind(R"(rel\s.tgz)")); });
    }
    compareWith("tar32.txt");
}

TEST_F(GoldenCommandLines, Rar32)
{
    recordWithProbe("TRar32", make<TRar32>(), "CheckRarArchive", CheckRarArchive, "unrar32", "open");
    compareWith("rar32.txt");
}

TEST_F(GoldenCommandLines, Bga32)
{
    recordWithProbe("TBGA32", make<TBGA32>(), "CheckBgaArchive", CheckBgaArchive, "bga32", "open");
    compareWith("bga32.txt");
}

TEST_F(GoldenCommandLines, MissingLibraries)
{
    useScenario("none");
    for (auto [name, factory] : std::vector<std::pair<std::string, Factory>>{{"TLha32", make<TLha32>()},
                                                                             {"TArj32", make<TArj32>()},
                                                                             {"TZip32", make<TZip32>()},
                                                                             {"TCab32", make<TCab32>()},
                                                                             {"TTar32", make<TTar32>()},
                                                                             {"TTgz32", make<TTgz32>()},
                                                                             {"TBZ232", make<TBZ232>()},
                                                                             {"TRar32", make<TRar32>()},
                                                                             {"TBGA32", make<TBGA32>()}})
        step(name + " construct", nullptr, [&] { return factory() ? 0 : 1; });
    probe("CheckLhaArchive", CheckLhaArchive);
    probe("CheckArjArchive", CheckArjArchive);
    probe("CheckZipArchive", CheckZipArchive);
    probe("CheckCabArchive", CheckCabArchive);
    probe("CheckRarArchive", CheckRarArchive);
    probe("CheckBgaArchive", CheckBgaArchive);
    step("GetTarArchiveKind", nullptr, [] { return int(GetTarArchiveKind(R"(C:\s.tar)")); });
    compareWith("missing.txt");
}

}  // namespace
