#include "platform/sound/alsa_output.h"

#include <alsa/asoundlib.h>

namespace platform {
namespace {

// Longest wait between looks at the interrupt flag, so a cut-off is quick.
constexpr int pollMilliseconds = 5;

// A machine without sound is no error worth a word on the terminal.
void quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

AlsaOutput::AlsaOutput(std::string device) : m_device(std::move(device))
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quiet); });
}

AlsaOutput::~AlsaOutput()
{
    close();
}

bool AlsaOutput::available()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_inUse)
            return true;
    }
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, m_device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return false;
    snd_pcm_close(pcm);
    return true;
}

bool AlsaOutput::open(const AudioFormat& format)
{
    close();
    {
        std::lock_guard lock(m_mutex);
        m_interrupted = false;
    }
    if (snd_pcm_open(&m_pcm, m_device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        m_pcm = nullptr;
        return false;
    }
    // Float samples at the file's rate; ALSA's plug layer converts and
    // resamples for the card. About 40 ms of buffer, as on the server.
    if (snd_pcm_set_params(m_pcm, SND_PCM_FORMAT_FLOAT, SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(format.channels), static_cast<unsigned>(format.rate), 1, 40000) < 0) {
        close();
        return false;
    }
    m_channels = format.channels;
    m_rate = format.rate;
    std::lock_guard lock(m_mutex);
    m_inUse = true;
    return true;
}

bool AlsaOutput::interrupted()
{
    std::lock_guard lock(m_mutex);
    return m_interrupted;
}

bool AlsaOutput::pause(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return m_interrupted; });
}

bool AlsaOutput::write(const float* samples, size_t frames)
{
    if (!m_pcm)
        return false;
    while (frames > 0) {
        if (interrupted())
            return false;
        snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, samples, frames);
        if (n == -EAGAIN) {
            snd_pcm_wait(m_pcm, pollMilliseconds);
            continue;
        }
        if (n < 0) {
            // An underrun (the disk was slow) or a suspend: carry on if we can.
            if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0)
                return false;
            continue;
        }
        samples += static_cast<size_t>(n) * static_cast<size_t>(m_channels);
        frames -= static_cast<size_t>(n);
    }
    return true;
}

bool AlsaOutput::drain()
{
    if (!m_pcm)
        return false;
    // A sound shorter than the start threshold has not started yet.
    if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED && snd_pcm_start(m_pcm) < 0)
        return false;
    for (;;) {
        if (snd_pcm_state(m_pcm) != SND_PCM_STATE_RUNNING)
            return true;
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(m_pcm, &delay) < 0)
            return false;
        if (delay <= 0)
            return true;
        int left = static_cast<int>(delay * 1000 / m_rate) + 1;
        if (!pause(std::min(left, pollMilliseconds)))
            return false;
    }
}

void AlsaOutput::close()
{
    if (m_pcm) {
        snd_pcm_drop(m_pcm);
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
    }
    std::lock_guard lock(m_mutex);
    m_inUse = false;
}

void AlsaOutput::interrupt()
{
    std::lock_guard lock(m_mutex);
    m_interrupted = true;
    m_wake.notify_all();
}

}  // namespace platform
