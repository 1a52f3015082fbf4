// sndPlaySoundA against a sound server's null sink: how long the call takes,
// how long until the sound reaches the server, how long until a second call
// has cut the first sound off. Times at the server come from the sink's
// monitor: a recording with 2 ms fragments, each sample dated by the
// earliest arrival seen (arrival minus the samples after it) plus the sink's
// latency, i.e. when the sink plays it. A sample is played after it reached
// the server, so these dates bound the times asked for from above (within
// the fragment's 2 ms).
// The same is measured for a bare client of the server (its own stream,
// created and written as directly as the library allows) as the reference.
// Run with a server, e.g.: bash tools/with-sound-server.sh build/bench/sound_bench
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include <pulse/pulseaudio.h>
#include <pulse/simple.h>
#include <sndfile.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/services.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int rate = 48000;
constexpr int fragment = rate / 500;  // 2 ms
constexpr float silence = 0.01f;
constexpr int trials = 25;
constexpr int coldTrials = 10;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[static_cast<size_t>(p * (v.size() - 1))];
}
double median(const std::vector<double>& v)
{
    return percentile(v, 0.5);
}

class Monitor {
public:
    bool start()
    {
        pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, rate, 1};
        pa_buffer_attr attr{static_cast<uint32_t>(-1), 0, 0, 0, static_cast<uint32_t>(fragment * sizeof(float))};
        m_simple = pa_simple_new(nullptr, "sound bench", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor", &spec,
                                 nullptr, &attr, nullptr);
        if (!m_simple)
            return false;
        m_thread = std::thread([this] {
            std::vector<float> block(fragment);
            while (!m_stop && pa_simple_read(m_simple, block.data(), block.size() * sizeof(float), nullptr) == 0) {
                auto now = Clock::now();
                std::lock_guard lock(m_mutex);
                m_samples.insert(m_samples.end(), block.begin(), block.end());
                auto origin = now - std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(double(m_samples.size()) / rate));
                if (m_samples.size() == block.size() || origin < m_origin)
                    m_origin = origin;
            }
        });
        return true;
    }
    ~Monitor()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_simple)
            pa_simple_free(m_simple);
    }
    size_t size()
    {
        std::lock_guard lock(m_mutex);
        return m_samples.size();
    }
    Clock::time_point dateOf(size_t sample)
    {
        std::lock_guard lock(m_mutex);
        return m_origin +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(sample) / rate));
    }
    // The first sample at or after from that is heard; size() when none.
    size_t firstHeard(size_t from)
    {
        std::lock_guard lock(m_mutex);
        for (size_t i = from; i < m_samples.size(); ++i)
            if (std::fabs(m_samples[i]) > silence)
                return i;
        return m_samples.size();
    }
    size_t lastHeard(size_t from)
    {
        std::lock_guard lock(m_mutex);
        size_t last = from;
        for (size_t i = from; i < m_samples.size(); ++i)
            if (std::fabs(m_samples[i]) > silence)
                last = i;
        return last;
    }

private:
    pa_simple* m_simple = nullptr;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<float> m_samples;
    Clock::time_point m_origin;
};

std::vector<float> tone(int frames, int channels)
{
    std::vector<float> s;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s.push_back(static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 1000.0 * i / rate)));
    return s;
}

bool writeWave(const std::string& path, const std::vector<float>& samples, int channels)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
    return sf_close(f) == 0;
}

