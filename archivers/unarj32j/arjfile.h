// A read-only archive file with positioned reads; closes itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace arj {

class ArjFile {
public:
    ArjFile() = default;
    ~ArjFile();
    ArjFile(const ArjFile&) = delete;
    ArjFile& operator=(const ArjFile&) = delete;

    bool open(const std::string& posixPath);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    uint64_t size() const { return m_size; }
    // Reads up to `size` bytes at `offset`; fewer only at the end of the
    // file, -1 on an error.
    long readAt(uint64_t offset, void* buffer, size_t size) const;

private:
    int m_fd = -1;
    uint64_t m_size = 0;
};

}  // namespace arj
