#include "archivers/unlha32/lzh_header.h"

#include "archivers/common/crc.h"
#include "archivers/common/file_window.h"
#include "archivers/common/littleendian.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace arc {
namespace {

constexpr uint64_t kMaxHeaderSize = 1u << 20;

// The fields an extended header may carry (levels 1 to 3).
struct Extended {
    std::string name, folder;
    bool hasName = false, hasFolder = false, hasHeaderCrc = false;
    uint16_t headerCrc = 0;
    size_t headerCrcPos = 0;  // offset of the header CRC inside the level 2/3 header
};

void applyExtended(LzhHeader& h, Extended& x, const uint8_t* data, size_t size, size_t posInHeader)
{
    if (size == 0)
        return;
    const uint8_t type = data[0];
    const uint8_t* body = data + 1;
    const size_t len = size - 1;
    const LittleEndian fields(body, len);
    switch (type) {
    case 0x00:
        if (len >= 2) {
            x.hasHeaderCrc = true;
            x.headerCrc = fields.u16(0);
            x.headerCrcPos = posInHeader + 1;
        }
        break;
    case 0x01:
        x.name.assign(reinterpret_cast<const char*>(body), len);
        x.hasName = true;
        break;
    case 0x02:
        x.folder.assign(reinterpret_cast<const char*>(body), len);
        x.hasFolder = true;
        break;
    case 0x40:
        if (len >= 1)
            h.attributes = body[0];
        break;
    case 0x42:  // 64-bit sizes
        if (len >= 16) {
            h.packedSize = fields.u64(0);
            h.size = fields.u64(8);
        }
        break;
    case 0x54:
        if (len >= 4) {
            h.unixTime = fields.u32(0);
            h.hasUnixTime = true;
        }
        break;
    default:
        break;
    }
}

// Walks the chain of extended headers held in `buf` from `pos` on, each
// ending with the size of the next one (`sizeBytes` wide).
bool walkExtendedInBuffer(LzhHeader& h, Extended& x, const std::vector<uint8_t>& buf, size_t pos, uint64_t next,
                          size_t sizeBytes)
{
    while (next != 0) {
        if (next < 1 + sizeBytes || next > buf.size() - pos)
            return false;
        const size_t n = size_t(next);
        applyExtended(h, x, buf.data() + pos, n - sizeBytes, pos);
        const size_t tail = pos + n - sizeBytes;
        next = sizeBytes == 2 ? LittleEndian(buf).u16(tail) : LittleEndian(buf).u32(tail);
        pos += n;
    }
    return true;
}

void composePath(LzhHeader& h, const std::string& base, const Extended& x)
{
    std::string path;
    if (x.hasFolder && !x.folder.empty()) {
        path = x.folder;
        if (path.back() != '\xFF' && path.back() != '/' && path.back() != '\\')
            path += '\xFF';
    }
    path += x.hasName ? x.name : base;
    // 0xFF separates folders in extended headers and in some level 0 names;
    // it never occurs inside a Shift-JIS or UTF-8 character, so it is safe to
    // replace on the raw bytes. Backslashes are not: 0x5C can be the second
    // byte of a Shift-JIS character, so they are left for after decoding.
    for (char& c : path)
        if (c == '\xFF')
            c = '/';
    h.rawPath = std::move(path);
}

}  // namespace

bool LzhHeader::looksLikeMethod(const char* m)
{
    return m[0] == '-' && m[4] == '-' &&
           ((m[1] == 'l' && (m[2] == 'h' || m[2] == 'z')) || (m[1] == 'p' && m[2] == 'm'));
}

