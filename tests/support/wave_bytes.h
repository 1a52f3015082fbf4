// WAVE files for the files and archives made in tests: the canonical PCM
// file, and the RIFF pieces for the layouts a test builds by hand.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/bytes.h"

namespace tidebell_test {

// A chunk's id and declared size, without its body.
inline std::string chunkHeader(const char* id, uint32_t size)
{
    return std::string(id, 4) + le32(size);
}

// A chunk with its pad byte.
inline std::string riffChunk(const char* id, const std::string& body)
{
    return chunkHeader(id, uint32_t(body.size())) + body + (body.size() % 2 ? std::string(1, '\0') : std::string());
}

// A RIFF WAVE file holding the chunks as they are.
inline std::string riffWave(const std::string& chunks)
{
    return "RIFF" + le32(uint32_t(chunks.size() + 4)) + "WAVE" + chunks;
}

// The 16-byte body of a PCM format chunk.
inline std::string pcmFormat(uint32_t rate, uint16_t channels, uint16_t bits)
{
    const uint32_t blockAlign = channels * ((bits + 7u) / 8u);
    return le16(1) + le16(channels) + le32(rate) + le32(rate * blockAlign) + le16(blockAlign) + le16(bits);
}

// A canonical WAVE file: the PCM format chunk, then the data chunk (with no
// pad byte after odd data, as the files made with it have always been).
inline std::string pcmWave(const std::string& data, uint32_t rate = 8000, uint16_t channels = 1, uint16_t bits = 8)
{
    return riffWave(riffChunk("fmt ", pcmFormat(rate, channels, bits)) + chunkHeader("data", uint32_t(data.size())) +
                    data);
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
