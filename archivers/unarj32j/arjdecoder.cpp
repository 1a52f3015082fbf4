#include "archivers/unarj32j/arjdecoder.h"

#include <algorithm>
#include <array>
#include <vector>

#include "archivers/unarj32j/huffmantable.h"

namespace arj {

namespace {

constexpr unsigned kThreshold = 3;  // shortest match
constexpr unsigned kCharCount = 256;
constexpr unsigned kMaxMatch = 256;
constexpr unsigned kNc = kCharCount + kMaxMatch + 2 - kThreshold;  // literal/length symbols
constexpr unsigned kNp = 17;                                       // position symbols
constexpr unsigned kNt = 19;                                       // symbols of the code-length code
constexpr unsigned kCBits = 9;
constexpr unsigned kPBits = 5;
constexpr unsigned kTBits = 5;

// The ring keeps the last 64 KiB of output: more than any distance either
// method can express, so every legal match finds its bytes here.
constexpr uint32_t kRingSize = 1u << 16;
constexpr uint32_t kRingMask = kRingSize - 1;

class Output {
public:
    Output(arc::Sink& sink, uint64_t size) : m_sink(sink), m_remaining(size), m_ring(kRingSize) {}

    uint64_t remaining() const { return m_remaining; }
    bool failed() const { return m_failed; }

    void literal(uint8_t byte)
    {
        m_ring[m_pos] = byte;
        advance();
        ++m_total;
        --m_remaining;
    }
    // False when the match reaches before the start of the output.
    bool match(uint32_t distance, uint32_t length)
    {
        if (distance == 0 || distance > m_total || distance > kRingSize)
            return false;
        const uint64_t count = std::min<uint64_t>(length, m_remaining);
        uint32_t from = (m_pos - distance) & kRingMask;
        for (uint64_t i = 0; i < count; ++i) {
            m_ring[m_pos] = m_ring[from];
            from = (from + 1) & kRingMask;
            advance();
        }
        m_total += count;
        m_remaining -= count;
        return true;
    }
    void finish()
    {
        if (m_pos > m_flushed)
            flush(m_pos);
    }

private:
    void advance()
    {
        m_pos = (m_pos + 1) & kRingMask;
        if (m_pos == 0) {
            flush(kRingSize);
        }
    }
    void flush(uint32_t end)
    {
        if (!m_failed && !m_sink.write(m_ring.data() + m_flushed, end - m_flushed))
            m_failed = true;
        m_flushed = end & kRingMask;
    }

    arc::Sink& m_sink;
    uint64_t m_remaining;
    uint64_t m_total = 0;
    std::vector<uint8_t> m_ring;
    uint32_t m_pos = 0;
    uint32_t m_flushed = 0;
    bool m_failed = false;
};

arc::Result corrupt(const char* what)
{
    return arc::Result::fail(arc::Status::Corrupt, std::string("ARJ data is corrupt: ") + what);
}

// Methods 1 to 3: blocks, each with its own codes for literals/lengths and
// for match positions; the literal/length code lengths are themselves coded.
class BlockDecoder {
public:
    BlockDecoder(BitInput& in, Output& out) : m_in(in), m_out(out) {}

    arc::Result run()
    {
        uint32_t blockLeft = 0;
        while (m_out.remaining() > 0) {
            if (m_out.failed())
                break;
            if (m_in.overrun())
                return corrupt("compressed data ends early");
            if (blockLeft == 0) {
                blockLeft = m_in.get(16);
                if (blockLeft == 0)
                    blockLeft = 0x10000;
                if (const char* err = readHeaders())
                    return corrupt(err);
            }
            --blockLeft;
            const uint16_t c = m_charCode.decode(m_in);
            if (c < kCharCount) {
                m_out.literal(static_cast<uint8_t>(c));
                continue;
            }
            const uint32_t length = c - (kCharCount - kThreshold);
            uint32_t position = m_posCode.decode(m_in);
            if (position > 1)
                position = (1u << (position - 1)) + m_in.get(position - 1);
            if (!m_out.match(position + 1, length))
                return corrupt("match before the start of the file");
        }
        if (m_in.overrun())
            return corrupt("compressed data ends early");
        return arc::Result::success();
    }

private:
    const char* readHeaders()
    {
        if (!readLengthCode(m_lengthCode, kNt, kTBits, 3))
            return "bad code-length table";
        if (!readCharCode())
            return "bad literal table";
        if (!readLengthCode(m_posCode, kNp, kPBits, -1))
            return "bad position table";
        return nullptr;
    }

    // Every table starts with the count of coded lengths; a count of 0 is
    // followed by the one symbol the code has. Answers the count, 0 when the
    // table is complete already, -1 when the count or symbol is out of range.
    int readCount(HuffmanTable& table, unsigned symbols, unsigned countBits)
    {
        const unsigned n = m_in.get(countBits);
        if (n == 0) {
            const unsigned only = m_in.get(countBits);
            if (only >= symbols)
                return -1;
            table.setSingle(static_cast<uint16_t>(only));
            return 0;
        }
        return n > symbols ? -1 : static_cast<int>(n);
    }

