// The ZIP reader (central directory once, straight to the local header) and
// its Deflate64 decoder, on streams written bit by bit, on zlib's output and
// on archives made by 7zz.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "archivers/libarchive/inflate.h"
#include "archivers/libarchive/zip_reader.h"
#include "tests/archivers/support/fixtures.h"

using fixtures::quote;

namespace {

// Writes a deflate stream: fields least significant bit first, Huffman
// codes most significant bit first.
class BitWriter {
public:
    void bits(uint32_t value, unsigned n)
    {
        for (unsigned i = 0; i < n; ++i)
            bit((value >> i) & 1);
    }
    void code(uint32_t value, unsigned n)
    {
        for (unsigned i = n; i-- > 0;)
            bit((value >> i) & 1);
    }
    // Symbols of the fixed literal/length code.
    void literal(unsigned sym)
    {
        if (sym < 144)
            code(0x30 + sym, 8);
        else if (sym < 256)
            code(0x190 + sym - 144, 9);
        else if (sym < 280)
            code(sym - 256, 7);
        else
            code(0xC0 + sym - 280, 8);
    }
    void fixedBlock(bool last) { bits(last ? 3 : 2, 3); }
    // A stored block; the data follows byte-aligned.
    void stored(const std::string& data, bool last)
    {
        bits(last ? 1 : 0, 3);
        if (m_used)
            flushByte();
        const uint32_t len = uint32_t(data.size());
        m_out += char(len & 0xFF);
        m_out += char(len >> 8);
        m_out += char(~len & 0xFF);
        m_out += char((~len >> 8) & 0xFF);
        m_out += data;
    }
    std::string finish()
    {
        if (m_used)
            flushByte();
        return m_out;
    }

private:
    void bit(uint32_t b)
    {
        m_byte |= uint8_t(b << m_used);
        if (++m_used == 8)
            flushByte();
    }
    void flushByte()
    {
        m_out += char(m_byte);
        m_byte = 0;
        m_used = 0;
    }
    std::string m_out;
    uint8_t m_byte = 0;
    unsigned m_used = 0;
};

// Bytes that never repeat a 3-byte sequence nearby, so only explicit matches copy.
std::string noise(size_t n, uint32_t seed)
{
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    return s;
}

struct Decoded {
    arc::Result result;
    std::string data;
};

// Feeds the stream in small pieces so that refills fall inside codes.
Decoded inflate(const std::string& stream, arc::DeflateVariant variant = arc::DeflateVariant::Deflate64)
{
    size_t pos = 0;
    const arc::ByteSource source = [&](uint8_t* buf, size_t capacity) {
        const size_t n = std::min({capacity, stream.size() - pos, size_t(1000)});
        std::memcpy(buf, stream.data() + pos, n);
        pos += n;
        return n;
    };
    fixtures::MemorySink sink;
    Decoded d;
    d.result = arc::inflateRaw(variant, source, sink);
    d.data = std::move(sink.m_data);
    return d;
}

std::string zlibRaw(const std::string& data, int level, int strategy = Z_DEFAULT_STRATEGY)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy), Z_OK);
    std::string out(deflateBound(&z, uLong(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string extract(arc::Reader& r, size_t index, arc::Result* result = nullptr)
{
    fixtures::MemorySink sink;
    arc::Result res = r.extract(index, sink);
    if (result)
        *result = res;
    else
        EXPECT_TRUE(res.ok()) << res.message;
    return sink.m_data;
}

// 65,536 literals, then the matches only Deflate64 has: length code 285
// with 16 extra bits, distance codes 31 (up to 65,536 back) and 30.
struct LongDistanceStream {
    std::string stream, expected;
    LongDistanceStream()
    {
        BitWriter w;
        expected = noise(65536, 7);
        w.fixedBlock(true);
        for (unsigned char c : expected)
            w.literal(c);
        auto match = [&](uint32_t length, uint32_t distance) {
            for (uint32_t i = 0; i < length; ++i)
                expected += expected[expected.size() - distance];
        };
        w.literal(285);
        w.bits(1000, 16);  // length 3 + 1000
        w.code(31, 5);
        w.bits(16383, 14);  // distance 49153 + 16383 = 65536: the very first byte
        match(1003, 65536);
        w.literal(285);
        w.bits(0, 16);  // length 3
        w.code(30, 5);
        w.bits(5, 14);  // distance 32769 + 5
        match(3, 32774);
        w.literal(285);
        w.bits(0xFFFF, 16);  // the longest match, 65,538, overlapping itself
        w.code(0, 5);        // distance 1
        match(65538, 1);
        w.literal(256);
        stream = w.finish();
    }
};

}  // namespace

TEST(Inflate64, LongDistancesAndLengthsOfDeflate64)
{
    LongDistanceStream s;
    Decoded d = inflate(s.stream);
    ASSERT_TRUE(d.result.ok()) << d.result.message;
    EXPECT_TRUE(d.data == s.expected) << d.data.size() << " bytes decoded, " << s.expected.size() << " expected";
    // Plain deflate has no distance code 30, and its code 285 is 258 without extra bits.
    BitWriter w;
    w.fixedBlock(true);
    for (int i = 0; i < 300; ++i)
        w.literal('a' + i % 26);
    w.literal(285);
    w.code(30, 5);
    w.bits(0, 14);
    w.literal(256);
    const std::string stream = w.finish();
    EXPECT_EQ(inflate(stream, arc::DeflateVariant::Deflate).result.status, arc::Status::Corrupt);
    w = BitWriter();
    w.fixedBlock(true);
    w.literal('x');
    w.literal(285);
    w.code(0, 5);
    w.literal(256);
    d = inflate(w.finish(), arc::DeflateVariant::Deflate);
    ASSERT_TRUE(d.result.ok()) << d.result.message;
    EXPECT_EQ(d.data, std::string(259, 'x'));
}

TEST(Inflate64, StoredBlocksFillTheWholeWindow)
{
    // 65,535 + 1 stored bytes, then a fixed block copying from 65,536 back.
    const std::string first = noise(65535, 3), second = "Z";
    BitWriter w;
    w.stored(first, false);
    w.stored(second, false);
    w.fixedBlock(true);
    w.literal(265);  // length 11 + 1 extra bit
    w.bits(1, 1);    // 12
    w.code(31, 5);
    w.bits(16383, 14);
    w.literal(256);
    Decoded d = inflate(w.finish());
    ASSERT_TRUE(d.result.ok()) << d.result.message;
    const std::string all = first + second;
    EXPECT_TRUE(d.data == all + all.substr(0, 12));
}

TEST(Inflate64, PlainDeflateAgreesWithZlib)
{
    // Dynamic and fixed codes, long and short matches, incompressible runs.
    std::string text;
    for (int i = 0; text.size() < 300000; ++i)
        text += "tide bell " + std::to_string(i % 977) + (i % 7 ? " " : "\n");
    const std::string mixed = text + noise(70000, 11) + std::string(100000, 'a') + text.substr(0, 50000);
    for (int level : {1, 6, 9}) {
        for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY}) {
            SCOPED_TRACE(::testing::Message() << "level " << level << " strategy " << strategy);
            Decoded d = inflate(zlibRaw(mixed, level, strategy), arc::DeflateVariant::Deflate);
            ASSERT_TRUE(d.result.ok()) << d.result.message;
            EXPECT_TRUE(d.data == mixed);
        }
    }
    EXPECT_TRUE(inflate(zlibRaw("", 6), arc::DeflateVariant::Deflate).result.ok());
}

