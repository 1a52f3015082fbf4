#include "platform/sound/beep_source.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform {

size_t BeepSource::read(float* samples, size_t count)
{
    constexpr int fade = rate / 200;  // 5 ms
    size_t n = std::min<size_t>(count, static_cast<size_t>(frames - m_at));
    for (size_t i = 0; i < n; ++i, ++m_at) {
        double envelope = std::min({1.0, double(m_at) / fade, double(frames - m_at) / fade});
        samples[i] = static_cast<float>(0.3 * envelope * std::sin(2 * std::numbers::pi * pitch * m_at / rate));
    }
    return n;
}

bool BeepSource::rewind()
{
    m_at = 0;
    return true;
}

}  // namespace platform
