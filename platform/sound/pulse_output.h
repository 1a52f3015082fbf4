// Output to the sound server (PulseAudio, or PipeWire's server for its
// clients): one connection on a threaded main loop, kept for the life of the
// process and made again when the server has gone away; a playback stream
// per sound with a short target buffer, resampled by the server.
#pragma once

#include <mutex>
#include <string>

#include "platform/sound/audio_output.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace platform {

class PulseOutput : public AudioOutput {
public:
    static constexpr unsigned targetBufferUsec = 40000;

    // server: as the sound server's clients name one ("unix:/path"); empty
    // for the user's usual server.
    explicit PulseOutput(std::string server = {});
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    bool available() override;
    bool open(const AudioFormat& format) override;
    bool write(const float* samples, size_t frames) override;
    bool drain() override;
    void close() override;
    void interrupt() override;

private:
    bool streamUsable() const;
    void dropContext();
    void dropStream();

    std::string m_server;
    std::mutex m_start;  // the main loop is made by the first available()
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    size_t m_frameBytes = 0;
    bool m_interrupted = false;  // under the main loop's lock
    bool m_timedOut = false;
};

}  // namespace platform
