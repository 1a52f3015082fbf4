// The sound played when neither the file nor the desktop's warning sound can
// be: a short tone, faded in and out so that it does not click.
#pragma once

#include "platform/sound/sound_source.h"

namespace platform {

class BeepSource : public SoundSource {
public:
    static constexpr int rate = 48000;
    static constexpr int frames = rate / 5;  // 200 ms
    static constexpr double pitch = 880.0;

    AudioFormat format() const override { return {rate, 1}; }
    size_t read(float* samples, size_t count) override;
    bool rewind() override;

private:
    int m_at = 0;
};

}  // namespace platform
