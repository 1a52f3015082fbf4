#include "archivers/common/crc.h"

#include <zlib.h>

#include <array>
#include <climits>

namespace arc {

namespace {
// Slicing by eight: kCrc16Tables[k][b] is the CRC of byte b followed by k
// zero bytes, so eight bytes take eight lookups and no dependent chain.
constexpr std::array<std::array<uint16_t, 256>, 8> makeCrc16Tables()
{
    std::array<std::array<uint16_t, 256>, 8> t{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t c = static_cast<uint16_t>(i);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
        t[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (unsigned i = 0; i < 256; ++i)
            t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    return t;
}
constexpr auto kCrc16Tables = makeCrc16Tables();
}  // namespace

uint16_t crc16Update(uint16_t crc, const void* data, size_t size)
{
    auto p = static_cast<const unsigned char*>(data);
    const auto& t = kCrc16Tables;
    for (; size >= 8; size -= 8, p += 8) {
        const unsigned b0 = p[0] ^ (crc & 0xFF), b1 = p[1] ^ (crc >> 8);
        crc = static_cast<uint16_t>(t[7][b0] ^ t[6][b1] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^
                                    t[1][p[6]] ^ t[0][p[7]]);
    }
    for (; size > 0; --size, ++p)
        crc = static_cast<uint16_t>(t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8));
    return crc;
}

uint32_t crc32Update(uint32_t crc, const void* data, size_t size)
{
    auto p = static_cast<const Bytef*>(data);
    uLong c = crc;
    // zlib takes at most UINT_MAX bytes per call.
    while (size > 0) {
        const uInt chunk = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
        c = crc32(c, p, chunk);
        p += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(c);
}

}  // namespace arc
