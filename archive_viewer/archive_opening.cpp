#include "archive_viewer/archive_opening.h"

#include "main/exceptions.h"

namespace tidebell {

void OpenArchiveFromMain(SharedState&, archives::TArchiveFile&, QWidget*, const std::string&)
{
    throw Exception("書庫の表示はまだ用意されていません");
}

}  // namespace tidebell
