// The reader on archives made by the arj tool (every method, folders,
// volumes, passwords, a self-extractor stub) and on hand-made ones.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "archivers/unarj32j/arjreader.h"
#include "tests/archivers/support/fixtures.h"
#include "tests/archivers/unarj32j/arjbuilder.h"

namespace {

using fixtures::quote;
using fixtures::readFile;
using fixtures::run;
using fixtures::writeFile;

class StringSink final : public arc::Sink {
public:
    bool write(const void* data, size_t size) override
    {
        text.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string text;
};

std::string compressible(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    static const char kWords[][8] = {"tide ", "bell ", "sound ", "wave ", "\r\n", "ring "};
    std::string out;
    while (out.size() < size)
        out += kWords[random() % 6];
    out.resize(size);
    return out;
}

std::string randomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random());
    return out;
}

class ArjTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fixtures::haveTool("arj"))
            GTEST_SKIP() << "the arj tool is not installed";
    }
    // Runs arj in the temporary folder ("-y": no questions).
    bool arj(const std::string& arguments) { return run("cd " + quote(m_dir.path()) + " && arj " + arguments + " -y"); }
    void put(const std::string& name, const std::string& data)
    {
        run("mkdir -p " + quote(m_dir.file(name)) + " && rmdir " + quote(m_dir.file(name)));
        writeFile(m_dir.file(name), data);
    }
    std::map<std::string, std::string> extractAll(arj::ArjReader& reader)
    {
        std::map<std::string, std::string> out;
        for (size_t i = 0; i < reader.entries().size(); ++i) {
            StringSink sink;
            const arc::Result r = reader.extract(i, sink);
            EXPECT_TRUE(r.ok()) << reader.entries()[i].name << ": " << r.message;
            EXPECT_EQ(fixtures::crc32Of(sink.text), reader.entries()[i].crc) << reader.entries()[i].name;
            out[reader.entries()[i].name] = sink.text;
        }
        return out;
    }

    fixtures::TempDir m_dir;
};

class ArjMethods : public ArjTool, public ::testing::WithParamInterface<int> {};

TEST_P(ArjMethods, EveryFileComesBackByteForByte)
{
    const int method = GetParam();
    std::map<std::string, std::string> files = {
        {"src/empty.bin", ""},
        {"src/one.bin", "A"},
        {"src/window.txt", compressible(26624, 1)},   // exactly the window
        {"src/medium.txt", compressible(70000, 2)},   // beyond 64 KiB
        {"src/large.txt", compressible(1300000, 3)},  // beyond 1 MiB
        {"src/noise.bin", randomBytes(40000, 4)},
    };
    for (const auto& [name, data] : files)
        put(name, data);
    const std::string wave = fixtures::makeWave(m_dir.file("src/tone.wav"), 2, 440);
    if (!wave.empty())
        files["src/tone.wav"] = wave;

    ASSERT_TRUE(arj("a -m" + std::to_string(method) + " m.arj src/*"));
    arj::ArjReader reader;
    const arc::Result opened = reader.open(m_dir.file("m.arj"));
    ASSERT_TRUE(opened.ok()) << opened.message;
    ASSERT_EQ(reader.entries().size(), files.size());
    for (const arc::Entry& e : reader.entries()) {
        ASSERT_TRUE(files.count(e.name)) << e.name;
        EXPECT_EQ(e.size, files[e.name].size()) << e.name;
        EXPECT_EQ(e.crcKind, arc::CrcKind::Crc32);
        EXPECT_EQ(e.type, arc::EntryType::File);
        if (e.name == "src/large.txt") {
            EXPECT_EQ(e.method, "-arj" + std::to_string(method) + "-");
        }
    }
    EXPECT_EQ(extractAll(reader), files);
}

INSTANTIATE_TEST_SUITE_P(Methods, ArjMethods, ::testing::Values(0, 1, 2, 3, 4));

TEST_F(ArjTool, FoldersTimesAndAttributes)
{
    put("d/sub/a.txt", "hello");
    put("d/empty/.keep", "");
    run("rm " + quote(m_dir.file("d/empty/.keep")) + " && chmod a-w " + quote(m_dir.file("d/sub/a.txt")) +
        " && touch -d '2020-05-06 07:08:10' " + quote(m_dir.file("d/sub/a.txt")));
    ASSERT_TRUE(arj("a -a1 -r f.arj d"));
    arj::ArjReader reader;
    ASSERT_TRUE(reader.open(m_dir.file("f.arj")).ok());
    std::map<std::string, const arc::Entry*> byName;
    for (const arc::Entry& e : reader.entries())
        byName[e.name] = &e;
    ASSERT_TRUE(byName.count("d/sub/a.txt"));
    ASSERT_TRUE(byName.count("d/empty"));
    const arc::Entry& file = *byName["d/sub/a.txt"];
    EXPECT_EQ(file.dosDateTime, ((40u << 25) | (5u << 21) | (6u << 16) | (7u << 11) | (8u << 5) | 5u));
    EXPECT_EQ(file.attributes & 0x01, 0x01);  // read-only
    EXPECT_EQ(byName["d/empty"]->type, arc::EntryType::Directory);
    EXPECT_EQ(byName["d/empty"]->attributes & 0x10, 0x10);
    StringSink sink;
    EXPECT_TRUE(reader.extract(0, sink).ok());
}

