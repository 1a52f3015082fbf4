#include "archivers/unrar32/read_at.h"

#include <unistd.h>

namespace arc {

bool readAt(int fd, uint64_t offset, void* buffer, size_t size) {
    auto* out = static_cast<uint8_t*>(buffer);
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

}  // namespace arc
