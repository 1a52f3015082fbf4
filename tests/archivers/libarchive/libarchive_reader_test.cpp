// LibarchiveReader on real archives made by bsdtar, 7zz, gcab, gzip and
// bzip2, and on hand-written ZIP files for what those tools do not write.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "archivers/common/checkedsink.h"
#include "archivers/libarchive/libarchive_reader.h"
#include "archivers/libarchive/lzma_dictionary.h"
#include "tests/archivers/support/fixtures.h"
#include "tests/archivers/support/limitsscope.h"

using arc::LibarchiveReader;
using Format = arc::LibarchiveReader::Format;
using Filter = arc::LibarchiveReader::Filter;
using fixtures::quote;

namespace {

const std::vector<Filter> kTarFilters = {Filter::Gzip, Filter::Bzip2, Filter::Compress, Filter::Rpm};
const std::vector<Format> kTarFormats = {Format::Tar, Format::Cpio, Format::Ar, Format::Raw};

std::string extractToString(LibarchiveReader& r, size_t index, arc::Result* result = nullptr)
{
    fixtures::MemorySink sink;
    arc::Result res = r.extract(index, sink);
    if (result)
        *result = res;
    else
        EXPECT_TRUE(res.ok()) << res.message;
    return sink.m_data;
}

const arc::Entry* findEntry(const LibarchiveReader& r, const std::string& name)
{
    for (const auto& e : r.entries())
        if (e.name == name)
            return &e;
    return nullptr;
}

// Folders are listed as stored, with or without a final "/".
const arc::Entry* findFolder(const LibarchiveReader& r, const std::string& name)
{
    const arc::Entry* e = findEntry(r, name + "/");
    return e ? e : findEntry(r, name);
}

// Three source files (two WAVE files in a folder and a text file) in dir/src.
struct SourceTree {
    explicit SourceTree(const fixtures::TempDir& dir)
    {
        fixtures::run("mkdir -p " + quote(dir.file("src/snd")));
        files["snd/a.wav"] = fixtures::makeWave(dir.file("src/snd/a.wav"), 0.3, 440);
        files["snd/b.wav"] = fixtures::makeWave(dir.file("src/snd/b.wav"), 0.2, 880);
        files["readme.txt"] = std::string(5000, 'x') + "end";
        fixtures::writeFile(dir.file("src/readme.txt"), files["readme.txt"]);
    }
    std::map<std::string, std::string> files;
};

// Compares without printing binary contents.
void expectBytes(const std::string& got, const std::string& want)
{
    EXPECT_TRUE(got == want) << "got " << got.size() << " bytes (CRC " << std::hex << fixtures::crc32Of(got)
                             << "), want " << std::dec << want.size() << " bytes (CRC " << std::hex
                             << fixtures::crc32Of(want) << ")";
}

// Every file of `tree` is listed with its size and extracts to its bytes.
void expectAllFiles(LibarchiveReader& r, const SourceTree& tree)
{
    for (const auto& [name, data] : tree.files) {
        SCOPED_TRACE(name);
        const arc::Entry* e = findEntry(r, name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->type, arc::EntryType::File);
        EXPECT_EQ(e->size, data.size());
        size_t index = static_cast<size_t>(e - r.entries().data());
        expectBytes(extractToString(r, index), data);
    }
}

// Sets the LZMA2 dictionary of an xz stream's first block (`bits` as the
// filter stores it; 40 means 4 GiB) and makes its header CRC right again, so
// only the size asked for is wrong.
void setXzDictionary(std::string& xz, uint8_t bits)
{
    const size_t block = 12;
    const size_t size = (static_cast<uint8_t>(xz[block]) + 1) * 4;
    size_t pos = block + 2;
    const uint8_t flags = static_cast<uint8_t>(xz[block + 1]);
    for (int field = 0; field < ((flags & 0x40) != 0) + ((flags & 0x80) != 0); ++field)
        while (static_cast<uint8_t>(xz[pos++]) & 0x80) {
        }
    ASSERT_EQ(static_cast<uint8_t>(xz[pos]), 0x21);  // LZMA2
    ASSERT_EQ(static_cast<uint8_t>(xz[pos + 1]), 1);
    xz[pos + 2] = static_cast<char>(bits);
    const uint32_t crc = fixtures::crc32Of(std::string_view(xz).substr(block, size - 4));
    for (int i = 0; i < 4; ++i)
        xz[block + size - 4 + i] = static_cast<char>(crc >> (8 * i));
}

}  // namespace

