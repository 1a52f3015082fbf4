// The decoder on hand-coded streams: what real archives never hold but a
// hostile one may.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "archivers/unarj32j/arjdecoder.h"
#include "tests/archivers/unarj32j/arjbuilder.h"

namespace {

using arjtest::BitWriter;

class MemorySource final : public arj::ByteSource {
public:
    explicit MemorySource(std::string data) : m_data(std::move(data)) {}
    long read(uint8_t* buffer, size_t size) override
    {
        const size_t n = std::min(size, m_data.size() - m_pos);
        std::memcpy(buffer, m_data.data() + m_pos, n);
        m_pos += n;
        return static_cast<long>(n);
    }

private:
    std::string m_data;
    size_t m_pos = 0;
};

class StringSink final : public arc::Sink {
public:
    bool write(const void* data, size_t size) override
    {
        if (refuseAfter && text.size() + size > *refuseAfter)
            return false;
        text.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string text;
    std::optional<size_t> refuseAfter;
};

arc::Result decode(unsigned method, const std::string& stream, uint64_t size, StringSink& sink)
{
    MemorySource source(stream);
    return arj::decodeEntry(method, source, stream.size(), size, sink);
}

// Method 4 codes: a literal is 0 + 8 bits; a match is a unary-prefixed
// length and a unary-prefixed position.
void putVariable(BitWriter& w, unsigned value, unsigned firstWidth, unsigned stopWidth)
{
    unsigned width = firstWidth;
    unsigned base = 0;
    while (width < stopWidth && value >= base + (1u << width)) {
        base += 1u << width;
        ++width;
        w.put(1, 1);
    }
    if (width < stopWidth)
        w.put(0, 1);
    w.put(value - base, width);
}
void literal4(BitWriter& w, uint8_t c)
{
    w.put(0, 1);
    w.put(c, 8);
}
void match4(BitWriter& w, unsigned length, unsigned distance)
{
    putVariable(w, length - 2, 0, 7);
    putVariable(w, distance - 1, 9, 13);
}

// Methods 1-3, a block whose three codes are single symbols (no bits each).
void putSingleSymbolBlock(BitWriter& w, unsigned blockSize, unsigned charSymbol, unsigned positionSymbol)
{
    w.put(blockSize, 16);
    w.put(0, 5);  // code-length code: one symbol
    w.put(0, 5);
    w.put(0, 9);  // literal/length code: one symbol
    w.put(charSymbol, 9);
    w.put(0, 5);  // position code: one symbol
    w.put(positionSymbol, 5);
}
std::string singleSymbolBlock(unsigned blockSize, unsigned charSymbol, unsigned positionSymbol)
{
    BitWriter w;
    putSingleSymbolBlock(w, blockSize, charSymbol, positionSymbol);
    return w.bytes();
}

TEST(ArjDecoder, FastestMethodLiteralsAndOverlappingMatches)
{
    BitWriter w;
    literal4(w, 'a');
    literal4(w, 'b');
    match4(w, 7, 2);       // overlapping copy: ababab a
    match4(w, 200, 9000);  // far position code, but reaches before the start
    StringSink sink;
    // Declared 9 bytes: the decoder stops inside the first match, before the bad one.
    ASSERT_TRUE(decode(4, w.bytes(), 9, sink).ok());
    EXPECT_EQ(sink.text, "ababababa");

    StringSink all;
    const arc::Result r = decode(4, w.bytes(), 300, all);
    EXPECT_EQ(r.status, arc::Status::Corrupt);
    EXPECT_LE(all.text.size(), 300u);
}

TEST(ArjDecoder, MatchBeforeTheFirstByteIsRefused)
{
    BitWriter first;
    match4(first, 3, 1);
    StringSink sink;
    EXPECT_EQ(decode(4, first.bytes(), 3, sink).status, arc::Status::Corrupt);

    // Methods 1-3: a block whose only symbol is a match.
    StringSink sink2;
    EXPECT_EQ(decode(1, singleSymbolBlock(1, 256, 0), 3, sink2).status, arc::Status::Corrupt);
}

TEST(ArjDecoder, EachBlockBringsItsOwnCodes)
{
    BitWriter w;
    putSingleSymbolBlock(w, 2, 'x', 0);
    putSingleSymbolBlock(w, 3, 'y', 0);
    StringSink sink;
    ASSERT_TRUE(decode(2, w.bytes(), 5, sink).ok());
    EXPECT_EQ(sink.text, "xxyyy");
}

TEST(ArjDecoder, BadCodeTablesAreRefused)
{
    auto withLengths = [](std::initializer_list<unsigned> lengths) {
        BitWriter w;
        w.put(1, 16);
        w.put(static_cast<uint32_t>(lengths.size()), 5);
        unsigned i = 0;
        for (unsigned len : lengths) {
            w.put(len, 3);
            if (++i == 3)
                w.put(0, 2);
        }
        return w.bytes() + std::string(8, '\0');
    };
    for (const std::string& stream : {withLengths({1, 1, 1}),        // over-subscribed
                                      withLengths({1, 2}),           // incomplete
                                      withLengths({0, 0, 0, 0})}) {  // empty
        StringSink sink;
        EXPECT_EQ(decode(1, stream, 10, sink).status, arc::Status::Corrupt);
        EXPECT_TRUE(sink.text.empty());
    }

    // Single symbols out of range.
    StringSink a;
    EXPECT_EQ(decode(1, singleSymbolBlock(1, 510, 0), 1, a).status, arc::Status::Corrupt);
    StringSink b;
    EXPECT_EQ(decode(1, singleSymbolBlock(1, 'x', 17), 1, b).status, arc::Status::Corrupt);
}

TEST(ArjDecoder, StreamEndingEarlyIsCorrupt)
{
    BitWriter w;
    literal4(w, 'q');
    StringSink sink;
    EXPECT_EQ(decode(4, w.bytes(), 1000, sink).status, arc::Status::Corrupt);

    std::string block = singleSymbolBlock(2, 'z', 0);  // two symbols, then a new block header is due
    StringSink sink2;
    EXPECT_EQ(decode(1, block, 100000, sink2).status, arc::Status::Corrupt);

    StringSink stored;
    EXPECT_EQ(decode(0, "abc", 3, stored).status, arc::Status::Ok);
    MemorySource shortSource("ab");
    StringSink stored2;
    EXPECT_EQ(arj::decodeEntry(0, shortSource, 3, 3, stored2).status, arc::Status::Corrupt);
}

TEST(ArjDecoder, UnknownMethodAndRefusingSink)
{
    StringSink sink;
    EXPECT_EQ(decode(7, "abc", 3, sink).status, arc::Status::Unsupported);

    BitWriter w;
    literal4(w, 'a');
    match4(w, 256, 1);
    match4(w, 256, 1);
    StringSink refusing;
    refusing.refuseAfter = 0;
    EXPECT_EQ(decode(4, w.bytes(), 513, refusing).status, arc::Status::Aborted);
    StringSink storedRefusing;
    storedRefusing.refuseAfter = 0;
    EXPECT_EQ(decode(0, "abc", 3, storedRefusing).status, arc::Status::Aborted);
}

TEST(ArjDecoder, RandomStreamsNeverOverrunTheDeclaredSize)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 400; ++round) {
        std::string stream(1 + random() % 300, '\0');
        for (char& c : stream)
            c = static_cast<char>(random());
        const unsigned method = 1 + round % 4;
        const uint64_t size = random() % 70000;
        StringSink sink;
        const arc::Result r = decode(method, stream, size, sink);
        if (r.ok()) {
            EXPECT_EQ(sink.text.size(), size);
        } else {
            EXPECT_LE(sink.text.size(), size);
            EXPECT_EQ(r.status, arc::Status::Corrupt);
        }
    }
}

}  // namespace