TEST(Inflate64, BrokenStreamsFailWithoutOverrunning)
{
    auto status = [](const std::string& stream) { return inflate(stream).result.status; };
    LongDistanceStream s;
    // Cut anywhere: never success, never a crash.
    for (size_t len = 0; len < s.stream.size(); len += 997)
        EXPECT_EQ(status(s.stream.substr(0, len)), arc::Status::Corrupt) << len;
    BitWriter far;
    far.fixedBlock(true);
    far.literal('a');
    far.literal(257);  // length 3 ...
    far.code(1, 5);    // ... from 2 back, before the first byte
    far.literal(256);
    EXPECT_EQ(status(far.finish()), arc::Status::Corrupt);
    EXPECT_EQ(status(std::string(1, '\x07')), arc::Status::Corrupt);                        // block type 3
    EXPECT_EQ(status(std::string("\x01\x05\x00\x00\x00xxxxx", 10)), arc::Status::Corrupt);  // LEN != ~NLEN
    BitWriter over;  // dynamic block whose code-length code has 19 codes of 1 bit
    over.bits(5, 3);
    over.bits(0, 5);
    over.bits(0, 5);
    over.bits(15, 4);
    for (int i = 0; i < 19; ++i)
        over.bits(1, 3);
    EXPECT_EQ(status(over.finish()), arc::Status::Corrupt);
    // A sink that refuses stops decoding.
    fixtures::MemorySink sink;
    sink.m_limit = 10;
    const std::string stream = s.stream;
    size_t pos = 0;
    arc::Result r = arc::inflateRaw(
        arc::DeflateVariant::Deflate64,
        [&](uint8_t* buf, size_t cap) {
            const size_t n = std::min(cap, stream.size() - pos);
            std::memcpy(buf, stream.data() + pos, n);
            pos += n;
            return n;
        },
        sink);
    EXPECT_EQ(r.status, arc::Status::Aborted);
}

