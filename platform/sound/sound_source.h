// Decoded sound, read a piece at a time so that a long file never sits
// decoded in memory.
#pragma once

#include <cstddef>

#include "platform/sound/audio_output.h"

namespace platform {

class SoundSource {
public:
    virtual ~SoundSource() = default;
    virtual AudioFormat format() const = 0;
    // Reads up to frames frames of interleaved samples in [-1, 1]; 0 at the end.
    virtual size_t read(float* samples, size_t frames) = 0;
    // Back to the first frame, for looping.
    virtual bool rewind() = 0;
};

}  // namespace platform
