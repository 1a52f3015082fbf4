// The real path: sndPlaySoundA through the sound server into a null sink,
// heard by recording the sink's monitor. tools/test.sh starts that server;
// without one these tests fail, as sound would be broken.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pulse/error.h>
#include <pulse/simple.h>

#include "platform/platform.h"
#include "platform/sound/pulse_output.h"
#include "platform/sound/sound_player.h"
#include "sound_files.h"
#include "tests/support/temp_dir.h"

using namespace tidebell_test;
using namespace std::chrono_literals;

namespace {

constexpr int monitorRate = 48000;
constexpr int window = monitorRate / 100;  // 10 ms

// Records the default sink's monitor, mono, on its own thread, for the
// whole run. A null sink with nothing attached renders up to two seconds
// ahead, which a new stream then waits behind; a recorder with a short
// latency keeps it rendering just in time, as a sound card would.
class MonitorRecorder {
public:
    static MonitorRecorder& instance()
    {
        static MonitorRecorder recorder;
        return recorder;
    }
    const std::string& error() const { return m_error; }
    size_t mark()
    {
        std::lock_guard lock(m_mutex);
        return m_samples.size();
    }
    // What arrived since the mark, after waiting for the recorder to catch up.
    std::vector<float> since(size_t mark)
    {
        std::this_thread::sleep_for(100ms);
        std::lock_guard lock(m_mutex);
        return std::vector<float>(m_samples.begin() + static_cast<std::ptrdiff_t>(mark), m_samples.end());
    }

private:
    MonitorRecorder()
    {
        pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, monitorRate, 1};
        pa_buffer_attr attr{static_cast<uint32_t>(-1), 0, 0, 0, static_cast<uint32_t>(window * sizeof(float))};
        int error = 0;
        m_simple = pa_simple_new(nullptr, "sound test", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor", &spec,
                                 nullptr, &attr, &error);
        if (!m_simple) {
            m_error = pa_strerror(error);
            return;
        }
        m_thread = std::thread([this] {
            std::vector<float> block(window);
            while (!m_stop && pa_simple_read(m_simple, block.data(), block.size() * sizeof(float), nullptr) == 0) {
                std::lock_guard lock(m_mutex);
                m_samples.insert(m_samples.end(), block.begin(), block.end());
            }
        });
        std::this_thread::sleep_for(2500ms);  // what the sink rendered ahead has played
    }
    ~MonitorRecorder()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_simple)
            pa_simple_free(m_simple);
    }

    pa_simple* m_simple = nullptr;
    std::string m_error;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<float> m_samples;
};

// The level of one pitch in a 10 ms window.
double level(const std::vector<float>& samples, size_t at, double pitch)
{
    double c = 0, s = 0;
    for (size_t i = 0; i < window; ++i) {
        double phase = 2 * std::numbers::pi * pitch * i / monitorRate;
        c += samples[at + i] * std::cos(phase);
        s += samples[at + i] * std::sin(phase);
    }
    return 2 * std::sqrt(c * c + s * s) / window;
}

const char* noServer = "no sound server: tools/test.sh starts one with a null sink (see there)";

