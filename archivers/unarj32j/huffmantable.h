// A canonical prefix code as the ARJ block headers describe it: codes are
// given by their lengths (1 to 16 bits), shorter codes first and, within one
// length, in symbol order. Tables from the archive are hostile input, so a
// set of lengths that is not exactly a complete code is refused.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "archivers/unarj32j/bitinput.h"

namespace arj {

class HuffmanTable {
public:
    static constexpr unsigned kMaxBits = 16;

    // Builds the code from `lengths` (0 = symbol unused). False when the
    // lengths do not form a complete prefix code.
    bool build(const uint8_t* lengths, unsigned symbolCount);
    // A degenerate code that yields `symbol` without reading any bit.
    void setSingle(uint16_t symbol);

    uint16_t decode(BitInput& in) const
    {
        if (m_single)
            return m_singleSymbol;
        const uint32_t bits = in.peek(kMaxBits);
        const Fast& fast = m_fast[bits >> (kMaxBits - kFastBits)];
        if (fast.length != 0) {
            in.skip(fast.length);
            return fast.symbol;
        }
        return decodeSlow(in, bits);
    }

private:
    static constexpr unsigned kFastBits = 10;
    struct Fast {
        uint16_t symbol = 0;
        uint8_t length = 0;  // 0: code longer than kFastBits
    };

    uint16_t decodeSlow(BitInput& in, uint32_t bits) const;

    bool m_single = false;
    uint16_t m_singleSymbol = 0;
    std::array<uint16_t, kMaxBits + 1> m_countOf{};     // codes per length
    std::array<uint32_t, kMaxBits + 1> m_firstCode{};   // first code of each length
    std::array<uint16_t, kMaxBits + 1> m_firstIndex{};  // its place in m_sorted
    std::vector<uint16_t> m_sorted;                     // symbols by code
    std::vector<Fast> m_fast = std::vector<Fast>(1u << kFastBits);
};

}  // namespace arj