TEST(LibarchiveReaderZip, MethodsMadeBy7zipListWithCrcAndExtractInAnyOrder)
{
    REQUIRE_TOOL("7zz");
    REQUIRE_TOOL("sox");
    fixtures::TempDir dir;
    SourceTree tree(dir);
    for (const char* method : {"Copy", "Deflate", "BZip2", "LZMA"}) {
        SCOPED_TRACE(method);
        std::string zip = dir.file(std::string(method) + ".zip");
        ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && 7zz a -tzip -mm=" + method + " " + quote(zip) +
                                  " snd readme.txt"));
        LibarchiveReader r({Format::Zip});
        arc::Result res = r.open(zip);
        ASSERT_TRUE(res.ok()) << res.message;
        for (const auto& [name, data] : tree.files) {
            const arc::Entry* e = findEntry(r, name);
            ASSERT_NE(e, nullptr) << name;
            EXPECT_EQ(e->crcKind, arc::CrcKind::Crc32);
            EXPECT_EQ(e->crc, fixtures::crc32Of(data));
            EXPECT_NE(e->dosDateTime, 0u);
            if (std::string(method) == "Copy")
                EXPECT_EQ(e->method, "Stored");
            else
                EXPECT_NE(e->method, "Stored");
        }
        const arc::Entry* folder = findFolder(r, "snd");
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(folder->type, arc::EntryType::Directory);
        EXPECT_TRUE(folder->attributes & 0x10);
        // Backwards (reopens each time), then forwards, then the same twice.
        for (size_t i = r.entries().size(); i-- > 0;)
            extractToString(r, i);
        expectAllFiles(r, tree);
        expectAllFiles(r, tree);
    }
    // A method libarchive cannot decode lists but refuses to extract.
    std::string zip = dir.file("d64.zip");
    ASSERT_TRUE(
        fixtures::run("cd " + quote(dir.file("src")) + " && 7zz a -tzip -mm=Deflate64 " + quote(zip) + " readme.txt"));
    LibarchiveReader r({Format::Zip});
    ASSERT_TRUE(r.open(zip).ok());
    ASSERT_EQ(r.entries().size(), 1u);
    EXPECT_EQ(r.entries()[0].method, "Defl64");
    fixtures::MemorySink sink;
    EXPECT_EQ(r.extract(0, sink).status, arc::Status::Unsupported);
}

TEST(LibarchiveReaderZip, XzZstdAndZip64RecordsWrittenByHand)
{
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>((i * 7) % 251);
    std::vector<fixtures::ZipMember> members(3);
    members[0] = {"x.bin", data, fixtures::compressWith("-J", data, dir), 95, 0, 0x0014, false};
    members[1] = {"z.bin", data, fixtures::compressWith("--zstd", data, dir), 93, 0, 0x0014, false};
    members[2] = {"big.bin", data, "", 0};
    members[2].zip64 = true;
    ASSERT_FALSE(members[0].packed.empty());
    ASSERT_FALSE(members[1].packed.empty());
    std::string zip = dir.file("m.zip");
    fixtures::writeFile(zip, fixtures::buildZip(members));

    LibarchiveReader r({Format::Zip});
    arc::Result res = r.open(zip);
    ASSERT_TRUE(res.ok()) << res.message;
    ASSERT_EQ(r.entries().size(), 3u);
    EXPECT_EQ(r.entries()[0].method, "XZ");
    EXPECT_EQ(r.entries()[1].method, "Zstd");
    EXPECT_EQ(r.entries()[2].size, data.size());
    EXPECT_EQ(r.entries()[2].packedSize, data.size());
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.entries()[i].crc, fixtures::crc32Of(data));
        expectBytes(extractToString(r, i), data);
    }
}

