// The main window's geometry rules and the settings <-> window state mapping,
// kept apart from the widgets so they can be checked without a display.
#pragma once

#include <cstdint>
#include <optional>

#include "core/shared_state.h"

namespace tidebell {

inline constexpr int kSplitterWidth = 3;

struct WindowBounds {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The widths of a window's frame around its client area.
struct FrameMargins {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Outer bounds of a client rectangle, and the client rectangle of outer
// bounds. The settings hold outer bounds; toolkits size the client area.
WindowBounds outerOf(const WindowBounds& client, const FrameMargins& frame);
WindowBounds clientOf(const WindowBounds& outer, const FrameMargins& frame);

// Outer bounds no larger than the available screen area, as the desktop
// limits a window's size; the position stays.
WindowBounds limitToArea(const WindowBounds& outer, int32_t areaWidth, int32_t areaHeight);

// What the close sequence copies out of the main window.
struct MainWindowState {
    WindowBounds bounds;
    int32_t treeWidth = 0;
    bool toolBarVisible = true;
    bool statusBarVisible = true;
};

// The saved bounds, or nothing when MainWidth is -1 (the platform places the
// window).
std::optional<WindowBounds> savedBounds(const AppSettings& settings);

// The size a new top-level window gets when no bounds were saved: like the
// desktop's default placement, three quarters of the available screen area
// (toolkits would otherwise shrink an empty window to its minimum).
WindowBounds defaultWindowSize(int32_t availableWidth, int32_t availableHeight);

// Where a dialog of the given outer size goes to stand centred on the main
// window's outer bounds; the halves truncate toward zero.
WindowBounds centredOn(const WindowBounds& mainWindow, int32_t width, int32_t height);

// TreeWidth, or a third of the client width less the splitter when it is -1.
int32_t treePaneWidth(const AppSettings& settings, int32_t clientWidth);

// The close sequence's data part: copy the window state into the record.
void storeWindowState(AppSettings& settings, const MainWindowState& window);

}  // namespace tidebell