TEST_F(ArjTool, OneEntryIsDecodedWithoutTheOthers)
{
    put("a.txt", compressible(50000, 5));
    put("b.txt", compressible(50000, 6));
    ASSERT_TRUE(arj("a -m1 two.arj a.txt b.txt"));
    arj::ArjReader reader;
    ASSERT_TRUE(reader.open(m_dir.file("two.arj")).ok());
    ASSERT_EQ(reader.entries().size(), 2u);
    ASSERT_EQ(reader.entries()[0].name, "a.txt");

    // Damage the middle of a.txt's data: b.txt still comes out whole.
    std::string bytes = readFile(m_dir.file("two.arj"));
    const size_t middle = bytes.find("a.txt") + reader.entries()[0].packedSize / 2;
    for (size_t i = 0; i < 64; ++i)
        bytes[middle + i] = static_cast<char>(~bytes[middle + i]);
    writeFile(m_dir.file("two.arj"), bytes);
    ASSERT_TRUE(reader.open(m_dir.file("two.arj")).ok());
    StringSink b;
    ASSERT_TRUE(reader.extract(1, b).ok());
    EXPECT_EQ(b.text, readFile(m_dir.file("b.txt")));
    StringSink a;
    const arc::Result r = reader.extract(0, a);
    EXPECT_TRUE(!r.ok() || fixtures::crc32Of(a.text) != reader.entries()[0].crc);
}

TEST_F(ArjTool, PasswordsAndVolumesAreRefusedNotMisread)
{
    put("secret.txt", compressible(3000, 7));
    put("big.bin", randomBytes(250000, 8));
    ASSERT_TRUE(arj("a -gstew g.arj secret.txt"));
    ASSERT_TRUE(arj("a -v100k v.arj big.bin"));

    arj::ArjReader garbled;
    ASSERT_TRUE(garbled.open(m_dir.file("g.arj")).ok());
    ASSERT_EQ(garbled.entries().size(), 1u);
    EXPECT_TRUE(garbled.entries()[0].encrypted);
    StringSink sink;
    EXPECT_EQ(garbled.extract(0, sink).status, arc::Status::Unsupported);

    for (const char* volume : {"v.arj", "v.a01"}) {
        arj::ArjReader reader;
        ASSERT_TRUE(reader.open(m_dir.file(volume)).ok()) << volume;
        ASSERT_EQ(reader.entries().size(), 1u);
        StringSink part;
        EXPECT_EQ(reader.extract(0, part).status, arc::Status::Unsupported) << volume;
        EXPECT_TRUE(part.text.empty());
    }
}

TEST_F(ArjTool, ArchiveBehindASelfExtractorStub)
{
    put("a.wav", compressible(10000, 9));
    ASSERT_TRUE(arj("a -m2 s.arj a.wav"));
    // A stub holding a false header id, as an executable may.
    std::string stub = "MZ" + randomBytes(4998, 10);
    stub.replace(1000, 4, "\x60\xEA\x30\x00");
    writeFile(m_dir.file("s.exe"), stub + readFile(m_dir.file("s.arj")));

    arj::ArjReader reader;
    const arc::Result r = reader.open(m_dir.file("s.exe"));
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(reader.archiveStart(), stub.size());
    ASSERT_EQ(reader.entries().size(), 1u);
    EXPECT_EQ(extractAll(reader).at("a.wav"), readFile(m_dir.file("a.wav")));
}

