// The RAR reader on hand-made RAR 4 archives: listing, names in every form
// RAR stores them, extraction through libunarr, and broken or hostile files.
#include <gtest/gtest.h>

#include "archivers/common/checkedsink.h"
#include "archivers/unrar32/rar_name.h"
#include "archivers/unrar32/rar_reader.h"
#include "tests/archivers/support/archivetest.h"
#include "tests/archivers/support/rarbuilder.h"

namespace {

using fixtures::pattern;
using fixtures::RarMember;

using RarReaderTest = fixtures::ArchiveFileTest;

TEST_F(RarReaderTest, ListsAndExtractsStoredMembers)
{
    const std::string a = pattern(100000, 1), b = pattern(3, 2);
    RarMember folder{"snd", {}};
    folder.directory = true;
    const std::string path = write(fixtures::buildRar({{"a.wav", a}, folder, {"snd\\b.wav", b}, {"empty.wav", {}}}));
    arc::RarReader reader;
    ASSERT_TRUE(reader.open(path).ok());
    const auto& e = reader.entries();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].name, "a.wav");
    EXPECT_EQ(e[0].size, a.size());
    EXPECT_EQ(e[0].crcKind, arc::CrcKind::Crc32);
    EXPECT_EQ(e[0].crc, fixtures::crc32Of(a));
    EXPECT_EQ(e[0].method, "-m0-");
    EXPECT_EQ(e[0].dosDateTime >> 16, uint32_t((2026 - 1980) << 9 | 12 << 5 | 8));
    EXPECT_EQ(e[1].name, "snd");
    EXPECT_EQ(e[1].type, arc::EntryType::Directory);
    EXPECT_TRUE(e[1].attributes & 0x10);
    EXPECT_EQ(e[2].name, "snd/b.wav");
    EXPECT_FALSE(reader.isSolid());

    std::string out;
    ASSERT_TRUE(extract(reader, 2, out).ok());
    EXPECT_EQ(out, b);
    ASSERT_TRUE(extract(reader, 0, out).ok());  // out of order: each by its own offset
    EXPECT_EQ(out, a);
    ASSERT_TRUE(extract(reader, 3, out).ok());
    EXPECT_EQ(out, "");
    EXPECT_TRUE(extract(reader, 1, out).ok());
}

RarMember compressed(std::string name, const std::string& data, bool withTables = true)
{
    RarMember m{std::move(name), data};
    m.method = 0x33;
    m.packed = fixtures::rar29Literals(data, withTables);
    return m;
}

TEST_F(RarReaderTest, SolidArchiveExtractsLaterMembers)
{
    const std::string a = pattern(5000, 3), b = pattern(7000, 4), c = pattern(10, 5);
    arc::RarReader reader;
    std::string out;
    // Stored members, and compressed ones where only the first carries the
    // code tables: the later ones decode only after the earlier ones.
    for (const auto& members : {std::vector<RarMember>{{"a.wav", a}, {"b.wav", b}, {"c.wav", c}},
                                std::vector<RarMember>{compressed("a.wav", a), compressed("b.wav", b, false),
                                                       compressed("c.wav", c, false)}}) {
        ASSERT_TRUE(reader.open(write(fixtures::buildRar(members, {true, true}))).ok());
        EXPECT_TRUE(reader.isSolid());
        ASSERT_TRUE(extract(reader, 2, out).ok()) << members[2].method;
        EXPECT_TRUE(out == c);
        ASSERT_TRUE(extract(reader, 1, out).ok());
        EXPECT_TRUE(out == b);
        ASSERT_TRUE(extract(reader, 0, out).ok());
        EXPECT_TRUE(out == a);
    }
}