// The reference: a client of its own that plays the tone on a stream made
// the way the player makes one, with the connection made beforehand.
class BareClient {
public:
    bool connect()
    {
        m_loop = pa_threaded_mainloop_new();
        pa_threaded_mainloop_start(m_loop);
        pa_threaded_mainloop_lock(m_loop);
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "sound bench reference");
        pa_context_set_state_callback(
            m_context,
            [](pa_context*, void* l) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(l), 0); },
            m_loop);
        pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
        pa_context_state_t state;
        while ((state = pa_context_get_state(m_context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state))
            pa_threaded_mainloop_wait(m_loop);
        pa_threaded_mainloop_unlock(m_loop);
        return state == PA_CONTEXT_READY;
    }
    ~BareClient()
    {
        if (!m_loop)
            return;
        stop();
        pa_threaded_mainloop_lock(m_loop);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        pa_threaded_mainloop_unlock(m_loop);
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
    }
    void play(const std::vector<float>& samples)
    {
        pa_threaded_mainloop_lock(m_loop);
        pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, rate, 2};
        m_stream = pa_stream_new(m_context, "reference", &spec, nullptr);
        pa_stream_set_state_callback(
            m_stream,
            [](pa_stream*, void* l) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(l), 0); }, m_loop);
        pa_buffer_attr attr{static_cast<uint32_t>(-1), static_cast<uint32_t>(pa_usec_to_bytes(40000, &spec)),
                            static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1)};
        pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr);
        while (pa_stream_get_state(m_stream) == PA_STREAM_CREATING)
            pa_threaded_mainloop_wait(m_loop);
        size_t bytes = std::min(pa_stream_writable_size(m_stream), samples.size() * sizeof(float));
        pa_stream_write(m_stream, samples.data(), bytes, nullptr, 0, PA_SEEK_RELATIVE);
        pa_threaded_mainloop_unlock(m_loop);
    }
    // How far ahead of playing the default sink mixes, in ms.
    double sinkLatency()
    {
        pa_threaded_mainloop_lock(m_loop);
        std::pair<pa_threaded_mainloop*, double> result{m_loop, -1};
        pa_operation* op = pa_context_get_sink_info_by_name(
            m_context, "@DEFAULT_SINK@",
            [](pa_context*, const pa_sink_info* info, int eol, void* r) {
                auto* out = static_cast<std::pair<pa_threaded_mainloop*, double>*>(r);
                if (!eol && info)
                    out->second = info->latency / 1000.0;
                pa_threaded_mainloop_signal(out->first, 0);
            },
            &result);
        while (op && pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(m_loop);
        if (op)
            pa_operation_unref(op);
        pa_threaded_mainloop_unlock(m_loop);
        return result.second;
    }
    void stop()
    {
        pa_threaded_mainloop_lock(m_loop);
        if (m_stream) {
            pa_stream_set_state_callback(m_stream, nullptr, nullptr);
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
            m_stream = nullptr;
        }
        pa_threaded_mainloop_unlock(m_loop);
    }

private:
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
};

struct Figures {
    std::vector<double> start, cut;
};

// Starts a sound after silence, then cuts it off; dates both at the monitor.
void measure(Monitor& monitor, double sinkLatency, Figures& out, const std::function<void()>& start,
             const std::function<void()>& cut)
{
    std::this_thread::sleep_for(300ms);
    size_t from = monitor.size();
    auto called = Clock::now();
    start();
    std::this_thread::sleep_for(300ms);
    size_t heard = monitor.firstHeard(from);
    if (heard < monitor.size())
        out.start.push_back(ms(monitor.dateOf(heard) - called) + sinkLatency);
    size_t before = monitor.size();
    called = Clock::now();
    cut();
    std::this_thread::sleep_for(200ms);
    out.cut.push_back(ms(monitor.dateOf(monitor.lastHeard(before)) - called) + sinkLatency);
}

// A fresh process's first call, as a user meets it: started by the bench
// with one of "cold" (the first thing the process does), "prepared" (the
// service was prepared half a second before, as the program does once its
// window shows) or "bare" (the reference: a new client connects and plays).
// Prints when the call began on the steady clock, and how long it took.
int firstCall(const std::string& mode, const std::string& path)
{
    auto samples = tone(rate / 2, 2);
    BareClient bare;
    if (mode == "prepared") {
        platform::prepareSoundService();
        std::this_thread::sleep_for(500ms);
    }
    auto t0 = Clock::now();
    if (mode == "bare") {
        if (!bare.connect())
            return 1;
        bare.play(samples);
    } else {
        sndPlaySoundA(path.c_str(), SND_ASYNC);
    }
    auto t1 = Clock::now();
    std::printf(
        "%lld %.6f\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(t0.time_since_epoch()).count()),
        ms(t1 - t0));
    std::fflush(stdout);
    std::this_thread::sleep_for(300ms);
    return 0;
}

struct Cold {
    std::vector<double> call, start;
};

