#include "archivers/libarchive/inflate.h"

#include "archivers/common/littleendian.h"

#include <array>
#include <cstring>
#include <vector>

namespace arc {
namespace {

constexpr unsigned kMaxCodeBits = 15;
constexpr size_t kLiteralCodes = 288;  // 286 and 287 take part in the fixed code but never occur
constexpr size_t kDistanceCodes = 32;  // 30 and 31 only in Deflate64
constexpr size_t kWindow = 65536;      // Deflate64's; plain deflate needs half
constexpr size_t kMaxMatch = 65538;    // Deflate64's length code 285: 3 + 0xFFFF

struct Code {
    uint32_t base;
    uint8_t extraBits;
};

// Length codes 257 to 285.
constexpr std::array<Code, 29> kLengths = {{
    {3, 0},  {4, 0},  {5, 0},  {6, 0},   {7, 0},   {8, 0},   {9, 0},   {10, 0},  {11, 1},  {13, 1},
    {15, 1}, {17, 1}, {19, 2}, {23, 2},  {27, 2},  {31, 2},  {35, 3},  {43, 3},  {51, 3},  {59, 3},
    {67, 4}, {83, 4}, {99, 4}, {115, 4}, {131, 5}, {163, 5}, {195, 5}, {227, 5}, {258, 0},
}};
constexpr Code kLength285Deflate64 = {3, 16};

constexpr std::array<Code, kDistanceCodes> kDistances = {{
    {1, 0},     {2, 0},     {3, 0},     {4, 0},      {5, 1},      {7, 1},      {9, 2},      {13, 2},
    {17, 3},    {25, 3},    {33, 4},    {49, 4},     {65, 5},     {97, 5},     {129, 6},    {193, 6},
    {257, 7},   {385, 7},   {513, 8},   {769, 8},    {1025, 9},   {1537, 9},   {2049, 10},  {3073, 10},
    {4097, 11}, {6145, 11}, {8193, 12}, {12289, 12}, {16385, 13}, {24577, 13}, {32769, 14}, {49153, 14},
}};

// The order in which a dynamic block gives the code lengths of its
// code-length alphabet.
constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

class BitInput {
public:
    explicit BitInput(const ByteSource& source) : m_source(source) {}

    // Tops the bit buffer up to at least `need` bits (need <= 56) when the
    // input holds them; false when it ends first.
    bool fill(unsigned need)
    {
        while (m_count < need) {
            if (m_pos == m_len && !refill())
                return false;
            m_bits |= uint64_t(m_buf[m_pos++]) << m_count;
            m_count += 8;
        }
        return true;
    }
    bool take(unsigned n, uint32_t& value)
    {
        if (!fill(n))
            return false;
        value = uint32_t(m_bits & ((uint64_t(1) << n) - 1));
        drop(n);
        return true;
    }
    void drop(unsigned n)
    {
        m_bits >>= n;
        m_count -= n;
    }
    uint64_t bits() const { return m_bits; }
    unsigned count() const { return m_count; }
    void alignToByte() { drop(m_count % 8); }
    // After alignToByte: whole bytes, first those still in the bit buffer.
    bool readBytes(uint8_t* out, size_t n)
    {
        while (n > 0 && m_count >= 8) {
            *out++ = uint8_t(m_bits);
            drop(8);
            --n;
        }
        while (n > 0) {
            if (m_pos == m_len && !refill())
                return false;
            const size_t k = std::min(n, m_len - m_pos);
            std::memcpy(out, m_buf.data() + m_pos, k);
            m_pos += k;
            out += k;
            n -= k;
        }
        return true;
    }

private:
    bool refill()
    {
        if (m_ended)
            return false;
        m_len = m_source(m_buf.data(), m_buf.size());
        m_pos = 0;
        m_ended = m_len == 0;
        return !m_ended;
    }

    const ByteSource& m_source;
    std::array<uint8_t, 16384> m_buf{};
    size_t m_pos = 0, m_len = 0;
    bool m_ended = false;
    uint64_t m_bits = 0;
    unsigned m_count = 0;
};

// A canonical Huffman code: codes up to kFastBits long decode by one table
// look-up, longer ones bit by bit from the per-length counts.
class Huffman {
public:
    // False for lengths that over-subscribe the code. Incomplete codes are
    // accepted (a lone distance code is legal); their unused codes fail when met.
    bool build(const uint8_t* lengths, size_t n)
    {
        m_counts.fill(0);
        m_fast.fill(0);
        for (size_t i = 0; i < n; ++i)
            ++m_counts[lengths[i]];
        m_counts[0] = 0;
        int left = 1;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            left = (left << 1) - m_counts[len];
            if (left < 0)
                return false;
        }
        std::array<uint16_t, kMaxCodeBits + 2> offsets{};
        for (unsigned len = 1; len <= kMaxCodeBits; ++len)
            offsets[len + 1] = uint16_t(offsets[len] + m_counts[len]);
        m_symbols.assign(offsets[kMaxCodeBits + 1], 0);
        std::array<uint32_t, kMaxCodeBits + 1> next{};
        uint32_t code = 0;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            code = (code + m_counts[len - 1]) << 1;
            next[len] = code;
        }
        for (size_t sym = 0; sym < n; ++sym) {
            const unsigned len = lengths[sym];
            if (len == 0)
                continue;
            m_symbols[offsets[len]++] = uint16_t(sym);
            const uint32_t c = next[len]++;
            if (len > kFastBits)
                continue;
            uint32_t reversed = 0;
            for (unsigned b = 0; b < len; ++b)
                reversed |= ((c >> b) & 1) << (len - 1 - b);
            for (uint32_t r = reversed; r < m_fast.size(); r += 1u << len)
                m_fast[r] = uint16_t(sym << 4 | len);
        }
        return true;
    }

