#include "archivers/unarj32j/huffmantable.h"

#include <algorithm>

namespace arj {

bool HuffmanTable::build(const uint8_t* lengths, unsigned symbolCount)
{
    m_single = false;
    m_countOf.fill(0);
    for (unsigned s = 0; s < symbolCount; ++s) {
        if (lengths[s] > kMaxBits)
            return false;
        ++m_countOf[lengths[s]];
    }
    m_countOf[0] = 0;

    // Kraft sum in units of 2^-16: a complete code fills exactly 2^16.
    uint32_t filled = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len)
        filled += static_cast<uint32_t>(m_countOf[len]) << (kMaxBits - len);
    if (filled != (1u << kMaxBits))
        return false;

    uint32_t code = 0;
    uint16_t index = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        m_firstCode[len] = code;
        m_firstIndex[len] = index;
        code = (code + m_countOf[len]) << 1;
        index = static_cast<uint16_t>(index + m_countOf[len]);
    }

    m_sorted.assign(index, 0);
    std::array<uint16_t, kMaxBits + 1> next = m_firstIndex;
    std::fill(m_fast.begin(), m_fast.end(), Fast{});
    for (unsigned s = 0; s < symbolCount; ++s) {
        const unsigned len = lengths[s];
        if (len == 0)
            continue;
        const uint16_t at = next[len]++;
        m_sorted[at] = static_cast<uint16_t>(s);
        if (len <= kFastBits) {
            const uint32_t symbolCode = m_firstCode[len] + (at - m_firstIndex[len]);
            const uint32_t first = symbolCode << (kFastBits - len);
            const uint32_t span = 1u << (kFastBits - len);
            for (uint32_t i = 0; i < span; ++i)
                m_fast[first + i] = Fast{static_cast<uint16_t>(s), static_cast<uint8_t>(len)};
        }
    }
    return true;
}

void HuffmanTable::setSingle(uint16_t symbol)
{
    m_single = true;
    m_singleSymbol = symbol;
}

uint16_t HuffmanTable::decodeSlow(BitInput& in, uint32_t bits) const
{
    // The code is complete, so some length always matches.
    for (unsigned len = kFastBits + 1; len <= kMaxBits; ++len) {
        const uint32_t code = bits >> (kMaxBits - len);
        const uint32_t offset = code - m_firstCode[len];
        if (code >= m_firstCode[len] && offset < m_countOf[len]) {
            in.skip(len);
            return m_sorted[m_firstIndex[len] + offset];
        }
    }
    in.skip(kMaxBits);
    return m_sorted.empty() ? 0 : m_sorted.back();
}

}  // namespace arj
