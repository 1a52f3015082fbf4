#include "archivers/common/checkedsink.h"

#include <cstdio>

#include "archivers/common/crc.h"

namespace arc {

CheckedSink::CheckedSink(const Entry& entry, Sink& target) : m_entry(entry), m_target(target) {}

bool CheckedSink::write(const void* data, size_t size) {
    if (m_oversize || m_targetRefused) return false;
    const uint64_t limit = m_entry.sizeKnown ? m_entry.size : kUnknownSizeLimit;
    if (size > limit - m_written) {
        m_oversize = true;
        return false;
    }
    if (m_entry.crcKind == CrcKind::Crc16) m_crc = crc16Update(static_cast<uint16_t>(m_crc), data, size);
    else if (m_entry.crcKind == CrcKind::Crc32) m_crc = crc32Update(m_crc, data, size);
    m_written += size;
    if (size > 0 && !m_target.write(data, size)) {
        m_targetRefused = true;
        return false;
    }
    return true;
}

Result CheckedSink::finish(const Result& decoded) const {
    if (m_oversize) return Result::fail(Status::CrcError, "more data than the entry's size");
    if (m_targetRefused) return Result::fail(Status::Aborted, "output refused");
    if (!decoded.ok()) return decoded;
    if (m_entry.sizeKnown && m_written != m_entry.size) {
        char text[96];
        std::snprintf(text, sizeof text, "size error (%llu of %llu bytes)",
                      static_cast<unsigned long long>(m_written), static_cast<unsigned long long>(m_entry.size));
        return Result::fail(Status::CrcError, text);
    }
    const uint32_t expected = m_entry.crcKind == CrcKind::Crc16 ? (m_entry.crc & 0xFFFF) : m_entry.crc;
    if (m_entry.crcKind != CrcKind::None && m_crc != expected) {
        char text[64];
        std::snprintf(text, sizeof text, "CRC error (%08X, expected %08X)", m_crc, expected);
        return Result::fail(Status::CrcError, text);
    }
    return Result::success();
}

}  // namespace arc
