// The options dialog.
#pragma once

#include "core/shared_state.h"
#include "core/window_layout.h"

namespace tidebell {

// Shows TFormOption modally, centred on `mainBounds`.
void showOptionDialog(SharedState& state, const WindowBounds& mainBounds);

}  // namespace tidebell
