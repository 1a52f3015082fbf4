// Platform services that windows use and tests replace with doubles. The
// Windows-named functions (MessageBoxA, sndPlaySoundA, WinHelpA, the version
// functions) call whichever service is installed; the desktop's message box
// and help are installed by the program at start-up, while sound (sound
// server, else ALSA) and version data (read from the file) are in place until
// another is set.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "win32.h"

namespace platform {

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Answers IDOK, IDYES, IDNO or IDCANCEL, like MessageBoxA.
    virtual int show(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
};

class SoundService {
public:
    virtual ~SoundService() = default;
    // Plays a WAVE file given by its Windows-style path with sndPlaySoundA's
    // flags; an empty path stops what is playing. Starting a sound cuts off
    // the one playing.
    virtual bool play(const std::string& windowsPath, UINT flags) = 0;
    // Does ahead what the first sound would wait for (connecting to the
    // sound server, say), so that it plays as fast as later ones.
    virtual void prepare() {}
};

class HelpService {
public:
    virtual ~HelpService() = default;
    virtual bool show(HWND owner, const std::string& helpFile, UINT command, uintptr_t data) = 0;
};

class VersionInfoService {
public:
    virtual ~VersionInfoService() = default;
    // The version resource (VS_VERSIONINFO, platform/version_resource.h) of
    // a module given by its Windows-style path; empty when it has none.
    virtual std::string versionBlock(const std::string& windowsPath) = 0;
};

// Loads the sound service (the system's player unless another is set) and
// prepares it on a thread of its own; returns at once. Called again, does
// nothing.
void prepareSoundService();

// Each setter installs a service and returns the one it replaces.
std::shared_ptr<MessageBoxService> setMessageBoxService(std::shared_ptr<MessageBoxService>);
std::shared_ptr<SoundService> setSoundService(std::shared_ptr<SoundService>);
std::shared_ptr<HelpService> setHelpService(std::shared_ptr<HelpService>);
std::shared_ptr<VersionInfoService> setVersionInfoService(std::shared_ptr<VersionInfoService>);

}  // namespace platform
