#include "options/option_dialog.h"

#include "options/form_option.h"

namespace tidebell {

void showOptionDialog(SharedState& state, const WindowBounds& mainBounds)
{
    TFormOption dialog(state, mainBounds);
    dialog.exec();
}

}  // namespace tidebell