TEST(LibarchiveReaderZip, NamesShiftJisUtf8UndecodableAndBackslashFolders)
{
    fixtures::TempDir dir;
    // "表\音.wav" in Shift-JIS: 表 is 95 5C, whose second byte is "\".
    const std::string sjis = "\x95\x5C\x5C\x89\xB9.wav";
    const std::string utf8 = "\xE9\x9F\xB3/\xE5\xA3\xB0.wav";  // 音/声.wav, flagged UTF-8
    const std::string broken = "bad\x81\xFF.wav";              // neither encoding
    std::vector<fixtures::ZipMember> members(3);
    members[0] = {sjis, "one"};
    members[1] = {utf8, "two"};
    members[1].flags = 0x0800;
    members[1].madeBy = 0x031E;  // Unix
    members[2] = {broken, "three"};
    std::string zip = dir.file("names.zip");
    fixtures::writeFile(zip, fixtures::buildZip(members));

    LibarchiveReader r({Format::Zip});
    arc::Result res = r.open(zip);
    ASSERT_TRUE(res.ok()) << res.message;
    ASSERT_EQ(r.entries().size(), 3u);
    EXPECT_EQ(r.entries()[0].name, "\xE8\xA1\xA8/\xE9\x9F\xB3.wav");  // 表/音.wav
    EXPECT_EQ(r.entries()[1].name, utf8);
    EXPECT_TRUE(r.entries()[2].name.starts_with("bad")) << r.entries()[2].name;
    EXPECT_NE(r.entries()[2].name.find("\xEF\xBF\xBD"), std::string::npos) << "replacement character";
    EXPECT_EQ(extractToString(r, 0), "one");
    EXPECT_EQ(extractToString(r, 2), "three");
}

TEST(LibarchiveReaderZip, DirectoryOrderNameMismatchAndUnicodePathField)
{
    fixtures::TempDir dir;
    std::vector<fixtures::ZipMember> members(4);
    members[0] = {"first.wav", "1111"};
    members[1] = {"second.wav", "2222"};
    members[1].localName = "other.wav";  // the local header disagrees with the directory
    members[2] = {"\x83\x65.wav", "3333"};
    members[2].unicodePath = "\xC3\xBC.wav";  // ü.wav
    members[3] = {"last.wav", "4444"};
    std::string zip = dir.file("o.zip");
    fixtures::writeFile(zip, fixtures::buildZip(members, true));

    LibarchiveReader r({Format::Zip});
    arc::Result res = r.open(zip);
    ASSERT_TRUE(res.ok()) << res.message;
    ASSERT_EQ(r.entries().size(), 4u);
    // Listed in data order even though the directory is reversed.
    EXPECT_EQ(r.entries()[0].name, "first.wav");
    EXPECT_EQ(r.entries()[1].name, "second.wav");
    EXPECT_EQ(r.entries()[2].name, "\xC3\xBC.wav");
    EXPECT_EQ(r.entries()[3].name, "last.wav");
    for (size_t i : {3u, 1u, 2u, 0u, 1u, 3u}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(extractToString(r, i), std::string(4, static_cast<char>('1' + i)));
    }
}

TEST(LibarchiveReaderZip, ExtractingOneEntryNeverDecodesTheOthers)
{
    // The first entry's deflate data is garbage; the central directory is
    // sound, so listing works and the second entry extracts untouched.
    fixtures::TempDir dir;
    std::vector<fixtures::ZipMember> members(2);
    members[0] = {"broken.wav", std::string(1000, 'a'), std::string(200, '\xFF'), 8};
    members[1] = {"good.wav", "good data"};
    std::string zip = dir.file("partly.zip");
    fixtures::writeFile(zip, fixtures::buildZip(members));

    LibarchiveReader r({Format::Zip});
    ASSERT_TRUE(r.open(zip).ok());
    ASSERT_EQ(r.entries().size(), 2u);
    EXPECT_EQ(extractToString(r, 1), "good data");
    arc::Result res;
    extractToString(r, 0, &res);
    EXPECT_FALSE(res.ok());
    EXPECT_EQ(extractToString(r, 1), "good data");
}

TEST(LibarchiveReaderZip, DamagedAndTruncatedFilesFailWithoutCrashing)
{
    REQUIRE_TOOL("7zz");
    REQUIRE_TOOL("sox");
    fixtures::TempDir dir;
    SourceTree tree(dir);
    std::string zip = dir.file("t.zip");
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && 7zz a -tzip " + quote(zip) + " snd readme.txt"));
    const std::string good = fixtures::readFile(zip);
    std::string bad = dir.file("bad.zip");
    auto exercise = [&](const std::string& bytes) {
        fixtures::writeFile(bad, bytes);
        LibarchiveReader r({Format::Zip});
        if (!r.open(bad).ok())
            return;
        for (size_t i = 0; i < r.entries().size(); ++i) {
            arc::Result res;
            extractToString(r, i, &res);
        }
    };
    for (size_t len = 0; len < good.size(); len += 37)
        exercise(good.substr(0, len));
    for (size_t at = 0; at < good.size(); at += 23) {
        std::string flipped = good;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        exercise(flipped);
    }
    // Not a ZIP at all.
    fixtures::writeFile(bad, "this is a text file, not an archive");
    LibarchiveReader r({Format::Zip});
    EXPECT_EQ(r.open(bad).status, arc::Status::NotArchive);
    EXPECT_EQ(r.open(dir.file("missing.zip")).ok(), false);
}

