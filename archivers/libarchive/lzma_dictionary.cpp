#include "archivers/libarchive/lzma_dictionary.h"

#include "archivers/common/littleendian.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace arc {
namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

const unsigned char kXzHeaderMagic[6] = {0xFD, '7', 'z', 'X', 'Z', 0x00};
const unsigned char kXzFooterMagic[2] = {'Y', 'Z'};
constexpr uint64_t kLzma2Filter = 0x21;
constexpr uint64_t kLzma1Filter = 0x4000000000000001ULL;
constexpr size_t kMaxBlocks = 1u << 20;  // more blocks than that: a hostile index

bool readAt(FILE* f, uint64_t offset, void* buffer, size_t size)
{
    if (offset > uint64_t(INT64_MAX) || fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(buffer, 1, size, f) == size;
}

// xz's variable-length integer: seven bits a byte, at most nine bytes.
bool readVli(const unsigned char* data, size_t size, size_t& pos, uint64_t& value)
{
    value = 0;
    for (int i = 0; i < 9; ++i) {
        if (pos >= size)
            return false;
        const unsigned char b = data[pos++];
        value |= uint64_t(b & 0x7F) << (7 * i);
        if ((b & 0x80) == 0)
            return i == 0 || b != 0;
    }
    return false;
}

Result tooLarge(uint64_t dictionary)
{
    return Result::fail(Status::Unsupported, "the stream asks for a " + std::to_string(dictionary >> 20) +
                                                 " MiB dictionary, more than " +
                                                 std::to_string(kMaxLzmaDictionary >> 20) + " MiB");
}

Result corrupt(const char* what)
{
    return Result::fail(Status::Corrupt, std::string("broken xz stream: ") + what);
}

// One block header: the dictionary of its LZMA or LZMA2 filter.
Result checkBlockHeader(FILE* f, uint64_t offset)
{
    unsigned char first = 0;
    if (!readAt(f, offset, &first, 1))
        return corrupt("block header cut short");
    if (first == 0)
        return corrupt("index where a block was expected");
    const size_t size = (size_t(first) + 1) * 4;
    unsigned char header[1024];
    if (!readAt(f, offset, header, size))
        return corrupt("block header cut short");
    const unsigned char flags = header[1];
    const size_t end = size - 4;  // the header's CRC-32 follows
    size_t pos = 2;
    uint64_t ignored = 0;
    if ((flags & 0x40) && !readVli(header, end, pos, ignored))
        return corrupt("block sizes");
    if ((flags & 0x80) && !readVli(header, end, pos, ignored))
        return corrupt("block sizes");
    for (int i = 0, n = (flags & 3) + 1; i < n; ++i) {
        uint64_t id = 0, propertiesSize = 0;
        if (!readVli(header, end, pos, id) || !readVli(header, end, pos, propertiesSize) || propertiesSize > end - pos)
            return corrupt("filter flags");
        const unsigned char* properties = header + pos;
        pos += static_cast<size_t>(propertiesSize);
        uint64_t dictionary = 0;
        if (id == kLzma2Filter && propertiesSize == 1) {
            const unsigned bits = properties[0] & 0x3F;
            if (bits > 40)
                return corrupt("LZMA2 dictionary");
            dictionary = bits == 40 ? 0xFFFFFFFFu : uint64_t(2 | (bits & 1)) << (bits / 2 + 11);
        } else if (id == kLzma1Filter && propertiesSize == 5) {
            dictionary = LittleEndian(properties, size_t(propertiesSize)).u32(1);
        }
        if (dictionary > kMaxLzmaDictionary)
            return tooLarge(dictionary);
    }
    return Result::success();
}

// The stream that ends at `end` (its footer's last byte); `start` receives
// where it begins.
Result checkStreamEndingAt(FILE* f, uint64_t begin, uint64_t end, uint64_t& start)
{
    unsigned char footer[12];
    if (end < begin + 24 || !readAt(f, end - 12, footer, 12) || std::memcmp(footer + 10, kXzFooterMagic, 2) != 0)
        return corrupt("stream footer");
    const uint64_t indexSize = (uint64_t(LittleEndian(footer).u32(4)) + 1) * 4;
    if (indexSize > end - begin - 24)
        return corrupt("index size");
    const uint64_t indexStart = end - 12 - indexSize;
    std::vector<unsigned char> index(static_cast<size_t>(indexSize));
    if (!readAt(f, indexStart, index.data(), index.size()) || index[0] != 0)
        return corrupt("index");
    size_t pos = 1;
    uint64_t count = 0;
    if (!readVli(index.data(), index.size(), pos, count) || count > kMaxBlocks || count > index.size() / 2)
        return corrupt("index records");
    std::vector<uint64_t> blockSizes;
    uint64_t total = 0;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t unpadded = 0, uncompressed = 0;
        if (!readVli(index.data(), index.size(), pos, unpadded) ||
            !readVli(index.data(), index.size(), pos, uncompressed) || unpadded == 0)
            return corrupt("index records");
        const uint64_t padded = (unpadded + 3) & ~uint64_t(3);
        if (padded > indexStart - begin - total)
            return corrupt("block sizes");
        blockSizes.push_back(padded);
        total += padded;
    }
    if (indexStart - begin < total + 12)
        return corrupt("stream header");
    start = indexStart - total - 12;
    unsigned char header[6];
    if (!readAt(f, start, header, 6) || std::memcmp(header, kXzHeaderMagic, 6) != 0)
        return corrupt("stream header");
    uint64_t block = start + 12;
    for (uint64_t size : blockSizes) {
        if (Result r = checkBlockHeader(f, block); !r.ok())
            return r;
        block += size;
    }
    return Result::success();
}

