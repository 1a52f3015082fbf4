// An output that records what the player sends it, and can hold a sound in
// its first write() so that a test can cut it off.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound/audio_output.h"

namespace tidebell_test {

class FakeAudioOutput : public platform::AudioOutput {
public:
    struct Stream {
        platform::AudioFormat format;
        std::vector<float> samples;
        size_t largestWrite = 0;  // frames
        bool drained = false;
        bool interrupted = false;
        bool closed = false;
    };

    bool isAvailable = true;  // set before the player uses it
    std::atomic<int> availableCalls{0};

    // While held, write() keeps what it was given and then waits for
    // release() or an interrupt.
    void hold(bool on)
    {
        std::lock_guard lock(m_mutex);
        m_hold = on;
        m_changed.notify_all();
    }
    std::vector<Stream> streams()
    {
        std::lock_guard lock(m_mutex);
        return m_streams;
    }
    // Waits (up to two seconds) until the streams satisfy the test.
    bool waitFor(const std::function<bool(const std::vector<Stream>&)>& done)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(2), [&] { return done(m_streams); });
    }

    bool available() override
    {
        ++availableCalls;
        return isAvailable;
    }
    bool open(const platform::AudioFormat& format) override
    {
        std::lock_guard lock(m_mutex);
        m_interrupted = false;
        m_streams.push_back({format, {}, 0, false, false, false});
        m_changed.notify_all();
        return true;
    }
    bool write(const float* samples, size_t frames) override
    {
        std::unique_lock lock(m_mutex);
        Stream& s = m_streams.back();
        s.samples.insert(s.samples.end(), samples, samples + frames * static_cast<size_t>(s.format.channels));
        s.largestWrite = std::max(s.largestWrite, frames);
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return !m_hold || m_interrupted; });
        s.interrupted = m_interrupted;
        return !m_interrupted;
    }
    bool drain() override
    {
        std::lock_guard lock(m_mutex);
        m_streams.back().drained = !m_interrupted;
        return !m_interrupted;
    }
    void close() override
    {
        std::lock_guard lock(m_mutex);
        m_streams.back().closed = true;
        m_changed.notify_all();
    }
    void interrupt() override
    {
        std::lock_guard lock(m_mutex);
        m_interrupted = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Stream> m_streams;
    bool m_hold = false;
    bool m_interrupted = false;
};

}  // namespace tidebell_test
