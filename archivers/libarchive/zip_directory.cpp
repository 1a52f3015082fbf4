#include "archivers/libarchive/zip_directory.h"

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

class File {
public:
    explicit File(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File() {
        if (m_fd >= 0) ::close(m_fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool ok() const { return m_fd >= 0; }
    bool size(uint64_t& out) const {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) return false;
        out = static_cast<uint64_t>(st.st_size);
        return true;
    }
    bool readAt(uint64_t offset, void* buf, size_t len) const {
        auto* p = static_cast<char*>(buf);
        while (len > 0) {
            ssize_t n = ::pread(m_fd, p, len, static_cast<off_t>(offset));
            if (n <= 0) return false;
            p += n;
            len -= static_cast<size_t>(n);
            offset += static_cast<uint64_t>(n);
        }
        return true;
    }

private:
    int m_fd;
};

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const unsigned char* p) { return le16(p) | (static_cast<uint32_t>(le16(p + 2)) << 16); }
uint64_t le64(const unsigned char* p) { return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32); }

// The data of extra field `id`, or nullptr.
const unsigned char* findExtraField(const unsigned char* extra, size_t len, uint16_t id, size_t& fieldLen) {
    size_t pos = 0;
    while (pos + 4 <= len) {
        uint16_t fieldId = le16(extra + pos);
        fieldLen = le16(extra + pos + 2);
        pos += 4;
        if (fieldLen > len - pos) return nullptr;
        if (fieldId == id) return extra + pos;
        pos += fieldLen;
    }
    return nullptr;
}

// The Info-ZIP Unicode Path field: version 1, the CRC-32 of the stored name
// it stands for (stale fields are ignored), then the name in UTF-8.
void applyUnicodePath(const unsigned char* extra, size_t len, ZipRecord& r) {
    size_t fieldLen = 0;
    const unsigned char* f = findExtraField(extra, len, 0x7075, fieldLen);
    if (!f || fieldLen <= 5 || f[0] != 1) return;
    uint32_t actual = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(r.rawName.data()), static_cast<uInt>(r.rawName.size())));
    if (le32(f + 1) == actual) r.unicodeName.assign(reinterpret_cast<const char*>(f + 5), fieldLen - 5);
}

// Some writers put the Unicode Path field in the local header only. Reading
// every local header would slow listing, so only names that may stand for
// another are looked up: not flagged UTF-8, and holding "?" (which no Windows
// name contains: a writer's stand-in for what its code page lacks) or a
// non-ASCII byte.
bool mayHaveLocalUnicodePath(const ZipRecord& r) {
    if (r.flags & 0x0800) return false;
    return std::any_of(r.rawName.begin(), r.rawName.end(),
                       [](char c) { return c == '?' || static_cast<unsigned char>(c) >= 0x80; });
}

void applyLocalUnicodePath(const File& file, ZipRecord& r) {
    unsigned char h[kLocalSize];
    if (!file.readAt(r.localOffset, h, sizeof h) || le32(h) != kLocalSignature) return;
    const size_t nameLen = le16(h + 26), extraLen = le16(h + 28);
    if (extraLen == 0) return;
    std::vector<unsigned char> extra(extraLen);
    if (!file.readAt(r.localOffset + kLocalSize + nameLen, extra.data(), extra.size())) return;
    applyUnicodePath(extra.data(), extra.size(), r);
}

// The ZIP64 extended information field holds, in this order, only those of
// size, packed size and offset whose 32-bit fields are all ones.
void applyZip64Extra(const unsigned char* extra, size_t len, ZipRecord& r, bool bigSize, bool bigPacked,
                     bool bigOffset) {
    size_t fieldLen = 0;
    const unsigned char* f = findExtraField(extra, len, 0x0001, fieldLen);
    if (!f) return;
    size_t at = 0;
    auto take = [&](uint64_t& v) {
        if (at + 8 <= fieldLen) {
            v = le64(f + at);
            at += 8;
        }
    };
    if (bigSize) take(r.size);
    if (bigPacked) take(r.packedSize);
    if (bigOffset) take(r.localOffset);
}

}  // namespace

