#include "archivers/unlha32/lzh_reader.h"

#include "archivers/common/dostime.h"
#include "archivers/common/wildcard.h"
#include "archivers/common/file_window.h"
#include "archivers/unlha32/lzh_header.h"
#include "archivers/unlha32/lzh_listing_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <lha_decoder.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

namespace arc {
namespace {

uint32_t unixToDos(uint32_t unixTime)
{
    return dosDateTimeFromTime(time_t(unixTime)).value_or(kEarliestDosDateTime);
}

Entry toEntry(const LzhHeader& h)
{
    Entry e;
    // Decoded first: 0x5C ("\\") and 0x7C ("|") can be the second byte of a
    // Shift-JIS character ("ソ", "ポ"), never part of a UTF-8 one.
    e.name = nameToUtf8(h.rawPath);
    std::replace(e.name.begin(), e.name.end(), '\\', '/');
    e.type = EntryType::File;
    if (h.isDirectory()) {
        // Unix archivers store a symbolic link as a folder named "name|target".
        const auto bar = e.name.find('|');
        if (bar != std::string::npos) {
            e.name.resize(bar);
            e.type = EntryType::Symlink;
        } else {
            e.type = EntryType::Directory;
        }
    }
    while (e.type != EntryType::File && e.name.size() > 1 && e.name.back() == '/')
        e.name.pop_back();
    e.size = h.size;
    e.packedSize = h.packedSize;
    e.method = h.method;
    e.attributes = h.attributes;
    if (e.type == EntryType::File) {
        e.crc = h.crc;
        e.crcKind = CrcKind::Crc16;
    } else {
        e.size = 0;
        e.attributes = uint8_t(e.attributes | 0x10);
    }
    e.dosDateTime = h.hasDosDateTime ? h.dosDateTime : unixToDos(h.unixTime);
    return e;
}

// Feeds the decoder the stored bytes of one member, never more.
struct PackedInput {
    int fd;
    uint64_t offset;
    uint64_t remaining;
    bool readFailed = false;

    static size_t read(void* buf, size_t len, void* self)
    {
        auto* in = static_cast<PackedInput*>(self);
        const size_t want = size_t(std::min<uint64_t>(len, in->remaining));
        if (want == 0)
            return 0;
        const ssize_t n = ::pread(in->fd, buf, want, off_t(in->offset));
        if (n <= 0) {
            in->readFailed = n < 0;
            in->remaining = 0;
            return 0;
        }
        in->offset += uint64_t(n);
        in->remaining -= uint64_t(n);
        return size_t(n);
    }
};

// Whether a walk restricted to `wanted` keeps the member of header `h`;
// if so, `e` holds its entry.
bool kept(const WildcardSet* wanted, const LzhHeader& h, Entry& e)
{
    // A plain ASCII file name is listed as stored, "\\" as "/", which the
    // patterns take alike: matched before the entry is built.
    const bool plain = !h.isDirectory() && plainAsciiName(h.rawPath);
    if (wanted && plain && !wanted->matches(h.rawPath))
        return false;
    e = toEntry(h);
    return !wanted || plain || wanted->matches(e.name);
}

struct DecoderFree {
    void operator()(LHADecoder* d) const { lha_decoder_free(d); }
};

const std::vector<Entry> kNoEntries;

}  // namespace

bool LzhListing::describes(size_t index, const LzhHeader& h) const
{
    const Member& m = members[index];
    return h.offset == m.headerOffset && h.headerSize == m.headerSize && h.packedSize == m.packedSize &&
           toEntry(h) == entries[index];
}

std::unique_ptr<Reader> makeLzhReader(const std::string&)
{
    return std::make_unique<LzhReader>();
}

LzhReader::LzhReader() : LzhReader(LzhListingCache::process()) {}

LzhReader::LzhReader(LzhListingCache& cache) : m_cache(cache) {}

LzhReader::~LzhReader()
{
    close();
}

void LzhReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_window.reset();
    m_listing.reset();
    m_rewalked.reset();
    m_rewalkFailure = Result::success();
    m_remembered = false;
}

const std::vector<Entry>& LzhReader::entries() const
{
    return m_listing ? m_listing->entries : kNoEntries;
}

