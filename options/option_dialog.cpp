#include "options/option_dialog.h"

#include "options/form_option.h"

namespace tidebell {

void showOptionDialog(SharedState& state, const WindowBounds& mainBounds, QWidget* owner)
{
    TFormOption dialog(state, mainBounds, owner);
    dialog.exec();
}

}  // namespace tidebell
