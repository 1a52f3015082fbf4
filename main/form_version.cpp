#include "main/form_version.h"

#include "main/exceptions.h"

namespace tidebell {

void showAboutBox(const WindowBounds&)
{
    throw Exception("バージョン情報はまだ用意されていません");
}

}  // namespace tidebell
