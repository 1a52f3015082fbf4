// Small but real PCM WAVE files, for the files and archives made in tests.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/bytes.h"

namespace tidebell_test {

// A canonical WAVE file: a 16-byte PCM format chunk, then the data chunk.
inline std::string pcmWave(const std::string& data, uint32_t rate = 8000, uint16_t channels = 1, uint16_t bits = 8)
{
    const uint32_t blockAlign = channels * ((bits + 7u) / 8u);
    return "RIFF" + le32(36 + uint32_t(data.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(channels) + le32(rate) +
           le32(rate * blockAlign) + le16(blockAlign) + le16(bits) + "data" + le32(uint32_t(data.size())) + data;
}

// 8 kHz mono 8-bit samples of a fixed pattern.
inline std::string waveBytes(int samples = 4000)
{
    std::string data;
    for (int i = 0; i < samples; ++i)
        data.push_back(static_cast<char>((i * 37) & 0xFF));
    return pcmWave(data);
}

}  // namespace tidebell_test