TEST_F(RarReaderTest, CompressedMembersDecodeAndAreChecked)
{
    const std::string a = pattern(20000, 6), b = "short";
    RarMember bad = compressed("bad.wav", b);
    bad.badDataCrc = true;
    arc::RarReader reader;
    ASSERT_TRUE(reader.open(write(fixtures::buildRar({compressed("a.wav", a), compressed("b.wav", b), bad}))).ok());
    EXPECT_EQ(reader.entries()[0].method, "-m3-");
    std::string out;
    ASSERT_TRUE(extract(reader, 1, out).ok());
    EXPECT_EQ(out, b);
    ASSERT_TRUE(extract(reader, 0, out).ok());
    EXPECT_TRUE(out == a);
    EXPECT_EQ(extract(reader, 2, out).status, arc::Status::CrcError);
}

TEST_F(RarReaderTest, NamesInEveryStoredForm)
{
    RarMember sjis{std::string("\x89\xb9\\\x95\x5c.wav"), "x"};  // 音\表.wav in Shift-JIS, 0x5C inside 表
    RarMember wide{std::string("?.wav\0", 6) + fixtures::rarUnicodeName(u"日本/音𝄞.wav"), "y", true};
    RarMember utf8{"フォルダ/é.wav", "z", true};
    RarMember unix{"u/\xc3\xa9.wav", "w"};
    unix.hostOs = 3;
    unix.attributes = 0100644;
    // The same bytes from Windows are half-width katakana in the OEM code page.
    RarMember kana{"\xc3\xa9.wav", "k"};
    const std::string path = write(fixtures::buildRar({sjis, wide, utf8, unix, kana}));
    arc::RarReader reader;
    ASSERT_TRUE(reader.open(path).ok());
    const auto& e = reader.entries();
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[4].name, "ﾃｩ.wav");
    EXPECT_EQ(e[0].name, "音/表.wav");
    EXPECT_EQ(e[1].name, "日本/音𝄞.wav");
    EXPECT_EQ(e[2].name, "フォルダ/é.wav");
    EXPECT_EQ(e[3].name, "u/é.wav");
    EXPECT_EQ(e[3].type, arc::EntryType::File);
    EXPECT_EQ(e[3].attributes, 0x20);
    std::string out;
    ASSERT_TRUE(extract(reader, 1, out).ok());
    EXPECT_EQ(out, "y");
}

TEST_F(RarReaderTest, UndecodableNameIsStillListed)
{
    const std::string path = write(fixtures::buildRar({{"\x80\xa0\xfd.wav", "a"}, {"ok.wav", "b"}}));
    arc::RarReader reader;
    ASSERT_TRUE(reader.open(path).ok());
    ASSERT_EQ(reader.entries().size(), 2u);
    EXPECT_NE(reader.entries()[0].name.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(reader.entries()[1].name, "ok.wav");
}

TEST_F(RarReaderTest, Rar5GoesThroughTheRar5Reader)
{
    const std::string a = pattern(70000, 12);
    RarMember folder{"音", {}};
    folder.directory = true;
    RarMember bad{"bad.wav", "damaged"};
    bad.badDataCrc = true;
    arc::RarReader reader;
    const arc::Result opened = reader.open(write(fixtures::buildRar5({folder, {"音/a.wav", a}, bad})));
    ASSERT_TRUE(opened.ok()) << opened.message;
    EXPECT_TRUE(reader.isRar5());
    const auto& e = reader.entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].type, arc::EntryType::Directory);
    EXPECT_EQ(e[1].name, "音/a.wav");
    EXPECT_EQ(e[1].size, a.size());
    std::string out;
    ASSERT_TRUE(extract(reader, 1, out).ok());
    EXPECT_TRUE(out == a);
    // The stored CRC is listed, so the common code's check catches the damage.
    EXPECT_EQ(e[1].crcKind, arc::CrcKind::Crc32);
    EXPECT_EQ(e[1].crc, fixtures::crc32Of(a));
    EXPECT_EQ(e[2].crc, fixtures::crc32Of("damaged") ^ 0xDEADBEEF);

    // Cut anywhere: an error, a shorter listing or short data, never a crash.
    const std::string whole = fixtures::buildRar5({{"a.wav", a}, {"b.wav", "bb"}});
    for (size_t cut : {size_t(9), size_t(20), size_t(60), whole.size() / 2, whole.size() - 3}) {
        if (!reader.open(write(whole.substr(0, cut), "cut.rar")).ok())
            continue;
        for (size_t i = 0; i < reader.entries().size(); ++i) {
            if (extract(reader, i, out).ok()) {
                EXPECT_EQ(out.size(), reader.entries()[i].size) << cut;
            }
        }
    }
}

