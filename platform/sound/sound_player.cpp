#include "platform/sound/sound_player.h"

#include "platform/platform.h"
#include "platform/sound/alsa_output.h"
#include "platform/sound/default_sound.h"
#include "platform/sound/pulse_output.h"
#include "platform/sound/wave_file.h"

namespace platform {
namespace {

// Frames decoded at a time: the only decoded sound the player holds.
constexpr size_t chunkFrames = 2048;

}  // namespace

SoundPlayer::SoundPlayer(std::vector<std::shared_ptr<AudioOutput>> outputs, std::vector<std::string> themeFolders)
    : m_outputs(std::move(outputs)), m_themeFolders(std::move(themeFolders))
{
}

SoundPlayer::~SoundPlayer()
{
    {
        std::unique_lock lock(m_mutex);
        cutOff(lock);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

// Ends the sound playing or waiting to play; answers the id the next sound gets.
uint64_t SoundPlayer::cutOff(std::unique_lock<std::mutex>&)
{
    uint64_t id = ++m_generation;
    m_pending.reset();
    if (m_currentOutput)
        m_currentOutput->interrupt();
    m_done.notify_all();
    return id;
}

AudioOutput* SoundPlayer::chooseOutput()
{
    for (const auto& output : m_outputs) {
        if (output->available())
            return output.get();
    }
    return nullptr;
}

bool SoundPlayer::play(const std::string& windowsPath, UINT flags)
{
    uint64_t id;
    {
        std::unique_lock lock(m_mutex);
        if ((flags & SND_NOSTOP) && (m_pending || m_currentId != 0))
            return false;
        id = cutOff(lock);
        if (windowsPath.empty()) {
            m_done.wait(lock, [&] { return m_currentId == 0 || m_currentId > id; });
            return true;
        }
    }

    std::unique_ptr<SoundSource> source = openWaveFile(toPosixPath(windowsPath));
    if (!source) {
        if (flags & SND_NODEFAULT)
            return false;
        source = openDefaultSound(m_themeFolders);
    }
    AudioOutput* output = chooseOutput();
    if (!output)
        return false;

    std::unique_lock lock(m_mutex);
    if (cancelled(id))
        return true;  // a later call already replaced this sound
    m_pending = Job{id, std::move(source), output, (flags & SND_LOOP) && (flags & SND_ASYNC)};
    if (!m_worker.joinable())
        m_worker = std::thread(&SoundPlayer::run, this);
    m_wake.notify_all();
    if (!(flags & SND_ASYNC))
        m_done.wait(lock, [&] { return m_currentId != id && !(m_pending && m_pending->id == id); });
    return true;
}

void SoundPlayer::prepare()
{
    chooseOutput();
    // Opening a file once brings the decoder's code and tables in, which
    // the first sound would otherwise wait for.
    openDefaultSound(m_themeFolders);
    std::lock_guard lock(m_mutex);
    if (!m_worker.joinable() && !m_quit)
        m_worker = std::thread(&SoundPlayer::run, this);
}

void SoundPlayer::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_quit || m_pending; });
        if (m_quit)
            return;
        Job job = std::move(*m_pending);
        m_pending.reset();
        m_currentId = job.id;
        m_currentOutput = job.output;
        lock.unlock();
        perform(job);
        job.source.reset();
        lock.lock();
        m_currentId = 0;
        m_currentOutput = nullptr;
        m_done.notify_all();
    }
}

void SoundPlayer::perform(Job& job)
{
    AudioOutput& output = *job.output;
    AudioFormat format = job.source->format();
    if (!output.open(format))
        return;
    std::vector<float> samples(chunkFrames * static_cast<size_t>(format.channels));
    bool ended = false;
    bool heardThisPass = false;
    while (!cancelled(job.id)) {
        size_t n = job.source->read(samples.data(), chunkFrames);
        if (n == 0) {
            // A loop restarts only after a pass that gave sound, so a file
            // that decodes to nothing cannot spin.
            if (job.loop && heardThisPass && job.source->rewind()) {
                heardThisPass = false;
                continue;
            }
            ended = true;
            break;
        }
        heardThisPass = true;
        if (!output.write(samples.data(), n))
            break;
    }
    if (ended && !cancelled(job.id))
        output.drain();
    output.close();
}

std::shared_ptr<SoundService> makeSystemSoundService()
{
    return std::make_shared<SoundPlayer>(
        std::vector<std::shared_ptr<AudioOutput>>{std::make_shared<PulseOutput>(), std::make_shared<AlsaOutput>()},
        soundThemeFolders());
}

}  // namespace platform
