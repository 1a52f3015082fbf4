#include "archivers/unlha32/lzh_reader.h"

#include "archivers/unlha32/file_window.h"
#include "archivers/unlha32/lzh_header.h"

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

uint32_t unixToDos(uint32_t unixTime) {
    const time_t t = time_t(unixTime);
    struct tm tm {};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80)
        return (1u << 5 | 1u) << 16;   // 1980-01-01 00:00, the earliest DOS stamp
    const uint32_t date = uint32_t((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    const uint32_t time = uint32_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
    return date << 16 | time;
}

Entry toEntry(const LzhHeader& h) {
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

    static size_t read(void* buf, size_t len, void* self) {
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

struct DecoderFree {
    void operator()(LHADecoder* d) const { lha_decoder_free(d); }
};

}  // namespace

std::unique_ptr<Reader> makeLzhReader(const std::string&) { return std::make_unique<LzhReader>(); }

LzhReader::~LzhReader() { close(); }

void LzhReader::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Result LzhReader::open(const std::string& posixPath) {
    close();
    m_entries.clear();
    m_locations.clear();
    m_start = 0;
    m_fd = ::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return Result::fail(Status::ReadError, "cannot open " + posixPath + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Result::fail(Status::ReadError, posixPath + " is not a readable file");
    m_fileSize = uint64_t(st.st_size);
    FileWindow window(m_fd, m_fileSize);

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
    m_start = *start;

    // Every member takes at least a minimal header: reserving for as many as
    // could fit spares the copies of a growing listing (only the pages used
    // are ever touched).
    const size_t mostMembers = size_t(std::min<uint64_t>((m_fileSize - m_start) / 22 + 1, kMaxEntries));
    m_entries.reserve(mostMembers);
    m_locations.reserve(mostMembers);
    uint64_t offset = m_start;
    for (;;) {
        const auto r = h.readAt(window, offset);
        if (r == LzhHeader::Read::End)
            break;
        if (r == LzhHeader::Read::Corrupt)
            return Result::fail(Status::Corrupt, h.message + " at offset " + std::to_string(offset));
        if (m_entries.size() >= kMaxEntries)
            return Result::fail(Status::Corrupt, "too many entries");
        m_entries.push_back(toEntry(h));
        m_locations.push_back({h.dataOffset(), h.packedSize});
        const uint64_t next = h.dataOffset() + h.packedSize;
        if (next <= offset)   // sizes that wrap around would loop for ever
            return Result::fail(Status::Corrupt, "bad stored size at offset " + std::to_string(offset));
        offset = next;
    }
    return Result::success();
}

Result LzhReader::extract(size_t index, Sink& sink) {
    if (m_fd < 0 || index >= m_entries.size())
        return Result::fail(Status::Corrupt, "no such entry");
    const Entry& e = m_entries[index];
    const Location& loc = m_locations[index];
    if (e.type == EntryType::Directory)
        return Result::success();
    if (e.type != EntryType::File)
        return Result::fail(Status::Unsupported, "symbolic links are not extracted: " + e.name);
    if (loc.dataOffset + loc.packedSize > m_fileSize)
        return Result::fail(Status::Corrupt, "archive is truncated in " + e.name);

    std::string method = e.method;
    LHADecoderType* type = lha_decoder_for_name(method.data());
    if (!type)
        return Result::fail(Status::Unsupported, "method " + e.method + " is not supported");
    PackedInput input{m_fd, loc.dataOffset, loc.packedSize};
    std::unique_ptr<LHADecoder, DecoderFree> decoder(
        lha_decoder_new(type, &PackedInput::read, &input, size_t(e.size)));
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