TEST(LibarchiveReaderZip, EncryptedEntryIsListedButNotExtracted)
{
    fixtures::TempDir dir;
    std::vector<fixtures::ZipMember> members(2);
    members[0] = {"secret.wav", "ciphertext", "", 0, 0x0001};
    members[1] = {"open.wav", "plain"};
    fixtures::writeFile(dir.file("e.zip"), fixtures::buildZip(members));
    LibarchiveReader r({Format::Zip});
    ASSERT_TRUE(r.open(dir.file("e.zip")).ok());
    ASSERT_EQ(r.entries().size(), 2u);
    EXPECT_TRUE(r.entries()[0].encrypted);
    fixtures::MemorySink sink;
    EXPECT_EQ(r.extract(0, sink).status, arc::Status::Unsupported);
    EXPECT_TRUE(sink.m_data.empty());
    EXPECT_EQ(extractToString(r, 1), "plain");
}

TEST(LibarchiveReaderZip, SinkRefusalAbortsAndTheEntryCanBeExtractedAgain)
{
    fixtures::TempDir dir;
    std::string data(300000, 'q');
    std::string zip = dir.file("s.zip");
    fixtures::writeFile(zip, fixtures::buildZip({{"a.bin", data}, {"b.bin", "b"}}));
    LibarchiveReader r({Format::Zip});
    ASSERT_TRUE(r.open(zip).ok());
    fixtures::MemorySink sink;
    sink.m_limit = 1000;
    EXPECT_EQ(r.extract(0, sink).status, arc::Status::Aborted);
    expectBytes(extractToString(r, 0), data);
    EXPECT_EQ(extractToString(r, 1), "b");
}

TEST(LibarchiveReaderTar, TarFamilyMadeByBsdtarListsTypesAndExtracts)
{
    REQUIRE_TOOL("bsdtar");
    REQUIRE_TOOL("sox");
    fixtures::TempDir dir;
    SourceTree tree(dir);
    fixtures::run("ln -s snd/a.wav " + quote(dir.file("src/link.wav")));
    struct Kind {
        const char* file;
        const char* options;
        int filter;
    };
    const Kind kinds[] = {
        {"t.tar", "", 0},     {"t.tar.gz", "-z", 1},          {"t.tar.bz2", "-j", 2},
        {"t.tar.Z", "-Z", 3}, {"t.cpio", "--format cpio", 0}, {"t.newc.gz", "-z --format newc", 1},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.file);
        std::string path = dir.file(k.file);
        ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && bsdtar -c " + k.options + " -f " + quote(path) +
                                  " snd readme.txt link.wav"));
        LibarchiveReader r(kTarFormats, kTarFilters);
        arc::Result res = r.open(path);
        ASSERT_TRUE(res.ok()) << res.message;
        EXPECT_EQ(r.filterCode(), k.filter);
        expectAllFiles(r, tree);
        const arc::Entry* link = findEntry(r, "link.wav");
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->type, arc::EntryType::Symlink);
        const arc::Entry* folder = findFolder(r, "snd");
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(folder->type, arc::EntryType::Directory);
        EXPECT_EQ(r.entries().front().crcKind, arc::CrcKind::None);
    }
}