// Every block of the xz streams that fill [begin, end) of the file
// (concatenated streams and the zero padding between them included). The
// streams are walked from the last one back, each found through its footer
// and index.
Result checkXzStreams(FILE* f, uint64_t begin, uint64_t end)
{
    while (end > begin) {
        unsigned char word[4];
        if (!readAt(f, end - 4, word, 4))
            return corrupt("cut short");
        if (LittleEndian(word).u32(0) == 0 && end - begin >= 4) {
            end -= 4;
            continue;
        }
        uint64_t start = 0;
        if (Result r = checkStreamEndingAt(f, begin, end, start); !r.ok())
            return r;
        end = start;
    }
    return Result::success();
}

// Where the first xz stream of a file begins: 0 for an .xz file, after the
// package headers for an rpm package; -1 when there is none.
int64_t findXzStream(FILE* f)
{
    std::vector<unsigned char> head(1 << 20);
    if (fseeko(f, 0, SEEK_SET) != 0)
        return -1;
    const size_t got = std::fread(head.data(), 1, head.size(), f);
    if (got >= 6 && std::memcmp(head.data(), kXzHeaderMagic, 6) == 0)
        return 0;
    // An rpm package (its lead starts ED AB EE DB) carries its payload after
    // the package headers.
    static const unsigned char rpmLead[4] = {0xED, 0xAB, 0xEE, 0xDB};
    if (got < 4 || std::memcmp(head.data(), rpmLead, 4) != 0)
        return -1;
    for (size_t i = 96; i + 6 <= got; ++i)
        if (std::memcmp(head.data() + i, kXzHeaderMagic, 6) == 0)
            return static_cast<int64_t>(i);
    return -1;
}

