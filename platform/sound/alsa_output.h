// Output straight to a sound card through ALSA, for machines without a
// sound server. The device is held only while a sound plays.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/sound/audio_output.h"

typedef struct _snd_pcm snd_pcm_t;

namespace platform {

class AlsaOutput : public AudioOutput {
public:
    explicit AlsaOutput(std::string device = "default");
    ~AlsaOutput() override;
    AlsaOutput(const AlsaOutput&) = delete;
    AlsaOutput& operator=(const AlsaOutput&) = delete;

    bool available() override;
    bool open(const AudioFormat& format) override;
    bool write(const float* samples, size_t frames) override;
    bool drain() override;
    void close() override;
    void interrupt() override;

private:
    bool interrupted();
    // Sleeps up to the given time or until interrupted; false when interrupted.
    bool pause(int milliseconds);

    std::string m_device;
    snd_pcm_t* m_pcm = nullptr;  // the worker's
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_interrupted = false;
    bool m_inUse = false;
    int m_channels = 0;
    int m_rate = 0;
};

}  // namespace platform