TEST(RarUnicodeName, DecodesEachCode)
{
    // High byte 0x30; flags 01 11 00 10: code 1 (0x3042 あ), code 3 copying
    // two OEM bytes, code 0 (0x41), code 2 (a whole unit, 0x00E9).
    const std::string oem = "??bcA?";
    const std::string encoded("\x30\x72\x42\x00\x41\xe9\x00", 7);
    // Code 3's length byte 0 means 2 units, copied from OEM positions 1 and 2.
    EXPECT_EQ(arc::decodeRarUnicodeName(oem, encoded), "あ?bAé");
    // Code 3 with the high bit: OEM bytes plus a correction, in the high page.
    const std::string shifted("\x30\xC0\x80\x01", 4);  // 2 units: (0x3000 | 'a'+1), (0x3000 | 'b'+1)
    EXPECT_EQ(arc::decodeRarUnicodeName("ab", shifted), "\xe3\x81\xa2\xe3\x81\xa3");
    // Truncated input and an unpaired surrogate do not run past the end.
    EXPECT_EQ(arc::decodeRarUnicodeName("a", std::string("\x00\x80\x3d", 3)), "");
    EXPECT_EQ(arc::decodeRarUnicodeName("a", std::string("\x00\x80\x00\xd8", 4)), "\xEF\xBF\xBD");
    EXPECT_EQ(arc::decodeRarUnicodeName("", ""), "");
}

TEST_F(RarReaderTest, DamagedDataIsReportedNotExtracted)
{
    RarMember bad{"bad.wav", pattern(3000, 7)};
    bad.badDataCrc = true;
    const std::string path = write(fixtures::buildRar({{"good.wav", "fine"}, bad}));
    arc::RarReader reader;
    ASSERT_TRUE(reader.open(path).ok());
    std::string out;
    const arc::Result r = extract(reader, 1, out);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.status, arc::Status::CrcError) << r.message;
    ASSERT_TRUE(extract(reader, 0, out).ok());
    EXPECT_EQ(out, "fine");
}

TEST_F(RarReaderTest, BrokenHeadersAndFiles)
{
    arc::RarReader reader;
    RarMember badHeader{"a.wav", "abc"};
    badHeader.badHeaderCrc = true;
    EXPECT_EQ(reader.open(write(fixtures::buildRar({badHeader}))).status, arc::Status::Corrupt);

    EXPECT_EQ(reader.open(write("not a rar archive at all")).status, arc::Status::NotArchive);
    EXPECT_EQ(reader.open(write("")).status, arc::Status::NotArchive);
    EXPECT_EQ(reader.open(dir.file("missing.rar")).status, arc::Status::ReadError);

    // Cut inside the second header: the first member still lists, the archive is corrupt.
    const std::string whole = fixtures::buildRar({{"a.wav", "aaaa"}, {"b.wav", "bbbb"}});
    EXPECT_EQ(reader.open(write(whole.substr(0, 7 + 13 + 32 + 5 + 4 + 10))).status, arc::Status::Corrupt);

    // Cut inside the data: listed, but extracting it fails.
    const std::string big = pattern(10000, 9);
    const std::string cut = fixtures::buildRar({{"a.wav", big}}, {false, false});
    ASSERT_TRUE(reader.open(write(cut.substr(0, cut.size() - 100))).ok());
    ASSERT_EQ(reader.entries().size(), 1u);
    std::string out;
    EXPECT_FALSE(extract(reader, 0, out).ok());
}

TEST_F(RarReaderTest, SurvivesDamagedArchives)
{
    const std::vector<RarMember> members{{"a.wav", pattern(3000, 1)}, {"b.wav", "bb"}, {"c/d.wav", pattern(99, 2)}};
    arc::RarReader reader;
    survivesDamage(reader, fixtures::buildRar(members), 300);
    survivesDamage(reader, fixtures::buildRar(members, {true, true}), 200);
    survivesDamage(reader, fixtures::buildRar5(members), 300);
}

