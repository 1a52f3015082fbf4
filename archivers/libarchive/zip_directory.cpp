#include "archivers/libarchive/zip_directory.h"

#include "archivers/common/dostime.h"
#include "archivers/common/littleendian.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace arc {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEnd64Signature = 0x06064b50;
constexpr uint32_t kLocator64Signature = 0x07064b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kLocalSize = 30;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocator64Size = 20;
constexpr size_t kEnd64Size = 56;
constexpr size_t kChunk = 64 * 1024;

class File {
public:
    explicit File(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool ok() const { return m_fd >= 0; }
    bool size(uint64_t& out) const
    {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return false;
        out = static_cast<uint64_t>(st.st_size);
        return true;
    }
    bool readAt(uint64_t offset, void* buf, size_t len) const
    {
        auto* p = static_cast<char*>(buf);
        while (len > 0) {
            ssize_t n = ::pread(m_fd, p, len, static_cast<off_t>(offset));
            if (n <= 0)
                return false;
            p += n;
            len -= static_cast<size_t>(n);
            offset += static_cast<uint64_t>(n);
        }
        return true;
    }

private:
    int m_fd;
};

// The data of extra field `id`, or nullptr.
const unsigned char* findExtraField(const unsigned char* extra, size_t len, uint16_t id, size_t& fieldLen)
{
    size_t pos = 0;
    while (pos + 4 <= len) {
        uint16_t fieldId = LittleEndian(extra, len).u16(pos);
        fieldLen = LittleEndian(extra, len).u16(pos + 2);
        pos += 4;
        if (fieldLen > len - pos)
            return nullptr;
        if (fieldId == id)
            return extra + pos;
        pos += fieldLen;
    }
    return nullptr;
}

// The Info-ZIP Unicode Path field: version 1, the CRC-32 of the stored name
// it stands for (stale fields are ignored), then the name in UTF-8.
std::string_view unicodePath(const unsigned char* extra, size_t len, std::string_view rawName)
{
    size_t fieldLen = 0;
    const unsigned char* f = findExtraField(extra, len, 0x7075, fieldLen);
    if (!f || fieldLen <= 5 || f[0] != 1)
        return {};
    uint32_t actual = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(rawName.data()), static_cast<uInt>(rawName.size())));
    if (LittleEndian(f, fieldLen).u32(1) != actual)
        return {};
    return {reinterpret_cast<const char*>(f + 5), fieldLen - 5};
}

// Some writers put the Unicode Path field in the local header only. Reading
// every local header would slow listing, so only names that may stand for
// another are looked up: not flagged UTF-8, and holding "?" (which no Windows
// name contains: a writer's stand-in for what its code page lacks) or a
// non-ASCII byte.
bool mayHaveLocalUnicodePath(const ZipRecord& r)
{
    return (r.flags & 0x0800) == 0 && holdsHighByteOr(r.rawName, '?');
}

// The local header's Unicode Path name, read into `storage`.
std::string_view localUnicodePath(const File& file, const ZipRecord& r, std::vector<unsigned char>& storage)
{
    unsigned char h[kLocalSize];
    if (!file.readAt(r.localOffset, h, sizeof h) || LittleEndian(h).u32(0) != kLocalSignature)
        return {};
    const size_t nameLen = LittleEndian(h).u16(26), extraLen = LittleEndian(h).u16(28);
    storage.resize(extraLen);
    if (extraLen == 0 || !file.readAt(r.localOffset + kLocalSize + nameLen, storage.data(), extraLen))
        return {};
    return unicodePath(storage.data(), extraLen, r.rawName);
}

// The ZIP64 extended information field holds, in this order, only those of
// size, packed size and offset whose 32-bit fields are all ones.
void applyZip64Extra(const unsigned char* extra, size_t len, ZipRecord& r, bool bigSize, bool bigPacked, bool bigOffset)
{
    size_t fieldLen = 0;
    const unsigned char* f = findExtraField(extra, len, 0x0001, fieldLen);
    if (!f)
        return;
    size_t at = 0;
    auto take = [&](uint64_t& v) {
        if (at + 8 <= fieldLen) {
            v = LittleEndian(f, fieldLen).u64(at);
            at += 8;
        }
    };
    if (bigSize)
        take(r.size);
    if (bigPacked)
        take(r.packedSize);
    if (bigOffset)
        take(r.localOffset);
}

}  // namespace

