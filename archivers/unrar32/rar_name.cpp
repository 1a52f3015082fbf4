#include "archivers/unrar32/rar_name.h"

#include "archivers/common/littleendian.h"
#include "archivers/common/utf8.h"

#include <cstdint>
#include <vector>

namespace arc {
namespace {

// Longest name RAR writes, in UTF-16 units; also bounds hostile input.
constexpr size_t kMaxUnits = 1024;

std::string utf16ToUtf8(const std::vector<uint16_t>& units)
{
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, u);  // a lone surrogate comes out as U+FFFD
        }
    }
    return out;
}

}  // namespace

std::string decodeRarUnicodeName(std::string_view oem, std::string_view encoded)
{
    auto byte = [&](size_t i) { return uint8_t(encoded[i]); };
    std::vector<uint16_t> units;
    if (encoded.empty())
        return {};
    const uint16_t high = uint16_t(byte(0) << 8);
    size_t pos = 1;
    unsigned flags = 0;
    int flagBits = 0;
    while (pos < encoded.size() && units.size() < kMaxUnits) {
        if (flagBits == 0) {
            flags = byte(pos++);
            flagBits = 8;
            if (pos >= encoded.size())
                break;
        }
        switch ((flags >> 6) & 3) {
        case 0:  // one byte, high byte zero
            units.push_back(byte(pos++));
            break;
        case 1:  // one byte, with the name's common high byte
            units.push_back(uint16_t(high | byte(pos++)));
            break;
        case 2:  // a whole unit
            if (pos + 1 >= encoded.size())
                return utf16ToUtf8(units);
            units.push_back(LittleEndian(encoded).u16(pos));
            pos += 2;
            break;
        default: {  // a run taken from the OEM name, maybe shifted
            size_t length = byte(pos++);
            if (length & 0x80) {
                if (pos >= encoded.size())
                    return utf16ToUtf8(units);
                const uint8_t correction = byte(pos++);
                for (length = (length & 0x7F) + 2; length > 0 && units.size() < oem.size(); --length)
                    units.push_back(uint16_t(high | uint8_t(uint8_t(oem[units.size()]) + correction)));
            } else {
                for (length += 2; length > 0 && units.size() < oem.size(); --length)
                    units.push_back(uint8_t(oem[units.size()]));
            }
            break;
        }
        }
        flags <<= 2;
        flagBits -= 2;
    }
    return utf16ToUtf8(units);
}

}  // namespace arc
