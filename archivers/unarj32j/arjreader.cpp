#include "archivers/unarj32j/arjreader.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "archivers/common/dostime.h"
#include "archivers/unarj32j/arjdecoder.h"
#include "archivers/unarj32j/arjheader.h"

namespace arj {

namespace {

// Self-extractor stubs are small; the archive starts within this many bytes.
// (Bounded so that probing a large file that is no archive stays cheap.)
constexpr uint64_t kSfxSearchLimit = 256 * 1024;

bool usesBackslashes(const ArjHeader& h)
{
    if (h.flags & kPathSym)
        return true;
    return h.hostOs == kMsDos || h.hostOs == kOs2 || h.hostOs == kWin95 || h.hostOs == kWin32;
}

// A Unix host's stamp; 0 (no stamp) before 1980.
uint32_t unixToDos(uint32_t seconds)
{
    return arc::dosDateTimeFromTime(static_cast<time_t>(seconds)).value_or(0);
}

std::string methodText(uint8_t method)
{
    return "-arj" + std::to_string(method) + "-";
}

arc::Entry toEntry(const ArjHeader& h)
{
    arc::Entry e;
    e.name = arc::nameToUtf8(h.name);
    if (usesBackslashes(h))
        std::replace(e.name.begin(), e.name.end(), '\\', '/');
    e.size = h.originalSize;
    e.packedSize = h.packedSize;
    e.crc = h.crc;
    e.crcKind = arc::CrcKind::Crc32;
    e.dosDateTime = h.hostOs == kUnix ? unixToDos(h.modified) : h.modified;
    e.method = methodText(h.method);
    e.encrypted = (h.flags & kGarbled) != 0;
    switch (h.fileType) {
    case kBinary:
    case kText:
        e.type = arc::EntryType::File;
        break;
    case kDirectory:
        e.type = arc::EntryType::Directory;
        e.size = 0;
        break;
    default:
        e.type = arc::EntryType::Other;
        break;
    }
    if (h.hostOs == kUnix) {
        e.attributes = (h.accessMode & 0200) ? 0x20 : 0x21;
    } else {
        e.attributes = static_cast<uint8_t>(h.accessMode & 0x27);
    }
    if (e.type == arc::EntryType::Directory)
        e.attributes = static_cast<uint8_t>((e.attributes & 0x07) | 0x10);
    return e;
}

// One entry's data: at most `size` bytes from `offset`, fewer when the file
// is cut short.
class RegionSource final : public ByteSource {
public:
    RegionSource(const ArjFile& file, uint64_t offset, uint64_t size) : m_file(file), m_offset(offset), m_left(size) {}
    long read(uint8_t* buffer, size_t size) override
    {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(size, m_left));
        if (want == 0)
            return 0;
        const long got = m_file.readAt(m_offset, buffer, want);
        if (got > 0) {
            m_offset += static_cast<uint64_t>(got);
            m_left -= static_cast<uint64_t>(got);
        }
        return got;
    }

private:
    const ArjFile& m_file;
    uint64_t m_offset;
    uint64_t m_left;
};

arc::Result notArchive()
{
    return arc::Result::fail(arc::Status::NotArchive, "not an ARJ archive");
}

arc::Result readError()
{
    return arc::Result::fail(arc::Status::ReadError, "cannot read the archive");
}

}  // namespace

arc::Result ArjReader::findMainHeader(uint64_t& next)
{
    ArjHeader main;
    auto accept = [&](uint64_t at) {
        const HeaderRead r = readHeader(m_file, at, main);
        if (r != HeaderRead::Ok || main.fileType != kMainHeader)
            return r == HeaderRead::IoError ? -1 : 0;
        m_start = at;
        next = main.dataOffset;
        return 1;
    };
    // The usual case first, then the stub of a self-extractor.
    int found = accept(0);
    if (found == 0) {
        std::vector<uint8_t> head(static_cast<size_t>(std::min(kSfxSearchLimit, m_file.size())));
        const long got = m_file.readAt(0, head.data(), head.size());
        if (got < 0)
            return readError();
        for (size_t at = 1; found == 0 && at + 1 < static_cast<size_t>(got); ++at) {
            if (head[at] == 0x60 && head[at + 1] == 0xEA)
                found = accept(at);
        }
    }
    if (found < 0)
        return readError();
    return found > 0 ? arc::Result::success() : notArchive();
}

arc::Result ArjReader::open(const std::string& posixPath)
{
    m_entries.clear();
    m_located.clear();
    m_start = 0;
    if (!m_file.open(posixPath))
        return arc::Result::fail(arc::Status::ReadError, "cannot open " + posixPath);

    uint64_t offset = 0;
    if (arc::Result r = findMainHeader(offset); !r.ok())
        return r;

    for (;;) {
        ArjHeader h;
        switch (readHeader(m_file, offset, h)) {
        case HeaderRead::IoError:
            return readError();
        case HeaderRead::End:
        case HeaderRead::EndOfFile:  // a missing end mark loses nothing
            return arc::Result::success();
        case HeaderRead::Bad:
            return arc::Result::fail(arc::Status::Corrupt, "broken ARJ header at offset " + std::to_string(offset));
        case HeaderRead::Ok:
            break;
        }
        m_entries.push_back(toEntry(h));
        m_located.push_back({h.dataOffset, h.method, h.flags});
        offset = h.dataOffset + h.packedSize;
        if (offset > m_file.size())
            return arc::Result::success();  // last entry cut short
    }
}

arc::Result ArjReader::extract(size_t index, arc::Sink& sink)
{
    if (index >= m_entries.size())
        return arc::Result::fail(arc::Status::Corrupt, "no entry " + std::to_string(index));
    const arc::Entry& e = m_entries[index];
    const Located& at = m_located[index];
    if (e.encrypted)
        return arc::Result::fail(arc::Status::Unsupported, "encrypted entries are not supported: " + e.name);
    if (at.flags & (kVolume | kExtFile))
        return arc::Result::fail(arc::Status::Unsupported,
                                 "entry spans several volumes, only a part is here: " + e.name);
    if (e.type != arc::EntryType::File)
        return arc::Result::success();

    RegionSource source(m_file, at.dataOffset, e.packedSize);
    return decodeEntry(at.method, source, e.packedSize, e.size, sink);
}

std::unique_ptr<arc::Reader> makeArjReader(const std::string&)
{
    return std::make_unique<ArjReader>();
}

}  // namespace arj
