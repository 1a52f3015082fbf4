#include "sound_events/sound_event_dialog.h"

#include "sound_events/form_events.h"

namespace tidebell {

void showSoundEventDialog(SharedState& state, const WindowBounds& mainBounds)
{
    TFormEvents dialog(state, mainBounds);
    dialog.exec();
}

}  // namespace tidebell