TEST(LibarchiveReaderTar, ArArchiveAndLoneCompressedFiles)
{
    REQUIRE_TOOL("ar");
    REQUIRE_TOOL("bsdtar");
    REQUIRE_TOOL("sox");
    fixtures::TempDir dir;
    SourceTree tree(dir);
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src/snd")) + " && ar rc ../../lib.a a.wav b.wav"));
    LibarchiveReader ar(kTarFormats, kTarFilters);
    ASSERT_TRUE(ar.open(dir.file("lib.a")).ok());
    ASSERT_NE(findEntry(ar, "a.wav"), nullptr);
    expectBytes(extractToString(ar, static_cast<size_t>(findEntry(ar, "b.wav") - ar.entries().data())),
                tree.files["snd/b.wav"]);

    ASSERT_TRUE(fixtures::compressFile("-z", dir.file("src/snd/a.wav"), dir.file("a.wav.gz")));
    ASSERT_TRUE(fixtures::compressFile("-j", dir.file("src/snd/b.wav"), dir.file("b.wav.bz2")));
    for (auto [file, name] : {std::pair{"a.wav.gz", "a.wav"}, std::pair{"b.wav.bz2", "b.wav"}}) {
        SCOPED_TRACE(file);
        LibarchiveReader r(kTarFormats, kTarFilters);
        arc::Result res = r.open(dir.file(file));
        ASSERT_TRUE(res.ok()) << res.message;
        ASSERT_EQ(r.entries().size(), 1u);
        EXPECT_EQ(r.entries()[0].name, name);
        EXPECT_FALSE(r.entries()[0].sizeKnown);
        expectBytes(extractToString(r, 0), tree.files[std::string("snd/") + name]);
    }
    // A plain file is not a "raw" archive.
    LibarchiveReader plain(kTarFormats, kTarFilters);
    EXPECT_EQ(plain.open(dir.file("src/readme.txt")).status, arc::Status::NotArchive);
}

TEST(LibarchiveReaderTar, GzipCrcIsCheckedSinceLibarchiveDoesNot)
{
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    // Incompressible data: deflate stores it, so a flipped byte decodes
    // "fine" and only the CRC after the member can tell.
    std::string noise(60000, '\0');
    uint32_t seed = 1;
    for (char& c : noise)
        c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    fixtures::writeFile(dir.file("noise.wav"), noise);
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.path()) + " && bsdtar -czf t.tgz noise.wav"));
    ASSERT_TRUE(fixtures::compressFile("-z", dir.file("noise.wav"), dir.file("one.gz")));
    const std::string tgz = fixtures::readFile(dir.file("t.tgz"));
    const std::string gz = fixtures::readFile(dir.file("one.gz"));

    auto damaged = [&](std::string bytes, size_t at, const std::string& name) {
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        fixtures::writeFile(dir.file(name), bytes);
        return dir.file(name);
    };
    LibarchiveReader r(kTarFormats, kTarFilters);
    // Listing a tar decodes it all; a lone file is checked as it is read,
    // which for one this small is while libarchive tells its format.
    EXPECT_EQ(r.open(damaged(tgz, tgz.size() / 2, "bad.tgz")).status, arc::Status::CrcError);
    for (size_t at : {gz.size() / 2, gz.size() - 6}) {  // the data, the stored CRC itself
        arc::Result res = r.open(damaged(gz, at, "bad.gz"));
        if (res.ok())
            extractToString(r, 0, &res);
        EXPECT_EQ(res.status, arc::Status::CrcError) << res.message;
    }

    // Sound files: padding after the member, and two members in a row.
    fixtures::writeFile(dir.file("padded.tgz"), tgz + std::string(1024, '\0'));
    ASSERT_TRUE(r.open(dir.file("padded.tgz")).ok());
    expectBytes(extractToString(r, 0), noise);
    fixtures::writeFile(dir.file("two.wav.gz"), gz + gz);
    arc::Result res = r.open(dir.file("two.wav.gz"));
    ASSERT_TRUE(res.ok()) << res.message;
    expectBytes(extractToString(r, 0), noise + noise);
}

TEST(LibarchiveReaderTar, EntryCutInACompressedTarFails)
{
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    std::string data(200000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 31) ^ (i >> 7));
    fixtures::writeFile(dir.file("d.bin"), data);
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.path()) + " && bsdtar -czf t.tgz d.bin"));
    std::string tgz = fixtures::readFile(dir.file("t.tgz"));
    fixtures::writeFile(dir.file("cut.tgz"), tgz.substr(0, tgz.size() / 2));
    LibarchiveReader r(kTarFormats, kTarFilters);
    ASSERT_TRUE(r.open(dir.file("cut.tgz")).ok());
    arc::Result res;
    extractToString(r, 0, &res);
    EXPECT_FALSE(res.ok());
}

