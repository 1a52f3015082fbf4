// Opening an archive from the main window's file list.
#pragma once

#include <string>

#include "archive/archivefile.h"
#include "core/shared_state.h"

class QWidget;

namespace tidebell {

// Checks with the main window's own component that the archive holds "*.wav"
// entries ("WAVファイルがありません。" otherwise), then shows the archive
// viewer modally on `archivePath`.
void OpenArchiveFromMain(SharedState& state, archives::TArchiveFile& archiveFile, QWidget* mainWindow,
                         const std::string& archivePath);

}  // namespace tidebell