// The local header at `at`: whether its LZMA (method 14) or xz (method 95)
// data asks for too large a dictionary. Anything else (other methods, a
// header that is not there) passes: decoding reports it.
Result checkLocalHeader(FILE* f, uint64_t at, const std::unordered_map<uint64_t, uint64_t>& listedSizes)
{
    constexpr uint16_t kLzma = 14, kXz = 95;
    unsigned char local[30];
    const LittleEndian fields(local);
    if (!readAt(f, at, local, sizeof local) || fields.u32(0) != 0x04034b50)
        return Result::success();
    // libarchive keeps a method's low byte only, so 0x010E decodes as LZMA.
    const uint16_t method = fields.u16(8) & 0xFF;
    if (method != kLzma && method != kXz)
        return Result::success();
    const uint64_t dataStart = at + 30 + fields.u16(26) + fields.u16(28);
    if (method == kLzma) {
        // 2 bytes version, 2 bytes properties size, the 5-byte properties.
        unsigned char header[9];
        if (readAt(f, dataStart, header, sizeof header) && LittleEndian(header).u32(5) > kMaxLzmaDictionary)
            return tooLarge(LittleEndian(header).u32(5));
        return Result::success();
    }
    uint64_t packed = (local[6] & 0x08) ? 0 : fields.u32(18);
    if (auto listed = listedSizes.find(at); listed != listedSizes.end())
        packed = listed->second;
    if (packed != 0 && packed != 0xFFFFFFFFu)
        if (Result r = checkXzStreams(f, dataStart, dataStart + packed); r.status == Status::Unsupported)
            return r;
    // Whatever the size says, the first block is the one decoded first.
    if (Result r = checkBlockHeader(f, dataStart + 12); r.status == Status::Unsupported)
        return r;
    return Result::success();
}

}  // namespace

Result checkZipDictionaries(const std::string& posixPath, const std::vector<std::pair<uint64_t, uint64_t>>& packedSizes,
                            int64_t fullScanLimit)
{
    FilePtr f(std::fopen(posixPath.c_str(), "rb"));
    if (!f)
        return Result::fail(Status::ReadError, "cannot read the archive");
    const std::unordered_map<uint64_t, uint64_t> listedSizes(packedSizes.begin(), packedSizes.end());
    if (fseeko(f.get(), 0, SEEK_END) != 0)
        return Result::fail(Status::ReadError, "cannot read the archive");
    const off_t size = ftello(f.get());
    if (size > fullScanLimit) {
        // A large file: the listed local headers only, so that opening does
        // not read all of it.
        for (const auto& [offset, packed] : packedSizes)
            if (Result r = checkLocalHeader(f.get(), offset, listedSizes); !r.ok())
                return r;
        return Result::success();
    }
    std::vector<unsigned char> chunk(1 << 20);
    uint64_t chunkStart = 0;
    for (;;) {
        if (fseeko(f.get(), static_cast<off_t>(chunkStart), SEEK_SET) != 0)
            break;
        const size_t got = std::fread(chunk.data(), 1, chunk.size(), f.get());
        if (got < 4)
            break;
        const unsigned char* end = chunk.data() + got;
        for (const unsigned char* p = chunk.data(); end - p >= 4; ++p) {
            p = static_cast<const unsigned char*>(std::memchr(p, 'P', static_cast<size_t>(end - p - 3)));
            if (!p)
                break;
            if (LittleEndian(p, size_t(end - p)).u32(0) == 0x04034b50)
                if (Result r = checkLocalHeader(f.get(), chunkStart + uint64_t(p - chunk.data()), listedSizes); !r.ok())
                    return r;
        }
        if (got < chunk.size())
            break;
        chunkStart += got - 3;  // a signature may straddle two chunks
    }
    return Result::success();
}

Result checkXzFile(const std::string& posixPath)
{
    FilePtr f(std::fopen(posixPath.c_str(), "rb"));
    if (!f)
        return Result::success();  // opening reports it
    const int64_t start = findXzStream(f.get());
    if (start < 0 || fseeko(f.get(), 0, SEEK_END) != 0)
        return Result::success();
    const off_t end = ftello(f.get());
    if (end < 0)
        return Result::success();
    return checkXzStreams(f.get(), uint64_t(start), uint64_t(end));
}

}  // namespace arc
