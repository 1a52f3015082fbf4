#include "archivers/common/crc.h"

#include <zlib.h>

#include <array>
#include <climits>

namespace arc {

namespace {
constexpr std::array<uint16_t, 256> makeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t c = static_cast<uint16_t>(i);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
        table[i] = c;
    }
    return table;
}
constexpr auto kCrc16Table = makeCrc16Table();
}  // namespace

uint16_t crc16Update(uint16_t crc, const void* data, size_t size) {
    auto p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) crc = static_cast<uint16_t>(kCrc16Table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8));
    return crc;
}

uint32_t crc32Update(uint32_t crc, const void* data, size_t size) {
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
