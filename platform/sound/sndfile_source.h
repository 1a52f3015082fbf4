// A sound file decoded by libsndfile.
#pragma once

#include <memory>
#include <string>

#include "platform/sound/sound_source.h"

typedef struct sf_private_tag SNDFILE;

namespace platform {

class SndfileSource : public SoundSource {
public:
    enum class Kind { Wave, Any };
    // Opens a file that holds at least one frame in a format an output can
    // take; null otherwise. Kind::Wave accepts only RIFF WAVE files, as the
    // Windows sound functions do.
    static std::unique_ptr<SndfileSource> open(const std::string& posixPath, Kind kind);
    ~SndfileSource() override;
    SndfileSource(const SndfileSource&) = delete;
    SndfileSource& operator=(const SndfileSource&) = delete;

    AudioFormat format() const override { return m_format; }
    size_t read(float* samples, size_t frames) override;
    bool rewind() override;

private:
    SndfileSource(SNDFILE* file, AudioFormat format) : m_file(file), m_format(format) {}
    SNDFILE* m_file;
    AudioFormat m_format;
};

}  // namespace platform
