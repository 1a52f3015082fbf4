#include "core/window_layout.h"

#include <algorithm>

namespace tidebell {

std::optional<WindowBounds> savedBounds(const AppSettings& settings)
{
    if (settings.MainWidth == -1) {
        return std::nullopt;
    }
    return WindowBounds{settings.MainLeft, settings.MainTop, settings.MainWidth, settings.MainHeight};
}

WindowBounds outerOf(const WindowBounds& client, const FrameMargins& frame)
{
    return WindowBounds{client.left - frame.left, client.top - frame.top, client.width + frame.left + frame.right,
                        client.height + frame.top + frame.bottom};
}

WindowBounds clientOf(const WindowBounds& outer, const FrameMargins& frame)
{
    return WindowBounds{outer.left + frame.left, outer.top + frame.top, outer.width - frame.left - frame.right,
                        outer.height - frame.top - frame.bottom};
}

WindowBounds limitToArea(const WindowBounds& outer, int32_t areaWidth, int32_t areaHeight)
{
    WindowBounds limited = outer;
    limited.width = std::min(outer.width, areaWidth);
    limited.height = std::min(outer.height, areaHeight);
    return limited;
}

WindowBounds defaultWindowSize(int32_t availableWidth, int32_t availableHeight)
{
    WindowBounds bounds;
    bounds.width = availableWidth * 3 / 4;
    bounds.height = availableHeight * 3 / 4;
    return bounds;
}

WindowBounds centredOn(const WindowBounds& mainWindow, int32_t width, int32_t height)
{
    return WindowBounds{mainWindow.left + (mainWindow.width - width) / 2,
                        mainWindow.top + (mainWindow.height - height) / 2, width, height};
}

int32_t treePaneWidth(const AppSettings& settings, int32_t clientWidth)
{
    if (settings.TreeWidth == -1) {
        return clientWidth / 3 - kSplitterWidth;
    }
    return settings.TreeWidth;
}

void storeWindowState(AppSettings& settings, const MainWindowState& window)
{
    settings.MainLeft = window.bounds.left;
    settings.MainTop = window.bounds.top;
    settings.MainWidth = window.bounds.width;
    settings.MainHeight = window.bounds.height;
    settings.TreeWidth = window.treeWidth;
    settings.ShowMainToolBar = window.toolBarVisible;
    settings.ShowMainStatusBar = window.statusBarVisible;
}

}  // namespace tidebell
