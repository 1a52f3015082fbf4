#include "platform/sound/wave_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace platform {
namespace {

// A format chunk is a WAVEFORMAT at least; anything longer than this is
// not one a codec reads.
constexpr uint32_t minFormatSize = 14;
constexpr uint32_t maxFormatSize = 65536;
// Bounds the walk through a hostile file of tiny chunks.
constexpr int maxChunks = 65536;
constexpr uint32_t unsized = 0xFFFFFFFF;

uint32_t le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t le64(const unsigned char* p)
{
    return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32);
}

void appendLe32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool readAt(int fd, uint64_t at, void* out, size_t bytes)
{
    return ::pread(fd, out, bytes, static_cast<off_t>(at)) == static_cast<ssize_t>(bytes);
}

}  // namespace

std::unique_ptr<WaveImage> WaveImage::open(const std::string& posixPath)
{
    int fd = ::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat status;
    unsigned char head[12];
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !readAt(fd, 0, head, sizeof head) ||
        (std::memcmp(head, "RIFF", 4) != 0 && std::memcmp(head, "RF64", 4) != 0) ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        ::close(fd);
        return nullptr;
    }
    const bool rf64 = std::memcmp(head, "RF64", 4) == 0;
    const auto fileSize = static_cast<uint64_t>(status.st_size);
    std::optional<uint64_t> longDataSize;  // RF64's ds64 chunk
    std::string format;
    uint64_t at = 12;
    for (int n = 0; n < maxChunks && at + 8 <= fileSize; ++n) {
        unsigned char chunk[8];
        if (!readAt(fd, at, chunk, sizeof chunk))
            break;
        const uint32_t size = le32(chunk + 4);
        const uint64_t body = at + 8;
        if (rf64 && n == 0 && std::memcmp(chunk, "ds64", 4) == 0 && size >= 24) {
            unsigned char sizes[24];
            if (readAt(fd, body, sizes, sizeof sizes))
                longDataSize = le64(sizes + 8);
        } else if (std::memcmp(chunk, "fmt ", 4) == 0 && format.empty()) {
            if (size < minFormatSize || size > maxFormatSize || body + size > fileSize)
                break;
            format.resize(size);
            if (!readAt(fd, body, format.data(), size))
                break;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            // Without a format before it the data cannot be played.
            if (format.empty())
                break;
            uint64_t dataSize = size;
            if (rf64 && size == unsized && longDataSize)
                dataSize = *longDataSize;
            // A file cut short (or written without sizes) plays what it holds.
            dataSize = std::min(dataSize, fileSize - body);
            std::string header("RIFF");
            const uint64_t headerSize = 12 + 8 + format.size() + (format.size() & 1) + 8;
            dataSize = std::min<uint64_t>(dataSize, unsized - headerSize);
            if (dataSize == 0)
                break;
            appendLe32(header, static_cast<uint32_t>(headerSize - 8 + dataSize));
            header += "WAVEfmt ";
            appendLe32(header, static_cast<uint32_t>(format.size()));
            header += format;
            if (format.size() & 1)
                header += '\0';
            header += "data";
            appendLe32(header, static_cast<uint32_t>(dataSize));
            return std::unique_ptr<WaveImage>(new WaveImage(fd, std::move(header), body, dataSize));
        }
        at = body + size + (size & 1);
    }
    ::close(fd);
    return nullptr;
}

WaveImage::~WaveImage()
{
    ::close(m_fd);
}

size_t WaveImage::read(uint64_t at, void* out, size_t bytes) const
{
    auto* to = static_cast<char*>(out);
    size_t done = 0;
    if (at < m_header.size()) {
        done = std::min<size_t>(bytes, m_header.size() - at);
        std::memcpy(to, m_header.data() + at, done);
        at += done;
    }
    const uint64_t headerSize = m_header.size();
    if (done < bytes && at < size()) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(bytes - done, size() - at));
        ssize_t got = ::pread(m_fd, to + done, want, static_cast<off_t>(m_dataOffset + (at - headerSize)));
        if (got > 0)
            done += static_cast<size_t>(got);
    }
    return done;
}

}  // namespace platform
