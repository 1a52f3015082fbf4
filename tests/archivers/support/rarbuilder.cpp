#include "tests/archivers/support/rarbuilder.h"

#include <zlib.h>

#include "tests/archivers/support/archivetest.h"

namespace fixtures {
namespace {

uint32_t crc32Of(const std::string& s, size_t from = 0)
{
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(s.data() + from), uInt(s.size() - from)));
}

// A block: CRC (low half of the CRC-32 of everything after it), type, flags,
// size, then `rest`.
std::string block(uint8_t type, uint16_t flags, const std::string& rest, bool badCrc = false)
{
    std::string b;
    putLe16(b, 0);
    b += char(type);
    putLe16(b, flags);
    putLe16(b, uint32_t(7 + rest.size()));
    b += rest;
    uint16_t crc = uint16_t(crc32Of(b, 2) & 0xFFFF);
    if (badCrc)
        crc ^= 0x0F0F;
    b[0] = char(crc & 0xFF);
    b[1] = char(crc >> 8);
    return b;
}

// RAR5's variable-length numbers: seven bits a byte, low bits first.
void putVint(std::string& s, uint64_t v)
{
    do {
        const uint8_t low = uint8_t(v & 0x7F);
        v >>= 7;
        s += char(v ? (low | 0x80) : low);
    } while (v);
}

// A RAR5 header: CRC-32 of what follows it, the size of the rest, the rest.
std::string header5(const std::string& rest)
{
    std::string sized;
    putVint(sized, rest.size());
    sized += rest;
    std::string h;
    putLe32(h, crc32Of(sized));
    return h + sized;
}

}  // namespace

std::string rar29Literals(const std::string& data, bool withTables)
{
    std::string out;
    unsigned acc = 0;
    int bits = 0;
    auto put = [&](unsigned value, int width) {  // most significant bit first
        for (int b = width - 1; b >= 0; --b) {
            acc = acc << 1 | ((value >> b) & 1);
            if (++bits == 8) {
                out += char(acc);
                acc = bits = 0;
            }
        }
    };
    // The decoders want complete codes. Main table: bytes 0-254 get 8 bits,
    // byte 255 and the end-of-block symbol 256 get 9 (canonical codes: the
    // byte itself, then 510 and 511).
    if (withTables) {
        put(0, 1);  // not a PPM block
        put(0, 1);  // fresh tables
        // Code lengths of the 20 length codes: 0, 1, 8 and 9 get 2 bits.
        for (int i = 0; i < 20; ++i)
            put(i == 0 || i == 1 || i == 8 || i == 9 ? 2 : 0, 4);
        auto length = [&](int value) { put(value == 0 ? 0 : value == 1 ? 1 : value == 8 ? 2 : 3, 2); };
        for (int i = 0; i < 299; ++i)
            length(i < 255 ? 8 : i <= 256 ? 9 : 0);
        // The other tables (distances, low distances, lengths): two 1-bit codes each.
        for (int size : {60, 17, 28})
            for (int i = 0; i < size; ++i)
                length(i < 2 ? 1 : 0);
    }
    for (unsigned char c : data) {
        if (c < 255)
            put(c, 8);
        else
            put(510, 9);
    }
    put(511, 9);  // end of block ...
    put(0, 2);    // ... and of the file; the next one keeps these tables
    if (bits)
        put(0, 8 - bits);
    return out;
}

std::string rarUnicodeName(const std::u16string& name)
{
    std::string out(1, '\0');  // the common high byte, unused by code 2
    for (size_t i = 0; i < name.size(); i += 4) {
        out += char(0xAA);  // four times code 2: a whole unit follows
        for (size_t j = i; j < name.size() && j < i + 4; ++j)
            putLe16(out, name[j]);
    }
    return out;
}

std::string buildRar(const std::vector<RarMember>& members, const RarOptions& options)
{
    std::string out("Rar!\x1A\x07\x00", 7);
    std::string main;
    putLe16(main, 0);
    putLe32(main, 0);
    out += block(0x73, options.solid ? 0x0008 : 0, main);
    for (size_t i = 0; i < members.size(); ++i) {
        const RarMember& m = members[i];
        const std::string body = m.directory ? std::string() : (m.packed.empty() ? m.data : m.packed);
        uint32_t crc = m.directory ? 0 : crc32Of(m.data);
        if (m.badDataCrc)
            crc ^= 0xDEADBEEF;
        const uint32_t size = m.declaredSize != UINT32_MAX ? m.declaredSize : uint32_t(m.data.size());
        std::string h;
        putLe32(h, uint32_t(body.size()));
        putLe32(h, m.directory ? 0 : size);
        h += char(m.hostOs);
        putLe32(h, crc);
        putLe32(h, kDosStamp);
        h += char(29);  // version needed: RAR 2.9
        h += char(m.method);
        putLe16(h, uint32_t(m.rawName.size()));
        putLe32(h, m.directory && m.hostOs != 3 ? (m.attributes | 0x10) : m.attributes);
        h += m.rawName;
        uint16_t flags = 0x8000;
        if (m.directory)
            flags |= 0x00E0;
        if (m.unicode)
            flags |= 0x0200;
        if (m.encrypted)
            flags |= 0x0004;
        if (options.solid && i > 0)
            flags |= 0x0010;  // uses the previous members' dictionary
        out += block(0x74, flags, h, m.badHeaderCrc);
        out += body;
    }
    if (options.endBlock)
        out += block(0x7B, 0x4000, std::string());
    return out;
}

std::string buildRar5(const std::vector<RarMember>& members)
{
    std::string out("Rar!\x1A\x07\x01\x00", 8);
    std::string main;
    putVint(main, 1);  // main archive header
    putVint(main, 0);  // no extra area, no data
    putVint(main, 0);  // archive flags
    out += header5(main);
    for (const RarMember& m : members) {
        const bool hardLink = !m.hardLinkTarget.empty();
        const bool link = !m.linkTarget.empty() || hardLink;
        const std::string body = m.directory || link ? std::string() : m.data;
        uint32_t crc = crc32Of(hardLink ? m.data : body);
        if (m.badDataCrc)
            crc ^= 0xDEADBEEF;
        std::string extra;
        if (link) {  // a redirection record: Unix symbolic link (1) or hard link (4)
            const std::string& target = hardLink ? m.hardLinkTarget : m.linkTarget;
            std::string record;
            putVint(record, 5);
            putVint(record, hardLink ? 4 : 1);
            putVint(record, 0);
            putVint(record, target.size());
            record += target;
            putVint(extra, record.size());
            extra += record;
        }
        std::string h;
        putVint(h, 2);                       // file header
        putVint(h, link ? 0x0003 : 0x0002);  // has a data area (and an extra area)
        if (link)
            putVint(h, extra.size());
        putVint(h, body.size());
        putVint(h, m.directory ? 0x0001 : 0x0004);  // folder, or CRC present
        putVint(h, hardLink ? m.data.size() : body.size());
        putVint(h, hardLink        ? 0100644
                   : link          ? 0120777
                   : m.hostOs == 3 ? (m.directory ? 040755 : 0100644)
                                   : (m.directory ? 0x10 : 0x20));
        if (!m.directory)
            putLe32(h, crc);
        putVint(h, 0);  // version 0, stored
        putVint(h, m.hostOs == 3 ? 1 : 0);
        putVint(h, m.rawName.size());
        h += m.rawName;
        out += header5(h + extra) + body;
    }
    std::string end;
    putVint(end, 5);
    putVint(end, 0);
    putVint(end, 0);
    return out + header5(end);
}

}  // namespace fixtures