    // The next symbol, or -1 for an unused code or the end of the input.
    int decode(BitInput& in) const
    {
        in.fill(kMaxCodeBits);  // near the end fewer bits may be left: the slow path copes
        if (in.count() > 0) {
            const uint16_t e = m_fast[in.bits() & (m_fast.size() - 1)];
            if (e != 0 && (e & 15u) <= in.count()) {
                in.drop(e & 15u);
                return e >> 4;
            }
        }
        // Bit by bit: codes of one length are consecutive, from `first`.
        int code = 0, first = 0, index = 0;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            uint32_t bit = 0;
            if (!in.take(1, bit))
                return -1;
            code |= int(bit);
            const int count = m_counts[len];
            if (code - first < count)
                return m_symbols[size_t(index + code - first)];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    static constexpr unsigned kFastBits = 10;
    std::array<uint16_t, kMaxCodeBits + 1> m_counts{};
    std::array<uint16_t, 1u << kFastBits> m_fast{};  // symbol << 4 | length; 0: not in the table
    std::vector<uint16_t> m_symbols;
};

// The decoded bytes: the last kWindow of them stay for back-references,
// the rest go to the sink whenever the buffer fills.
class Output {
public:
    explicit Output(Sink& sink) : m_sink(sink), m_buf(2 * kWindow + kMaxMatch) {}