    // The small codes: 3-bit lengths, 7 and above continued in unary.
    bool readLengthCode(HuffmanTable& table, unsigned symbols, unsigned countBits, int gapAfter)
    {
        const int n = readCount(table, symbols, countBits);
        if (n <= 0)
            return n == 0;
        std::array<uint8_t, kNt> lengths{};
        int i = 0;
        while (i < n) {
            unsigned len = m_in.get(3);
            if (len == 7) {
                while (m_in.get(1) == 1) {
                    if (++len > HuffmanTable::kMaxBits)
                        return false;
                }
            }
            lengths[i++] = static_cast<uint8_t>(len);
            if (i == gapAfter) {
                i += static_cast<int>(m_in.get(2));  // that many unused symbols follow (may pass n)
                if (i > static_cast<int>(symbols))
                    return false;
            }
        }
        return table.build(lengths.data(), symbols);
    }

    bool readCharCode()
    {
        const int count = readCount(m_charCode, kNc, kCBits);
        if (count <= 0)
            return count == 0;
        const unsigned n = static_cast<unsigned>(count);
        std::array<uint8_t, kNc> lengths{};
        unsigned i = 0;
        while (i < n) {
            const unsigned c = m_lengthCode.decode(m_in);
            if (c <= 2) {
                unsigned zeros = c == 0 ? 1 : c == 1 ? m_in.get(4) + 3 : m_in.get(kCBits) + 20;
                if (zeros > kNc - i)
                    return false;
                i += zeros;
            } else {
                lengths[i++] = static_cast<uint8_t>(c - 2);
            }
        }
        return m_charCode.build(lengths.data(), kNc);
    }

    BitInput& m_in;
    Output& m_out;
    HuffmanTable m_lengthCode;
    HuffmanTable m_charCode;
    HuffmanTable m_posCode;
};

// Method 4: a 0 bit and 8 bits for a literal, else a unary-prefixed length
// followed by a unary-prefixed position.
unsigned readVariable(BitInput& in, unsigned firstWidth, unsigned stopWidth)
{
    unsigned base = 0;
    unsigned width = firstWidth;
    for (; width < stopWidth; ++width) {
        if (in.get(1) == 0)
            break;
        base += 1u << width;
    }
    return base + in.get(width);
}

arc::Result decodeFastest(BitInput& in, Output& out)
{
    while (out.remaining() > 0) {
        if (out.failed())
            break;
        if (in.overrun())
            return corrupt("compressed data ends early");
        const unsigned c = readVariable(in, 0, 7);
        if (c == 0) {
            out.literal(static_cast<uint8_t>(in.get(8)));
            continue;
        }
        const unsigned length = c + kThreshold - 1;
        const unsigned position = readVariable(in, 9, 13);
        if (!out.match(position + 1, length))
            return corrupt("match before the start of the file");
    }
    if (in.overrun())
        return corrupt("compressed data ends early");
    return arc::Result::success();
}

arc::Result copyStored(ByteSource& in, uint64_t packedSize, uint64_t originalSize, arc::Sink& out)
{
    if (packedSize != originalSize)
        return corrupt("stored entry with two sizes");
    std::vector<uint8_t> buffer(64 * 1024);
    uint64_t left = originalSize;
    while (left > 0) {
        const long got = in.read(buffer.data(), std::min<uint64_t>(buffer.size(), left));
        if (got < 0)
            return arc::Result::fail(arc::Status::ReadError, "cannot read the archive");
        if (got == 0)
            return corrupt("stored data ends early");
        if (!out.write(buffer.data(), static_cast<size_t>(got)))
            return arc::Result::fail(arc::Status::Aborted, "extraction stopped");
        left -= static_cast<uint64_t>(got);
    }
    return arc::Result::success();
}

}  // namespace

arc::Result decodeEntry(unsigned method, ByteSource& in, uint64_t packedSize, uint64_t originalSize, arc::Sink& out)
{
    if (method == 0)
        return copyStored(in, packedSize, originalSize, out);
    if (method > 4)
        return arc::Result::fail(arc::Status::Unsupported,
                                 "ARJ method " + std::to_string(method) + " is not supported");
    if (originalSize == 0)
        return arc::Result::success();

    BitInput bits(in);
    Output output(out, originalSize);
    arc::Result result;
    if (method == 4) {
        result = decodeFastest(bits, output);
    } else {
        BlockDecoder blocks(bits, output);
        result = blocks.run();
    }
    if (bits.readError())
        return arc::Result::fail(arc::Status::ReadError, "cannot read the archive");
    if (!result.ok())
        return result;
    output.finish();
    if (output.failed())
        return arc::Result::fail(arc::Status::Aborted, "extraction stopped");
    return result;
}

}  // namespace arj
