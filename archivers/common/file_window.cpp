#include "archivers/common/file_window.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace arc {
namespace {

bool preadExact(int fd, uint64_t offset, uint8_t* out, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, off_t(offset));
        if (n <= 0)
            return false;
        out += n;
        offset += uint64_t(n);
        size -= size_t(n);
    }
    return true;
}

}  // namespace

bool FileWindow::fill(uint64_t offset)
{
    if (offset >= m_fileSize)
        return false;
    const size_t want = size_t(std::min<uint64_t>(kWindowSize, m_fileSize - offset));
    m_buffer.resize(want);
    if (!preadExact(m_fd, offset, m_buffer.data(), want)) {
        m_buffer.clear();
        return false;
    }
    m_start = offset;
    return true;
}

bool FileWindow::read(uint64_t offset, void* out, size_t size)
{
    if (offset > m_fileSize || size > m_fileSize - offset)
        return false;
    if (size == 0)
        return true;
    if (size > kWindowSize)
        return preadExact(m_fd, offset, static_cast<uint8_t*>(out), size);
    const bool inside = offset >= m_start && offset - m_start + size <= m_buffer.size();
    if (!inside && !fill(offset))
        return false;
    std::memcpy(out, m_buffer.data() + (offset - m_start), size);
    return true;
}

}  // namespace arc
