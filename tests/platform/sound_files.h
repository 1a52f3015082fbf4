// Sound files made for the sound tests with libsndfile or ffmpeg; the
// layouts neither writes are built with tests/support/wave_bytes.h.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include <sndfile.h>

#include "tests/support/wave_bytes.h"

namespace tidebell_test {

// Interleaved frames of a tone: channel c plays the tone at amplitude
// 0.5 / (c + 1), so that swapped channels show.
inline std::vector<float> tone(int rate, int channels, int frames, double pitch)
{
    std::vector<float> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(static_cast<float>(0.5 / (c + 1) * std::sin(2 * std::numbers::pi * pitch * i / rate)));
    return samples;
}

// Writes the samples with libsndfile; false when it refuses the format.
inline bool writeSound(const std::string& path, int format, int rate, int channels, const std::vector<float>& samples)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    bool ok = sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

// 16-bit little-endian samples for a data chunk.
inline std::string pcm16Data(const std::vector<int16_t>& samples)
{
    std::string d;
    for (int16_t s : samples)
        putLe16(d, static_cast<uint16_t>(s));
    return d;
}

// Whether ffmpeg, which writes the encodings libsndfile does not, is here.
inline bool haveFfmpeg()
{
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}
inline const char* noFfmpeg = "ffmpeg is not installed (tools/install-deps.sh --test installs it)";

// A tone of the given length at 440 Hz, amplitude 0.5, written by ffmpeg
// with its encoder arguments (such as "-c:a adpcm_yamaha"); false when
// ffmpeg fails.
inline bool ffmpegTone(const std::string& path, int rate, double seconds, const std::string& encoder)
{
    std::string command =
        "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i 'aevalsrc=0.5*sin(2*PI*440*t):s=" +
        std::to_string(rate) + ":d=" + std::to_string(seconds) + "' " + encoder + " '" + path + "'";
    return std::system(command.c_str()) == 0;
}

}  // namespace tidebell_test
