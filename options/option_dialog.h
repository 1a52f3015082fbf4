// The options dialog.
#pragma once

#include "main/shared_state.h"
#include "main/window_layout.h"

namespace tidebell {

// Shows TFormOption modally, centred on `mainBounds`.
void showOptionDialog(SharedState& state, const WindowBounds& mainBounds);

}  // namespace tidebell
