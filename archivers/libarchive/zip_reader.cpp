#include "archivers/libarchive/zip_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "archivers/common/littleendian.h"
#include "archivers/common/wildcard.h"
#include "archivers/libarchive/bounded_source.h"
#include "archivers/libarchive/inflate.h"
#include "archivers/libarchive/lzma_dictionary.h"

namespace arc {
namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kLocalSize = 30;
constexpr size_t kChunk = 64 * 1024;

// The packed bytes of one entry, read in chunks and never past their end.
class PackedData {
public:
    PackedData(int fd, uint64_t offset, uint64_t size) : m_fd(fd), m_offset(offset), m_left(size) {}
    // Bytes read into buf (0 at the end); -1 on a read error.
    ssize_t read(void* buf, size_t capacity)
    {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(capacity, m_left));
        if (want == 0)
            return 0;
        const ssize_t n = ::pread(m_fd, buf, want, static_cast<off_t>(m_offset));
        if (n <= 0) {
            m_failed = true;
            m_left = 0;
            return -1;
        }
        m_offset += static_cast<uint64_t>(n);
        m_left -= static_cast<uint64_t>(n);
        return n;
    }
    bool failed() const { return m_failed; }
    uint64_t left() const { return m_left; }

private:
    int m_fd;
    uint64_t m_offset;
    uint64_t m_left;
    bool m_failed = false;
};

// Maps a vector's reserved storage in one call. Listing a large archive
// touches every page of its entries once; taking those pages one fault at
// a time cost more than building the entries. Bounded, since the storage is
// reserved before the records are known to be sound.
template <class T> void prefault(const std::vector<T>& v)
{
    constexpr size_t kMaxPrefault = size_t(32) << 20;
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<uintptr_t>(v.data()) & ~(uintptr_t(page) - 1);
    const auto end = reinterpret_cast<uintptr_t>(v.data() + v.capacity());
    if (v.capacity() == 0 || end - start > kMaxPrefault)
        return;
#ifdef MADV_POPULATE_WRITE
    ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);  // a hint: failure changes nothing
#endif
}

Result readError()
{
    return Result::fail(Status::ReadError, "cannot read the archive");
}
Result aborted()
{
    return Result::fail(Status::Aborted, "stopped by the receiver");
}

// A buffer of at most kChunk bytes for `wanted` bytes, never empty, and
// left uninitialised: most entries are small, and clearing and touching
// whole chunks for them cost more than their data.
std::unique_ptr<unsigned char[]> chunkFor(uint64_t wanted, size_t& size)
{
    size = static_cast<size_t>(std::clamp<uint64_t>(wanted, 1, kChunk));
    return std::unique_ptr<unsigned char[]>(new unsigned char[size]);
}

Result copyStored(PackedData& in, Sink& sink)
{
    size_t size = 0;
    const auto buf = chunkFor(in.left(), size);
    for (;;) {
        const ssize_t n = in.read(buf.get(), size);
        if (n < 0)
            return readError();
        if (n == 0)
            return Result::success();
        if (!sink.write(buf.get(), static_cast<size_t>(n)))
            return aborted();
    }
}

// `expected`: the size the directory gives, which only sizes the buffers.
Result inflateWithZlib(PackedData& in, uint64_t expected, Sink& sink)
{
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return Result::fail(Status::OutOfMemory, "cannot start inflating");
    struct End {
        z_stream& z;
        ~End() { inflateEnd(&z); }
    } end{z};
    constexpr uint64_t kLeastOutput = 4096;  // should the directory understate the size
    size_t inputSize = 0, outputSize = 0;
    const auto input = chunkFor(in.left(), inputSize);
    const auto output = chunkFor(std::max(expected, kLeastOutput), outputSize);
    for (;;) {
        if (z.avail_in == 0) {
            const ssize_t n = in.read(input.get(), inputSize);
            if (n < 0)
                return readError();
            if (n == 0)
                return Result::fail(Status::Corrupt, "deflate data ends early");
            z.next_in = input.get();
            z.avail_in = static_cast<uInt>(n);
        }
        z.next_out = output.get();
        z.avail_out = static_cast<uInt>(outputSize);
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t produced = outputSize - z.avail_out;
        if (produced > 0 && !sink.write(output.get(), produced))
            return aborted();
        if (rc == Z_STREAM_END)
            return Result::success();
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return Result::fail(Status::Corrupt, std::string("deflate data: ") + (z.msg ? z.msg : "broken"));
    }
}

}  // namespace

ZipReader::~ZipReader()
{
    close();
}

void ZipReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

const std::vector<Entry>& ZipReader::entries() const
{
    return m_allLibarchive ? m_libarchive->entries() : m_entries;
}

bool ZipReader::addEntry(const ZipRecord& r, bool nameWanted)
{
    Entry& en = m_entries.emplace_back();
    ZipDirectory::fillEntry(r, en);
    if (nameWanted || wanted()->matches(en.name))
        return true;
    m_entries.pop_back();
    return false;
}

