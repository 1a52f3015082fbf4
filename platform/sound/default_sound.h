// The desktop's warning sound, played when a file cannot be: the
// "dialog-warning" sound of the freedesktop sound theme, else a beep.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop_files.h"
#include "platform/sound/sound_source.h"

namespace platform {

using desktop::soundThemeFolders;

// The first "sounds/freedesktop/stereo/dialog-warning" file below the
// folders that decodes; the generated beep when there is none.
std::unique_ptr<SoundSource> openDefaultSound(const std::vector<std::string>& folders);

}  // namespace platform