TEST(LibarchiveReaderTar, ListingACompressedTarStopsWhereItsDataPassesTheRatio)
{
    // 8 MiB of one letter before the second header: walking to it decodes
    // them, past the ratio allowed (tightened to 1 MiB here) to a file of a
    // few hundred bytes. Within the ratio, the same files list.
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    fixtures::run("mkdir -p " + quote(dir.file("src")));
    fixtures::writeFile(dir.file("src/repeat.wav"), std::string(8 << 20, 'A'));
    fixtures::writeFile(dir.file("src/b.wav"), "bb");
    for (const char* filter : {"-j", "-z", "-J"}) {
        SCOPED_TRACE(filter);
        const std::string archive = dir.file(std::string("bomb") + filter);
        ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && bsdtar -c " + filter + " -f " + quote(archive) +
                                  " repeat.wav b.wav"));
        LibarchiveReader r(kTarFormats, {Filter::Gzip, Filter::Bzip2, Filter::Xz});
        {
            testlimits::LimitsScope limits("ratio-floor=1048576");
            const arc::Result res = r.open(archive);
            EXPECT_EQ(res.status, arc::Status::TooLarge) << res.message;
            EXPECT_TRUE(r.entries().empty());
        }
        ASSERT_TRUE(r.open(archive).ok());
        EXPECT_EQ(r.entries().size(), 2u);
        EXPECT_EQ(extractToString(r, 1), "bb");
    }
}

TEST(LibarchiveReaderTar, LoneGzipOpensWithoutDecodingItsData)
{
    // 8 MiB of one byte in 8 KiB of gzip: opening reads the first block
    // only (what libarchive needs to tell the format), far less than all.
    fixtures::TempDir dir;
    const std::string gz = fixtures::compressWith("-z", std::string(8 << 20, 'A'), dir);
    ASSERT_FALSE(gz.empty());
    fixtures::writeFile(dir.file("big.wav.gz"), gz.substr(0, gz.size() - 8) + std::string(8, '\xFF'));
    LibarchiveReader r(kTarFormats, kTarFilters);
    ASSERT_TRUE(r.open(dir.file("big.wav.gz")).ok());
    ASSERT_EQ(r.entries().size(), 1u);
    EXPECT_EQ(r.entries()[0].name, "big.wav");
    arc::NullSink null;
    EXPECT_EQ(r.extract(0, null).status, arc::Status::CrcError);
}

TEST(LibarchiveReader, StreamsAskingForAHugeDictionaryAreRefusedBeforeDecoding)
{
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    const std::string data(5000, 'w');
    const std::string xz = fixtures::compressWith("-J", data, dir);
    ASSERT_FALSE(xz.empty());
    std::string hugeXz = xz;
    setXzDictionary(hugeXz, 40);

    // ZIP: LZMA properties asking for 4 GiB (as a fuzzer found), and xz data
    // whose block asks for the same. Such an archive is refused when it is
    // opened: libarchive may decode while it reads headers (a link's target),
    // and may land on other local headers than the listed ones. A sane xz
    // member still extracts.
    std::string lzma("\x09\x14\x05\x00\x5d\xff\xff\xff\xff", 9);
    lzma += std::string(64, '\x55');
    LibarchiveReader zip({Format::Zip});
    for (const auto& [name, member] : {std::pair{"lzma.zip", fixtures::ZipMember{"l.wav", data, lzma, 14}},
                                       std::pair{"xz.zip", fixtures::ZipMember{"x.wav", data, hugeXz, 95}}}) {
        SCOPED_TRACE(name);
        std::vector<fixtures::ZipMember> members = {{"first.wav", data}, member};
        fixtures::writeFile(dir.file(name), fixtures::buildZip(members));
        EXPECT_EQ(zip.open(dir.file(name)).status, arc::Status::Unsupported);
        // Large files have only their listed members checked.
        EXPECT_EQ(arc::checkZipDictionaries(dir.file(name), {{0, 0}}, 0).status, arc::Status::Ok);
        const uint64_t second = fixtures::readFile(dir.file(name)).find("PK\x03\x04", 4);
        EXPECT_EQ(arc::checkZipDictionaries(dir.file(name), {{0, 0}, {second, 0}}, 0).status, arc::Status::Unsupported);
    }
    // libarchive takes a method's low byte only: 0x010E in the local header
    // is LZMA to it (as a fuzzer found), so it is to the check.
    std::string highByte = fixtures::readFile(dir.file("lzma.zip"));
    const size_t secondLocal = highByte.find("PK\x03\x04", 4);
    highByte[secondLocal + 9] = '\x01';
    fixtures::writeFile(dir.file("highbyte.zip"), highByte);
    EXPECT_EQ(zip.open(dir.file("highbyte.zip")).status, arc::Status::Unsupported);
    EXPECT_EQ(arc::checkZipDictionaries(dir.file("highbyte.zip"), {{secondLocal, 0}}, 0).status,
              arc::Status::Unsupported);
    fixtures::writeFile(dir.file("fine.zip"), fixtures::buildZip({{"fine.wav", data, xz, 95}}));
    ASSERT_TRUE(zip.open(dir.file("fine.zip")).ok());
    expectBytes(extractToString(zip, 0), data);
    // The same with a comment length that runs past the end of the file,
    // which libarchive reads all the same.
    std::string badComment = fixtures::readFile(dir.file("lzma.zip"));
    badComment[badComment.size() - 1] = '\xC6';
    fixtures::writeFile(dir.file("comment.zip"), badComment);
    EXPECT_EQ(zip.open(dir.file("comment.zip")).status, arc::Status::Unsupported);

    // A lone .xz file, and the same inside an rpm-like package, refused at
    // open: libarchive would allocate the dictionary reading the first header.
    const std::vector<Filter> filters = {Filter::Gzip, Filter::Xz, Filter::Rpm};
    LibarchiveReader tar(kTarFormats, filters);
    fixtures::writeFile(dir.file("fine.wav.xz"), xz);
    ASSERT_TRUE(tar.open(dir.file("fine.wav.xz")).ok());
    expectBytes(extractToString(tar, 0), data);
    fixtures::writeFile(dir.file("huge.wav.xz"), hugeXz);
    EXPECT_EQ(tar.open(dir.file("huge.wav.xz")).status, arc::Status::Unsupported);
    fixtures::writeFile(dir.file("two.wav.xz"), xz + std::string(8, '\0') + hugeXz);
    EXPECT_EQ(tar.open(dir.file("two.wav.xz")).status, arc::Status::Unsupported);
    std::string rpm("\xED\xAB\xEE\xDB", 4);
    rpm += std::string(200, '\0');
    fixtures::writeFile(dir.file("huge.rpm"), rpm + hugeXz);
    EXPECT_EQ(tar.open(dir.file("huge.rpm")).status, arc::Status::Unsupported);
}

