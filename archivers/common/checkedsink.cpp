#include "archivers/common/checkedsink.h"

#include <cstdio>

#include "archivers/common/crc.h"

namespace arc {

namespace {
const char kZeros[64 * 1024] = {};
}  // namespace

bool Sink::skip(uint64_t size)
{
    while (size > 0) {
        const size_t n = size < sizeof kZeros ? static_cast<size_t>(size) : sizeof kZeros;
        if (!write(kZeros, n))
            return false;
        size -= n;
    }
    return true;
}

CheckedSink::CheckedSink(const Entry& entry, Sink& target, uint64_t archiveSize)
    : m_entry(entry), m_target(target), m_limits(currentOutputLimits()), m_packedBound(entry.packedSize)
{
    if (archiveSize > 0 && (m_packedBound == 0 || m_packedBound > archiveSize))
        m_packedBound = archiveSize;
}

bool CheckedSink::admit(uint64_t size)
{
    if (m_oversize || m_tooLarge || m_targetRefused)
        return false;
    const uint64_t limit = m_entry.sizeKnown ? m_entry.size : kUnknownSizeLimit;
    if (size > limit - m_written) {
        m_oversize = true;
        return false;
    }
    return true;
}

bool CheckedSink::write(const void* data, size_t size)
{
    if (!admit(size))
        return false;
    if (!m_limits.ratioAllows(m_data + size, m_packedBound)) {
        m_tooLarge = true;
        return false;
    }
    if (m_entry.crcKind == CrcKind::Crc16)
        m_crc = crc16Update(static_cast<uint16_t>(m_crc), data, size);
    else if (m_entry.crcKind == CrcKind::Crc32)
        m_crc = crc32Update(m_crc, data, size);
    m_written += size;
    m_data += size;
    if (size > 0 && !m_target.write(data, size)) {
        m_targetRefused = true;
        return false;
    }
    return true;
}

bool CheckedSink::skip(uint64_t size)
{
    if (!admit(size))
        return false;
    for (uint64_t left = size; left > 0 && m_entry.crcKind != CrcKind::None;) {
        const size_t n = left < sizeof kZeros ? static_cast<size_t>(left) : sizeof kZeros;
        if (m_entry.crcKind == CrcKind::Crc16)
            m_crc = crc16Update(static_cast<uint16_t>(m_crc), kZeros, n);
        else
            m_crc = crc32Update(m_crc, kZeros, n);
        left -= n;
    }
    m_written += size;
    if (size > 0 && !m_target.skip(size)) {
        m_targetRefused = true;
        return false;
    }
    return true;
}

Result CheckedSink::finish(const Result& decoded) const
{
    if (m_oversize)
        return Result::fail(Status::CrcError, "more data than the entry's size");
    if (m_tooLarge) {
        char text[128];
        std::snprintf(text, sizeof text, "decodes to more than %llu times its compressed size",
                      static_cast<unsigned long long>(m_limits.maxRatio));
        return Result::fail(Status::TooLarge, text);
    }
    if (m_targetRefused)
        return Result::fail(Status::Aborted, "output refused");
    if (!decoded.ok())
        return decoded;
    if (m_entry.sizeKnown && m_written != m_entry.size) {
        char text[96];
        std::snprintf(text, sizeof text, "size error (%llu of %llu bytes)", static_cast<unsigned long long>(m_written),
                      static_cast<unsigned long long>(m_entry.size));
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
