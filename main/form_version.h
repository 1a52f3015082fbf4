// The about box (TFormVersion).
#pragma once

#include "main/window_layout.h"

namespace tidebell {

// Shows the about box modally, centred on `mainBounds`.
void showAboutBox(const WindowBounds& mainBounds);

}  // namespace tidebell
