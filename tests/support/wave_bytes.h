// A small but real PCM WAVE file, for archives made in tests.
#pragma once

#include <cstdint>
#include <string>

namespace tidebell_test {

inline std::string waveBytes(int samples = 4000)
{
    std::string data;
    for (int i = 0; i < samples; ++i)
        data.push_back(static_cast<char>((i * 37) & 0xFF));
    auto le32 = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    return "RIFF" + le32(36 + uint32_t(data.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1) +
           le32(8000) + le32(8000) + le16(1) + le16(8) + "data" + le32(uint32_t(data.size())) + data;
}

}  // namespace tidebell_test
