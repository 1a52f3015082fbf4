#include "archivers/unrar32/rar_reader.h"

#include "archivers/libarchive/format_readers.h"
#include "archivers/common/file_window.h"
#include "archivers/common/littleendian.h"
#include "archivers/unrar32/rar5_checksums.h"
#include "archivers/unrar32/rar_name.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unarr.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace arc {
namespace {

constexpr char kRar4Mark[] = "Rar!\x1A\x07\x00";
constexpr char kRar5Mark[] = "Rar!\x1A\x07\x01\x00";

enum : uint8_t { kMainHead = 0x73, kFileHead = 0x74, kEndHead = 0x7B };
enum : uint16_t {
    kMainSolid = 0x0008,
    kMainEncryptedHeaders = 0x0080,
    kFileSplitBefore = 0x0001,
    kFileSplitAfter = 0x0002,
    kFileEncrypted = 0x0004,
    kFileDirectory = 0x00E0,
    kFileLarge = 0x0100,
    kFileUnicode = 0x0200,
    kLongBlock = 0x8000,
};

struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

// Host systems of RAR 1.5-4: MS-DOS, OS/2 and Windows write names in the OEM
// code page; Unix, Mac OS and BeOS in the locale's encoding (UTF-8 today).
bool oemHost(uint8_t host)
{
    return host <= 2;
}

std::string decodeName(const std::string& stored, bool unicode, uint8_t host)
{
    std::string name;
    if (unicode) {
        const auto zero = stored.find('\0');
        if (zero == std::string::npos) {
            name = nameToUtf8(stored);  // RAR 3 and later: plain UTF-8
        } else {
            const std::string_view all(stored);
            name = decodeRarUnicodeName(all.substr(0, zero), all.substr(zero + 1));
            if (name.empty())
                name = nameToUtf8(stored.substr(0, zero));
        }
    } else if (oemHost(host)) {
        name = shiftJisToUtf8(stored);  // the OEM code page: Shift-JIS on Japanese Windows
    } else {
        name = nameToUtf8(stored);
    }
    // Decoded first: 0x5C may be the second byte of a Shift-JIS character.
    std::replace(name.begin(), name.end(), '\\', '/');
    std::replace(name.begin(), name.end(), '\0', '_');  // a UTF-16 NUL, as nameToUtf8 does
    return name;
}

std::string methodText(uint8_t method)
{
    if (method < 0x30 || method > 0x35)
        return "-m?-";
    return std::string("-m") + char(method) + "-";
}

struct StreamCloser {
    void operator()(ar_stream* s) const { ar_close(s); }
};
struct ArchiveCloser {
    void operator()(ar_archive* a) const { ar_close_archive(a); }
};

}  // namespace

std::unique_ptr<Reader> makeRarReader(const std::string&)
{
    return std::make_unique<RarReader>();
}

RarReader::RarReader() = default;
RarReader::~RarReader() = default;

const std::vector<Entry>& RarReader::entries() const
{
    return m_entries;
}

void RarReader::addRar5Checksums(FileWindow& file)
{
    const std::vector<Rar5FileChecksum> sums = readRar5Checksums(file);
    // Both lists follow the archive's order; an entry libarchive leaves out
    // only makes the walk skip ahead. Every entry takes its own header, links
    // and folders too, so that a file after a link of the same name does not
    // take the link's checksum.
    size_t next = 0;
    for (Entry& e : m_entries) {
        for (size_t k = next; k < sums.size(); ++k) {
            // libarchive lists a name that is not UTF-8 as empty: it is
            // read here from the stored bytes, as other formats' names are.
            if (e.name.empty())
                e.name = nameToUtf8(sums[k].rawName);
            else if (nameToUtf8(sums[k].rawName) != e.name)
                continue;
            if (e.type == EntryType::File && sums[k].crc) {
                e.crc = *sums[k].crc;
                e.crcKind = CrcKind::Crc32;
            }
            next = k + 1;
            break;
        }
    }
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const size_t source = m_rar5->dataSource(i);
        if (source != i && m_entries[i].type == EntryType::File) {
            m_entries[i].crc = m_entries[source].crc;
            m_entries[i].crcKind = m_entries[source].crcKind;
        }
    }
}