uint64_t LzhReader::archiveStart() const
{
    return m_listing ? m_listing->start : 0;
}

Result LzhReader::open(const std::string& posixPath)
{
    close();
    // Taken before the file's stamps: a rewrite after this moment stamps
    // the file later than anything a remembered listing may carry.
    const int64_t walkStart = LzhListingCache::nowNs();
    m_fd = ::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return Result::fail(Status::ReadError, "cannot open " + posixPath + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Result::fail(Status::ReadError, posixPath + " is not a readable file");
    m_fileSize = uint64_t(st.st_size);
    m_window = std::make_unique<FileWindow>(m_fd, m_fileSize);
    const FileIdentity identity = fileIdentity(st);

    if (auto known = m_cache.find(identity)) {
        if (stillDescribesFile(*known)) {
            m_listing = std::move(known);
            m_remembered = true;
            return Result::success();
        }
        m_cache.forget(identity);
    }
    auto listing = std::make_shared<LzhListing>();
    listing->identity = identity;
    const Result walked = walk(*listing, wanted());
    if (!walked.ok()) {
        m_cache.forget(identity);
        return walked;
    }
    // Only the wanted members: nothing another reader could list from.
    if (wanted()) {
        m_listing = std::move(listing);
        return Result::success();
    }
    // The walk reserved for as many members as the file could hold; a
    // remembered listing outlives this reader, so it keeps only what it uses.
    listing->entries.shrink_to_fit();
    listing->members.shrink_to_fit();
    m_listing = listing;
    m_cache.remember(std::move(listing), walkStart);
    return Result::success();
}

// A cheap look at a remembered directory before trusting it: the first and
// the last header are where they were, and the archive still ends after the
// last one. Each entry's own header is checked again before extraction.
bool LzhReader::stillDescribesFile(const LzhListing& listing)
{
    if (listing.members.empty())
        return false;
    LzhHeader h;
    for (const size_t i : {size_t(0), listing.members.size() - 1})
        if (h.readAt(*m_window, listing.members[i].headerOffset) != LzhHeader::Read::Ok || !listing.describes(i, h))
            return false;
    return h.readAt(*m_window, listing.members.back().next()) == LzhHeader::Read::End;
}

Result LzhReader::walk(LzhListing& listing, const WildcardSet* only)
{
    FileWindow& window = *m_window;
    // The first member: at the start, or after a self-extractor's stub. A
    // candidate inside a stub must be a whole valid header whose data fits
    // in the file and which is followed by another header or the end.
    LzhHeader h;
    auto validAt = [&](uint64_t at, bool insideStub) {
        if (h.readAt(window, at) != LzhHeader::Read::Ok)
            return false;
        const uint64_t next = h.dataOffset() + h.packedSize;
        if (!insideStub)
            return true;
        if (next < h.dataOffset() || next > m_fileSize)
            return false;
        LzhHeader after;
        return after.readAt(window, next) != LzhHeader::Read::Corrupt;
    };
    std::optional<uint64_t> start;
    if (validAt(0, false)) {
        start = 0;
    } else {
        const size_t scan = size_t(std::min<uint64_t>(m_fileSize, kMaxStubSize + 22));
        std::vector<char> head(scan);
        const ssize_t got = ::pread(m_fd, head.data(), scan, 0);
        for (size_t p = 1; got > 0 && p + 7 <= size_t(got) && p <= kMaxStubSize; ++p) {
            if (head[p + 2] == '-' && LzhHeader::looksLikeMethod(&head[p + 2]) && validAt(p, true)) {
                start = p;
                break;
            }
        }
    }
    if (!start)
        return Result::fail(Status::NotArchive, "not an LZH archive");
    listing.start = *start;

    // Every member takes at least a minimal header: reserving for as many as
    // could fit spares the copies of a growing listing (only the pages used
    // are ever touched).
    if (!only) {
        const size_t mostMembers = size_t(std::min<uint64_t>((m_fileSize - listing.start) / 22 + 1, kMaxEntries));
        listing.entries.reserve(mostMembers);
        listing.members.reserve(mostMembers);
    }
    uint64_t offset = listing.start;
    for (size_t count = 0;; ++count) {
        const auto r = h.readAt(window, offset);
        if (r == LzhHeader::Read::End)
            break;
        if (r == LzhHeader::Read::Corrupt)
            return Result::fail(Status::Corrupt, h.message + " at offset " + std::to_string(offset));
        if (count >= kMaxEntries)
            return Result::fail(Status::Corrupt, "too many entries");
        if (Entry e; kept(only, h, e)) {
            listing.entries.push_back(std::move(e));
            listing.members.push_back({h.offset, h.headerSize, h.packedSize});
        }
        const uint64_t next = h.dataOffset() + h.packedSize;
        if (next <= offset)  // sizes that wrap around would loop for ever
            return Result::fail(Status::Corrupt, "bad stored size at offset " + std::to_string(offset));
        offset = next;
    }
    return Result::success();
}

// Where to extract entry `index` from. A remembered directory's header
// is read again first; when the file no longer holds it there, the archive
// is walked afresh and the entry taken from that walk, or the walk's error
// given, as if the directory had never been remembered.
Result LzhReader::checkedMember(size_t index, const LzhListing::Member*& member)
{
    member = &m_listing->members[index];
    if (m_remembered && !m_rewalked && m_rewalkFailure.ok()) {
        LzhHeader now;
        if (now.readAt(*m_window, member->headerOffset) == LzhHeader::Read::Ok && m_listing->describes(index, now))
            return Result::success();
        m_cache.forget(m_listing->identity);
        auto fresh = std::make_shared<LzhListing>();
        fresh->identity = m_listing->identity;
        m_rewalkFailure = walk(*fresh, nullptr);
        if (m_rewalkFailure.ok())
            m_rewalked = std::move(fresh);
    }
    if (!m_rewalkFailure.ok())
        return m_rewalkFailure;
    if (m_rewalked) {
        const Entry& chosen = m_listing->entries[index];
        if (index >= m_rewalked->entries.size() || !(m_rewalked->entries[index] == chosen))
            return Result::fail(Status::Corrupt, "the archive changed while it was open: " + chosen.name);
        member = &m_rewalked->members[index];
    }
    return Result::success();
}

Result LzhReader::extract(size_t index, Sink& sink)
{
    if (m_fd < 0 || index >= entries().size())
        return Result::fail(Status::Corrupt, "no such entry");
    const Entry& e = m_listing->entries[index];
    if (e.type == EntryType::Directory)
        return Result::success();
    if (e.type != EntryType::File)
        return Result::fail(Status::Unsupported, "symbolic links are not extracted: " + e.name);
    const LzhListing::Member* member = nullptr;
    const Result checked = checkedMember(index, member);
    if (!checked.ok())
        return checked;
    const uint64_t dataOffset = member->dataOffset();
    const uint64_t packedSize = member->packedSize;
    if (dataOffset + packedSize > m_fileSize)
        return Result::fail(Status::Corrupt, "archive is truncated in " + e.name);

    std::string method = e.method;
    LHADecoderType* type = lha_decoder_for_name(method.data());
    if (!type)
        return Result::fail(Status::Unsupported, "method " + e.method + " is not supported");
    PackedInput input{m_fd, dataOffset, packedSize};
    std::unique_ptr<LHADecoder, DecoderFree> decoder(lha_decoder_new(type, &PackedInput::read, &input, size_t(e.size)));
    if (!decoder)
        return Result::fail(Status::OutOfMemory, "cannot start the decoder");

    uint8_t buffer[64 * 1024];
    uint64_t left = e.size;
    while (left > 0) {
        const size_t n = lha_decoder_read(decoder.get(), buffer, size_t(std::min<uint64_t>(left, sizeof buffer)));
        if (n == 0)
            break;
        if (!sink.write(buffer, n))
            return Result::fail(Status::Aborted, "extraction stopped");
        left -= n;
    }
    if (input.readFailed)
        return Result::fail(Status::ReadError, "read error in " + e.name);
    if (left > 0)
        return Result::fail(Status::Corrupt, "data of " + e.name + " ends early");
    if (lha_decoder_get_crc(decoder.get()) != e.crc)
        return Result::fail(Status::CrcError, "CRC error in " + e.name);
    return Result::success();
}

}  // namespace arc
