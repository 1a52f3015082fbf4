// The LZH reader on archives made by jlha (header levels 0 to 2, methods
// lh0/5/6/7) and on hand-made ones for Shift-JIS and UTF-8 names,
// self-extracting stubs and broken or hostile files.
#include <gtest/gtest.h>

#include <tuple>

#include "archivers/unlha32/lzh_reader.h"
#include "tests/archivers/support/archivetest.h"
#include "tests/archivers/support/lzhbuilder.h"

namespace {

using fixtures::LzhMember;
using fixtures::pattern;

LzhMember member(std::string name, std::string data, int level = 0)
{
    LzhMember m;
    m.rawName = std::move(name);
    m.data = std::move(data);
    m.level = level;
    return m;
}

using LzhReaderTest = fixtures::ArchiveFileTest;

// jlha: header level 0-2 before the method switch ("c2o6"); "z" stores.
class JlhaArchives : public LzhReaderTest, public ::testing::WithParamInterface<std::tuple<int, const char*>> {};

TEST_P(JlhaArchives, ListsFoldersAndExtractsEveryMember)
{
    REQUIRE_TOOL("jlha");
    REQUIRE_TOOL("sox");
    const auto [level, method] = GetParam();
    ASSERT_TRUE(fixtures::run("mkdir -p " + fixtures::quote(dir.file("src/snd"))));
    const std::string a = fixtures::makeWave(dir.file("src/a.wav"), 0.5, 440);
    const std::string b = fixtures::makeWave(dir.file("src/snd/b.wav"), 0.2, 880);
    ASSERT_FALSE(a.empty());
    const std::string switches =
        "c" + std::to_string(level) + (std::string(method) == "-lh0-" ? "z" : std::string("o") + method[3]);
    ASSERT_TRUE(
        fixtures::run("cd " + fixtures::quote(dir.file("src")) + " && jlha " + switches + " ../t.lzh snd a.wav"));

    arc::LzhReader reader;
    const arc::Result opened = reader.open(dir.file("t.lzh"));
    ASSERT_TRUE(opened.ok()) << opened.message;
    EXPECT_EQ(reader.archiveStart(), 0u);
    const auto& e = reader.entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name, "snd");
    EXPECT_EQ(e[0].type, arc::EntryType::Directory);
    EXPECT_TRUE(e[0].attributes & 0x10);
    EXPECT_EQ(e[1].name, "snd/b.wav");
    EXPECT_EQ(e[2].name, "a.wav");
    EXPECT_EQ(e[2].method, method);
    EXPECT_EQ(e[2].size, a.size());
    EXPECT_EQ(e[2].crcKind, arc::CrcKind::Crc16);
    EXPECT_EQ(e[2].crc, fixtures::lzhCrc16(a));
    EXPECT_GE(e[2].dosDateTime >> 25, 2020u - 1980u);  // made just now

    std::string out;
    ASSERT_TRUE(extract(reader, 2, out).ok());
    EXPECT_EQ(out, a);
    ASSERT_TRUE(extract(reader, 1, out).ok());
    EXPECT_EQ(out, b);
    EXPECT_TRUE(extract(reader, 0, out).ok());
}

INSTANTIATE_TEST_SUITE_P(LevelsAndMethods, JlhaArchives,
                         ::testing::Combine(::testing::Values(0, 1, 2),
                                            ::testing::Values("-lh0-", "-lh5-", "-lh6-", "-lh7-")));

TEST_F(LzhReaderTest, Lh4IsLh5WithASmallerWindow)
{
    // No installed tool writes -lh4-, but a -lh5- stream of a file under
    // 4 KiB only reaches back within -lh4-'s window: relabelled, it must
    // decode the same.
    REQUIRE_TOOL("jlha");
    std::string text;
    for (int i = 0; text.size() < 3500; ++i)
        text += "tidebell " + std::to_string(i * 7 % 13) + " sound ";
    fixtures::writeFile(dir.file("t.txt"), text);
    ASSERT_TRUE(fixtures::run("cd " + fixtures::quote(dir.path()) + " && jlha c0o5 t.lzh t.txt"));
    std::string bytes = fixtures::readFile(dir.file("t.lzh"));
    ASSERT_EQ(bytes.substr(2, 5), "-lh5-");
    bytes[5] = '4';
    fixtures::fixLevel0Checksum(bytes);
    arc::LzhReader reader;
    ASSERT_TRUE(reader.open(write(bytes, "lh4.lzh")).ok());
    ASSERT_EQ(reader.entries().size(), 1u);
    EXPECT_EQ(reader.entries()[0].method, "-lh4-");
    std::string out;
    const arc::Result r = extract(reader, 0, out);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_TRUE(out == text);
}

