#include "sound_events/sound_event_dialog.h"

#include "main/exceptions.h"

namespace tidebell {

void showSoundEventDialog(SharedState&, const WindowBounds&)
{
    throw Exception("サウンドイベントの設定はまだ用意されていません");
}

}  // namespace tidebell
