// The sound event dialog, shown for the WAVE file in SharedState::EventSoundFile.
#pragma once

#include "core/shared_state.h"
#include "core/window_layout.h"

namespace tidebell {

// Shows TFormEvents modally, centred on `mainBounds`.
void showSoundEventDialog(SharedState& state, const WindowBounds& mainBounds);

}  // namespace tidebell
