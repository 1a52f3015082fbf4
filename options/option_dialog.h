// The options dialog.
#pragma once

#include "core/shared_state.h"
#include "core/window_layout.h"

class QWidget;

namespace tidebell {

// Shows TFormOption modally, centred on `mainBounds`, owned by the main
// window `owner`.
void showOptionDialog(SharedState& state, const WindowBounds& mainBounds, QWidget* owner = nullptr);

}  // namespace tidebell
