#include "options/option_dialog.h"

#include "main/exceptions.h"

namespace tidebell {

void showOptionDialog(SharedState&, const WindowBounds&)
{
    throw Exception("オプションの設定はまだ用意されていません");
}

}  // namespace tidebell
