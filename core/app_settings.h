// The settings record that every window shares, with the values it holds
// before the settings file is read.
#pragma once

#include <cstdint>

namespace tidebell {

struct AppSettings {
    int32_t MainLeft = 0;
    int32_t MainTop = 0;
    int32_t MainWidth = -1;  // -1: no bounds were saved
    int32_t MainHeight = 0;
    int32_t TreeWidth = -1;  // -1: one third of the client width
    int32_t LZHWidth = -1;   // -1: the viewer keeps the size it was given
    int32_t LZHHeight = 0;
    bool SingleClick = false;
    bool ShowMainToolBar = true;
    bool ShowMainStatusBar = true;
    bool ShowLZHToolBar = true;
    bool ShowLZHStatusBar = true;
    bool DeleteTemp = false;
    bool SaveSetting = true;
    bool SoundEvent = false;
};

}  // namespace tidebell