Result ZipDirectory::scan(const std::string& posixPath, const std::function<void(const ZipRecord&)>& each,
                          const std::function<void(size_t)>& expect)
{
    File file(posixPath);
    uint64_t fileSize = 0;
    if (!file.ok() || !file.size(fileSize))
        return Result::fail(Status::ReadError, "cannot read " + posixPath);
    if (fileSize < kEndSize)
        return Result::fail(Status::NotArchive, "too short for a ZIP file");

    // The end record sits in the last 22 bytes plus at most a 64 KiB comment.
    size_t tailLen = static_cast<size_t>(std::min<uint64_t>(fileSize, kEndSize + 0xFFFF));
    uint64_t tailStart = fileSize - tailLen;
    std::vector<unsigned char> buf(std::max<size_t>(tailLen, kChunk));
    if (!file.readAt(tailStart, buf.data(), tailLen))
        return Result::fail(Status::ReadError, "cannot read the end record");
    // The last end record whose comment fits the file; failing that, the
    // last one at all (a damaged comment length, which libarchive accepts).
    size_t endPos = tailLen, anyEndPos = tailLen;
    for (size_t i = tailLen - kEndSize + 1; i-- > 0;) {
        if (LittleEndian(buf).u32(i) != kEndSignature)
            continue;
        if (anyEndPos == tailLen)
            anyEndPos = i;
        if (i + kEndSize + LittleEndian(buf).u16(i + 20) <= tailLen) {
            endPos = i;
            break;
        }
    }
    if (endPos == tailLen)
        endPos = anyEndPos;
    if (endPos == tailLen)
        return Result::fail(Status::NotArchive, "no ZIP end record");
    const LittleEndian end(buf.data() + endPos, tailLen - endPos);
    uint64_t endOffset = tailStart + endPos;
    uint64_t count = end.u16(10);
    uint64_t cdSize = end.u32(12);
    uint64_t cdOffset = end.u32(16);
    uint64_t cdEnd = endOffset;

    if (endOffset >= kLocator64Size) {
        unsigned char loc[kLocator64Size];
        if (file.readAt(endOffset - kLocator64Size, loc, sizeof loc) &&
            LittleEndian(loc).u32(0) == kLocator64Signature) {
            uint64_t end64Offset = LittleEndian(loc).u64(8);
            unsigned char e64[kEnd64Size];
            if (end64Offset + kEnd64Size <= endOffset && file.readAt(end64Offset, e64, sizeof e64) &&
                LittleEndian(e64).u32(0) == kEnd64Signature) {
                count = LittleEndian(e64).u64(32);
                cdSize = LittleEndian(e64).u64(40);
                cdOffset = LittleEndian(e64).u64(48);
                cdEnd = end64Offset;
            }
        }
    }
    if (cdSize > cdEnd || cdOffset > cdEnd)
        return Result::fail(Status::Corrupt, "central directory outside the file");
    // Data put before the archive (self-extractors) shifts every offset.
    uint64_t shift = 0;
    if (cdOffset + cdSize < cdEnd)
        shift = cdEnd - (cdOffset + cdSize);
    else if (cdOffset + cdSize > cdEnd)
        return Result::fail(Status::Corrupt, "central directory beyond its end record");

    // The directory passes through `buf`: [pos, have) is read but not yet parsed.
    uint64_t next = cdOffset + shift, left = cdSize;
    size_t pos = 0, have = 0;
    auto available = [&](size_t n) {
        if (have - pos >= n)
            return true;
        std::memmove(buf.data(), buf.data() + pos, have - pos);
        have -= pos;
        pos = 0;
        if (buf.size() < n)
            buf.resize(n);
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buf.size() - have, left));
        if (have + want < n || !file.readAt(next, buf.data() + have, want))
            return false;
        have += want;
        next += want;
        left -= want;
        return true;
    };
    if (expect)
        expect(static_cast<size_t>(std::min<uint64_t>(count, cdSize / kCentralSize)));
    std::vector<unsigned char> localExtra;
    for (uint64_t n = 0; n < count; ++n) {
        if (!available(kCentralSize) || LittleEndian(buf).u32(pos) != kCentralSignature)
            return Result::fail(Status::Corrupt, "central directory record " + std::to_string(n) + " is broken");
        const size_t nameLen = LittleEndian(buf).u16(pos + 28), extraLen = LittleEndian(buf).u16(pos + 30),
                     commentLen = LittleEndian(buf).u16(pos + 32);
        const size_t recordLen = kCentralSize + nameLen + extraLen + commentLen;
        if (!available(recordLen))
            return Result::fail(Status::Corrupt, "central directory record " + std::to_string(n) + " is truncated");
        const unsigned char* h = &buf[pos];
        const LittleEndian fields(h, recordLen);
        ZipRecord r;
        r.versionMadeBy = fields.u16(4);
        r.flags = fields.u16(8);
        r.method = fields.u16(10);
        r.dosDateTime = dosDateTime(fields.u16(14), fields.u16(12));
        r.crc = fields.u32(16);
        r.packedSize = fields.u32(20);
        r.size = fields.u32(24);
        r.externalAttributes = fields.u32(38);
        r.localOffset = fields.u32(42);
        r.rawName = {reinterpret_cast<const char*>(h + kCentralSize), nameLen};
        applyZip64Extra(h + kCentralSize + nameLen, extraLen, r, r.size == 0xFFFFFFFFu, r.packedSize == 0xFFFFFFFFu,
                        r.localOffset == 0xFFFFFFFFu);
        r.unicodeName = unicodePath(h + kCentralSize + nameLen, extraLen, r.rawName);
        r.localOffset += shift;
        if (r.unicodeName.empty() && mayHaveLocalUnicodePath(r))
            r.unicodeName = localUnicodePath(file, r, localExtra);
        each(r);
        pos += recordLen;
    }
    return Result::success();
}

