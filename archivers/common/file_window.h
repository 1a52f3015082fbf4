// Reads an archive file's headers through one buffered window: walking the
// directory of a 10,000-member archive takes a handful of system calls
// instead of several per header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace arc {

class FileWindow {
public:
    FileWindow(int fd, uint64_t fileSize) : m_fd(fd), m_fileSize(fileSize) {}

    // Copies exactly `size` bytes at `offset` into `out`; false when the
    // file is shorter or cannot be read.
    bool read(uint64_t offset, void* out, size_t size);

    uint64_t fileSize() const { return m_fileSize; }

    static constexpr size_t kWindowSize = 64 * 1024;

private:
    bool fill(uint64_t offset);

    int m_fd;
    uint64_t m_fileSize;
    std::vector<uint8_t> m_buffer;
    uint64_t m_start = 0;  // file offset of m_buffer[0]
};

}  // namespace arc