Result ZipDirectory::read(const std::string& posixPath) {
    m_records.clear();
    File file(posixPath);
    uint64_t fileSize = 0;
    if (!file.ok() || !file.size(fileSize)) return Result::fail(Status::ReadError, "cannot read " + posixPath);
    if (fileSize < kEndSize) return Result::fail(Status::NotArchive, "too short for a ZIP file");

    // The end record sits in the last 22 bytes plus at most a 64 KiB comment.
    size_t tailLen = static_cast<size_t>(std::min<uint64_t>(fileSize, kEndSize + 0xFFFF));
    uint64_t tailStart = fileSize - tailLen;
    std::vector<unsigned char> tail(tailLen);
    if (!file.readAt(tailStart, tail.data(), tailLen)) return Result::fail(Status::ReadError, "cannot read the end record");
    // The last end record whose comment fits the file; failing that, the
    // last one at all (a damaged comment length, which libarchive accepts).
    size_t endPos = tailLen, anyEndPos = tailLen;
    for (size_t i = tailLen - kEndSize + 1; i-- > 0;) {
        if (le32(&tail[i]) != kEndSignature) continue;
        if (anyEndPos == tailLen) anyEndPos = i;
        if (i + kEndSize + le16(&tail[i + 20]) <= tailLen) {
            endPos = i;
            break;
        }
    }
    if (endPos == tailLen) endPos = anyEndPos;
    if (endPos == tailLen) return Result::fail(Status::NotArchive, "no ZIP end record");
    const unsigned char* end = &tail[endPos];
    uint64_t endOffset = tailStart + endPos;
    uint64_t count = le16(end + 10);
    uint64_t cdSize = le32(end + 12);
    uint64_t cdOffset = le32(end + 16);
    uint64_t cdEnd = endOffset;

    if (endOffset >= kLocator64Size) {
        unsigned char loc[kLocator64Size];
        if (file.readAt(endOffset - kLocator64Size, loc, sizeof loc) && le32(loc) == kLocator64Signature) {
            uint64_t end64Offset = le64(loc + 8);
            unsigned char e64[kEnd64Size];
            if (end64Offset + kEnd64Size <= endOffset && file.readAt(end64Offset, e64, sizeof e64) &&
                le32(e64) == kEnd64Signature) {
                count = le64(e64 + 32);
                cdSize = le64(e64 + 40);
                cdOffset = le64(e64 + 48);
                cdEnd = end64Offset;
            }
        }
    }
    if (cdSize > cdEnd || cdOffset > cdEnd) return Result::fail(Status::Corrupt, "central directory outside the file");
    // Data put before the archive (self-extractors) shifts every offset.
    uint64_t shift = 0;
    if (cdOffset + cdSize < cdEnd) shift = cdEnd - (cdOffset + cdSize);
    else if (cdOffset + cdSize > cdEnd) return Result::fail(Status::Corrupt, "central directory beyond its end record");
    uint64_t cdStart = cdOffset + shift;

    std::vector<unsigned char> cd(static_cast<size_t>(cdSize));
    if (cdSize > 0 && !file.readAt(cdStart, cd.data(), cd.size()))
        return Result::fail(Status::ReadError, "cannot read the central directory");

    size_t pos = 0;
    for (uint64_t n = 0; n < count; ++n) {
        if (pos + kCentralSize > cd.size() || le32(&cd[pos]) != kCentralSignature)
            return Result::fail(Status::Corrupt, "central directory record " + std::to_string(n) + " is broken");
        const unsigned char* h = &cd[pos];
        size_t nameLen = le16(h + 28), extraLen = le16(h + 30), commentLen = le16(h + 32);
        if (kCentralSize + nameLen + extraLen + commentLen > cd.size() - pos)
            return Result::fail(Status::Corrupt, "central directory record " + std::to_string(n) + " is truncated");
        ZipRecord r;
        r.versionMadeBy = le16(h + 4);
        r.flags = le16(h + 8);
        r.method = le16(h + 10);
        r.dosDateTime = (static_cast<uint32_t>(le16(h + 14)) << 16) | le16(h + 12);
        r.crc = le32(h + 16);
        r.packedSize = le32(h + 20);
        r.size = le32(h + 24);
        r.externalAttributes = le32(h + 38);
        r.localOffset = le32(h + 42);
        r.rawName.assign(reinterpret_cast<const char*>(h + kCentralSize), nameLen);
        applyZip64Extra(h + kCentralSize + nameLen, extraLen, r, r.size == 0xFFFFFFFFu,
                        r.packedSize == 0xFFFFFFFFu, r.localOffset == 0xFFFFFFFFu);
        applyUnicodePath(h + kCentralSize + nameLen, extraLen, r);
        r.localOffset += shift;
        m_records.push_back(std::move(r));
        pos += kCentralSize + nameLen + extraLen + commentLen;
    }
    for (ZipRecord& r : m_records)
        if (r.unicodeName.empty() && mayHaveLocalUnicodePath(r)) applyLocalUnicodePath(file, r);
    return Result::success();
}

std::vector<ZipListed> ZipDirectory::listing() const {
    // Unix file type bits of the external attributes (host 3 or 19).
    constexpr uint32_t kTypeMask = 0170000, kDirectory = 0040000, kSymlink = 0120000, kRegular = 0100000;
    std::vector<size_t> order(m_records.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t x, size_t y) { return m_records[x].localOffset < m_records[y].localOffset; });
    std::vector<ZipListed> out;
    out.reserve(order.size());
    const ZipRecord* previous = nullptr;
    for (size_t i : order) {
        const ZipRecord& r = m_records[i];
        if (previous && previous->localOffset == r.localOffset) continue;
        previous = &r;
        const size_t slash = r.rawName.find_last_of('/');
        if (r.rawName.starts_with("__MACOSX/") && r.rawName.compare(slash + 1, 2, "._") == 0) continue;

        Entry en;
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
        if (dosHost && (r.externalAttributes & 0x07)) en.attributes |= static_cast<uint8_t>(r.externalAttributes & 0x07);
        if (unixMode != 0 && (unixMode & 0222) == 0) en.attributes |= 0x01;
        en.name = nameToUtf8(r.unicodeName.empty() ? r.rawName : r.unicodeName);
        std::replace(en.name.begin(), en.name.end(), '\\', '/');
        out.push_back({std::move(en), i});
    }
    return out;
}

bool ZipDirectory::decodable(uint16_t method) {
    switch (method) {
    case 0: case 8: case 12: case 14: case 93: case 95: case 98: return true;
    default: return false;
    }
}

std::string ZipDirectory::methodName(uint16_t method) {
    switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 6: return "Implode";
    case 8: return "Deflate";
    case 9: return "Defl64";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 93: return "Zstd";
    case 95: return "XZ";
    case 98: return "PPMd";
    case 99: return "AES";
    default: return "M" + std::to_string(method);
    }
}

}  // namespace arc
