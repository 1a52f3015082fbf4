#include "tests/archivers/support/lzhbuilder.h"

#include <stdexcept>

#include "tests/archivers/support/archivetest.h"

namespace fixtures {
namespace {

constexpr uint32_t kUnixStamp = 1796733296;

// An extended header: type, body, and room for the size of the next one
// (two bytes, four at level 3).
std::string extended(uint8_t type, const std::string& body, size_t sizeBytes = 2)
{
    std::string x(1, char(type));
    x += body;
    x.append(sizeBytes, '\0');
    return x;
}

void putSize(std::string& s, uint32_t v, size_t sizeBytes)
{
    if (sizeBytes == 4)
        putLe32(s, v);
    else
        putLe16(s, v);
}

// Chains extended headers: each one's last bytes give the next one's size.
std::string chain(const std::vector<std::string>& parts, std::string& firstSize, size_t sizeBytes = 2)
{
    firstSize.clear();
    putSize(firstSize, parts.empty() ? 0 : uint32_t(parts[0].size()), sizeBytes);
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string p = parts[i];
        p.resize(p.size() - sizeBytes);
        putSize(p, i + 1 < parts.size() ? uint32_t(parts[i + 1].size()) : 0, sizeBytes);
        out += p;
    }
    return out;
}

}  // namespace

uint16_t lzhCrc16(const std::string& data)
{
    uint16_t crc = 0;
    for (unsigned char c : data) {
        crc ^= c;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

std::string lzhMember(const LzhMember& m)
{
    const std::string method = m.directory ? "-lhd-" : m.method;
    const std::string body = m.directory ? std::string() : (m.packed.empty() ? m.data : m.packed);
    const uint32_t size = m.directory ? 0 : uint32_t(m.data.size());
    uint16_t crc = m.directory ? 0 : lzhCrc16(m.data);
    if (m.badDataCrc)
        crc ^= 0x5A5A;

    std::string h;
    if (m.level == 0 || m.level == 1) {
        std::vector<std::string> ext;
        if (m.level == 1 && !m.rawFolder.empty())
            ext.push_back(extended(0x02, m.rawFolder));
        std::string firstSize;
        const std::string extBytes = chain(ext, firstSize);
        std::string base;
        base += method;
        putLe32(base, uint32_t(body.size() + (m.level == 1 ? extBytes.size() : 0)));
        putLe32(base, size);
        putLe32(base, kDosStamp);
        base += char(m.level == 1 ? 0x20 : m.attributes);
        base += char(m.level);
        base += char(m.rawName.size());
        base += m.rawName;
        putLe16(base, crc);
        if (m.level == 1) {
            base += char(m.osId);
            base += firstSize;
        }
        if (base.size() > 255)
            throw std::length_error("level 0/1 header too long");
        h += char(base.size());
        h += '\0';
        h += base;
        fixLevel0Checksum(h);
        h += extBytes;
    } else {
        // Level 2 counts sizes in two bytes, level 3 in four; level 3 starts
        // with that width instead of the header size, which follows the OS id.
        const size_t sizeBytes = m.level == 3 ? 4 : 2;
        std::vector<std::string> ext;
        if (m.headerCrc)
            ext.push_back(extended(0x00, std::string(2, '\0'), sizeBytes));  // header CRC, filled below
        if (!m.directory)
            ext.push_back(extended(0x01, m.rawName, sizeBytes));
        if (!m.rawFolder.empty() || m.directory)
            ext.push_back(extended(0x02, m.directory ? m.rawName : m.rawFolder, sizeBytes));
        ext.push_back(extended(0x40, std::string(1, char(m.attributes)) + '\0', sizeBytes));
        std::string firstSize;
        const std::string extBytes = chain(ext, firstSize, sizeBytes);
        std::string rest;
        rest += method;
        putLe32(rest, uint32_t(body.size()));
        putLe32(rest, size);
        putLe32(rest, kUnixStamp);
        rest += char(0x20);
        rest += char(m.level);
        putLe16(rest, crc);
        rest += char(m.osId);
        const size_t baseSize = m.level == 3 ? 32 : 26;
        if (m.level == 3) {
            putLe16(h, 4);
            putLe32(rest, uint32_t(int(baseSize + extBytes.size()) + m.statedSizeDelta));
        } else {
            putLe16(h, uint32_t(int(baseSize + extBytes.size()) + m.statedSizeDelta));
        }
        rest += firstSize;
        rest += extBytes;
        h += rest;
        // The header CRC body sits right after its type byte, the first
        // extended header's first byte.
        const size_t crcPos = baseSize + 1;
        if (!m.headerCrc)
            return h + body;
        uint16_t headerCrc = lzhCrc16(h);
        if (m.badHeaderCrc)
            headerCrc ^= 0x1111;
        h[crcPos] = char(headerCrc & 0xFF);
        h[crcPos + 1] = char(headerCrc >> 8);
    }
    return h + body;
}

void fixLevel0Checksum(std::string& bytes, size_t at)
{
    uint8_t sum = 0;
    for (size_t i = at + 2; i < at + 2 + uint8_t(bytes[at]) && i < bytes.size(); ++i)
        sum = uint8_t(sum + uint8_t(bytes[i]));
    bytes[at + 1] = char(sum);
}

std::string buildLzh(const std::vector<LzhMember>& members)
{
    std::string out;
    for (const auto& m : members)
        out += lzhMember(m);
    out += '\0';
    return out;
}

}  // namespace fixtures
