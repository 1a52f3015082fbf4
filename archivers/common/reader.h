// The format side of an archiver library: a Reader lists an archive's
// directory once and decodes single entries into a Sink. Everything else
// (handles, wildcards, commands, safe file writing, CRC checks, progress) is
// done by the common library code around it, the same for every format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace arc {

enum class CrcKind : uint8_t {
    None,   // the format stores no checksum of the whole file (tar, cpio, ar, cab)
    Crc16,  // CRC-16, polynomial 0xA001 reflected, start 0 (LZH, ARJ headers)
    Crc32,  // CRC-32 IEEE, as zlib's crc32 (ZIP, ARJ, RAR, gzip)
};

enum class EntryType : uint8_t { File, Directory, Symlink, Other };

struct Entry {
    std::string name;         // UTF-8, "/" between folders, as stored (not yet made safe)
    uint64_t size = 0;        // original size in bytes
    uint64_t packedSize = 0;  // stored size in bytes (0 when unknown)
    uint32_t crc = 0;         // checksum of the original data, of kind crcKind
    CrcKind crcKind = CrcKind::None;
    uint32_t dosDateTime = 0;   // DOS date in the high word, DOS time in the low word (local time)
    uint8_t attributes = 0x20;  // DOS attributes (0x01 read-only, 0x02 hidden, 0x10 folder, 0x20 archive)
    std::string method;         // method text as the format names it ("-lh5-", "Deflate", "Stored", ...)
    EntryType type = EntryType::File;
    bool encrypted = false;
    bool sizeKnown = true;  // false when the format learns the size only by decoding (plain .gz)

    bool operator==(const Entry&) const = default;
};

enum class Status : uint8_t {
    Ok,
    NotArchive,   // not this library's format
    Corrupt,      // broken headers or data
    CrcError,     // data decoded but does not match its checksum (set by the common code)
    Unsupported,  // method or feature not supported (encryption, unknown method)
    ReadError,    // the archive file could not be read
    WriteError,   // the sink refused data (disk full)
    Aborted,      // the sink asked to stop
    OutOfMemory,
    TooLarge,  // the output passed the limits of outputlimits.h (set by the common code)
};

struct Result {
    Status status = Status::Ok;
    std::string message;  // English detail for logs and the output buffer; empty when Ok
    bool ok() const { return status == Status::Ok; }
    static Result success() { return {}; }
    static Result fail(Status s, std::string m) { return {s, std::move(m)}; }
};

class Sink {
public:
    virtual ~Sink() = default;
    // Takes the next decoded bytes. False means stop: the reader returns
    // Status::Aborted (the common code knows whether it was a write error).
    virtual bool write(const void* data, size_t size) = 0;
    // Takes `size` zero bytes that are a hole in the data (sparse entries):
    // a file gets a hole there, not written blocks. The default writes them.
    virtual bool skip(uint64_t size);
};

class WildcardSet;

class Reader {
public:
    virtual ~Reader() = default;
    // Said before open() when only some names are wanted (extracting or
    // testing named entries): a reader may then leave out of entries()
    // what `wanted` does not match, and skip building those entries. It
    // may also list everything. `wanted` must outlive open().
    void listOnly(const WildcardSet* wanted) { m_wanted = wanted; }
    // Reads the archive's directory once; entries() is valid afterwards.
    // Never trusts declared sizes for allocation; a loop that does not
    // advance ends with Status::Corrupt.
    virtual Result open(const std::string& posixPath) = 0;
    virtual const std::vector<Entry>& entries() const = 0;
    // Decodes entry `index` into `sink`, in order from the first byte. The
    // caller checks the CRC and the size; a reader may check them too.
    // Extracting one entry must not decode the others unless the format
    // forces it (solid archives).
    virtual Result extract(size_t index, Sink& sink) = 0;

protected:
    const WildcardSet* wanted() const { return m_wanted; }

private:
    const WildcardSet* m_wanted = nullptr;
};

// Stored file names to UTF-8: valid UTF-8 stays, otherwise the bytes are
// taken as Shift-JIS (code page 932); bytes that decode as neither become
// U+FFFD; a NUL becomes "_". Backslashes stay as they are (callers that know the format turns
// "\" into "/" do so themselves).
std::string nameToUtf8(std::string_view raw);
// The same when the format says the name is in the OEM/ANSI code page
// (never UTF-8): Shift-JIS first, UTF-8 never guessed.
std::string shiftJisToUtf8(std::string_view raw);
// Whether `raw` holds a byte of 0x80 or more, or the byte `c`; eight bytes
// at a time, and inline, as listing and extraction ask it of every name.
inline bool holdsHighByteOr(std::string_view raw, char c)
{
    // A byte of 0x80 or more sets its high bit, and so does a byte `c`
    // once the xor has made it zero. The last word overlaps the one before
    // it rather than leaving a tail.
    constexpr uint64_t kOnes = 0x0101010101010101u, kHighs = kOnes * 0x80;
    const uint64_t marks = kOnes * static_cast<unsigned char>(c);
    auto flagged = [&](size_t at) {
        uint64_t w;
        std::memcpy(&w, raw.data() + at, sizeof w);
        const uint64_t x = w ^ marks;
        return ((w | ((x - kOnes) & ~x)) & kHighs) != 0;
    };
    if (raw.size() < sizeof(uint64_t)) {
        for (char b : raw)
            if (b == c || static_cast<unsigned char>(b) >= 0x80)
                return true;
        return false;
    }
    for (size_t i = 0; i + sizeof(uint64_t) < raw.size(); i += sizeof(uint64_t))
        if (flagged(i))
            return true;
    return flagged(raw.size() - sizeof(uint64_t));
}
// True when nameToUtf8 gives `raw` back unchanged: ASCII without a NUL.
inline bool plainAsciiName(std::string_view raw)
{
    return !holdsHighByteOr(raw, '\0');
}

}  // namespace arc