    // Makes room for `n` <= kMaxMatch more bytes.
    bool reserve(size_t n)
    {
        if (m_pos + n <= m_buf.size())
            return true;
        if (!flush())
            return false;
        const size_t keep = std::min(m_pos, kWindow);
        std::memmove(m_buf.data(), m_buf.data() + m_pos - keep, keep);
        m_pos = m_flushed = keep;
        return true;
    }
    bool flush()
    {
        if (m_pos > m_flushed && !m_sink.write(m_buf.data() + m_flushed, m_pos - m_flushed))
            return false;
        m_flushed = m_pos;
        return true;
    }
    void put(uint8_t byte)
    {
        m_buf[m_pos++] = byte;
        ++m_total;
    }
    uint8_t* tail() { return m_buf.data() + m_pos; }
    void advance(size_t n)
    {
        m_pos += n;
        m_total += n;
    }
    // Copies `length` bytes from `distance` back (they may overlap the copy).
    bool copy(uint32_t distance, uint32_t length)
    {
        if (distance == 0 || distance > m_total)
            return false;
        const uint8_t* from = m_buf.data() + m_pos - distance;
        uint8_t* to = m_buf.data() + m_pos;
        for (uint32_t i = 0; i < length; ++i)
            to[i] = from[i];
        advance(length);
        return true;
    }

private:
    Sink& m_sink;
    std::vector<uint8_t> m_buf;
    size_t m_pos = 0, m_flushed = 0;
    uint64_t m_total = 0;
};

Result corrupt(const char* why)
{
    return Result::fail(Status::Corrupt, std::string("deflate data: ") + why);
}
Result aborted()
{
    return Result::fail(Status::Aborted, "stopped by the receiver");
}

const Huffman& fixedLiterals()
{
    static const Huffman h = [] {
        std::array<uint8_t, kLiteralCodes> lengths{};
        for (size_t i = 0; i < kLiteralCodes; ++i)
            lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        Huffman code;
        code.build(lengths.data(), lengths.size());
        return code;
    }();
    return h;
}

const Huffman& fixedDistances()
{
    static const Huffman h = [] {
        std::array<uint8_t, kDistanceCodes> lengths{};
        lengths.fill(5);
        Huffman code;
        code.build(lengths.data(), lengths.size());
        return code;
    }();
    return h;
}

// Reads the code lengths of a dynamic block and builds its two codes.
Result readDynamicCodes(BitInput& in, DeflateVariant variant, Huffman& literals, Huffman& distances)
{
    uint32_t hlit = 0, hdist = 0, hclen = 0;
    if (!in.take(5, hlit) || !in.take(5, hdist) || !in.take(4, hclen))
        return corrupt("input ends early");
    const size_t nLit = hlit + 257, nDist = hdist + 1, nLen = hclen + 4;
    if (nLit > 286 || nDist > (variant == DeflateVariant::Deflate64 ? 32u : 30u))
        return corrupt("too many codes");

    std::array<uint8_t, 19> lenLengths{};
    for (size_t i = 0; i < nLen; ++i) {
        uint32_t v = 0;
        if (!in.take(3, v))
            return corrupt("input ends early");
        lenLengths[kCodeLengthOrder[i]] = uint8_t(v);
    }
    Huffman lenCode;
    if (!lenCode.build(lenLengths.data(), lenLengths.size()))
        return corrupt("bad code length code");

    std::array<uint8_t, kLiteralCodes + kDistanceCodes> lengths{};
    size_t i = 0;
    while (i < nLit + nDist) {
        const int sym = lenCode.decode(in);
        if (sym < 0)
            return corrupt("bad code length");
        if (sym < 16) {
            lengths[i++] = uint8_t(sym);
            continue;
        }
        uint32_t repeat = 0;
        uint8_t value = 0;
        if (sym == 16) {
            if (i == 0)
                return corrupt("repeat with no previous length");
            value = lengths[i - 1];
            if (!in.take(2, repeat))
                return corrupt("input ends early");
            repeat += 3;
        } else if (sym == 17) {
            if (!in.take(3, repeat))
                return corrupt("input ends early");
            repeat += 3;
        } else {
            if (!in.take(7, repeat))
                return corrupt("input ends early");
            repeat += 11;
        }
        if (i + repeat > nLit + nDist)
            return corrupt("code lengths overrun");
        while (repeat-- > 0)
            lengths[i++] = value;
    }
    if (lengths[256] == 0)
        return corrupt("no end-of-block code");
    if (!literals.build(lengths.data(), nLit) || !distances.build(lengths.data() + nLit, nDist))
        return corrupt("over-subscribed code");
    return Result::success();
}

Result inflateBlock(BitInput& in, Output& out, DeflateVariant variant, const Huffman& literals,
                    const Huffman& distances)
{
    for (;;) {
        const int sym = literals.decode(in);
        if (sym < 0)
            return corrupt("bad literal/length code");
        if (sym < 256) {
            if (!out.reserve(1))
                return aborted();
            out.put(uint8_t(sym));
            continue;
        }
        if (sym == 256)
            return Result::success();
        if (sym > 285)
            return corrupt("bad length code");
        const Code lc =
            sym == 285 && variant == DeflateVariant::Deflate64 ? kLength285Deflate64 : kLengths[size_t(sym - 257)];
        uint32_t extra = 0;
        if (!in.take(lc.extraBits, extra))
            return corrupt("input ends early");
        const uint32_t length = lc.base + extra;

        const int dsym = distances.decode(in);
        if (dsym < 0)
            return corrupt("bad distance code");
        if (dsym >= 30 && variant == DeflateVariant::Deflate)
            return corrupt("bad distance code");
        const Code dc = kDistances[size_t(dsym)];
        if (!in.take(dc.extraBits, extra))
            return corrupt("input ends early");
        if (!out.reserve(length))
            return aborted();
        if (!out.copy(dc.base + extra, length))
            return corrupt("distance before the start of the data");
    }
}

}  // namespace

Result inflateRaw(DeflateVariant variant, const ByteSource& source, Sink& sink)
{
    BitInput in(source);
    Output out(sink);
    Huffman literals, distances;
    for (bool last = false; !last;) {
        uint32_t header = 0;
        if (!in.take(3, header))
            return corrupt("input ends early");
        last = header & 1;
        switch (header >> 1) {
        case 0: {
            in.alignToByte();
            uint8_t lens[4];
            if (!in.readBytes(lens, 4))
                return corrupt("input ends early");
            const uint32_t len = LittleEndian(lens).u16(0), nlen = LittleEndian(lens).u16(2);
            if ((len ^ 0xFFFF) != nlen)
                return corrupt("bad stored block length");
            if (!out.reserve(len))
                return aborted();
            if (!in.readBytes(out.tail(), len))
                return corrupt("input ends early");
            out.advance(len);
            break;
        }
        case 1:
            if (Result r = inflateBlock(in, out, variant, fixedLiterals(), fixedDistances()); !r.ok())
                return r;
            break;
        case 2:
            if (Result r = readDynamicCodes(in, variant, literals, distances); !r.ok())
                return r;
            if (Result r = inflateBlock(in, out, variant, literals, distances); !r.ok())
                return r;
            break;
        default:
            return corrupt("bad block type");
        }
    }
    return out.flush() ? Result::success() : aborted();
}

}  // namespace arc
