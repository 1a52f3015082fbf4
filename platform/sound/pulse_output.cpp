#include "platform/sound/pulse_output.h"

#include <algorithm>

#include <pulse/pulseaudio.h>

namespace platform {
namespace {

// How long a connection may take before we give up on the server.
constexpr pa_usec_t connectTimeout = 2 * PA_USEC_PER_SEC;

class Lock {
public:
    explicit Lock(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
    ~Lock() { pa_threaded_mainloop_unlock(m_loop); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

void signalLoop(void* loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

void contextChanged(pa_context*, void* loop)
{
    signalLoop(loop);
}
void streamChanged(pa_stream*, void* loop)
{
    signalLoop(loop);
}
void streamWritable(pa_stream*, size_t, void* loop)
{
    signalLoop(loop);
}
void operationDone(pa_stream*, int, void* loop)
{
    signalLoop(loop);
}

}  // namespace

PulseOutput::PulseOutput(std::string server) : m_server(std::move(server)) {}

PulseOutput::~PulseOutput()
{
    if (!m_loop)
        return;
    {
        Lock lock(m_loop);
        dropStream();
        dropContext();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

void PulseOutput::dropContext()
{
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseOutput::dropStream()
{
    if (!m_stream)
        return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

bool PulseOutput::available()
{
    std::unique_lock start(m_start);
    if (!m_loop) {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return false;
        pa_threaded_mainloop_set_name(m_loop, "sound server");
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
            return false;
        }
    }
    start.unlock();
    Lock lock(m_loop);
    if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY)
        return true;
    // A server that went away leaves a failed connection: start afresh.
    dropContext();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "TIDEBELL");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "audio-x-generic");
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "TIDEBELL", properties);
    pa_proplist_free(properties);
    if (!m_context)
        return false;
    pa_context_set_state_callback(m_context, contextChanged, m_loop);
    if (pa_context_connect(m_context, m_server.empty() ? nullptr : m_server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) <
        0) {
        dropContext();
        return false;
    }
    m_timedOut = false;
    pa_time_event* timer = pa_context_rttime_new(
        m_context, pa_rtclock_now() + connectTimeout,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
            auto* output = static_cast<PulseOutput*>(self);
            output->m_timedOut = true;
            signalLoop(output->m_loop);
        },
        this);
    pa_context_state_t state;
    while ((state = pa_context_get_state(m_context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state) && !m_timedOut)
        pa_threaded_mainloop_wait(m_loop);
    if (timer)
        pa_threaded_mainloop_get_api(m_loop)->time_free(timer);
    if (state != PA_CONTEXT_READY) {
        dropContext();
        return false;
    }
    return true;
}

bool PulseOutput::streamUsable() const
{
    return m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY && !m_interrupted;
}

bool PulseOutput::open(const AudioFormat& format)
{
    if (!m_loop)
        return false;
    Lock lock(m_loop);
    m_interrupted = false;
    dropStream();
    if (!m_context || pa_context_get_state(m_context) != PA_CONTEXT_READY)
        return false;
    pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(format.rate), static_cast<uint8_t>(format.channels)};
    pa_channel_map map;
    if (format.channels <= 0 || format.channels > static_cast<int>(PA_CHANNELS_MAX) || !pa_sample_spec_valid(&spec) ||
        !pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_WAVEEX))
        return false;
    m_stream = pa_stream_new(m_context, "sound", &spec, &map);
    if (!m_stream)
        return false;
    m_frameBytes = pa_frame_size(&spec);
    pa_stream_set_state_callback(m_stream, streamChanged, m_loop);
    pa_stream_set_write_callback(m_stream, streamWritable, m_loop);
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(pa_usec_to_bytes(targetBufferUsec, &spec));
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(-1);
    if (pa_stream_connect_playback(m_stream, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0) {
        dropStream();
        return false;
    }
    pa_stream_state_t state;
    while ((state = pa_stream_get_state(m_stream)) == PA_STREAM_CREATING && !m_interrupted)
        pa_threaded_mainloop_wait(m_loop);
    if (state != PA_STREAM_READY) {
        dropStream();
        return false;
    }
    return true;
}

bool PulseOutput::write(const float* samples, size_t frames)
{
    if (!m_loop)
        return false;
    Lock lock(m_loop);
    auto* bytes = reinterpret_cast<const char*>(samples);
    size_t left = frames * m_frameBytes;
    while (left > 0) {
        if (!streamUsable())
            return false;
        size_t room = pa_stream_writable_size(m_stream);
        if (room == static_cast<size_t>(-1))
            return false;
        size_t n = std::min(left, room - room % m_frameBytes);
        if (n == 0) {
            pa_threaded_mainloop_wait(m_loop);
            continue;
        }
        if (pa_stream_write(m_stream, bytes, n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return false;
        bytes += n;
        left -= n;
    }
    return true;
}

bool PulseOutput::drain()
{
    if (!m_loop)
        return false;
    Lock lock(m_loop);
    if (!streamUsable())
        return false;
    pa_operation* operation = pa_stream_drain(m_stream, operationDone, m_loop);
    if (!operation)
        return false;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING && streamUsable())
        pa_threaded_mainloop_wait(m_loop);
    bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    if (!done)
        pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return done;
}

void PulseOutput::close()
{
    if (!m_loop)
        return;
    Lock lock(m_loop);
    dropStream();
}

void PulseOutput::interrupt()
{
    if (!m_loop)
        return;
    Lock lock(m_loop);
    m_interrupted = true;
    pa_threaded_mainloop_signal(m_loop, 0);
}

}  // namespace platform