TEST(SoundServer, SoundArrivesAndASecondSoundCutsTheFirstOff)
{
    TempDir dir;
    ASSERT_TRUE(
        writeSound(dir.file("low.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, tone(44100, 2, 88200, 440)));
    ASSERT_TRUE(
        writeSound(dir.file("high.wav"), SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 22050, 1, tone(22050, 1, 8820, 2000)));
    auto& recorder = MonitorRecorder::instance();
    ASSERT_EQ(recorder.error(), "") << noServer;
    size_t mark = recorder.mark();
    std::string low = platform::toWindowsPath(dir.file("low.wav"));
    std::string high = platform::toWindowsPath(dir.file("high.wav"));
    EXPECT_TRUE(sndPlaySoundA(low.c_str(), SND_ASYNC));
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(sndPlaySoundA(high.c_str(), SND_ASYNC));
    std::this_thread::sleep_for(700ms);
    std::vector<float> heard = recorder.since(mark);

    // Which of the two tones each 10 ms window holds.
    int lowWindows = 0, highWindows = 0, lastLow = -1, firstHigh = -1;
    for (size_t at = 0, w = 0; at + window <= heard.size(); at += window, ++w) {
        if (level(heard, at, 440) > 0.1) {
            ++lowWindows;
            lastLow = static_cast<int>(w);
        }
        if (level(heard, at, 2000) > 0.1) {
            ++highWindows;
            if (firstHigh < 0)
                firstHigh = static_cast<int>(w);
        }
    }
    // The two-second tone sounded for about the half second before the
    // second call, and stopped where the second sound began.
    EXPECT_GT(lowWindows, 30);
    EXPECT_LT(lowWindows, 80);
    EXPECT_GT(highWindows, 30);
    EXPECT_LT(highWindows, 50);
    ASSERT_GE(firstHigh, 0);
    EXPECT_LE(lastLow, firstHigh + 1);
    EXPECT_LT(lastLow - lowWindows, firstHigh);  // the low tone came first
}

TEST(SoundServer, ASynchronousCallReturnsWhenTheSoundHasEnded)
{
    TempDir dir;
    ASSERT_TRUE(writeSound(dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, tone(48000, 1, 14400, 440)));
    auto& recorder = MonitorRecorder::instance();
    ASSERT_EQ(recorder.error(), "") << noServer;
    size_t mark = recorder.mark();
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(sndPlaySoundA(platform::toWindowsPath(dir.file("a.wav")).c_str(), SND_SYNC));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);  // the file lasts 300 ms
    std::vector<float> heard = recorder.since(mark);
    int windows = 0;
    for (size_t at = 0; at + window <= heard.size(); at += window)
        windows += level(heard, at, 440) > 0.1;
    EXPECT_GE(windows, 28);
}

// Every encoding ffmpeg writes into a WAVE file (and RF64) is heard, as
// Windows plays any WAVE whose format tag a codec handles: libsndfile
// decodes the common ones, FFmpeg the rest. (Vorbis and Speex in WAVE,
// which ffmpeg writes, it cannot read back.)
TEST(SoundServer, EveryEncodingFfmpegWritesIntoWaveIsHeard)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << noFfmpeg;
    struct Case {
        const char* name;
        int rate;
        const char* encoder;
    };
    const Case cases[] = {
        {"pcm-u8", 22050, "-c:a pcm_u8"},
        {"pcm-16", 44100, "-c:a pcm_s16le"},
        {"pcm-24", 48000, "-c:a pcm_s24le"},
        {"pcm-32", 48000, "-c:a pcm_s32le"},
        {"pcm-64", 48000, "-c:a pcm_s64le"},
        {"float", 48000, "-c:a pcm_f32le"},
        {"double", 48000, "-c:a pcm_f64le"},
        {"mu-law", 8000, "-c:a pcm_mulaw"},
        {"a-law", 8000, "-c:a pcm_alaw"},
        {"ima-adpcm", 22050, "-c:a adpcm_ima_wav"},
        {"ms-adpcm", 22050, "-c:a adpcm_ms"},
        {"yamaha-adpcm", 22050, "-c:a adpcm_yamaha"},
        {"swf-adpcm", 22050, "-c:a adpcm_swf"},
        {"gsm", 8000, "-c:a libgsm_ms"},
        {"g722", 16000, "-c:a g722"},
        {"g723-1", 8000, "-c:a g723_1 -b:a 6300"},
        {"g726", 8000, "-c:a g726 -b:a 32k"},
        {"mpeg-layer-2", 44100, "-c:a mp2"},
        {"mpeg-layer-2-twolame", 44100, "-c:a libtwolame"},
        {"mpeg-layer-3", 44100, "-c:a libmp3lame"},
        {"ac3", 48000, "-c:a ac3"},
        {"eac3", 48000, "-c:a eac3"},
        {"aac", 44100, "-c:a aac"},
        {"wma1", 44100, "-c:a wmav1"},
        {"wma2", 44100, "-c:a wmav2"},
        {"flac", 44100, "-c:a flac"},
        {"dfpwm", 48000, "-c:a dfpwm"},
        {"dts", 48000, "-c:a dca -strict -2"},
        {"rf64", 44100, "-c:a pcm_s16le -rf64 always"},
        {"rf64-adpcm", 22050, "-c:a adpcm_yamaha -rf64 always"},
    };
    auto& recorder = MonitorRecorder::instance();
    ASSERT_EQ(recorder.error(), "") << noServer;
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.file(std::string(c.name) + ".wav");
        ASSERT_TRUE(ffmpegTone(file, c.rate, 0.4, c.encoder));
        size_t mark = recorder.mark();
        EXPECT_TRUE(sndPlaySoundA(platform::toWindowsPath(file).c_str(), SND_SYNC | SND_NODEFAULT));
        std::vector<float> heard = recorder.since(mark);
        int windows = 0;
        for (size_t at = 0; at + window <= heard.size(); at += window)
            windows += level(heard, at, 440) > 0.2;
        EXPECT_GE(windows, 30);  // of the tone's 40
        EXPECT_LE(windows, 60);
    }
}

// A private server the test can stop and start again.
class PrivateServer {
public:
    explicit PrivateServer(std::string folder) : m_folder(std::move(folder)) {}
    ~PrivateServer() { stop(); }
    std::string address() const { return "unix:" + m_folder + "/native"; }
    bool start()
    {
        std::filesystem::remove(m_folder + "/native");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
            std::string socket = "module-native-protocol-unix auth-anonymous=1 socket=" + m_folder + "/native";
            ::execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                     "--disallow-exit", "--log-target=stderr", "--log-level=error", "-L", socket.c_str(), "-L",
                     "module-null-sink sink_name=private rate=48000", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 500 && m_pid > 0; ++i) {
            if (std::filesystem::exists(m_folder + "/native"))
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    void stop()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);  // as a crashed server would go
            ::waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

private:
    std::string m_folder;
    pid_t m_pid = -1;
};

TEST(SoundServer, AServerThatWentAwayIsReconnectedOnTheNextCall)
{
    TempDir dir;
    PrivateServer server(dir.path());
    ASSERT_TRUE(server.start()) << "pulseaudio did not start";
    auto output = std::make_shared<platform::PulseOutput>(server.address());
    platform::SoundPlayer player({output}, {});
    EXPECT_TRUE(player.play("C:\\missing.wav", SND_ASYNC));  // the default sound
    server.stop();
    // The connection learns of the loss on its own thread.
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i, std::this_thread::sleep_for(10ms))
        gone = !output->available();
    EXPECT_TRUE(gone);
    EXPECT_FALSE(player.play("C:\\missing.wav", SND_ASYNC));
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(player.play("C:\\missing.wav", SND_ASYNC));
    EXPECT_TRUE(player.play("", 0));
}

}  // namespace
