#include "sound_events/sound_event_dialog.h"

#include "sound_events/form_events.h"

namespace tidebell {

void showSoundEventDialog(SharedState& state, const WindowBounds& mainBounds, QWidget* owner)
{
    TFormEvents dialog(state, mainBounds, owner);
    dialog.exec();
}

}  // namespace tidebell