TEST_F(ArjTool, DamagedAndForeignFiles)
{
    put("a.txt", compressible(20000, 11));
    put("b.txt", compressible(20000, 12));
    ASSERT_TRUE(arj("a -m1 t.arj a.txt b.txt"));
    const std::string whole = readFile(m_dir.file("t.arj"));
    arj::ArjReader reader;
    ASSERT_TRUE(reader.open(m_dir.file("t.arj")).ok());
    const uint64_t secondData = whole.find("b.txt") + 8;

    // Cut inside the last entry's data: listed, but not extractable.
    writeFile(m_dir.file("cut.arj"), whole.substr(0, whole.size() - 500));
    ASSERT_TRUE(reader.open(m_dir.file("cut.arj")).ok());
    ASSERT_EQ(reader.entries().size(), 2u);
    StringSink sink;
    EXPECT_EQ(reader.extract(1, sink).status, arc::Status::Corrupt);

    // Cut inside the second header, or that header damaged.
    writeFile(m_dir.file("cuthead.arj"), whole.substr(0, whole.find("b.txt")));
    EXPECT_EQ(reader.open(m_dir.file("cuthead.arj")).status, arc::Status::Corrupt);
    std::string damaged = whole;
    damaged[secondData - 20] ^= 0x40;
    writeFile(m_dir.file("damaged.arj"), damaged);
    EXPECT_EQ(reader.open(m_dir.file("damaged.arj")).status, arc::Status::Corrupt);

    writeFile(m_dir.file("empty.arj"), "");
    writeFile(m_dir.file("text.arj"), "just some text, no archive");
    EXPECT_EQ(reader.open(m_dir.file("empty.arj")).status, arc::Status::NotArchive);
    EXPECT_EQ(reader.open(m_dir.file("text.arj")).status, arc::Status::NotArchive);
    EXPECT_EQ(reader.open(m_dir.file("missing.arj")).status, arc::Status::ReadError);
    EXPECT_TRUE(reader.entries().empty());
}

// Hand-made archives: names and fields the arj tool on Linux does not write.
class HandMade : public ::testing::Test {
protected:
    arj::ArjReader& open(const std::vector<arjtest::ArjMember>& members, bool endMark = true)
    {
        writeFile(m_dir.file("h.arj"), arjtest::buildArj(members, endMark));
        const arc::Result r = m_reader.open(m_dir.file("h.arj"));
        EXPECT_TRUE(r.ok()) << r.message;
        return m_reader;
    }
    fixtures::TempDir m_dir;
    arj::ArjReader m_reader;
};

arjtest::ArjMember member(std::string name, std::string data, uint8_t hostOs = 0, uint8_t flags = 0)
{
    arjtest::ArjMember m;
    m.rawName = std::move(name);
    m.data = std::move(data);
    m.hostOs = hostOs;
    m.flags = flags;
    return m;
}

TEST_F(HandMade, NamesFollowTheHostsPathSeparator)
{
    auto& r = open({
        member("snd\\a.wav", "1"),
        member("odd\\name.wav", "2", 2),
        member("x\\y.wav", "3", 2, 0x10),
        // "ソ" in Shift-JIS ends in the byte of "\": it must not become a folder.
        member("\x83\x5C\\\x83\x5C.wav", "4"),
        member("音/ね.wav", "5", 2),
    });
    ASSERT_EQ(r.entries().size(), 5u);
    EXPECT_EQ(r.entries()[0].name, "snd/a.wav");
    EXPECT_EQ(r.entries()[1].name, "odd\\name.wav");
    EXPECT_EQ(r.entries()[2].name, "x/y.wav");
    EXPECT_EQ(r.entries()[3].name, "ソ/ソ.wav");
    EXPECT_EQ(r.entries()[4].name, "音/ね.wav");
}

TEST_F(HandMade, FieldsExtendedHeadersAndMissingEndMark)
{
    arjtest::ArjMember hidden = member("h.wav", "hidden data");
    hidden.accessMode = 0x23;
    hidden.extendedHeader = "some extension";
    arjtest::ArjMember folder = member("dir", "");
    folder.fileType = 3;
    folder.accessMode = 0x10;
    arjtest::ArjMember unknown = member("u.bin", "zz");
    unknown.packed = "zz";
    unknown.method = 9;
    auto& r = open({hidden, folder, unknown}, false);
    ASSERT_EQ(r.entries().size(), 3u);
    EXPECT_EQ(r.entries()[0].attributes, 0x23);
    EXPECT_EQ(r.entries()[0].dosDateTime, hidden.modified);
    StringSink sink;
    ASSERT_TRUE(r.extract(0, sink).ok());
    EXPECT_EQ(sink.text, "hidden data");
    EXPECT_EQ(r.entries()[1].type, arc::EntryType::Directory);
    StringSink none;
    EXPECT_EQ(r.extract(2, none).status, arc::Status::Unsupported);
    EXPECT_FALSE(r.extract(3, none).ok());
}

TEST_F(HandMade, BrokenLocalHeaderIsCorrupt)
{
    arjtest::ArjMember bad = member("b.wav", "b");
    bad.breakHeaderCrc = true;
    writeFile(m_dir.file("b.arj"), arjtest::buildArj({member("a.wav", "a"), bad}));
    EXPECT_EQ(m_reader.open(m_dir.file("b.arj")).status, arc::Status::Corrupt);
}

}  // namespace
