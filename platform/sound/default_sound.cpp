#include "platform/sound/default_sound.h"

#include "platform/sound/beep_source.h"
#include "platform/sound/sndfile_source.h"

namespace platform {
std::unique_ptr<SoundSource> openDefaultSound(const std::vector<std::string>& folders)
{
    for (const auto& folder : folders) {
        for (const char* extension : {".oga", ".ogg", ".wav"}) {
            auto source = SndfileSource::open(folder + "/sounds/freedesktop/stereo/dialog-warning" + extension,
                                              SndfileSource::Kind::Any);
            if (source)
                return source;
        }
    }
    return std::make_unique<BeepSource>();
}

}  // namespace platform