TEST_F(LzhReaderTest, JlhaDamagedDataGivesAnErrorNotAHang)
{
    REQUIRE_TOOL("jlha");
    REQUIRE_TOOL("sox");
    const std::string a = fixtures::makeWave(dir.file("a.wav"), 1.0, 300);
    ASSERT_TRUE(fixtures::run("cd " + fixtures::quote(dir.path()) + " && jlha c2o5 t.lzh a.wav"));
    std::string bytes = fixtures::readFile(dir.file("t.lzh"));
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
        bytes[i] = char(~bytes[i]);
    arc::LzhReader reader;
    ASSERT_TRUE(reader.open(write(bytes, "bad.lzh")).ok());
    std::string out;
    const arc::Result r = extract(reader, 0, out);
    EXPECT_FALSE(r.ok());
    EXPECT_LE(out.size(), a.size());
}

TEST_F(LzhReaderTest, ShiftJisAndUtf8NamesAtEveryLevel)
{
    // 表 and ソ end in 0x5C, the byte of "\": it must not split the name.
    LzhMember l0 = member("\x89\xb9\\\x95\x5c.wav", "zero");  // 音\表.wav
    LzhMember l1 = member("\x83\x5c.wav", "one", 1);          // ソ.wav
    l1.rawFolder = "\x83\x74\x83\x48\x83\x8b\x83\x5f\xff";    // フォルダ
    LzhMember l2 = member("\x89\xb9.wav", "two", 2);
    l2.rawFolder = "a\xff\x95\x5c\xff";  // a/表/
    LzhMember u8 = member("日本/é.wav", "three", 2);
    u8.osId = 'U';
    // A folder whose name holds 0x7C, the byte of "|" that marks Unix links.
    LzhMember folder = member("\x83\x7c\xff", "", 2);  // ポ/
    folder.directory = true;
    const std::string path = write(fixtures::buildLzh({l0, l1, l2, u8, folder}));
    arc::LzhReader reader;
    ASSERT_TRUE(reader.open(path).ok());
    const auto& e = reader.entries();
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[4].name, "ポ");
    EXPECT_EQ(e[4].type, arc::EntryType::Directory);
    EXPECT_EQ(e[0].name, "音/表.wav");
    EXPECT_EQ(e[1].name, "フォルダ/ソ.wav");
    EXPECT_EQ(e[2].name, "a/表/音.wav");
    EXPECT_EQ(e[3].name, "日本/é.wav");
    for (size_t i = 0; i < e.size(); ++i) {
        std::string out;
        ASSERT_TRUE(extract(reader, i, out).ok()) << i;
    }
}

// LArc's methods written as literals only: -lz5- has a flag byte (bit set:
// literal) before each eight items, -lzs- a 1 bit before each literal byte.
std::string lz5Literals(const std::string& data)
{
    std::string out;
    for (size_t i = 0; i < data.size(); i += 8)
        out += '\xff' + data.substr(i, 8);
    return out;
}
std::string lzsLiterals(const std::string& data)
{
    std::string out;
    unsigned acc = 0;
    int bits = 0;
    auto put = [&](unsigned value, int width) {
        for (int b = width - 1; b >= 0; --b) {
            acc = acc << 1 | ((value >> b) & 1);
            if (++bits == 8) {
                out += char(acc);
                acc = 0;
                bits = 0;
            }
        }
    };
    for (unsigned char c : data)
        put(0x100 | c, 9);
    if (bits)
        out += char(acc << (8 - bits));
    return out;
}

TEST_F(LzhReaderTest, LevelThreeHeadersAndLArcMethods)
{
    const std::string data = pattern(1001, 4);
    LzhMember l3 = member("\x89\xb9.wav", data, 3);  // 音.wav
    l3.rawFolder = "\x95\x5c\xff";                   // 表/
    LzhMember lz5 = member("lz5.wav", data);
    lz5.method = "-lz5-";
    lz5.packed = lz5Literals(data);
    LzhMember lzs = member("lzs.wav", data, 1);
    lzs.method = "-lzs-";
    lzs.packed = lzsLiterals(data);
    LzhMember pm0 = member("pm0.wav", data, 2);
    pm0.method = "-pm0-";
    LzhMember broken3 = member("x.wav", "x", 3);
    broken3.badHeaderCrc = true;
    arc::LzhReader reader;
    const arc::Result opened = reader.open(write(fixtures::buildLzh({l3, lz5, lzs, pm0})));
    ASSERT_TRUE(opened.ok()) << opened.message;
    const auto& e = reader.entries();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].name, "表/音.wav");
    for (size_t i = 0; i < e.size(); ++i) {
        std::string out;
        const arc::Result r = extract(reader, i, out);
        ASSERT_TRUE(r.ok()) << e[i].method << ": " << r.message;
        EXPECT_TRUE(out == data) << e[i].method;
    }
    EXPECT_EQ(reader.open(write(fixtures::buildLzh({l3, broken3}))).status, arc::Status::Corrupt);
}

