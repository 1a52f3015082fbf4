// Where decoded sound goes: the sound server, the sound card, or a test's
// recorder. The player drives one output from its own thread; only
// available() and interrupt() are called from others.
#pragma once

#include <cstddef>

namespace platform {

// What the sound server accepts (PA_RATE_MAX, PA_CHANNELS_MAX).
inline constexpr int maxRate = 384000;
inline constexpr int maxChannels = 32;

struct AudioFormat {
    int rate = 0;      // frames per second
    int channels = 0;  // interleaved float samples per frame
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Whether sound can be played now; connects (or reconnects) when needed.
    virtual bool available() = 0;
    // Starts a stream for frames of this format.
    virtual bool open(const AudioFormat& format) = 0;
    // Queues frames, waiting for room; false when interrupted or the output failed.
    virtual bool write(const float* samples, size_t frames) = 0;
    // Waits until everything queued has been heard; false when interrupted or failed.
    virtual bool drain() = 0;
    // Ends the stream at once, dropping what has not been heard.
    virtual void close() = 0;
    // Makes a waiting write() or drain() of the current stream return false
    // soon; the next open() clears it.
    virtual void interrupt() = 0;
};

}  // namespace platform
