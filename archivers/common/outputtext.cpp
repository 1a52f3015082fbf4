#include "archivers/common/outputtext.h"

#include <cstring>

namespace arc {

void OutputText::line(std::string_view text)
{
    // A runaway archive of millions of entries must not grow this forever.
    constexpr size_t kLimit = 1 << 20;
    if (m_text.size() >= kLimit)
        return;
    m_text.append(text);
    m_text.append("\r\n");
}

void OutputText::copyTo(LPSTR buffer, DWORD size) const
{
    if (!buffer || size == 0)
        return;
    size_t n = m_text.size();
    if (n > size - 1) {
        n = size - 1;
        while (n > 0 && (static_cast<unsigned char>(m_text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(buffer, m_text.data(), n);
    buffer[n] = 0;
}

}  // namespace arc
