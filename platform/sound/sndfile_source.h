// A sound file decoded by libsndfile.
#pragma once

#include <memory>
#include <string>

#include "platform/sound/sound_source.h"

typedef struct sf_private_tag SNDFILE;

namespace platform {

class WaveImage;

class SndfileSource : public SoundSource {
public:
    enum class Kind { Wave, Any };
    // Opens a file that holds at least one frame in a format an output can
    // take; null otherwise. Kind::Wave accepts only RIFF (and RF64) WAVE
    // files, as the Windows sound functions do.
    static std::unique_ptr<SndfileSource> open(const std::string& posixPath, Kind kind);
    // The same for the clean copy of a WAVE file whose original it refused.
    static std::unique_ptr<SndfileSource> open(std::shared_ptr<const WaveImage> image);
    ~SndfileSource() override;
    SndfileSource(const SndfileSource&) = delete;
    SndfileSource& operator=(const SndfileSource&) = delete;

    AudioFormat format() const override { return m_format; }
    size_t read(float* samples, size_t frames) override;
    bool rewind() override;

private:
    struct ImageReader;
    SndfileSource(SNDFILE* file, AudioFormat format, std::unique_ptr<ImageReader> reader);
    std::unique_ptr<ImageReader> m_reader;  // what m_file reads, for a clean copy
    SNDFILE* m_file;
    AudioFormat m_format;
};

}  // namespace platform
