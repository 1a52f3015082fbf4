#include "archivers/unarj32j/arjheader.h"

#include <cstring>
#include <vector>

#include <zlib.h>

#include "archivers/common/littleendian.h"

namespace arj {

namespace {

constexpr uint8_t kId0 = 0x60;
constexpr uint8_t kId1 = 0xEA;
constexpr size_t kFixedSize = 30;  // smallest first-header size

}  // namespace

HeaderRead readHeader(const ArjFile& file, uint64_t offset, ArjHeader& header)
{
    uint8_t start[4];
    const long got = file.readAt(offset, start, sizeof start);
    if (got < 0)
        return HeaderRead::IoError;
    if (got == 0)
        return HeaderRead::EndOfFile;
    if (got < 2 || start[0] != kId0 || start[1] != kId1)
        return HeaderRead::Bad;
    if (got < 4)
        return HeaderRead::Bad;
    const uint16_t size = arc::LittleEndian(start).u16(2);
    if (size == 0)
        return HeaderRead::End;
    if (size < kFixedSize || size > kMaxBasicHeader)
        return HeaderRead::Bad;

    std::vector<uint8_t> basic(size + 4u);
    const long body = file.readAt(offset + 4, basic.data(), basic.size());
    if (body < 0)
        return HeaderRead::IoError;
    if (static_cast<size_t>(body) != basic.size())
        return HeaderRead::Bad;
    const arc::LittleEndian b(basic);
    const uint32_t storedCrc = b.u32(size);
    if (static_cast<uint32_t>(crc32(0L, basic.data(), size)) != storedCrc)
        return HeaderRead::Bad;

    const uint8_t firstSize = b.u8(0);
    if (firstSize < kFixedSize || firstSize > size)
        return HeaderRead::Bad;
    header.version = b.u8(1);
    header.minVersion = b.u8(2);
    header.hostOs = b.u8(3);
    header.flags = b.u8(4);
    header.method = b.u8(5);
    header.fileType = b.u8(6);
    header.modified = b.u32(8);
    header.packedSize = b.u32(12);
    header.originalSize = b.u32(16);
    header.crc = b.u32(20);
    header.accessMode = b.u16(26);

    const auto* nameStart = reinterpret_cast<const char*>(basic.data() + firstSize);
    const size_t room = size - firstSize;
    const void* nul = std::memchr(nameStart, 0, room);
    if (!nul)
        return HeaderRead::Bad;
    header.name.assign(nameStart, static_cast<const char*>(nul));

    // Extended headers: skipped, but each must lie inside the file. Every
    // round moves forward by at least 6 bytes.
    uint64_t at = offset + 4 + size + 4;
    for (;;) {
        uint8_t ext[2];
        const long n = file.readAt(at, ext, sizeof ext);
        if (n < 0)
            return HeaderRead::IoError;
        if (n != 2)
            return HeaderRead::Bad;
        at += 2;
        const uint16_t extSize = arc::LittleEndian(ext).u16(0);
        if (extSize == 0)
            break;
        at += extSize + 4u;
        if (at > file.size())
            return HeaderRead::Bad;
    }
    header.dataOffset = at;
    return HeaderRead::Ok;
}

}  // namespace arj
