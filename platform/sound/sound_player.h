// The sound service behind sndPlaySoundA: opens the file on the caller's
// thread (so that the answer is known at once), decodes and plays it on its
// own thread, one sound at a time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/services.h"
#include "platform/sound/audio_output.h"
#include "platform/sound/sound_source.h"

namespace platform {

class SoundPlayer : public SoundService {
public:
    // outputs: in order of preference; the first available one plays.
    // themeFolders: where the default sound is looked for.
    SoundPlayer(std::vector<std::shared_ptr<AudioOutput>> outputs, std::vector<std::string> themeFolders);
    ~SoundPlayer() override;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // SND_ASYNC returns once the sound is handed over, otherwise when it has
    // ended (or another call cut it off); SND_NODEFAULT plays nothing for a
    // file that cannot be played; SND_NOSTOP leaves a playing sound alone
    // and answers false; SND_LOOP with SND_ASYNC repeats until the next
    // call. An empty path stops the sound and waits until it is silent.
    bool play(const std::string& windowsPath, UINT flags) override;
    // Connects to the output and starts the thread that plays.
    void prepare() override;

private:
    struct Job {
        uint64_t id = 0;
        std::unique_ptr<SoundSource> source;
        AudioOutput* output = nullptr;
        bool loop = false;
    };

    uint64_t cutOff(std::unique_lock<std::mutex>& lock);
    AudioOutput* chooseOutput();
    void run();
    void perform(Job& job);
    bool cancelled(uint64_t id) const { return m_generation.load() != id; }

    std::vector<std::shared_ptr<AudioOutput>> m_outputs;
    std::vector<std::string> m_themeFolders;
    std::mutex m_mutex;
    std::condition_variable m_wake;  // the worker: a job or the end
    std::condition_variable m_done;  // callers waiting for a job to finish
    std::atomic<uint64_t> m_generation{0};
    std::optional<Job> m_pending;
    uint64_t m_currentId = 0;
    AudioOutput* m_currentOutput = nullptr;
    bool m_quit = false;
    std::thread m_worker;  // started by the first sound
};

// The player on this machine's sound server, or its sound card when no
// server runs.
std::shared_ptr<SoundService> makeSystemSoundService();

}  // namespace platform
