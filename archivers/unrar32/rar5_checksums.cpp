#include "archivers/unrar32/rar5_checksums.h"

#include "archivers/common/file_window.h"
#include "archivers/common/littleendian.h"

#include <zlib.h>

namespace arc {
namespace {

constexpr uint64_t kSignatureSize = 8;
constexpr uint64_t kMaxHeaderSize = 2 * 1024 * 1024;  // RAR5 headers are at most 2 MiB

enum : uint64_t { kFileHeader = 2, kEncryptionHeader = 4, kEndHeader = 5 };
enum : uint64_t {
    kHasExtra = 0x0001,
    kHasData = 0x0002,
    kSplitBefore = 0x0008,
    kSplitAfter = 0x0010,
};
enum : uint64_t { kFileIsFolder = 0x0001, kFileHasTime = 0x0002, kFileHasCrc = 0x0004 };
constexpr uint64_t kExtraEncryption = 0x01;

// Reads fields of one header; every read fails once the header is used up.
class Fields {
public:
    Fields(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}
    bool vint(uint64_t& v)
    {
        v = 0;
        for (int shift = 0; shift < 64 && m_p < m_end; shift += 7) {
            const uint8_t b = *m_p++;
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return true;
        }
        return false;
    }
    bool u32(uint32_t& v)
    {
        if (m_end - m_p < 4)
            return false;
        v = LittleEndian(m_p, size_t(m_end - m_p)).u32(0);
        m_p += 4;
        return true;
    }
    bool bytes(uint64_t n, std::string& out)
    {
        if (uint64_t(m_end - m_p) < n)
            return false;
        out.assign(reinterpret_cast<const char*>(m_p), size_t(n));
        m_p += n;
        return true;
    }
    // The next `n` bytes as fields of their own; the caller checked left().
    Fields take(size_t n)
    {
        Fields part(m_p, n);
        m_p += n;
        return part;
    }
    size_t left() const { return size_t(m_end - m_p); }

private:
    const uint8_t* m_p;
    const uint8_t* m_end;
};

// True when the extra area (the last `extraSize` bytes of the header) holds
// an encryption record: the stored CRC is then a keyed hash.
bool extraSaysEncrypted(Fields extra)
{
    while (extra.left() > 0) {
        uint64_t size = 0, type = 0;
        if (!extra.vint(size) || size == 0 || size > extra.left())
            return false;
        Fields record = extra.take(size_t(size));
        if (record.vint(type) && type == kExtraEncryption)
            return true;
    }
    return false;
}

}  // namespace

std::vector<Rar5FileChecksum> readRar5Checksums(FileWindow& file)
{
    const uint64_t fileSize = file.fileSize();
    std::vector<Rar5FileChecksum> out;
    std::vector<uint8_t> header;
    uint64_t offset = kSignatureSize;
    while (offset < fileSize && fileSize - offset >= 7) {
        // CRC-32, then the header size as a number of at most three bytes.
        uint8_t start[7];
        if (!file.read(offset, start, sizeof start))
            break;
        Fields sizeField(start + 4, 3);
        uint64_t headerSize = 0;
        if (!sizeField.vint(headerSize) || headerSize == 0 || headerSize > kMaxHeaderSize)
            break;
        const uint64_t sizeLength = 3 - sizeField.left();
        const uint64_t whole = sizeLength + headerSize;  // what the CRC covers
        if (whole > fileSize - offset - 4)
            break;
        header.resize(size_t(whole));
        if (!file.read(offset + 4, header.data(), header.size()))
            break;
        const uint32_t storedCrc = LittleEndian(start).u32(0);
        if (uint32_t(crc32(0, header.data(), uInt(header.size()))) != storedCrc)
            break;

        Fields f(header.data() + sizeLength, size_t(headerSize));
        uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
        if (!f.vint(type) || !f.vint(flags))
            break;
        if ((flags & kHasExtra) && !f.vint(extraSize))
            break;
        if ((flags & kHasData) && !f.vint(dataSize))
            break;
        if (type == kEncryptionHeader || type == kEndHeader)
            break;
        if (type == kFileHeader) {
            uint64_t fileFlags = 0, unpacked = 0, attributes = 0, compression = 0, host = 0, nameSize = 0;
            uint32_t time = 0, crc = 0;
            Rar5FileChecksum entry;
            if (!f.vint(fileFlags) || !f.vint(unpacked) || !f.vint(attributes) ||
                ((fileFlags & kFileHasTime) && !f.u32(time)) || ((fileFlags & kFileHasCrc) && !f.u32(crc)) ||
                !f.vint(compression) || !f.vint(host) || !f.vint(nameSize) || !f.bytes(nameSize, entry.rawName))
                break;
            const bool split = (flags & (kSplitBefore | kSplitAfter)) != 0;
            const bool encrypted = extraSize > 0 && extraSize <= headerSize &&
                                   extraSaysEncrypted(Fields(header.data() + whole - extraSize, size_t(extraSize)));
            if ((fileFlags & kFileHasCrc) && !(fileFlags & kFileIsFolder) && !split && !encrypted)
                entry.crc = crc;
            out.push_back(std::move(entry));
        }
        const uint64_t next = 4 + whole;
        if (dataSize > fileSize - offset - next)
            break;
        offset += next + dataSize;  // next >= 5: always advances
    }
    return out;
}

}  // namespace arc
