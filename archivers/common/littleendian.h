// Little-endian fields of a header held in memory, read by offset. Every
// format here stores its numbers this way; one reader means one place where
// a field's bounds are checked. A read that would pass the end of the bytes
// gives 0 and marks the view as overrun, for the parser to report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace arc {

class LittleEndian {
public:
    LittleEndian(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
    template <size_t N> LittleEndian(const uint8_t (&bytes)[N]) : LittleEndian(bytes, N) {}
    LittleEndian(const std::vector<uint8_t>& bytes) : LittleEndian(bytes.data(), bytes.size()) {}
    LittleEndian(std::string_view bytes) : LittleEndian(bytes.data(), bytes.size()) {}

    uint8_t u8(size_t at) const { return fits(at, 1) ? m_data[at] : refuse(); }
    uint16_t u16(size_t at) const { return fits(at, 2) ? uint16_t(m_data[at] | m_data[at + 1] << 8) : refuse(); }
    uint32_t u32(size_t at) const
    {
        if (!fits(at, 4))
            return refuse();
        const uint8_t* p = m_data + at;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    uint64_t u64(size_t at) const { return fits(at, 8) ? u32(at) | uint64_t(u32(at + 4)) << 32 : refuse(); }

    // Whether `count` bytes from `at` lie inside the view.
    bool fits(size_t at, size_t count) const { return at <= m_size && count <= m_size - at; }
    size_t size() const { return m_size; }
    // True once a read has been refused.
    bool overrun() const { return m_overrun; }

private:
    uint8_t refuse() const
    {
        m_overrun = true;
        return 0;
    }

    const uint8_t* m_data;
    size_t m_size;
    mutable bool m_overrun = false;
};

}  // namespace arc
