#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <dlfcn.h>
#include <sys/stat.h>

#include "fake_audio_output.h"
#include "platform/platform.h"
#include "platform/sound/alsa_output.h"
#include "platform/sound/beep_source.h"
#include "platform/sound/default_sound.h"
#include "platform/sound/sound_player.h"
#include "sound_files.h"
#include "tests/support/temp_dir.h"

using namespace tidebell_test;
using platform::SoundPlayer;
using Stream = FakeAudioOutput::Stream;

namespace {

struct Rig {
    std::shared_ptr<FakeAudioOutput> output = std::make_shared<FakeAudioOutput>();
    TempDir dir;
    std::vector<std::string> themeFolders;  // none: the default sound is the beep
    SoundPlayer player{{output}, {}};

    // The player is given paths the Windows way, as the program has them.
    std::string windowsPath(const std::string& name) { return platform::toWindowsPath(dir.file(name)); }
    bool play(const std::string& name, UINT flags) { return player.play(windowsPath(name), flags); }
};

// Root-mean-square difference of one channel against the original, relative
// to the original's level, from frame `from` on.
double channelError(const Stream& s, const std::vector<float>& original, int channel, size_t from)
{
    size_t channels = static_cast<size_t>(s.format.channels);
    size_t frames = original.size() / channels;
    double error = 0, level = 0;
    for (size_t i = from; i < frames; ++i) {
        double want = original[i * channels + channel];
        double got = s.samples[i * channels + channel];
        error += (got - want) * (got - want);
        level += want * want;
    }
    return std::sqrt(error / level);
}

bool isBeep(const Stream& s)
{
    return s.format.rate == platform::BeepSource::rate && s.format.channels == 1 &&
           s.samples.size() == static_cast<size_t>(platform::BeepSource::frames);
}

TEST(SoundPlayer, EveryWaveEncodingDecodesToItsSamples)
{
    struct Case {
        const char* name;
        int format;
        int channels;
        double tolerance;  // relative RMS error
    };
    const Case cases[] = {
        {"pcm8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 2, 0.03},
        {"pcm16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 2e-4},
        {"pcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 1e-6},
        {"pcm32", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 2, 1e-6},
        {"float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 1e-6},
        {"mulaw", SF_FORMAT_WAV | SF_FORMAT_ULAW, 2, 0.03},
        {"alaw", SF_FORMAT_WAV | SF_FORMAT_ALAW, 2, 0.03},
        {"ima", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 2, 0.08},
        {"msadpcm", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 2, 0.06},
        {"gsm", SF_FORMAT_WAV | SF_FORMAT_GSM610, 1, 0.1},
        {"extensible", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 2, 2e-4},
        {"extensible-float", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 2, 1e-6},
    };
    Rig rig;
    constexpr int rate = 8000, frames = 6000;  // longer than a few of the player's pieces
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto original = tone(rate, c.channels, frames, 440);
        ASSERT_TRUE(writeSound(rig.dir.file(std::string(c.name) + ".wav"), c.format, rate, c.channels, original));
        size_t before = rig.output->streams().size();
        ASSERT_TRUE(rig.play(std::string(c.name) + ".wav", SND_SYNC | SND_NODEFAULT));
        auto streams = rig.output->streams();
        ASSERT_EQ(streams.size(), before + 1);
        const Stream& s = streams.back();
        EXPECT_EQ(s.format.rate, rate);
        ASSERT_EQ(s.format.channels, c.channels);
        EXPECT_TRUE(s.drained && s.closed);  // a call without SND_ASYNC returns when the sound has ended
        // Block codecs round the length up to whole blocks.
        size_t got = s.samples.size() / c.channels;
        ASSERT_GE(got, static_cast<size_t>(frames));
        EXPECT_LE(got, static_cast<size_t>(frames + 1024));
        for (int ch = 0; ch < c.channels; ++ch)
            EXPECT_LT(channelError(s, original, ch, 400), c.tolerance) << "channel " << ch;
    }
}

TEST(SoundPlayer, UnusualLayoutsAndDamagedFilesPlayWhatIsThere)
{
    Rig rig;
    std::vector<int16_t> samples;
    for (int i = 0; i < 3000; ++i)
        samples.push_back(static_cast<int16_t>(i * 7));
    const std::string fmt = riffChunk("fmt ", pcmFormat(11025, 1, 16));
    const std::string data = riffChunk("data", pcm16Data(samples));
    const std::string info = riffChunk("LIST", std::string("INFOICMT\x05\0\0\0hello\0", 14));
    struct Case {
        const char* name;
        std::string bytes;
        size_t frames;
    };
    std::string truncated = riffWave(fmt + data);
    truncated.resize(truncated.size() - 2000);  // the data chunk claims 1000 frames more than there are
    std::string unsized = riffWave(fmt + chunkHeader("data", 0xFFFFFFFF) + pcm16Data(samples));
    // LIST chunks libsndfile reads into and loses its way in, where a
    // sub-chunk is cut short or a "data" sits inside; Windows steps over
    // the whole chunk by its size.
    const std::string dataInside = riffChunk("LIST", std::string("INFOdata\x04\0\0\0abcd", 16));
    const std::string cutShort = riffChunk("LIST", "INFOICMTx");
    const std::string sizeCutShort = riffChunk("LIST", "INFOICMT\xff\xff\xff");
    const Case cases[] = {
        {"list-first", riffWave(info + fmt + data), 3000},
        {"padded-chunks",
         riffWave(riffChunk("JUNK", "odd") + fmt + riffChunk("fact", std::string(4, '\0')) + riffChunk("bext", "x") +
                  data + info),
         3000},
        {"truncated", truncated, 2000},
        {"unsized-data", unsized, 3000},
        {"list-holding-data-before", riffWave(dataInside + fmt + data), 3000},
        {"list-holding-data-between", riffWave(fmt + dataInside + data), 3000},
        {"list-subchunk-cut-short", riffWave(cutShort + fmt + data), 3000},
        {"list-subchunk-size-cut-short", riffWave(sizeCutShort + fmt + data + cutShort), 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rig.dir.write(std::string(c.name) + ".wav", c.bytes);
        size_t before = rig.output->streams().size();
        ASSERT_TRUE(rig.play(std::string(c.name) + ".wav", SND_SYNC | SND_NODEFAULT));
        auto streams = rig.output->streams();
        ASSERT_EQ(streams.size(), before + 1);
        const Stream& s = streams.back();
        EXPECT_EQ(s.format.rate, 11025);
        ASSERT_EQ(s.samples.size(), c.frames);
        EXPECT_FLOAT_EQ(s.samples[1000], 7000 / 32768.0f);
        EXPECT_FLOAT_EQ(s.samples[c.frames - 1], (c.frames - 1) * 7 / 32768.0f);
    }
}

bool loaded(const char* library)
{
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        ::dlclose(handle);
    return handle != nullptr;
}

TEST(SoundPlayer, FfmpegIsLoadedOnlyForAWaveLibsndfileRefuses)
{
    Rig rig;
    ASSERT_FALSE(loaded("libtidebell-sound-ffmpeg.so")) << "run this test in a process of its own";
    ASSERT_TRUE(
        writeSound(rig.dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 8000, 1, tone(8000, 1, 800, 440)));
    rig.dir.write("list.wav", riffWave(riffChunk("LIST", "INFOICMTx") + riffChunk("fmt ", pcmFormat(8000, 1, 16)) +
                                       riffChunk("data", pcm16Data({1, 2, 3}))));
    EXPECT_TRUE(rig.play("a.wav", SND_SYNC | SND_NODEFAULT));
    EXPECT_TRUE(rig.play("list.wav", SND_SYNC | SND_NODEFAULT));
    for (const char* library : {"libtidebell-sound-ffmpeg.so", "libavformat.so.59", "libavcodec.so.59"})
        EXPECT_FALSE(loaded(library)) << library;
    if (!haveFfmpeg())
        GTEST_SKIP() << noFfmpeg;
    ASSERT_TRUE(ffmpegTone(rig.dir.file("yamaha.wav"), 8000, 0.5, "-c:a adpcm_yamaha"));
    EXPECT_TRUE(rig.play("yamaha.wav", SND_SYNC | SND_NODEFAULT));
    EXPECT_TRUE(loaded("libtidebell-sound-ffmpeg.so"));
    ASSERT_EQ(rig.output->streams().size(), 3u);
    const Stream s = rig.output->streams().back();  // streams() gives a copy
    EXPECT_EQ(s.format.rate, 8000);
    EXPECT_GE(s.samples.size(), 4000u);
    EXPECT_LE(s.samples.size(), 4000u + 1024);  // the encoder's last block, filled up
}

TEST(SoundPlayer, FfmpegsDecodingKeepsTheChannelsAndLoops)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << noFfmpeg;
    Rig rig;
    // Yamaha ADPCM, stereo: the right channel silent, the left the tone.
    ASSERT_TRUE(ffmpegTone(rig.dir.file("yamaha.wav"), 22050, 0.2, "-af 'pan=stereo|c0=c0|c1=0*c0' -c:a adpcm_yamaha"));
    ASSERT_TRUE(rig.play("yamaha.wav", SND_SYNC | SND_NODEFAULT));
    Stream s = rig.output->streams().back();
    ASSERT_EQ(s.format.channels, 2);
    EXPECT_EQ(s.format.rate, 22050);
    double left = 0, right = 0;
    for (size_t i = 0; i + 1 < s.samples.size(); i += 2) {
        left += s.samples[i] * s.samples[i];
        right += s.samples[i + 1] * s.samples[i + 1];
    }
    EXPECT_GT(left, 100 * right);
    const size_t once = s.samples.size();
    ASSERT_TRUE(rig.play("yamaha.wav", SND_ASYNC | SND_LOOP | SND_NODEFAULT));
    ASSERT_TRUE(rig.output->waitFor([&](auto& all) { return all.size() == 2 && all[1].samples.size() > 3 * once; }));
    EXPECT_TRUE(rig.player.play("", 0));
    s = rig.output->streams()[1];
    for (size_t i = 0; i < once; i += 97)
        ASSERT_EQ(s.samples[i], s.samples[i + once]) << i;
}

TEST(SoundPlayer, FilesThatCannotBePlayedGiveTheDefaultSoundUnlessSuppressed)
{
    Rig rig;
    // Containers FFmpeg would read but Windows does not play as WAVE.
    ASSERT_TRUE(
        writeSound(rig.dir.file("ogg.wav"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 8000, 1, tone(8000, 1, 800, 440)));
    std::string aviChunks = riffChunk("fmt ", pcmFormat(8000, 1, 16)) + riffChunk("data", pcm16Data({1, 2, 3, 4}));
    rig.dir.write("avi.wav", "RIFF" + le32(uint32_t(aviChunks.size() + 4)) + "AVI " + aviChunks);
    rig.dir.write("unknown-tag.wav",
                  riffWave(riffChunk("fmt ", std::string("\x34\x12\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0", 16)) +
                           riffChunk("data", std::string(4000, 'x'))));
    rig.dir.write("format-cut-short.wav", riffWave(riffChunk("fmt ", "\x01\0\x01\0") + riffChunk("data", "abcd")));
    ASSERT_TRUE(
        writeSound(rig.dir.file("aiff.wav"), SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1, tone(8000, 1, 800, 440)));
    rig.dir.write("empty.wav", "");
    rig.dir.write("garbage.wav", std::string(500, 'x'));
    rig.dir.write("no-frames.wav", riffWave(riffChunk("fmt ", pcmFormat(8000, 1, 16)) + riffChunk("data", "")));
    rig.dir.write("no-rate.wav", riffWave(riffChunk("fmt ", pcmFormat(0, 1, 16)) + riffChunk("data", "abcd")));
    rig.dir.write("data-before-format.wav",
                  riffWave(riffChunk("data", pcm16Data({1, 2})) + riffChunk("fmt ", pcmFormat(8000, 1, 16))));
    ASSERT_EQ(::mkfifo(rig.dir.file("pipe.wav").c_str(), 0600), 0);  // no writer: opening it would wait
    std::filesystem::create_directory(rig.dir.file("folder.wav"));
    for (const char* name : {"missing.wav", "aiff.wav", "empty.wav", "garbage.wav", "no-frames.wav", "no-rate.wav",
                             "data-before-format.wav", "pipe.wav", "folder.wav", "ogg.wav", "avi.wav",
                             "unknown-tag.wav", "format-cut-short.wav"}) {
        SCOPED_TRACE(name);
        size_t before = rig.output->streams().size();
        EXPECT_FALSE(rig.play(name, SND_SYNC | SND_NODEFAULT));
        EXPECT_EQ(rig.output->streams().size(), before);
        EXPECT_TRUE(rig.play(name, SND_SYNC));
        auto streams = rig.output->streams();
        ASSERT_EQ(streams.size(), before + 1);
        EXPECT_TRUE(isBeep(streams.back()));
    }
    // A path that names no drive at all.
    EXPECT_TRUE(rig.player.play("Q:\\nowhere.wav", SND_SYNC));
    EXPECT_TRUE(isBeep(rig.output->streams().back()));
}

TEST(SoundPlayer, DefaultSoundIsTheDesktopWarningSoundWhereTheThemeHasOne)
{
    TempDir dir;
    const std::string theme = "/sounds/freedesktop/stereo/dialog-warning";
    std::string broken = dir.path() + "/broken", good = dir.path() + "/good", empty = dir.path() + "/empty";
    dir.write("broken" + theme + ".oga", "not a sound");
    dir.write("good" + theme + ".oga", "");
    ASSERT_TRUE(
        writeSound(good + theme + ".oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, tone(44100, 2, 4410, 660)));

    auto format = [](std::vector<std::string> folders) { return platform::openDefaultSound(folders)->format(); };
    EXPECT_EQ(format({empty, broken, good}).rate, 44100);  // the first one that decodes
    EXPECT_EQ(format({empty, broken}).rate, platform::BeepSource::rate);

    auto output = std::make_shared<FakeAudioOutput>();
    SoundPlayer player({output}, {empty, good});
    EXPECT_TRUE(player.play("C:\\no such folder\\x.wav", SND_SYNC));
    ASSERT_EQ(output->streams().size(), 1u);
    EXPECT_EQ(output->streams()[0].format.channels, 2);
    EXPECT_GT(output->streams()[0].samples.size(), 4000u);
}

TEST(SoundPlayer, ThemeFoldersFollowTheDesktopsDataFolders)
{
    auto saved = [](const char* name) {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    auto home = saved("XDG_DATA_HOME"), dirs = saved("XDG_DATA_DIRS");
    ::setenv("XDG_DATA_HOME", "/home/u/data", 1);
    ::setenv("XDG_DATA_DIRS", "/opt/share::relative:/usr/share", 1);
    EXPECT_EQ(platform::soundThemeFolders(), (std::vector<std::string>{"/home/u/data", "/opt/share", "/usr/share"}));
    ::unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(platform::soundThemeFolders(),
              (std::vector<std::string>{"/home/u/data", "/usr/local/share", "/usr/share"}));
    for (auto [name, value] : {std::pair{"XDG_DATA_HOME", home}, std::pair{"XDG_DATA_DIRS", dirs}}) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
}

TEST(SoundPlayer, ANewSoundCutsOffThePlayingOneAtOnce)
{
    Rig rig;
    auto first = tone(8000, 1, 80000, 440);  // ten seconds
    ASSERT_TRUE(writeSound(rig.dir.file("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, first));
    ASSERT_TRUE(
        writeSound(rig.dir.file("short.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, tone(22050, 2, 500, 880)));
    rig.output->hold(true);
    // A waiting (synchronous) sound on another thread is cut off too.
    std::thread waiting([&] { EXPECT_TRUE(rig.play("long.wav", SND_SYNC)); });
    ASSERT_TRUE(rig.output->waitFor([](auto& s) { return s.size() == 1 && !s[0].samples.empty(); }));
    // Decoding keeps pace with the output: one piece is held, not the file.
    EXPECT_LE(rig.output->streams()[0].samples.size(), 4096u);

    EXPECT_TRUE(rig.play("short.wav", SND_ASYNC));  // returns although the output holds
    rig.output->hold(false);
    ASSERT_TRUE(rig.output->waitFor([](auto& s) { return s.size() == 2 && s[1].closed; }));
    waiting.join();
    auto streams = rig.output->streams();
    EXPECT_TRUE(streams[0].interrupted && streams[0].closed && !streams[0].drained);
    EXPECT_EQ(streams[1].format.rate, 22050);
    EXPECT_EQ(streams[1].samples.size(), 1000u);
    EXPECT_TRUE(streams[1].drained);
}

TEST(SoundPlayer, NullPathStopsAndNoStopLeavesAPlayingSoundAlone)
{
    Rig rig;
    ASSERT_TRUE(
        writeSound(rig.dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, tone(8000, 1, 20000, 440)));
    EXPECT_TRUE(rig.player.play("", SND_ASYNC));  // nothing playing: nothing to do
    rig.output->hold(true);
    ASSERT_TRUE(rig.play("a.wav", SND_ASYNC));
    ASSERT_TRUE(rig.output->waitFor([](auto& s) { return s.size() == 1 && !s[0].samples.empty(); }));
    EXPECT_FALSE(rig.play("a.wav", SND_ASYNC | SND_NOSTOP));
    EXPECT_FALSE(rig.play("missing.wav", SND_ASYNC | SND_NOSTOP));
    EXPECT_EQ(rig.output->streams().size(), 1u);
    EXPECT_TRUE(rig.player.play("", 0));
    auto streams = rig.output->streams();  // stopped when the call returns
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_TRUE(streams[0].closed && streams[0].interrupted);
    rig.output->hold(false);
    EXPECT_TRUE(rig.play("a.wav", SND_SYNC | SND_NOSTOP));
    EXPECT_EQ(rig.output->streams().size(), 2u);
}

TEST(SoundPlayer, LoopRepeatsUntilTheNextCall)
{
    Rig rig;
    auto once = tone(8000, 1, 700, 440);
    ASSERT_TRUE(writeSound(rig.dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 1, once));
    ASSERT_TRUE(rig.play("a.wav", SND_ASYNC | SND_LOOP));
    ASSERT_TRUE(rig.output->waitFor([](auto& s) { return s.size() == 1 && s[0].samples.size() > 5000; }));
    EXPECT_TRUE(rig.player.play("", 0));
    auto s = rig.output->streams()[0];
    for (size_t i = 0; i < 5000; i += 123)
        ASSERT_EQ(s.samples[i], once[i % once.size()]) << i;
    // Without SND_ASYNC a loop would never return: it plays once.
    EXPECT_TRUE(rig.play("a.wav", SND_SYNC | SND_LOOP));
    EXPECT_EQ(rig.output->streams()[1].samples.size(), once.size());
}

TEST(SoundPlayer, FirstAvailableOutputPlaysAndNoneFailsQuietly)
{
    TempDir dir;
    ASSERT_TRUE(writeSound(dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, tone(8000, 1, 100, 440)));
    std::string path = platform::toWindowsPath(dir.file("A.WAV"));  // Windows names ignore case
    auto server = std::make_shared<FakeAudioOutput>(), card = std::make_shared<FakeAudioOutput>();
    SoundPlayer player({server, card}, {});
    server->isAvailable = false;
    EXPECT_TRUE(player.play(path, SND_SYNC));
    EXPECT_EQ(server->streams().size(), 0u);
    ASSERT_EQ(card->streams().size(), 1u);
    EXPECT_EQ(card->streams()[0].samples.size(), 100u);
    card->isAvailable = false;
    EXPECT_FALSE(player.play(path, SND_SYNC));
    EXPECT_FALSE(player.play("C:\\missing.wav", SND_ASYNC));  // not even the default sound
    server->isAvailable = true;                               // the server is back
    EXPECT_TRUE(player.play(path, SND_SYNC));
    EXPECT_EQ(server->streams().size(), 1u);
}

TEST(SoundPlayer, PreparingConnectsBeforeTheFirstSound)
{
    auto server = std::make_shared<FakeAudioOutput>();
    SoundPlayer player({server}, {});
    player.prepare();
    EXPECT_EQ(server->availableCalls.load(), 1);  // the server was asked for (and so connected to) already
    EXPECT_TRUE(player.play("C:\\missing.wav", SND_SYNC));
    EXPECT_EQ(server->streams().size(), 1u);
}

TEST(SoundPlayer, AlsaDevicesPlayAndMissingOnesAreUnavailable)
{
    EXPECT_FALSE(platform::AlsaOutput("tidebell_no_such_device").available());
    auto card = std::make_shared<platform::AlsaOutput>("null");
    ASSERT_TRUE(card->available());
    SoundPlayer player({card}, {});
    EXPECT_TRUE(player.play("C:\\missing.wav", SND_SYNC));  // the beep, through ALSA's null device
    EXPECT_TRUE(player.play("C:\\missing.wav", SND_ASYNC));
    EXPECT_TRUE(player.play("", 0));
}

}  // namespace