TEST(LibarchiveReaderCab, NoneAndMszipMadeByGcab)
{
    REQUIRE_TOOL("gcab");
    REQUIRE_TOOL("sox");
    fixtures::TempDir dir;
    SourceTree tree(dir);
    for (const char* opt : {"", "-z"}) {
        SCOPED_TRACE(opt);
        std::string cab = dir.file(std::string("t") + opt + ".cab");
        ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && gcab -c " + opt + " " + quote(cab) +
                                  " snd/a.wav snd/b.wav readme.txt"));
        LibarchiveReader r({Format::Cab});
        arc::Result res = r.open(cab);
        ASSERT_TRUE(res.ok()) << res.message;
        expectAllFiles(r, tree);
        for (size_t i = r.entries().size(); i-- > 0;)
            extractToString(r, i);
    }
}

TEST(LibarchiveReaderTar, CutInsideALaterEntryKeepsTheEarlierOnes)
{
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    const std::string a(3000, 'a'), b(50000, 'b');
    fixtures::writeFile(dir.file("a.wav"), a);
    fixtures::writeFile(dir.file("b.wav"), b);
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.path()) + " && bsdtar -cf t.tar a.wav b.wav"));
    const std::string tar = fixtures::readFile(dir.file("t.tar"));
    fixtures::writeFile(dir.file("cut.tar"), tar.substr(0, 512 * 9 + 20000));  // inside b.wav's data
    LibarchiveReader r(kTarFormats, kTarFilters);
    const arc::Result opened = r.open(dir.file("cut.tar"));
    ASSERT_TRUE(opened.ok()) << opened.message;
    ASSERT_EQ(r.entries().size(), 2u);
    expectBytes(extractToString(r, 0), a);
    arc::Result res;
    extractToString(r, 1, &res);
    EXPECT_FALSE(res.ok());
    // Cut inside the first header: nothing to list.
    fixtures::writeFile(dir.file("head.tar"), tar.substr(0, 300));
    EXPECT_FALSE(r.open(dir.file("head.tar")).ok());
}

