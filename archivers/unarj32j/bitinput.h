// Reads a compressed stream bit by bit, most significant bit first, from a
// ByteSource. Past the end of the stream it supplies zero bits but remembers
// that it did: a decoder that consumes them was fed a truncated or hostile
// stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace arj {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to `size` bytes into `buffer`; 0 at the end, -1 on a read error.
    virtual long read(uint8_t* buffer, size_t size) = 0;
};

class BitInput {
public:
    explicit BitInput(ByteSource& source);

    // The next `count` (0..24) bits without consuming them.
    uint32_t peek(unsigned count)
    {
        if (m_count < count)
            refill();
        return count == 0 ? 0 : static_cast<uint32_t>(m_bits >> (64 - count));
    }
    void skip(unsigned count)
    {
        if (m_count < count)
            refill();
        m_bits <<= count;
        m_count -= count;
        m_consumed += count;
    }
    uint32_t get(unsigned count)
    {
        const uint32_t value = peek(count);
        skip(count);
        return value;
    }

    // True once more bits were consumed than the stream holds.
    bool overrun() const { return m_consumed > m_available; }
    bool readError() const { return m_readError; }

private:
    void refill();

    ByteSource& m_source;
    std::vector<uint8_t> m_buffer;
    size_t m_pos = 0;
    size_t m_len = 0;
    bool m_ended = false;
    bool m_readError = false;
    uint64_t m_bits = 0;       // next bits, left aligned
    unsigned m_count = 0;      // valid bits in m_bits
    uint64_t m_consumed = 0;   // bits handed out so far
    uint64_t m_available = 0;  // bits the source really delivered
};

}  // namespace arj