Result ZipReader::open(const std::string& posixPath)
{
    close();
    m_path = posixPath;
    m_entries.clear();
    m_locations.clear();
    m_libarchive.reset();
    m_allLibarchive = false;

    // One pass over the central directory: where every record's data is,
    // what the listing order needs, and the entries of the records wanted
    // (all of them unless only some names were asked for). The listing
    // order is worked out only when the records are not already in it
    // (offsets rising, no resource forks), which the pass tells.
    std::vector<uint64_t> offsets;
    std::vector<size_t> forkRecords;
    bool rising = true;
    std::vector<size_t> built;  // the record of each entry built, when not all are
    const Result scanned = ZipDirectory::scan(
        posixPath,
        [&](const ZipRecord& r) {
            const size_t record = offsets.size();
            rising = rising && (record == 0 || offsets.back() < r.localOffset);
            offsets.push_back(r.localOffset);
            if (ZipDirectory::isResourceFork(r.rawName))
                forkRecords.push_back(record);
            if (!wanted()) {
                ZipDirectory::fillEntry(r, m_entries.emplace_back());
            } else {
                // A plain ASCII name is listed as stored, "\\" as "/", which
                // the patterns take alike: matched before the entry is built.
                const bool plain = r.unicodeName.empty() && plainAsciiName(r.rawName);
                if (plain && !wanted()->matches(r.rawName))
                    return;
                if (!addEntry(r, plain))
                    return;
                built.push_back(record);
            }
            m_locations.push_back({r.localOffset, r.packedSize, r.method, 0});
        },
        [&](size_t n) {
            offsets.reserve(n);
            if (wanted())
                return;
            m_entries.reserve(n);
            m_locations.reserve(n);
            prefault(m_entries);
            prefault(m_locations);
        });
    if (!scanned.ok()) {
        m_entries.clear();
        m_locations.clear();
        // Without an end record libarchive's seekable reader sees no ZIP
        // either; a broken directory it may still read.
        if (scanned.status != Status::Corrupt)
            return scanned;
        m_allLibarchive = true;
        m_libarchive =
            std::make_unique<LibarchiveReader>(std::vector<LibarchiveReader::Format>{LibarchiveReader::Format::Zip});
        return m_libarchive->open(posixPath);
    }
    // Each record's place in the listing; records not listed keep npos.
    constexpr size_t kUnlisted = std::string_view::npos;
    std::vector<size_t> order;
    std::vector<size_t> place;
    std::vector<bool> forks;
    if (!rising || !forkRecords.empty()) {
        forks.assign(offsets.size(), false);
        for (size_t record : forkRecords)
            forks[record] = true;
    }
    if (!forks.empty() && ZipDirectory::listedOrder(
                              offsets.size(), [&offsets](size_t i) { return offsets[i]; }, forks, order)) {
        place.assign(offsets.size(), kUnlisted);
        for (size_t p = 0; p < order.size(); ++p)
            place[order[p]] = p;
    }
    for (size_t k = 0; k < m_locations.size(); ++k) {
        const size_t record = wanted() ? built[k] : k;
        m_locations[k].listed = place.empty() ? record : place[record];
    }
    if (!place.empty()) {
        // Listing order, without the records the listing leaves out.
        std::vector<size_t> byPlace;
        for (size_t k = 0; k < m_locations.size(); ++k)
            if (m_locations[k].listed != kUnlisted)
                byPlace.push_back(k);
        std::sort(byPlace.begin(), byPlace.end(),
                  [this](size_t a, size_t b) { return m_locations[a].listed < m_locations[b].listed; });
        std::vector<Entry> entries;
        std::vector<Location> locations;
        entries.reserve(byPlace.size());
        locations.reserve(byPlace.size());
        for (size_t k : byPlace) {
            entries.push_back(std::move(m_entries[k]));
            locations.push_back(m_locations[k]);
        }
        m_entries = std::move(entries);
        m_locations = std::move(locations);
    }
    m_fd = ::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return Result::fail(Status::ReadError, "cannot open " + posixPath + ": " + std::strerror(errno));
    m_fileSize = static_cast<uint64_t>(st.st_size);
    return Result::success();
}

Result ZipReader::dataStart(const Location& r, uint64_t& start) const
{
    unsigned char h[kLocalSize];
    if (r.localOffset > m_fileSize || m_fileSize - r.localOffset < kLocalSize)
        return Result::fail(Status::Corrupt, "local header beyond the end of the file");
    if (::pread(m_fd, h, sizeof h, static_cast<off_t>(r.localOffset)) != static_cast<ssize_t>(sizeof h))
        return readError();
    const LittleEndian fields(h);
    if (fields.u32(0) != kLocalSignature)
        return Result::fail(Status::Corrupt, "no local header where the directory says");
    start = r.localOffset + kLocalSize + fields.u16(26) + fields.u16(28);
    if (start > m_fileSize || m_fileSize - start < r.packedSize)
        return Result::fail(Status::Corrupt, "the entry's data runs past the end of the file");
    return Result::success();
}

