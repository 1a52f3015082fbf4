// Positioned reads of an archive file, shared by the RAR header walks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace arc {

// Reads exactly `size` bytes at `offset`; false when the file is shorter or
// cannot be read.
bool readAt(int fd, uint64_t offset, void* buffer, size_t size);

}  // namespace arc
