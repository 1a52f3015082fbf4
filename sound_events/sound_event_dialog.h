// The sound event dialog, shown for the WAVE file in SharedState::EventSoundFile.
#pragma once

#include "core/shared_state.h"
#include "core/window_layout.h"

class QWidget;

namespace tidebell {

// Shows TFormEvents modally, centred on `mainBounds`, owned by the main
// window `owner` (none in the one-shot mode).
void showSoundEventDialog(SharedState& state, const WindowBounds& mainBounds, QWidget* owner = nullptr);

}  // namespace tidebell
