// The desktop's warning sound, played when a file cannot be: the
// "dialog-warning" sound of the freedesktop sound theme, else a beep.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sound/sound_source.h"

namespace platform {

// The folders that may hold sound themes, most personal first
// ($XDG_DATA_HOME, then $XDG_DATA_DIRS, with their usual defaults).
std::vector<std::string> soundThemeFolders();

// The first "sounds/freedesktop/stereo/dialog-warning" file below the
// folders that decodes; the generated beep when there is none.
std::unique_ptr<SoundSource> openDefaultSound(const std::vector<std::string>& folders);

}  // namespace platform