TEST(ZipReader, MethodsMadeBy7zipIncludingDeflate64ExtractInAnyOrder)
{
    REQUIRE_TOOL("7zz");
    fixtures::TempDir dir;
    std::string text;
    for (int i = 0; text.size() < 400000; ++i)
        text += "chime " + std::to_string(i * 7919 % 100003) + " ";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"long.txt", text}, {"noise.wav", noise(100000, 5)}, {"small.txt", "tiny"}, {"empty.txt", ""}};
    fixtures::run("mkdir -p " + quote(dir.file("src")));
    for (const auto& [name, data] : files)
        fixtures::writeFile(dir.file("src/" + name), data);
    for (const char* method : {"Copy", "Deflate", "Deflate64", "BZip2"}) {
        SCOPED_TRACE(method);
        const std::string zip = dir.file(std::string(method) + ".zip");
        ASSERT_TRUE(fixtures::run("cd " + quote(dir.file("src")) + " && 7zz a -tzip -mx=9 -mm=" + method + " " +
                                  quote(zip) + " ."));
        arc::ZipReader r;
        arc::Result res = r.open(zip);
        ASSERT_TRUE(res.ok()) << res.message;
        ASSERT_EQ(r.entries().size(), files.size());
        for (size_t round = 0; round < 2; ++round) {
            for (size_t k = files.size(); k-- > 0;) {
                const size_t i = round ? files.size() - 1 - k : k;
                const auto it = std::find_if(files.begin(), files.end(),
                                             [&](const auto& f) { return f.first == r.entries()[i].name; });
                ASSERT_NE(it, files.end()) << r.entries()[i].name;
                EXPECT_EQ(r.entries()[i].crc, fixtures::crc32Of(it->second));
                EXPECT_TRUE(extract(r, i) == it->second) << it->first;
            }
        }
    }
}

TEST(ZipReader, HandWrittenDeflate64EntryAndDamagedNeighbours)
{
    // Entry 0's local header is overwritten, entry 1's data is broken, entry
    // 2 is Deflate64: it extracts as the directory says, without the others.
    // Entry 3 is an empty file marked deflate with no data.
    fixtures::TempDir dir;
    LongDistanceStream s;
    std::vector<fixtures::ZipMember> members(4);
    members[0] = {"gone.wav", "zzzz"};
    members[1] = {"broken.wav", std::string(1000, 'a'), std::string(200, '\xFF'), 8};
    members[2] = {"d64.wav", s.expected, s.stream, 9};
    members[3] = {"empty.wav", "", "", 8};  // deflate without a stream at all
    std::string bytes = fixtures::buildZip(members);
    bytes[0] = 'X';
    const std::string zip = dir.file("d.zip");
    fixtures::writeFile(zip, bytes);

    arc::ZipReader r;
    ASSERT_TRUE(r.open(zip).ok());
    ASSERT_EQ(r.entries().size(), 4u);
    EXPECT_EQ(r.entries()[2].method, "Defl64");
    arc::Result emptyResult;
    EXPECT_EQ(extract(r, 3, &emptyResult), "");
    EXPECT_TRUE(emptyResult.ok()) << emptyResult.message;
    EXPECT_TRUE(extract(r, 2) == s.expected);
    arc::Result res;
    extract(r, 0, &res);
    EXPECT_EQ(res.status, arc::Status::Corrupt);
    extract(r, 1, &res);
    EXPECT_EQ(res.status, arc::Status::Corrupt);
    EXPECT_TRUE(extract(r, 2) == s.expected);
}

