// A RIFF (or RF64) WAVE file seen the way the Windows sound functions read
// it: the first 'fmt ' chunk and the 'data' chunk after it, found by walking
// the top-level chunks by their sizes, whatever the chunks between hold.
// It serves a clean file of just those two chunks, which a decoder that
// gave up on the original (a damaged LIST chunk, say) can read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class WaveImage {
public:
    // Null unless the file starts as a RIFF or RF64 WAVE file and holds a
    // format chunk followed by a data chunk with at least one byte.
    static std::unique_ptr<WaveImage> open(const std::string& posixPath);
    ~WaveImage();
    WaveImage(const WaveImage&) = delete;
    WaveImage& operator=(const WaveImage&) = delete;

    uint64_t size() const { return m_header.size() + m_dataSize; }
    // Copies up to bytes bytes of the clean file from offset at; fewer at its end.
    size_t read(uint64_t at, void* out, size_t bytes) const;

private:
    WaveImage(int fd, std::string header, uint64_t dataOffset, uint64_t dataSize)
        : m_fd(fd), m_header(std::move(header)), m_dataOffset(dataOffset), m_dataSize(dataSize)
    {
    }
    int m_fd;
    std::string m_header;   // RIFF, WAVE, the format chunk and the data chunk's header
    uint64_t m_dataOffset;  // where the data lies in the original file
    uint64_t m_dataSize;
};

}  // namespace platform