Result RarReader::open(const std::string& posixPath)
{
    m_path = posixPath;
    m_solid = false;
    m_entries.clear();
    m_locations.clear();
    m_rar5.reset();

    Fd file(::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0)
        return Result::fail(Status::ReadError, "cannot open " + posixPath + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Result::fail(Status::ReadError, posixPath + " is not a readable file");
    FileWindow window(file.fd, uint64_t(st.st_size));
    std::array<char, 8> mark{};
    if (!window.read(0, mark.data(), mark.size()))
        return Result::fail(Status::NotArchive, "not a RAR archive");
    if (std::memcmp(mark.data(), kRar5Mark, 8) == 0) {
        m_rar5 = makeRar5Reader(posixPath);
        const Result r = m_rar5->open(posixPath);
        if (r.ok()) {
            m_entries = m_rar5->entries();
            if (std::none_of(m_entries.begin(), m_entries.end(),
                             [](const Entry& e) { return e.crcKind != CrcKind::None; }))
                addRar5Checksums(window);
        }
        return r;
    }
    if (std::memcmp(mark.data(), kRar4Mark, 7) != 0)
        return Result::fail(Status::NotArchive, "not a RAR archive");
    return readHeaders(window);
}

Result RarReader::readHeaders(FileWindow& file)
{
    const uint64_t fileSize = file.fileSize();
    auto corrupt = [](const std::string& why, uint64_t at) {
        return Result::fail(Status::Corrupt, why + " at offset " + std::to_string(at));
    };
    std::vector<uint8_t> head;
    uint64_t offset = 7;
    while (offset < fileSize) {
        uint8_t base[7];
        if (fileSize - offset < 7 || !file.read(offset, base, 7))
            return corrupt("truncated header", offset);
        const uint8_t type = base[2];
        const uint16_t flags = LittleEndian(base).u16(3);
        const uint16_t size = LittleEndian(base).u16(5);
        if (size < 7)
            return corrupt("bad header size", offset);
        if (size > fileSize - offset)
            return corrupt("truncated header", offset);
        head.resize(size);
        if (!file.read(offset, head.data(), size))
            return corrupt("truncated header", offset);
        const uint16_t crc = uint16_t(crc32(0, head.data() + 2, uInt(size - 2)) & 0xFFFF);
        const LittleEndian fields(head);
        if (crc != fields.u16(0))
            return corrupt("header CRC error", offset);

        uint64_t added = (flags & kLongBlock) && size >= 11 ? fields.u32(7) : 0;
        if (type == kMainHead) {
            if (flags & kMainEncryptedHeaders)
                return Result::fail(Status::Unsupported, "the archive's headers are encrypted");
            m_solid = (flags & kMainSolid) != 0;
        } else if (type == kFileHead) {
            if (size < 32)
                return corrupt("bad file header", offset);
            const uint8_t* h = head.data();
            uint64_t packed = fields.u32(7);
            uint64_t unpacked = fields.u32(11);
            const uint8_t host = h[15];
            const uint16_t nameSize = fields.u16(26);
            const uint32_t attr = fields.u32(28);
            size_t pos = 32;
            if (flags & kFileLarge) {
                if (size < 40)
                    return corrupt("bad file header", offset);
                packed |= uint64_t(fields.u32(32)) << 32;
                unpacked |= uint64_t(fields.u32(36)) << 32;
                pos = 40;
            }
            if (nameSize == 0 || pos + nameSize > size)
                return corrupt("bad file name size", offset);
            added = packed;

            Entry e;
            e.name = decodeName(std::string(reinterpret_cast<const char*>(h + pos), nameSize),
                                (flags & kFileUnicode) != 0, host);
            e.packedSize = packed;
            e.size = unpacked;
            e.crc = fields.u32(16);
            e.crcKind = CrcKind::Crc32;
            e.dosDateTime = fields.u32(20);
            e.method = methodText(h[25]);
            e.encrypted = (flags & kFileEncrypted) != 0;
            const bool unixHost = host == 3 || host == 5;
            const bool directory = (flags & kFileDirectory) == kFileDirectory;
            if (directory) {
                e.type = EntryType::Directory;
            } else if (unixHost && (attr & 0xF000) == 0xA000) {
                e.type = EntryType::Symlink;
            } else if (unixHost && (attr & 0xF000) != 0x8000 && (attr & 0xF000) != 0) {
                e.type = EntryType::Other;
            }
            if (unixHost)
                e.attributes = uint8_t((directory ? 0x10 : 0x20) | ((attr & 0200) ? 0 : 0x01));
            else
                e.attributes = uint8_t(attr & 0x3F);
            if (directory) {
                e.attributes = uint8_t(e.attributes | 0x10);
                e.size = 0;
                e.crcKind = CrcKind::None;
                while (e.name.size() > 1 && e.name.back() == '/')
                    e.name.pop_back();
            }

            Location loc;
            loc.headerOffset = offset;
            loc.dataOffset = offset + size;
            loc.method = h[25];
            loc.split = (flags & (kFileSplitBefore | kFileSplitAfter)) != 0;
            loc.truncated = packed > fileSize - loc.dataOffset;
            if (m_entries.size() >= kMaxEntries)
                return Result::fail(Status::Corrupt, "too many entries");
            m_entries.push_back(std::move(e));
            m_locations.push_back(loc);
            if (loc.truncated)
                break;  // the rest of the file is this entry's data
        } else if (type == kEndHead) {
            break;
        }
        if (added > fileSize - offset - size)
            return corrupt("truncated block", offset);
        offset += size + added;  // size >= 7: always advances
    }
    return Result::success();
}

Result RarReader::extract(size_t index, Sink& sink)
{
    if (m_rar5)
        return m_rar5->extract(index, sink);
    if (index >= m_entries.size())
        return Result::fail(Status::Corrupt, "no such entry");
    const Entry& e = m_entries[index];
    const Location& loc = m_locations[index];
    if (e.type == EntryType::Directory)
        return Result::success();
    if (e.type != EntryType::File)
        return Result::fail(Status::Unsupported, "links and devices are not extracted: " + e.name);
    if (e.encrypted)
        return Result::fail(Status::Unsupported, e.name + " is encrypted");
    if (loc.split)
        return Result::fail(Status::Unsupported, e.name + " continues in another volume");
    if (loc.truncated)
        return Result::fail(Status::Corrupt, "archive is truncated in " + e.name);
    if (e.size == 0)
        return Result::success();
    return extractUnarr(e, loc, sink);
}

Result RarReader::extractUnarr(const Entry& e, const Location& loc, Sink& sink)
{
    std::unique_ptr<ar_stream, StreamCloser> stream(ar_open_file(m_path.c_str()));
    if (!stream)
        return Result::fail(Status::ReadError, "cannot open " + m_path);
    std::unique_ptr<ar_archive, ArchiveCloser> ar(ar_open_rar_archive(stream.get()));
    if (!ar)
        return Result::fail(Status::Corrupt, "the RAR decoder does not accept the archive");

    std::vector<uint8_t> buffer(64 * 1024);
    if (m_solid) {
        // A solid archive's entries share one dictionary: decode every earlier
        // entry in order, throwing its bytes away.
        if (!ar_parse_entry_at(ar.get(), 0))
            return Result::fail(Status::Corrupt, "cannot read the first entry");
        while (uint64_t(ar_entry_get_offset(ar.get())) < loc.headerOffset) {
            for (size_t left = ar_entry_get_size(ar.get()); left > 0;) {
                const size_t n = std::min(left, buffer.size());
                if (!ar_entry_uncompress(ar.get(), buffer.data(), n))
                    return Result::fail(Status::Corrupt, "data error in an entry before " + e.name);
                left -= n;
            }
            if (!ar_parse_entry(ar.get()))
                return Result::fail(Status::Corrupt, "cannot reach " + e.name);
        }
    } else if (!ar_parse_entry_at(ar.get(), off64_t(loc.headerOffset))) {
        return Result::fail(Status::Corrupt, "cannot read the header of " + e.name);
    }
    if (uint64_t(ar_entry_get_offset(ar.get())) != loc.headerOffset || ar_entry_get_size(ar.get()) != e.size)
        return Result::fail(Status::Corrupt, "the RAR decoder disagrees about " + e.name);

    uLong crc = crc32(0, nullptr, 0);
    for (uint64_t left = e.size; left > 0;) {
        const size_t n = size_t(std::min<uint64_t>(left, buffer.size()));
        if (!ar_entry_uncompress(ar.get(), buffer.data(), n)) {
            // The decoder refuses the last piece when the CRC does not match;
            // tell that apart from broken data.
            if (left == n && crc32(crc, buffer.data(), uInt(n)) != e.crc)
                return Result::fail(Status::CrcError, "CRC error in " + e.name);
            return Result::fail(Status::Corrupt, "data error in " + e.name);
        }
        crc = crc32(crc, buffer.data(), uInt(n));
        if (!sink.write(buffer.data(), n))
            return Result::fail(Status::Aborted, "extraction stopped");
        left -= n;
    }
    return Result::success();
}

}  // namespace arc