// Runs firstCall in a fresh process and dates its first sound at the monitor.
void measureCold(Monitor& monitor, double sinkLatency, Cold& out, const std::string& mode, const std::string& path)
{
    std::this_thread::sleep_for(300ms);
    size_t from = monitor.size();
    std::string command =
        "'" + std::filesystem::read_symlink("/proc/self/exe").string() + "' --first-call " + mode + " '" + path + "'";
    FILE* child = ::popen(command.c_str(), "r");
    if (!child)
        return;
    long long began = 0;
    double call = 0;
    bool read = std::fscanf(child, "%lld %lf", &began, &call) == 2;
    ::pclose(child);
    std::this_thread::sleep_for(100ms);
    size_t heard = monitor.firstHeard(from);
    if (!read || heard >= monitor.size())
        return;
    Clock::time_point t0{std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(began))};
    out.call.push_back(call);
    out.start.push_back(ms(monitor.dateOf(heard) - t0) + sinkLatency);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--first-call")
        return firstCall(argv[2], argv[3]);

    Monitor monitor;
    BareClient reference;
    if (!monitor.start() || !reference.connect()) {
        std::fprintf(stderr, "sound_bench: no sound server (run it under tools/with-sound-server.sh)\n");
        return 1;
    }
    std::this_thread::sleep_for(2500ms);  // let the null sink settle to the recorder's short latency

    auto folder = std::filesystem::temp_directory_path() / ("tidebell-sound-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::string longFile = (folder / "ten-seconds.wav").string(), quietFile = (folder / "quiet.wav").string();
    auto samples = tone(rate * 10, 2);
    if (!writeWave(longFile, samples, 2) || !writeWave(quietFile, std::vector<float>(rate * 2, 0.0f), 2)) {
        std::fprintf(stderr, "sound_bench: cannot write the test files\n");
        return 1;
    }
    std::string longPath = platform::toWindowsPath(longFile), quietPath = platform::toWindowsPath(quietFile);
    sndPlaySoundA(quietPath.c_str(), SND_ASYNC);  // the first call connects to the server
    std::this_thread::sleep_for(100ms);

    // The call's own time, and the least a call must do: read the header.
    std::vector<double> callTimes, headerTimes;
    for (int i = 0; i < trials * 4; ++i) {
        auto t0 = Clock::now();
        sndPlaySoundA(longPath.c_str(), SND_ASYNC);
        callTimes.push_back(ms(Clock::now() - t0));
        std::this_thread::sleep_for(20ms);
        t0 = Clock::now();
        SF_INFO info{};
        sf_close(sf_open(longFile.c_str(), SFM_READ, &info));
        headerTimes.push_back(ms(Clock::now() - t0));
    }
    sndPlaySoundA(nullptr, 0);

    Figures ours, bare;
    double sinkLatency = reference.sinkLatency();
    for (int i = 0; i < trials; ++i) {
        measure(
            monitor, sinkLatency, ours, [&] { sndPlaySoundA(longPath.c_str(), SND_ASYNC); },
            [&] { sndPlaySoundA(quietPath.c_str(), SND_ASYNC); });
        measure(
            monitor, sinkLatency, bare, [&] { reference.play(samples); }, [&] { reference.stop(); });
    }
    sndPlaySoundA(nullptr, 0);

    // A fresh process for each first call.
    Cold cold, prepared, bareCold;
    for (int i = 0; i < coldTrials; ++i) {
        measureCold(monitor, sinkLatency, cold, "cold", longPath);
        measureCold(monitor, sinkLatency, prepared, "prepared", longPath);
        measureCold(monitor, sinkLatency, bareCold, "bare", longPath);
    }
    std::filesystem::remove_all(folder);

    std::printf("sndPlaySoundA against the sound server's null sink, medians of %d trials\n", trials);
    std::printf(
        "  call returns (10 s file, SND_ASYNC): %7.3f ms   (reading its header alone: %.3f ms)   goal <= 1 ms\n",
        median(callTimes), median(headerTimes));
    std::printf("  call to first sound played:          %7.3f ms   (bare client: %.3f ms, ratio %.2f)   goal <= 5 ms\n",
                median(ours.start), median(bare.start), median(ours.start) / median(bare.start));
    std::printf(
        "  second call to last of first sound:  %7.3f ms   (bare client's disconnect: %.3f ms)   goal <= 5 ms\n",
        median(ours.cut), median(bare.cut));
    std::printf("  90th percentiles: call %.3f ms, first sound %.3f ms, cut off %.3f ms\n", percentile(callTimes, 0.9),
                percentile(ours.start, 0.9), percentile(ours.cut, 0.9));
    std::printf("A fresh process's first call, medians of %d processes each\n", coldTrials);
    std::printf("  unprepared: call returns %7.3f ms, first sound played %7.3f ms\n", median(cold.call),
                median(cold.start));
    std::printf("  prepared:   call returns %7.3f ms, first sound played %7.3f ms   goal <= 1 ms, <= 5 ms\n",
                median(prepared.call), median(prepared.start));
    std::printf("  bare client connecting and playing: %.3f ms, first sound played %.3f ms (prepared ratio %.2f)\n",
                median(bareCold.call), median(bareCold.start), median(prepared.start) / median(bareCold.start));
    std::printf("  Server-side times: when the null sink played the sample, from its monitor (2 ms fragments,\n"
                "  so +-2 ms) and its latency while measuring (%.1f ms); a sample reaches the server before.\n",
                sinkLatency);
    return 0;
}