TEST_F(RarReaderTest, HostileSizesAndMembersAreRefused)
{
    // A declared size far beyond the stored bytes must not be trusted.
    RarMember liar{"a.wav", "abcd"};
    liar.declaredSize = 0xFFFFFFF0u;
    RarMember locked{"p.wav", "secret"};
    locked.encrypted = true;
    RarMember link{"l.wav", "/etc/passwd"};
    link.hostOs = 3;
    link.attributes = 0120777;
    RarMember packed{"m.wav", "data"};
    packed.method = 0x33;
    packed.packed = "\x01\x02\x03\x04";
    const std::string path = write(fixtures::buildRar({liar, locked, link, packed}));
    arc::RarReader reader;
    ASSERT_TRUE(reader.open(path).ok());
    ASSERT_EQ(reader.entries().size(), 4u);
    std::string out;
    EXPECT_FALSE(extract(reader, 0, out).ok());
    EXPECT_LE(out.size(), 4u);
    EXPECT_TRUE(reader.entries()[1].encrypted);
    EXPECT_EQ(extract(reader, 1, out).status, arc::Status::Unsupported);
    EXPECT_EQ(reader.entries()[2].type, arc::EntryType::Symlink);
    EXPECT_EQ(extract(reader, 2, out).status, arc::Status::Unsupported);
    EXPECT_FALSE(extract(reader, 3, out).ok());
}

TEST_F(RarReaderTest, SinkRefusalStops)
{
    const std::string path = write(fixtures::buildRar({{"a.wav", pattern(200000, 11)}}));
    arc::RarReader reader;
    ASSERT_TRUE(reader.open(path).ok());
    fixtures::MemorySink sink;
    sink.m_limit = 1000;
    EXPECT_EQ(reader.extract(0, sink).status, arc::Status::Aborted);
}

}  // namespace

TEST_F(RarReaderTest, Rar5LinkBeforeASameNamedFileAndNamesThatAreNotUtf8)
{
    RarMember link{"a.wav", {}};
    link.linkTarget = "/etc/passwd";
    link.hostOs = 3;
    const std::string bytes = pattern(3000, 5);
    arc::RarReader reader;
    const arc::Result opened = reader.open(
        write(fixtures::buildRar5({link, {"a.wav", bytes}, {"bad\xFF\xFE.wav", "odd name"}, {"z.wav", "z"}})));
    ASSERT_TRUE(opened.ok()) << opened.message;
    const auto& e = reader.entries();
    ASSERT_EQ(e.size(), 4u);
    auto checkedExtract = [](arc::Reader& r, size_t index, std::string& out) {
        fixtures::MemorySink sink;
        arc::CheckedSink checked(r.entries()[index], sink);
        const arc::Result result = checked.finish(r.extract(index, checked));
        out = sink.m_data;
        return result;
    };
    EXPECT_EQ(e[0].type, arc::EntryType::Symlink);
    // The file keeps its own CRC, not the link's.
    EXPECT_EQ(e[1].crc, fixtures::crc32Of(bytes));
    std::string out;
    EXPECT_TRUE(checkedExtract(reader, 1, out).ok());
    // Listed readably (bytes that are not UTF-8 read as Shift-JIS or U+FFFD), with its CRC.
    EXPECT_FALSE(e[2].name.empty());
    EXPECT_TRUE(e[2].name.starts_with("bad") && e[2].name.ends_with(".wav")) << e[2].name;
    EXPECT_EQ(e[2].crc, fixtures::crc32Of("odd name"));
    EXPECT_TRUE(checkedExtract(reader, 2, out).ok());
    EXPECT_EQ(out, "odd name");
    EXPECT_EQ(e[3].name, "z.wav");
    EXPECT_EQ(e[3].crc, fixtures::crc32Of("z"));
}
