#include "archivers/unarj32j/bitinput.h"

namespace arj {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

BitInput::BitInput(ByteSource& source) : m_source(source), m_buffer(kBufferSize) {}

void BitInput::refill()
{
    while (m_count <= 56) {
        if (m_pos == m_len && !m_ended) {
            const long got = m_source.read(m_buffer.data(), m_buffer.size());
            if (got <= 0) {
                m_ended = true;
                m_readError = got < 0;
            } else {
                m_pos = 0;
                m_len = static_cast<size_t>(got);
                m_available += static_cast<uint64_t>(got) * 8;
            }
        }
        const uint8_t byte = m_pos < m_len ? m_buffer[m_pos++] : 0;
        m_bits |= static_cast<uint64_t>(byte) << (56 - m_count);
        m_count += 8;
    }
}

}  // namespace arj