TEST(ZipReader, TruncatedAndFlippedFilesFailWithoutCrashing)
{
    fixtures::TempDir dir;
    const std::string stored = noise(2000, 9);
    BitWriter w;
    w.stored(stored, true);
    const std::string good =
        fixtures::buildZip({{"a.wav", stored, w.finish(), 9},
                            {"b.wav", std::string(3000, 'b'), zlibRaw(std::string(3000, 'b'), 9), 8},
                            {"c.wav", "stored"}});
    const std::string zip = dir.file("t.zip");
    auto exercise = [&](const std::string& bytes) {
        fixtures::writeFile(zip, bytes);
        arc::ZipReader r;
        if (!r.open(zip).ok())
            return;
        for (size_t i = 0; i < r.entries().size(); ++i) {
            arc::Result res;
            extract(r, i, &res);
        }
    };
    for (size_t len = 0; len < good.size(); len += 67)
        exercise(good.substr(0, len));
    for (size_t at = 0; at < good.size(); at += 29) {
        std::string flipped = good;
        flipped[at] = char(flipped[at] ^ 0x5A);
        exercise(flipped);
    }
    fixtures::writeFile(zip, "this is a text file, not an archive");
    arc::ZipReader r;
    EXPECT_EQ(r.open(zip).status, arc::Status::NotArchive);
}

TEST(ZipReader, MethodsLeftToLibarchiveFailOneEntryAtATime)
{
    // bzip2, xz and zstd entries amid entries whose bzip2 data is broken:
    // each failure spends nothing of the others, and no entry makes a later
    // one open (and read the directory of) the whole archive again.
    REQUIRE_TOOL("bsdtar");
    fixtures::TempDir dir;
    const std::string text = "tide bell " + noise(3000, 3) + std::string(5000, 'x');
    std::vector<fixtures::ZipMember> members;
    auto broken = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            members.emplace_back("bad" + std::to_string(i) + ".wav", text, "BZh91AY&SY" + std::string(40, '\x55'), 12);
    };
    broken(0, 60);
    for (const auto& [filter, method] : {std::pair{"-j", 12}, {"-J", 95}, {"--zstd", 93}}) {
        const std::string packed = fixtures::compressWith(filter, text, dir);
        ASSERT_FALSE(packed.empty()) << filter;
        members.emplace_back(std::string("good") + filter + ".wav", text, packed, static_cast<uint16_t>(method));
    }
    broken(60, 120);
    const std::string zip = dir.file("m.zip");
    fixtures::writeFile(zip, fixtures::buildZip(members));
    arc::ZipReader r;
    ASSERT_TRUE(r.open(zip).ok());
    ASSERT_EQ(r.entries().size(), members.size());
    for (size_t round = 0; round < 2; ++round) {
        for (size_t i = 0; i < members.size(); ++i) {
            arc::Result res;
            const std::string data = extract(r, i, &res);
            if (members[i].rawName.starts_with("good")) {
                EXPECT_TRUE(res.ok() && data == text) << members[i].rawName << ": " << res.message;
            } else {
                EXPECT_FALSE(res.ok()) << members[i].rawName;
            }
        }
    }
    EXPECT_EQ(r.libarchiveHandles(), 2 * members.size());
}