TEST_F(LzhReaderTest, LevelTwoHeadersWithoutCrcOrWithAShortOrPaddedSize)
{
    // OS-9/68k writes no header CRC and states a size two bytes short of
    // where its chain of extended headers ends; other writers pad after the
    // chain. The member after each must still be found where it starts.
    const std::string data = pattern(700, 9);
    LzhMember os9 = member("os9.wav", data, 2);
    os9.osId = 'K';
    os9.headerCrc = false;
    os9.statedSizeDelta = -2;
    LzhMember padded = member("padded.wav", data, 2);
    padded.headerCrc = false;
    padded.statedSizeDelta = 1;  // one byte after the chain
    std::string paddedBytes = fixtures::lzhMember(padded);
    const size_t extEnd = paddedBytes.size() - data.size();
    paddedBytes.insert(extEnd, 1, '\0');
    const std::string archive = fixtures::lzhMember(os9) + paddedBytes +
                                fixtures::lzhMember(member("after.wav", "last", 2)) + std::string(1, '\0');
    arc::LzhReader reader;
    const arc::Result opened = reader.open(write(archive));
    ASSERT_TRUE(opened.ok()) << opened.message;
    ASSERT_EQ(reader.entries().size(), 3u);
    EXPECT_EQ(reader.entries()[0].name, "os9.wav");
    EXPECT_EQ(reader.entries()[1].name, "padded.wav");
    EXPECT_EQ(reader.entries()[2].name, "after.wav");
    for (size_t i = 0; i < 3; ++i) {
        std::string out;
        const arc::Result r = extract(reader, i, out);
        ASSERT_TRUE(r.ok()) << i << ": " << r.message;
        EXPECT_TRUE(out == (i == 2 ? std::string("last") : data)) << i;
    }
    // A chain that runs past the end of the file is still refused.
    const std::string os9Bytes = fixtures::lzhMember(os9);
    EXPECT_FALSE(reader.open(write(os9Bytes.substr(0, 30))).ok());
}