Result ZipReader::extractHere(const Location& r, uint64_t size, Sink& sink) const
{
    uint64_t start = 0;
    if (Result res = dataStart(r, start); !res.ok())
        return res;
    PackedData in(m_fd, start, r.packedSize);
    switch (r.method) {
    case 0:
        return copyStored(in, sink);
    case 8:
        return inflateWithZlib(in, size, sink);
    default: {
        Result res = inflateRaw(
            DeflateVariant::Deflate64,
            [&in](uint8_t* buf, size_t capacity) {
                const ssize_t n = in.read(buf, capacity);
                return n > 0 ? static_cast<size_t>(n) : size_t(0);
            },
            sink);
        return in.failed() ? readError() : res;
    }
    }
}

Result ZipReader::extract(size_t index, Sink& sink)
{
    if (m_allLibarchive)
        return m_libarchive->extract(index, sink);
    if (index >= m_entries.size())
        return Result::fail(Status::Corrupt, "no entry " + std::to_string(index));
    const Entry& e = m_entries[index];
    const Location& r = m_locations[index];
    if (e.type != EntryType::File)
        return Result::success();
    if (e.encrypted)
        return Result::fail(Status::Unsupported, "the entry is encrypted");
    if (r.packedSize == 0 && e.size == 0)
        return Result::success();  // some writers leave empty files without a stream
    if (r.method == 0 || r.method == 8 || r.method == 9)
        return extractHere(r, e.size, sink);
    if (!ZipDirectory::decodable(r.method))
        return Result::fail(Status::Unsupported, "compression method " + e.method + " is not supported");
    return extractThroughLibarchive(r, e, sink);
}

Result ZipReader::extractThroughLibarchive(const Location& r, const Entry& e, Sink& sink)
{
    // libarchive allocates an LZMA or xz dictionary as the local header asks.
    if (Result res = checkZipDictionaries(m_path, {{r.localOffset, r.packedSize}}, -1); !res.ok())
        return res;
    uint64_t start = 0;
    if (Result res = dataStart(r, start); !res.ok())
        return res;
    // The sizes and CRC of the central directory written into the local
    // header, whose data descriptor (if any) then goes unread; entries of
    // 4 GiB or more keep their ZIP64 fields.
    std::vector<BoundedSource::Patch> patches;
    if (e.size < 0xFFFFFFFFu && r.packedSize < 0xFFFFFFFFu) {
        unsigned char flags[2];
        if (::pread(m_fd, flags, 2, static_cast<off_t>(r.localOffset + 6)) != 2)
            return readError();
        std::string fields;
        for (uint32_t v : {e.crc, static_cast<uint32_t>(r.packedSize), static_cast<uint32_t>(e.size)})
            for (int k = 0; k < 4; ++k)
                fields += static_cast<char>(v >> (8 * k));
        patches.emplace_back(r.localOffset + 6,
                             std::string{static_cast<char>(flags[0] & ~0x08), static_cast<char>(flags[1])});
        patches.emplace_back(r.localOffset + 14, fields);
    }
    BoundedSource source;
    if (Result res = source.openWindow(m_path, r.localOffset, start + r.packedSize, std::move(patches)); !res.ok())
        return res;
    struct Closer {
        void operator()(struct archive* a) const { archive_read_free(a); }
    };
    std::unique_ptr<struct archive, Closer> handle(archive_read_new());
    if (!handle)
        return Result::fail(Status::OutOfMemory, "libarchive handle");
    ++m_libarchiveHandles;
    struct archive* a = handle.get();
    archive_read_support_format_zip_streamable(a);
    struct archive_entry* header = nullptr;
    if (source.attach(a) != ARCHIVE_OK || archive_read_next_header(a, &header) < ARCHIVE_WARN) {
        const char* why = archive_error_string(a);
        return Result::fail(Status::Corrupt, why && *why ? why : "broken local header");
    }
    uint64_t written = 0;
    for (;;) {
        const void* buf = nullptr;
        size_t len = 0;
        la_int64_t offset = 0;
        const int rc = archive_read_data_block(a, &buf, &len, &offset);
        if (rc == ARCHIVE_EOF)
            return Result::success();
        if (rc != ARCHIVE_OK) {
            // Warnings are checksum or size mismatches found by libarchive.
            const char* why = archive_error_string(a);
            return Result::fail(rc == ARCHIVE_WARN ? Status::CrcError : Status::Corrupt,
                                why && *why ? why : "broken entry data");
        }
        if (offset < 0 || static_cast<uint64_t>(offset) != written)
            return Result::fail(Status::Corrupt, "entry data out of order");
        if (len > 0 && !sink.write(buf, len))
            return aborted();
        written += len;
    }
}

}  // namespace arc