LzhHeader::Read LzhHeader::readAt(FileWindow& file, uint64_t at)
{
    const uint64_t fileSize = file.fileSize();
    *this = LzhHeader{};
    offset = at;
    auto corrupt = [this](const char* why) {
        message = why;
        return Read::Corrupt;
    };
    if (at >= fileSize)
        return Read::End;
    uint8_t first = 0;
    if (!file.read(at, &first, 1))
        return Read::End;
    if (first == 0)
        return Read::End;
    const uint64_t available = fileSize - at;
    if (available < 22)
        return corrupt("truncated header");

    std::array<uint8_t, 22> fixed{};
    if (!file.read(at, fixed.data(), fixed.size()))
        return corrupt("truncated header");
    if (!looksLikeMethod(reinterpret_cast<const char*>(fixed.data() + 2)))
        return corrupt("not an LZH header");
    method.assign(reinterpret_cast<const char*>(fixed.data() + 2), 5);
    const LittleEndian fixedFields(fixed.data(), fixed.size());
    packedSize = fixedFields.u32(7);
    size = fixedFields.u32(11);
    level = fixed[20];

    Extended x;
    std::vector<uint8_t> buf;
    if (level == 0 || level == 1) {
        const size_t total = size_t(fixed[0]) + 2;
        if (total < 24)
            return corrupt("bad header size");
        if (total > available)
            return corrupt("truncated header");
        buf.resize(total);
        if (!file.read(at, buf.data(), total))
            return corrupt("truncated header");
        uint8_t sum = 0;
        for (size_t i = 2; i < total; ++i)
            sum = uint8_t(sum + buf[i]);
        if (sum != buf[1])
            return corrupt("header checksum error");
        const size_t nameLen = buf[21];
        const size_t need = 22 + nameLen + 2 + (level == 1 ? 3 : 0);
        if (need > total)
            return corrupt("bad header size");
        const LittleEndian fields(buf);
        dosDateTime = fields.u32(15);
        hasDosDateTime = true;
        attributes = buf[19];
        crc = fields.u16(22 + nameLen);
        if (total > 24 + nameLen)
            osId = buf[24 + nameLen];
        const std::string base(reinterpret_cast<const char*>(buf.data() + 22), nameLen);
        headerSize = total;
        if (level == 1) {
            // The extended headers follow the base header and are counted
            // in the stored size; read them one by one.
            uint64_t next = fields.u16(total - 2);
            uint64_t pos = at + total;
            while (next != 0) {
                if (next < 3 || headerSize + next > kMaxHeaderSize || next > packedSize)
                    return corrupt("bad extended header size");
                if (pos + next > fileSize)
                    return corrupt("truncated header");
                std::vector<uint8_t> ext(static_cast<size_t>(next));
                if (!file.read(pos, ext.data(), ext.size()))
                    return corrupt("truncated header");
                applyExtended(*this, x, ext.data(), ext.size() - 2, 0);
                packedSize -= next;
                headerSize += next;
                pos += next;
                next = LittleEndian(ext).u16(ext.size() - 2);
            }
        }
        composePath(*this, base, x);
    } else if (level == 2 || level == 3) {
        uint64_t total;
        size_t extStart;
        size_t sizeBytes;
        if (level == 2) {
            total = fixedFields.u16(0);
            extStart = 26;
            sizeBytes = 2;
        } else {
            if (fixedFields.u16(0) != 4)
                return corrupt("bad level 3 header");
            uint8_t more[4];
            if (available < 32 || !file.read(at + 24, more, 4))
                return corrupt("truncated header");
            total = LittleEndian(more).u32(0);
            extStart = 32;
            sizeBytes = 4;
        }
        if (total < extStart || total > kMaxHeaderSize)
            return corrupt("bad header size");
        if (total > available)
            return corrupt("truncated header");
        buf.resize(size_t(total));
        if (!file.read(at, buf.data(), buf.size()))
            return corrupt("truncated header");
        const LittleEndian fields(buf);
        unixTime = fields.u32(15);
        hasUnixTime = true;
        crc = fields.u16(21);
        osId = buf[23];
        const uint64_t next = sizeBytes == 2 ? fields.u16(24) : fields.u32(28);
        // The header ends where its chain of extended headers ends. Some
        // writers (OS-9/68k's) leave the last two bytes out of the stated
        // size; others pad after the chain. Both are well formed.
        uint64_t chainEnd = extStart;
        for (uint64_t size = next; size != 0;) {
            if (size < 1 + sizeBytes || chainEnd + size > kMaxHeaderSize)
                return corrupt("bad extended header size");
            if (chainEnd + size > available)
                return corrupt("truncated header");
            if (chainEnd + size > buf.size()) {
                const size_t had = buf.size();
                buf.resize(size_t(chainEnd + size));
                if (!file.read(at + had, buf.data() + had, buf.size() - had))
                    return corrupt("truncated header");
            }
            chainEnd += size;
            const size_t tail = size_t(chainEnd) - sizeBytes;
            size = sizeBytes == 2 ? LittleEndian(buf).u16(tail) : LittleEndian(buf).u32(tail);
        }
        total = std::max(total, chainEnd);
        if (!walkExtendedInBuffer(*this, x, buf, extStart, next, sizeBytes))
            return corrupt("bad extended header size");
        if (x.hasHeaderCrc) {
            // The CRC is taken with its own two bytes as zeros.
            static constexpr uint8_t kZeros[2] = {0, 0};
            uint16_t headerCrc = crc16Update(0, buf.data(), x.headerCrcPos);
            headerCrc = crc16Update(headerCrc, kZeros, 2);
            headerCrc = crc16Update(headerCrc, buf.data() + x.headerCrcPos + 2, buf.size() - x.headerCrcPos - 2);
            if (headerCrc != x.headerCrc)
                return corrupt("header CRC error");
        }
        headerSize = total;
        composePath(*this, std::string(), x);
    } else {
        return corrupt("unknown header level");
    }
    if (rawPath.empty() && !isDirectory())
        return corrupt("member without a name");
    return Read::Ok;
}

}  // namespace arc