TEST(LibarchiveReaderTar, HardLinkPairsGiveTheirDataToEveryName)
{
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    const std::string data(20000, 'h');
    fixtures::writeFile(dir.file("one.wav"), data);
    ASSERT_TRUE(fixtures::run("cd " + quote(dir.path()) +
                              " && ln one.wav two.wav && "
                              "bsdtar -cf t.tar one.wav two.wav && bsdtar --format newc -cf t.cpio one.wav two.wav && "
                              "bsdtar --format odc -cf o.cpio one.wav two.wav"));
    for (const char* name : {"t.tar", "t.cpio", "o.cpio"}) {
        SCOPED_TRACE(name);
        LibarchiveReader r(kTarFormats, kTarFilters);
        ASSERT_TRUE(r.open(dir.file(name)).ok());
        ASSERT_EQ(r.entries().size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(r.entries()[i].type, arc::EntryType::File);
            EXPECT_EQ(r.entries()[i].size, data.size());
            expectBytes(extractToString(r, i), data);
        }
        expectBytes(extractToString(r, 0), data);  // and again, out of order
    }
}

TEST(LibarchiveReaderTar, EntryCountIsCapped)
{
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    for (const char* n : {"1", "2", "3", "4"})
        fixtures::writeFile(dir.file(n), n);
    ASSERT_TRUE(
        fixtures::run("cd " + quote(dir.path()) + " && bsdtar -cjf three.tbz 1 2 3 && bsdtar -cjf four.tbz 1 2 3 4"));
    LibarchiveReader r(kTarFormats, kTarFilters);
    r.setMaxEntries(3);
    EXPECT_TRUE(r.open(dir.file("three.tbz")).ok());
    const arc::Result res = r.open(dir.file("four.tbz"));
    EXPECT_EQ(res.status, arc::Status::Corrupt);
    EXPECT_TRUE(r.entries().empty());
    EXPECT_EQ(LibarchiveReader::kMaxEntries, size_t(1) << 20);
}

TEST(LibarchiveReaderCab, EmptyFilesOfAFolderWithAnInvalidBlockFailOnceEach)
{
    // One uncompressed folder of empty files whose only data block is
    // invalid: each file fails, and the next must not reopen the cabinet
    // (reading every file record again) to fail once more.
    fixtures::TempDir dir;
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 300; ++i)
        files.emplace_back("e" + std::to_string(i) + ".wav", "");
    fixtures::CabLayout layout;
    layout.invalidBlock = true;
    fixtures::writeFile(dir.file("e.cab"), fixtures::buildCab(files, layout));
    LibarchiveReader r({Format::Cab});
    ASSERT_TRUE(r.open(dir.file("e.cab")).ok());
    ASSERT_EQ(r.entries().size(), files.size());
    size_t failed = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        arc::Result res;
        extractToString(r, i, &res);
        failed += !res.ok();
    }
    EXPECT_GE(failed, files.size() - 1);  // libarchive gives the first one before it meets the block
    EXPECT_LE(r.headersRead(), 2 * files.size());
}

TEST(LibarchiveReaderCab, FailingEntriesCostNoMoreThanGoodOnes)
{
    // Every entry's data fails to decode, in one folder or each in its own:
    // extracting them all in order must read about one header per entry,
    // not reopen the cabinet and walk from its start for each.
    fixtures::TempDir dir;
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 300; ++i)
        files.emplace_back("f" + std::to_string(i) + ".wav", std::string(100, 'a' + i % 26));
    for (bool folderPerFile : {false, true}) {
        SCOPED_TRACE(folderPerFile ? "a folder per file" : "one folder");
        for (bool damaged : {false, true}) {
            const std::string cab = dir.file(std::string("c") + (folderPerFile ? "f" : "o") + (damaged ? "d" : "g"));
            fixtures::writeFile(cab, fixtures::buildCab(files, {folderPerFile, true, damaged}));
            LibarchiveReader r({Format::Cab});
            ASSERT_TRUE(r.open(cab).ok());
            ASSERT_EQ(r.entries().size(), files.size());
            size_t failed = 0;
            for (size_t i = 0; i < files.size(); ++i) {
                arc::Result res;
                const std::string data = extractToString(r, i, &res);
                failed += !res.ok();
                if (!damaged) {
                    EXPECT_TRUE(res.ok() && data == files[i].second) << i << ": " << res.message;
                }
            }
            EXPECT_EQ(failed, damaged ? files.size() : 0u);
            EXPECT_LE(r.headersRead(), 2 * files.size());
            if (!damaged)  // out of order: each starts its folder afresh
                for (size_t i : {size_t(299), size_t(150), size_t(3)})
                    expectBytes(extractToString(r, i), files[i].second);
        }
    }
}