Result ZipDirectory::read(const std::string& posixPath)
{
    m_records.clear();
    m_names.clear();
    Result result = scan(
        posixPath,
        [this](const ZipRecord& r) {
            ZipRecord kept = r;
            kept.rawName = m_names.emplace_back(r.rawName);
            if (!r.unicodeName.empty())
                kept.unicodeName = m_names.emplace_back(r.unicodeName);
            m_records.push_back(kept);
        },
        [this](size_t n) { m_records.reserve(n); });
    if (!result.ok()) {
        m_records.clear();
        m_names.clear();
    }
    return result;
}

bool ZipDirectory::isResourceFork(std::string_view rawName)
{
    return rawName.starts_with("__MACOSX/") && rawName.compare(rawName.find_last_of('/') + 1, 2, "._") == 0;
}

bool ZipDirectory::listedOrder(size_t count, const std::function<uint64_t(size_t)>& offsetOf,
                               const std::vector<bool>& forks, std::vector<size_t>& order)
{
    order.clear();
    bool asGiven = std::find(forks.begin(), forks.end(), true) == forks.end();
    for (size_t i = 1; asGiven && i < count; ++i)
        asGiven = offsetOf(i - 1) < offsetOf(i);
    if (asGiven)
        return false;
    std::vector<size_t> sorted(count);
    for (size_t i = 0; i < count; ++i)
        sorted[i] = i;
    std::stable_sort(sorted.begin(), sorted.end(), [&](size_t x, size_t y) { return offsetOf(x) < offsetOf(y); });
    for (size_t k = 0; k < count; ++k) {
        const size_t i = sorted[k];
        if (k > 0 && offsetOf(sorted[k - 1]) == offsetOf(i))
            continue;
        if (!forks[i])
            order.push_back(i);
    }
    return true;
}

void ZipDirectory::fillEntry(const ZipRecord& r, Entry& en)
{
    // Unix file type bits of the external attributes (host 3 or 19).
    constexpr uint32_t kTypeMask = 0170000, kDirectory = 0040000, kSymlink = 0120000, kRegular = 0100000;
    const uint8_t host = static_cast<uint8_t>(r.versionMadeBy >> 8);
    const bool dosHost = host == 0 || host == 11 || host == 14;
    const uint32_t unixMode = host == 3 || host == 19 ? r.externalAttributes >> 16 : 0;
    if (r.rawName.ends_with("/") || r.rawName.ends_with("\\") || (dosHost && (r.externalAttributes & 0x10)) ||
        (unixMode & kTypeMask) == kDirectory)
        en.type = EntryType::Directory;
    else if ((unixMode & kTypeMask) == kSymlink)
        en.type = EntryType::Symlink;
    else if ((unixMode & kTypeMask) != 0 && (unixMode & kTypeMask) != kRegular)
        en.type = EntryType::Other;
    en.size = r.size;
    en.packedSize = r.packedSize;
    en.crc = r.crc;
    en.crcKind = CrcKind::Crc32;
    en.dosDateTime = r.dosDateTime;
    en.method = methodName(r.method);
    en.encrypted = (r.flags & 1) != 0;
    en.attributes = en.type == EntryType::Directory ? 0x10 : 0x20;
    if (dosHost && (r.externalAttributes & 0x07))
        en.attributes |= static_cast<uint8_t>(r.externalAttributes & 0x07);
    if (unixMode != 0 && (unixMode & 0222) == 0)
        en.attributes |= 0x01;
    en.name = nameToUtf8(r.unicodeName.empty() ? r.rawName : r.unicodeName);
    std::replace(en.name.begin(), en.name.end(), '\\', '/');
}

std::vector<Entry> ZipDirectory::listing(std::vector<size_t>& records) const
{
    std::vector<bool> forks;
    for (const ZipRecord& r : m_records)
        forks.push_back(isResourceFork(r.rawName));
    if (!listedOrder(
            m_records.size(), [this](size_t i) { return m_records[i].localOffset; }, forks, records)) {
        records.resize(m_records.size());
        for (size_t i = 0; i < records.size(); ++i)
            records[i] = i;
    }
    std::vector<Entry> out;
    out.reserve(records.size());
    for (size_t i : records)
        fillEntry(m_records[i], out.emplace_back());
    return out;
}

bool ZipDirectory::decodable(uint16_t method)
{
    switch (method) {
    case 0:
    case 8:
    case 12:
    case 14:
    case 93:
    case 95:
    case 98:
        return true;
    default:
        return false;
    }
}

std::string ZipDirectory::methodName(uint16_t method)
{
    switch (method) {
    case 0:
        return "Stored";
    case 1:
        return "Shrunk";
    case 6:
        return "Implode";
    case 8:
        return "Deflate";
    case 9:
        return "Defl64";
    case 12:
        return "BZip2";
    case 14:
        return "LZMA";
    case 93:
        return "Zstd";
    case 95:
        return "XZ";
    case 98:
        return "PPMd";
    case 99:
        return "AES";
    default:
        return "M" + std::to_string(method);
    }
}

}  // namespace arc