TEST_F(LzhReaderTest, UndecodableNameIsStillListed)
{
    const std::string path = write(fixtures::buildLzh({member("\x80\xa0\xfd.wav", "a"), member("ok.wav", "b", 1)}));
    arc::LzhReader reader;
    ASSERT_TRUE(reader.open(path).ok());
    ASSERT_EQ(reader.entries().size(), 2u);
    EXPECT_NE(reader.entries()[0].name.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(reader.entries()[1].name, "ok.wav");
}

TEST_F(LzhReaderTest, FindsTheArchiveAfterASelfExtractorStub)
{
    // The stub holds method-like text that is no valid header.
    std::string stub = "MZ" + pattern(30000, 5) + "-lh5-" + pattern(100, 6) + "\x1b\x00-lh0-xx" + pattern(200, 7);
    const std::string archive =
        fixtures::buildLzh({member("a.wav", "data of a"), member("b.wav", pattern(5000, 8), 2)});
    arc::LzhReader reader;
    ASSERT_TRUE(reader.open(write(stub + archive, "sfx.exe")).ok());
    EXPECT_EQ(reader.archiveStart(), stub.size());
    ASSERT_EQ(reader.entries().size(), 2u);
    std::string out;
    ASSERT_TRUE(extract(reader, 1, out).ok());
    EXPECT_EQ(out, pattern(5000, 8));

    // Beyond the 64 KiB a stub may take, the file is not an archive.
    const std::string farStub(arc::LzhReader::kMaxStubSize + 10, 'x');
    EXPECT_EQ(reader.open(write(farStub + archive, "far.exe")).status, arc::Status::NotArchive);
}

TEST_F(LzhReaderTest, BrokenFilesAreErrors)
{
    arc::LzhReader reader;
    EXPECT_EQ(reader.open(write("RIFF....WAVEfmt not an archive")).status, arc::Status::NotArchive);
    EXPECT_EQ(reader.open(write("")).status, arc::Status::NotArchive);
    EXPECT_EQ(reader.open(dir.file("missing.lzh")).status, arc::Status::ReadError);

    LzhMember badHeader = member("a.wav", "abc", 2);
    badHeader.badHeaderCrc = true;
    EXPECT_EQ(reader.open(write(fixtures::buildLzh({member("ok.wav", "x", 2), badHeader}))).status,
              arc::Status::Corrupt);

    std::string level0 = fixtures::buildLzh({member("ok.wav", "x"), member("a.wav", "abc")});
    level0[level0.size() - 10] ^= 0x40;  // in the second header: its checksum no longer fits
    EXPECT_EQ(reader.open(write(level0)).status, arc::Status::Corrupt);

    // Cut inside the data: listed, extraction fails.
    const std::string whole = fixtures::lzhMember(member("a.wav", pattern(1000, 3)));
    ASSERT_TRUE(reader.open(write(whole.substr(0, whole.size() - 10))).ok());
    std::string out;
    EXPECT_FALSE(extract(reader, 0, out).ok());

    LzhMember badCrc = member("a.wav", "some data");
    badCrc.badDataCrc = true;
    ASSERT_TRUE(reader.open(write(fixtures::buildLzh({badCrc}))).ok());
    EXPECT_EQ(extract(reader, 0, out).status, arc::Status::CrcError);
}

TEST_F(LzhReaderTest, SurvivesDamagedArchives)
{
    std::vector<LzhMember> members{member("a.wav", pattern(3000, 1)), member("b.wav", "bb", 1),
                                   member("c.wav", pattern(100, 2), 2), member("d.wav", "d", 3)};
    arc::LzhReader reader;
    survivesDamage(reader, fixtures::buildLzh(members), 400);
    if (fixtures::haveTool("jlha") && fixtures::haveTool("sox")) {
        fixtures::makeWave(dir.file("a.wav"), 0.3, 500);
        ASSERT_TRUE(fixtures::run("cd " + fixtures::quote(dir.path()) + " && jlha c2o6 j.lzh a.wav"));
        survivesDamage(reader, fixtures::readFile(dir.file("j.lzh")), 300);
    }
}

TEST_F(LzhReaderTest, HostileSizesAreNotTrusted)
{
    // Packed size 0xFFFFFFFF on a tiny file: listed, never read past the end.
    std::string huge = fixtures::lzhMember(member("a.wav", "tiny"));
    huge[7] = huge[8] = huge[9] = huge[10] = '\xff';
    fixtures::fixLevel0Checksum(huge);
    arc::LzhReader reader;
    ASSERT_TRUE(reader.open(write(huge)).ok());
    std::string out;
    EXPECT_FALSE(extract(reader, 0, out).ok());

    // An original size far beyond the stored bytes.
    LzhMember liar = member("b.wav", "abcd");
    liar.packed = "abcd";
    std::string bytes = fixtures::buildLzh({liar});
    bytes[11] = bytes[12] = bytes[13] = '\xff';
    fixtures::fixLevel0Checksum(bytes);
    ASSERT_TRUE(reader.open(write(bytes)).ok());
    EXPECT_FALSE(extract(reader, 0, out).ok());
    EXPECT_LE(out.size(), 4u);
}

TEST_F(LzhReaderTest, UnknownMethodAndSymlinksAreNotExtracted)
{
    LzhMember odd = member("a.wav", "abc");
    odd.method = "-lh9-";
    odd.packed = "abc";
    LzhMember link = member("l.wav|/etc/passwd", "", 2);
    link.directory = true;
    arc::LzhReader reader;
    ASSERT_TRUE(reader.open(write(fixtures::buildLzh({odd, link}))).ok());
    ASSERT_EQ(reader.entries().size(), 2u);
    std::string out;
    EXPECT_EQ(extract(reader, 0, out).status, arc::Status::Unsupported);
    EXPECT_EQ(reader.entries()[1].type, arc::EntryType::Symlink);
    EXPECT_EQ(reader.entries()[1].name, "l.wav");
    EXPECT_EQ(extract(reader, 1, out).status, arc::Status::Unsupported);
}

TEST_F(LzhReaderTest, SinkRefusalStops)
{
    arc::LzhReader reader;
    ASSERT_TRUE(reader.open(write(fixtures::buildLzh({member("a.wav", pattern(300000, 1))}))).ok());
    fixtures::MemorySink sink;
    sink.m_limit = 1000;
    EXPECT_EQ(reader.extract(0, sink).status, arc::Status::Aborted);
}

}  // namespace
